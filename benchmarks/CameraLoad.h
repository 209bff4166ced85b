#pragma once

// The test camera's own cost: camera -> Sample Grabber (SampleCB counts, no copy) -> Null
// Renderer, no preview, at one size for several requested rates: the delivered rate and the
// process CPU time per delivered frame.

#include <windows.h>

#include <string>
#include <vector>

#include "benchmarks/CameraPicture.h"

namespace bench {

struct LoadRow {
  double Requested = 0;
  bool Ran = false;
  std::wstring Failure;
  LONG Width = 0;
  LONG Height = 0;
  int Frames = 0;
  double FrameSpanSeconds = 0;  // from the window's first arrival to its last
  double Seconds = 0;           // the whole window
  double CpuMs = 0;
};

// One run of Milliseconds at Format (its rate is the requested one), counted from the first
// frame on.
LoadRow MeasureLoad(const CameraFormat& Format, DWORD Milliseconds);
void PrintLoad(const std::vector<LoadRow>& Rows, double IdleCpuPerSecond, DWORD LoadMs, LONG Width, LONG Height);

}  // namespace bench
