#pragma once

// What the frame stream costs per frame, TVLmPreview's OnFrame beside the hand-written program's
// callbacks (benchmarks/RawFrames.h) at the same camera format, both showing the preview at the
// picture's own size, both handing each frame to the same handler (benchmarks/FrameTally.h):
//   idle           no handler; the hand-written grabber (the camera's format) without a callback
//   Direct native  OnFrame on the streaming thread, frames as the camera sends them; SampleCB
//   Direct RGB32   the same, frames converted to 32-bit RGB; SampleCB converting with the
//                  library's converter
//   Latest native  OnFrame from the message loop; BufferCB copying the frame into one waiting
//                  slot and posting a message, the frame handled by the GUI thread
//   Latest RGB32   the same, the frame converted to 32-bit RGB on the GUI thread
// Each run also keeps the latency of every frame: the handler's start minus the frame's
// ArrivalTime (hand-written: the moment its callback was entered).

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "benchmarks/CameraPicture.h"

namespace bench {

enum class FrameMode { Idle, DirectNative, DirectRgb32, LatestNative, LatestRgb32 };

struct FrameRun {
  bool Ran = false;
  std::wstring Failure;
  double Seconds = 0;
  double CpuMs = 0;     // process user + kernel time
  uint64_t Frames = 0;  // delivered to the handler (idle: how far the camera's counter advanced)
  uint64_t Dropped = 0;
  std::vector<double> LatencyMs;
};

struct FrameRow {
  CameraFormat Format;
  FrameMode Mode = FrameMode::Idle;
  FrameRun Control;  // TVLmPreview
  FrameRun Raw;      // the hand-written program
};

// The five rows at Format, each run Milliseconds after a warm-up, shown in Host at the top-left
// corner (the picture's own size must fit in it).
std::vector<FrameRow> MeasureFrames(HWND Host, const CameraFormat& Format, DWORD Milliseconds);
void PrintFrameCost(const std::vector<FrameRow>& Rows, DWORD Milliseconds);

// "Direct RGB32".
const wchar_t* FrameModeText(FrameMode Mode);

}  // namespace bench
