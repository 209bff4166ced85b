#pragma once

// How long a camera takes to show its first picture, in TVLmPreview and in the hand-written
// program, with "first picture" the same for both: the first frame of the capture stream held by
// the GUI thread as a 24-bit picture (TVLmPreview: TakeSnapshot right after Start, until
// OnSnapshot; hand-written: its buffer callback armed right after Run, until the GUI thread holds
// the frame, converted when its grabber takes the camera's own format).
//   open:   TVLmPreview: Open, SetStreamFormat, Start, first picture; hand-written: bind the
//           camera, build the graph with IAMStreamConfig::SetFormat, Run, first picture. The
//           control is created (which lists the devices) before the clock starts.
//   switch: from a running preview: TVLmPreview: Stop, SetStreamFormat to another subtype and
//           size, Start, first picture of the new format; hand-written: Stop, remove the filters
//           behind the camera, SetFormat, render both streams again, Run, first picture.

#include <windows.h>

#include <string>
#include <vector>

#include "benchmarks/CameraPicture.h"

namespace bench {

struct TimingSeries {
  int Requested = 0;
  std::vector<double> Ms;
  std::wstring Failure;  // why the series stopped
};

struct OpenRow {
  CameraFormat Format;
  TimingSeries Control;
  TimingSeries Raw;
};

struct SwitchRow {
  CameraFormat From;
  CameraFormat To;
  TimingSeries Control;
  TimingSeries Raw;
};

// Runs opens of each program at Format, the picture shown in Host at View.
OpenRow MeasureOpen(HWND Host, const RECT& View, const CameraFormat& Format, int Runs);
// One open preview per program switched Runs times from A to B and Runs times back, in turn.
std::vector<SwitchRow> MeasureSwitch(HWND Host, const RECT& View, const CameraFormat& A, const CameraFormat& B,
                                     int Runs);
// View: where the pictures were shown, for the heading.
void PrintOpenAndSwitch(const std::vector<OpenRow>& Opens, const std::vector<SwitchRow>& Switches, const RECT& View);

}  // namespace bench
