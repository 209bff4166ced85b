#include "testcam/FramePainter.h"

#include <uuids.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace lmcam {
namespace {

constexpr int kJpegQuality = 85;

BYTE Round(double Value) { return static_cast<BYTE>(std::clamp(std::lround(Value), 0L, 255L)); }

}  // namespace

FramePainter::Yuv FramePainter::LimitedRangeBt601(const Rgb& Colour) {
  const double y = 0.299 * Colour.R + 0.587 * Colour.G + 0.114 * Colour.B;
  return {Round(16 + y * 219 / 255), Round(128 + (Colour.B - y) / 1.772 * 224 / 255),
          Round(128 + (Colour.R - y) / 1.402 * 224 / 255)};
}

FramePainter::Yuv FramePainter::FullRangeBt601(const Rgb& Colour) {
  const double y = 0.299 * Colour.R + 0.587 * Colour.G + 0.114 * Colour.B;
  return {Round(y), Round(128 + (Colour.B - y) / 1.772), Round(128 + (Colour.R - y) / 1.402)};
}

FramePainter::FramePainter(const Capability& Cap) : m_Cap(Cap) {
  SetColours(m_Settings);
  if (IsEqualGUID(Cap.SubType, MEDIASUBTYPE_MJPG)) {
    m_Encoder = std::make_unique<JpegEncoder>(Cap.Width, Cap.Height, kJpegQuality);
    m_Row.resize(static_cast<size_t>(Cap.Width) + 2 * static_cast<size_t>((Cap.Width + 1) / 2));
    m_BarRows.resize(static_cast<size_t>(Cap.Width));
  }
}

void FramePainter::SetColours(const PictureSettings& Settings) {
  m_Settings = Settings;
  // Rows coded in the old colours (or at the old zoom) are of no more use.
  m_BarRows.assign(m_BarRows.size(), {});
  for (int i = 0; i < kColourCount; ++i) {
    // The counter rows are drawn as they are at every setting.
    m_Rgb[i] = i < kBarCount ? AdjustedBarColour(Settings, kPatternRgb[i]) : kPatternRgb[i];
    m_Video[i] = LimitedRangeBt601(m_Rgb[i]);
    m_Jpeg[i] = FullRangeBt601(m_Rgb[i]);
  }
}

size_t FramePainter::Paint(std::uint32_t FrameNumber, const PictureSettings& Settings, BYTE* Buffer,
                           size_t Capacity) {
  if (Settings != m_Settings) SetColours(Settings);
  m_Rows.Draw(m_Cap.Width, FrameNumber, Settings.Zoom);
  if (IsEqualGUID(m_Cap.SubType, MEDIASUBTYPE_MJPG)) return PaintMjpg(Buffer, Capacity);
  if (Capacity < ImageSize(m_Cap)) return 0;
  if (IsEqualGUID(m_Cap.SubType, MEDIASUBTYPE_YUY2)) return PaintYuy2(Buffer);
  if (IsEqualGUID(m_Cap.SubType, MEDIASUBTYPE_NV12)) return PaintNv12(Buffer);
  return PaintRgb24(Buffer);
}

// Each kind of row is drawn once, then copied to the rows of its kind.
size_t FramePainter::PaintRgb24(BYTE* Buffer) const {
  const LONG width = m_Cap.Width, height = m_Cap.Height, stride = RowStride(width);
  BYTE* first[2] = {nullptr, nullptr};
  for (LONG y = 0; y < height; ++y) {
    // A bottom-up DIB: picture row y is buffer row height - 1 - y.
    BYTE* row = Buffer + static_cast<size_t>(height - 1 - y) * stride;
    const int kind = y < PatternRows::CounterRows(height) ? 0 : 1;
    if (first[kind]) {
      std::memcpy(row, first[kind], static_cast<size_t>(stride));
      continue;
    }
    const std::uint8_t* colours = m_Rows.Row(y, height);
    for (LONG x = 0; x < width; ++x) {
      const Rgb& colour = m_Rgb[colours[x]];
      row[x * 3] = colour.B;
      row[x * 3 + 1] = colour.G;
      row[x * 3 + 2] = colour.R;
    }
    std::fill(row + width * 3, row + stride, BYTE{0});
    first[kind] = row;
  }
  return ImageSize(m_Cap);
}

