#pragma once

// How soon a frame reaches the handler, from the runs of the per-frame cost
// (benchmarks/FrameCost.h): the handler's start minus the frame's ArrivalTime, in TVLmPreview
// (ArrivalTime: when the library's grabber callback received the frame) and in the hand-written
// program (the moment its grabber callback was entered), median and 95th percentile.

#include <vector>

#include "benchmarks/FrameCost.h"

namespace bench {

void PrintFrameLatency(const std::vector<FrameRow>& Rows);

}  // namespace bench
