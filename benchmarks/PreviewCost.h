#pragma once

// What a running preview costs per frame with no snapshot asked for, and so what the idle
// snapshot branch costs: TVLmPreview running, beside a hand-written graph with the preview
// branch alone and one with the preview branch and a capture branch into a Sample Grabber that
// has no callback (idle). Process CPU time (user + kernel) per frame the camera delivered, the
// frames counted by the camera's counter as the picture on screen shows it at both ends of the
// run.

#include <windows.h>

#include <string>
#include <vector>

#include "benchmarks/CameraPicture.h"
#include "benchmarks/RawProgram.h"

namespace bench {

struct CostRun {
  bool Ran = false;
  std::wstring Failure;
  int Frames = 0;  // how far the camera's counter advanced across the run
  double Seconds = 0;
  double CpuMs = 0;
};

struct CostRow {
  CameraFormat Format;
  CostRun Control;      // TVLmPreview running
  CostRun PreviewOnly;  // hand-written: the preview branch alone
  CostRun WithGrabber;  // hand-written: the preview branch and an idle Sample Grabber branch
};

// One run of Milliseconds after a warm-up: TVLmPreview (Open, SetStreamFormat, Start) at Format,
// its picture shown in Host at View, or the hand-written program of Plan. The picture fills the
// view; the camera's counter is read where the view shows it.
CostRun MeasureControlCost(HWND Host, const RECT& View, const CameraFormat& Format, DWORD Milliseconds);
CostRun MeasureRawCost(const RawProgramPlan& Plan, DWORD Milliseconds);

// The three runs at Format, each of Milliseconds after a warm-up, the picture shown in Host at
// View.
CostRow MeasurePreviewCost(HWND Host, const RECT& View, const CameraFormat& Format, DWORD Milliseconds);
// Process CPU time (ms) per frame that the camera delivered in Run; NAN when unknown.
double CpuPerFrame(const CostRun& Run);
void PrintPreviewCost(const std::vector<CostRow>& Rows, DWORD Milliseconds);

}  // namespace bench
