#pragma once

// Draws the camera's picture: moving colour bars and the frame counter (layout in LmTestCam.h).

#include <windows.h>

#include <cstdint>

namespace lmcam {

// Fills a bottom-up RGB24 picture of Width x Height pixels (rows padded to 4 bytes) at Buffer.
void DrawTestPattern(BYTE* Buffer, LONG Width, LONG Height, std::uint32_t FrameNumber);

}  // namespace lmcam
