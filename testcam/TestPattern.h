#pragma once

// The camera's picture, independent of the format it is sent in (layout and colours in
// LmTestCam.h): every picture row is one of two kinds, the counter rows at the top and the
// colour bar rows below, so a frame is described by one row of colour indices of each kind.

#include <windows.h>

#include <cstdint>
#include <vector>

namespace lmcam {

// Colour indices: the eight bars from left to right, then the colours of the counter rows (the
// grey, a set cell and a clear cell), which no setting changes.
enum PatternColour : std::uint8_t {
  kWhite,
  kYellow,
  kCyan,
  kGreen,
  kMagenta,
  kRed,
  kBlue,
  kBlack,
  kGrey,
  kCellSet,
  kCellClear,
  kColourCount
};
constexpr int kBarCount = 8;

struct Rgb {
  BYTE R, G, B;
};
// The RGB value of each PatternColour.
extern const Rgb kPatternRgb[kColourCount];

class PatternRows {
public:
  // Fills both rows for frame FrameNumber of a Width-pixel picture, the bars at Zoom (percent,
  // 100 or more: LmTestCam.h).
  void Draw(LONG Width, std::uint32_t FrameNumber, LONG Zoom);
  // How many rows from the top are counter rows (kLmCounterCell, or fewer in a lower picture).
  static LONG CounterRows(LONG Height);
  const std::vector<std::uint8_t>& Counter() const { return m_Counter; }
  const std::vector<std::uint8_t>& Bars() const { return m_Bars; }
  // How far the bars have moved right (0 .. Width - 1): the bar rows of two frames with the
  // same shift (and the same zoom) are the same.
  LONG Shift() const { return m_Shift; }
  // The row of colour indices for picture row Y (0 = top).
  const std::uint8_t* Row(LONG Y, LONG Height) const {
    return Y < CounterRows(Height) ? m_Counter.data() : m_Bars.data();
  }

private:
  std::vector<std::uint8_t> m_Counter;
  std::vector<std::uint8_t> m_Bars;
  LONG m_Shift = 0;
};

}  // namespace lmcam
