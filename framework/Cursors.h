#pragma once

#include <windows.h>

#include <cstdint>
#include <map>

#include "framework/FrameworkApi.h"

// The framework's cursor numbers; negative numbers are the built-in cursors.
using TCursor = int16_t;

constexpr TCursor crDefault = 0;
constexpr TCursor crNone = -1;
constexpr TCursor crArrow = -2;
constexpr TCursor crCross = -3;
constexpr TCursor crIBeam = -4;
constexpr TCursor crSizeNESW = -6;
constexpr TCursor crSizeNS = -7;
constexpr TCursor crSizeNWSE = -8;
constexpr TCursor crSizeWE = -9;
constexpr TCursor crUpArrow = -10;
constexpr TCursor crHourGlass = -11;
constexpr TCursor crDrag = -12;
constexpr TCursor crNoDrop = -13;
constexpr TCursor crHSplit = -14;
constexpr TCursor crVSplit = -15;
constexpr TCursor crMultiDrag = -16;
constexpr TCursor crSQLWait = -17;
constexpr TCursor crNo = -18;
constexpr TCursor crAppStart = -19;
constexpr TCursor crHelp = -20;
constexpr TCursor crHandPoint = -21;
constexpr TCursor crSizeAll = -22;

// The screen's cursor table: maps cursor numbers to cursor handles. Built-in numbers map to
// the system cursors; an application may add its own (positive) numbers.
class FRAMEWORK_API TScreen {
public:
  // The handle for a cursor number; unknown numbers give the arrow. crNone gives null.
  HCURSOR Cursors(TCursor Cursor) const;
  void SetCursors(TCursor Cursor, HCURSOR Handle);

private:
  std::map<TCursor, HCURSOR> m_Custom;  // handles not owned: the application's
};

FRAMEWORK_API TScreen& Screen();