size_t FramePainter::PaintYuy2(BYTE* Buffer) const {
  const LONG width = m_Cap.Width, height = m_Cap.Height;
  const size_t stride = static_cast<size_t>(width) * 2;
  for (int kind = 0; kind < 2; ++kind) {
    const LONG top = kind == 0 ? 0 : PatternRows::CounterRows(height);
    if (top >= height) continue;
    BYTE* row = Buffer + top * stride;
    const std::uint8_t* colours = m_Rows.Row(top, height);
    for (LONG x = 0; x + 1 < width; x += 2) {
      const Yuv& a = m_Video[colours[x]];
      const Yuv& b = m_Video[colours[x + 1]];
      row[x * 2] = a.Y;
      row[x * 2 + 1] = static_cast<BYTE>((a.U + b.U + 1) / 2);
      row[x * 2 + 2] = b.Y;
      row[x * 2 + 3] = static_cast<BYTE>((a.V + b.V + 1) / 2);
    }
    const LONG bottom = kind == 0 ? PatternRows::CounterRows(height) : height;
    for (LONG y = top + 1; y < bottom; ++y) std::memcpy(Buffer + y * stride, row, stride);
  }
  return ImageSize(m_Cap);
}

size_t FramePainter::PaintNv12(BYTE* Buffer) const {
  const LONG width = m_Cap.Width, height = m_Cap.Height;
  BYTE* chroma = Buffer + static_cast<size_t>(width) * height;
  for (LONG y = 0; y < height; ++y) {
    const std::uint8_t* colours = m_Rows.Row(y, height);
    BYTE* luma = Buffer + static_cast<size_t>(y) * width;
    if (y > 0 && colours == m_Rows.Row(y - 1, height)) {
      std::memcpy(luma, luma - width, static_cast<size_t>(width));
    } else {
      for (LONG x = 0; x < width; ++x) luma[x] = m_Video[colours[x]].Y;
    }
    if (y % 2) continue;
    // One row of U, V pairs for every two picture rows, from the upper one.
    BYTE* uv = chroma + static_cast<size_t>(y / 2) * width;
    for (LONG x = 0; x + 1 < width; x += 2) {
      uv[x] = m_Video[colours[x]].U;
      uv[x + 1] = m_Video[colours[x]].V;
    }
  }
  return ImageSize(m_Cap);
}

// The counter's MCU row (picture rows 0..7) changes with every frame; the MCU rows below it
// are bar rows only, all alike, so the one coded row of the bars' position serves them all.
size_t FramePainter::PaintMjpg(BYTE* Buffer, size_t Capacity) {
  EncodeMcuRow(m_Rows.Counter(), m_CounterRow);
  std::vector<BYTE>& bars = m_BarRows.at(static_cast<size_t>(m_Rows.Shift()));
  if (bars.empty() && m_Encoder->McuRows() > 1) EncodeMcuRow(m_Rows.Bars(), bars);
  return m_Encoder->WriteFrame(m_CounterRow, bars, Buffer, Capacity);
}

void FramePainter::EncodeMcuRow(const std::vector<std::uint8_t>& Colours, std::vector<BYTE>& Out) {
  const LONG width = m_Cap.Width, chromaWidth = (width + 1) / 2;
  BYTE* luma = m_Row.data();
  BYTE* cb = luma + width;
  BYTE* cr = cb + chromaWidth;
  for (LONG x = 0; x < width; ++x) luma[x] = m_Jpeg[Colours[x]].Y;
  for (LONG x = 0; x < chromaWidth; ++x) {
    cb[x] = m_Jpeg[Colours[2 * x]].U;
    cr[x] = m_Jpeg[Colours[2 * x]].V;
  }
  // Every picture row of an MCU row is the same row.
  m_Encoder->EncodeMcuRow(luma, cb, cr, 1, Out);
}

}  // namespace lmcam
