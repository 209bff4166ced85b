#pragma once

// Paints the camera's picture (TestPattern.h) under the camera's settings (PictureSettings.h)
// into the sample buffer in the format of a capability: RGB24 (a bottom-up DIB), YUY2, NV12
// (BT.601 limited range, top-down) or MJPG (JpegEncoder.h). Owned by one streaming thread.

#include <windows.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "testcam/Capabilities.h"
#include "testcam/JpegEncoder.h"
#include "testcam/PictureSettings.h"
#include "testcam/TestPattern.h"

namespace lmcam {

class FramePainter {
public:
  explicit FramePainter(const Capability& Cap);

  // Paints frame FrameNumber under Settings into Buffer; returns the bytes of the frame, or 0
  // when it does not fit in Capacity.
  size_t Paint(std::uint32_t FrameNumber, const PictureSettings& Settings, BYTE* Buffer, size_t Capacity);

  // The value of each PatternColour in the encodings the formats use.
  struct Yuv {
    BYTE Y, U, V;
  };
  static Yuv LimitedRangeBt601(const Rgb& Colour);
  static Yuv FullRangeBt601(const Rgb& Colour);

private:
  // The colours of the picture under Settings, in every coding.
  void SetColours(const PictureSettings& Settings);
  size_t PaintRgb24(BYTE* Buffer) const;
  size_t PaintYuy2(BYTE* Buffer) const;
  size_t PaintNv12(BYTE* Buffer) const;
  size_t PaintMjpg(BYTE* Buffer, size_t Capacity);
  // Codes an MCU row of picture rows whose colours are Colours.
  void EncodeMcuRow(const std::vector<std::uint8_t>& Colours, std::vector<BYTE>& Out);

  const Capability m_Cap;
  PatternRows m_Rows;
  PictureSettings m_Settings;  // what the colours below are for
  Rgb m_Rgb[kColourCount];     // for RGB24
  Yuv m_Video[kColourCount];   // limited range, for YUY2 and NV12
  Yuv m_Jpeg[kColourCount];    // full range, for MJPG
  // MJPG: the encoder; one picture row of Y, then Cb and Cr at half width; the coded MCU row of
  // the counter (every frame) and of the bars for each position of the bars (index: the bars'
  // shift), coded once for the current settings, empty until needed.
  std::unique_ptr<JpegEncoder> m_Encoder;
  std::vector<BYTE> m_Row;
  std::vector<BYTE> m_CounterRow;
  std::vector<std::vector<BYTE>> m_BarRows;
};

}  // namespace lmcam
