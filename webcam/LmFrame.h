#pragma once

// Every frame for the application: the frame stream of the preview and the player (OnFrame),
// with the time each frame was taken and what was dropped. See docs/frame-stream.md.

#include <windows.h>

#include <cstdint>
#include <functional>

#include "framework/Classes.h"

// One frame, lent to the handler for the duration of its call (copy what is kept).
//   Data, Bytes   the picture: RGB frames top-down (Data at the top row, a positive Stride),
//                 32-bit RGB with alpha 255; native frames as the sample holds them: packed
//                 formats (YUY2, UYVY) with the format's row pitch as Stride, planar formats
//                 (NV12, I420, YV12) with the Y plane's pitch as Stride and the chroma planes
//                 where the format puts them, bottom-up native RGB with Data at the top row and
//                 a negative Stride, MJPG with Stride 0 and Bytes the frame's length.
//   Width, Height the picture's size in pixels (Height positive).
//   SubType       MEDIASUBTYPE_RGB24 or _RGB32 for converted frames, the stream's own subtype
//                 for native ones.
//   Number        the frame's position among the frames the library received since Start
//                 (0-based); frames the library dropped count, frames lost before it (in the
//                 camera or the graph) show as gaps in SampleTime, not in Number.
//   SampleTime    the sample's start time in 100-ns units of stream time, or -1 when the
//                 source sets none.
//   ArrivalTime   when the library received it, in 100-ns units of QueryPerformanceCounter.
//   Dropped       how many frames the library received and did not deliver since the
//                 previous delivered one.
struct TLmFrame {
  const uint8_t* Data;
  uint32_t Bytes;
  int32_t Width;
  int32_t Height;
  int32_t Stride;
  GUID SubType;
  uint64_t Number;
  int64_t SampleTime;
  int64_t ArrivalTime;
  uint32_t Dropped;
};

// Raised with each frame delivered.
using TVLmFrameEvent = std::function<void(TObject* Sender, const TLmFrame& Frame)>;

// How frames reach the handler.
enum TVLmFrameDelivery : int32_t {
  // On the GUI thread from its message loop, as every other event and under the same rules (the
  // handler may Close, Stop or Start the control). At most one frame waits: a newer frame
  // replaces a waiting one (counted in Dropped), so a slow handler never makes frames pile up.
  vlmFrameLatest = 0,
  // On DirectShow's streaming thread, for every frame, with the buffer lent for the call. The
  // handler must not call the control nor wait for the GUI thread; it is called with no lock of
  // the library held.
  vlmFrameDirect = 1,
};

// What the frames look like.
enum TVLmFrameFormat : int32_t {
  vlmFrameNative = 0,  // as the camera or the decoder sends them
  vlmFrameRGB24 = 1,   // 24-bit RGB (blue, green, red), top-down, rows padded to 4 bytes
  vlmFrameRGB32 = 2,   // 32-bit RGB (blue, green, red, alpha 255), top-down
};
