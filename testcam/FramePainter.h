#pragma once

// Paints the camera's picture (TestPattern.h) into the sample buffer in the format of a
// capability: RGB24 (a bottom-up DIB), YUY2, NV12 (BT.601 limited range, top-down) or MJPG
// (JpegEncoder.h). Owned by one streaming thread.

#include <windows.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "testcam/Capabilities.h"
#include "testcam/JpegEncoder.h"
#include "testcam/TestPattern.h"

namespace lmcam {

class FramePainter {
public:
  explicit FramePainter(const Capability& Cap);

  // Paints frame FrameNumber into Buffer; returns the bytes of the frame, or 0 when it does
  // not fit in Capacity.
  size_t Paint(std::uint32_t FrameNumber, BYTE* Buffer, size_t Capacity);

  // The value of each PatternColour in the encodings the formats use.
  struct Yuv {
    BYTE Y, U, V;
  };
  static Yuv LimitedRangeBt601(const Rgb& Colour);
  static Yuv FullRangeBt601(const Rgb& Colour);

private:
  size_t PaintRgb24(BYTE* Buffer) const;
  size_t PaintYuy2(BYTE* Buffer) const;
  size_t PaintNv12(BYTE* Buffer) const;
  size_t PaintMjpg(BYTE* Buffer, size_t Capacity);

  const Capability m_Cap;
  PatternRows m_Rows;
  Yuv m_Video[kColourCount];  // limited range, for YUY2 and NV12
  Yuv m_Jpeg[kColourCount];   // full range, for MJPG
  std::unique_ptr<JpegEncoder> m_Encoder;
  std::vector<BYTE> m_Planes;  // MJPG: Y, then Cb and Cr at half width
};

}  // namespace lmcam
