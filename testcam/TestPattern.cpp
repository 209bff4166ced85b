#include "testcam/TestPattern.h"

#include <algorithm>

#include "testcam/LmTestCam.h"

namespace lmcam {
namespace {

constexpr int kStepPerFrame = 4;

// Numerator / Denominator rounded toward minus infinity (Denominator > 0).
LONGLONG FloorDivide(LONGLONG Numerator, LONGLONG Denominator) {
  return Numerator >= 0 ? Numerator / Denominator : -((-Numerator + Denominator - 1) / Denominator);
}

}  // namespace

const Rgb kPatternRgb[kColourCount] = {{255, 255, 255}, {255, 255, 0}, {0, 255, 255},   {0, 255, 0},
                                       {255, 0, 255},   {255, 0, 0},   {0, 0, 255},     {0, 0, 0},
                                       {128, 128, 128}, {255, 255, 255}, {0, 0, 0}};

LONG PatternRows::CounterRows(LONG Height) { return std::min<LONG>(kLmCounterCell, Height); }

void PatternRows::Draw(LONG Width, std::uint32_t FrameNumber, LONG Zoom) {
  m_Counter.resize(static_cast<size_t>(Width));
  m_Bars.resize(static_cast<size_t>(Width));
  const LONG shift = static_cast<LONG>((static_cast<std::uint64_t>(FrameNumber) * kStepPerFrame) % Width);
  m_Shift = shift;
  const LONG counterWidth = kLmCounterBits * kLmCounterCell;
  const std::uint32_t counter = FrameNumber & 0xFFFF;
  const LONG centre = Width / 2;
  for (LONG x = 0; x < Width; ++x) {
    if (x < counterWidth) {
      const int bit = kLmCounterBits - 1 - static_cast<int>(x / kLmCounterCell);
      m_Counter[x] = (counter >> bit) & 1 ? kCellSet : kCellClear;
    } else {
      m_Counter[x] = kGrey;
    }
    // The column of the unzoomed bars that this one shows.
    const LONG u = Zoom == 100 ? x : centre + static_cast<LONG>(FloorDivide(LONGLONG{x - centre} * 100, Zoom));
    const LONG source = (u - shift + Width) % Width;
    m_Bars[x] = static_cast<std::uint8_t>(source * kBarCount / Width);
  }
}

}  // namespace lmcam
