#pragma once

// The values the C interface accepts for its enumerations and colours; anything else is an
// invalid argument.

#include <windows.h>

#include <cmath>

#include "lumora10.h"

namespace lm10 {

inline bool IsDisplayMode(INT32 Mode) { return Mode == LM10_MODE_SCALE || Mode == LM10_MODE_STRETCH; }

inline bool IsFrameDelivery(INT32 Delivery) { return Delivery == LM10_FRAME_LATEST || Delivery == LM10_FRAME_DIRECT; }

inline bool IsFrameFormat(INT32 Format) {
  return Format == LM10_FRAME_NATIVE || Format == LM10_FRAME_RGB24 || Format == LM10_FRAME_RGB32;
}

// An RGB value, or a system colour's number (COLOR_SCROLLBAR to COLOR_MENUBAR) with the flag.
inline bool IsColor(INT32 Color) {
  const auto value = static_cast<UINT32>(Color);
  const auto system = static_cast<UINT32>(LM10_COLOR_SYSTEM);
  return value <= 0xFFFFFFu || (value >= system && value <= (system | COLOR_MENUBAR));
}

// The built-in cursors: LM10_CURSOR_DEFAULT down to LM10_CURSOR_SIZE_ALL (-5 is no cursor).
inline bool IsCursor(INT32 Cursor) { return Cursor <= 0 && Cursor >= LM10_CURSOR_SIZE_ALL && Cursor != -5; }

// A frame rate: a finite number of 0 or more.
inline bool IsFrameRate(double Value) { return std::isfinite(Value) && Value >= 0; }

}  // namespace lm10
