#pragma once

// A handler slower than the camera, in Latest delivery: each call holds the GUI thread (Sleep)
// for longer than a frame interval, for a long run. TVLmPreview's OnFrame (vlmFrameLatest,
// 24-bit RGB) beside the hand-written program's BufferCB that copies each frame into one waiting
// slot and posts a message (benchmarks/RawFrames.h), the GUI thread converting the frame it
// takes to 24-bit RGB: frames received and delivered, the drops the deliveries reported, and the
// process's private bytes at the start and the end of the run, and the highest in between.

#include <windows.h>

#include <cstdint>
#include <string>

#include "benchmarks/CameraPicture.h"

namespace bench {

struct SlowRun {
  bool Ran = false;
  std::wstring Failure;
  double Seconds = 0;
  uint64_t Delivered = 0;
  uint64_t Dropped = 0;
  long long PrivateAtStart = 0;  // bytes
  long long PrivateAtEnd = 0;
  long long PrivateHighest = 0;  // sampled once a second
};

struct SlowRow {
  CameraFormat Format;
  DWORD HoldMs = 0;
  SlowRun Control;
  SlowRun Raw;
};

// Both programs at Format, shown in Host at View, each handler call holding the GUI thread for
// HoldMs, measured over Milliseconds after a warm-up.
SlowRow MeasureSlowHandler(HWND Host, const RECT& View, const CameraFormat& Format, DWORD HoldMs, DWORD Milliseconds);
void PrintSlowHandler(const SlowRow& Row, DWORD Milliseconds);

}  // namespace bench
