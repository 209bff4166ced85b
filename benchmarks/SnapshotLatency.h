#pragma once

// Snapshot latency, side by side: TVLmPreview from TakeSnapshot to OnSnapshot, and the
// hand-written program from arming its grabber's buffer callback to the GUI thread holding the
// frame (converted to 24-bit RGB when its grabber takes the camera's own format). Both show the
// preview in the host window and run the same camera format; requests fall at a random phase of
// the camera's frame clock.

#include <windows.h>

#include <random>
#include <string>
#include <vector>

#include "benchmarks/CameraPicture.h"

namespace bench {

struct LatencySeries {
  bool Ran = false;
  std::wstring Failure;  // why the series did not run, or stopped
  int Requested = 0;
  std::vector<double> LatencyMs;
  std::vector<double> ArrivalMs;  // when each delivered picture arrived
  std::vector<int> Counters;      // the camera's counter in each delivered picture (-1 unknown)
  LONG Width = 0;
  LONG Height = 0;
};

// What both series of a comparison share.
struct LatencyPlan {
  HWND Host = nullptr;
  RECT View{};  // where the picture is shown in Host
  CameraFormat Format;
  int Snapshots = 0;
};

LatencySeries MeasureControlLatency(const LatencyPlan& Plan, std::mt19937& Random);
LatencySeries MeasureRawLatency(const LatencyPlan& Plan, std::mt19937& Random);

// The two series as a table, with latencies also in frame intervals of Rate; a series that did
// not run or stopped says why below it.
void PrintLatencyTable(const LatencySeries& Control, const LatencySeries& Raw, double Rate);

}  // namespace bench
