#pragma once

// MJPG 1920x1080 at 30 fps on the UVC test camera, the format where a capture branch that decodes
// costs the most: frames per second sustained and CPU time per frame of TVLmPreview running
// (preview and its idle capture branch: no snapshot, no frame handler) beside the hand-written
// program with its preview alone and with its preview and a Sample Grabber fixed to 24-bit RGB
// (which the graph builder reaches through a decoder). Measured as measurement 5 measures (the
// camera's counter read on screen), in rounds that take the three programs in turn, so that a
// change in the machine's load falls on all three alike.

#include <windows.h>

#include <vector>

#include "benchmarks/CameraPicture.h"
#include "benchmarks/PreviewCost.h"

namespace bench {

// Rounds of the three runs at Format, each of Milliseconds after a warm-up, the picture shown
// in Host at View.
std::vector<CostRow> MeasureFullHdPreview(HWND Host, const RECT& View, const CameraFormat& Format, int Rounds,
                                          DWORD Milliseconds);
void PrintFullHdPreview(const std::vector<CostRow>& Rounds, const RECT& View, DWORD Milliseconds);

}  // namespace bench
