#include "testcam/TestPattern.h"

#include <algorithm>

#include "testcam/Capabilities.h"
#include "testcam/LmTestCam.h"

namespace lmcam {
namespace {

struct Rgb {
  BYTE R, G, B;
};

constexpr Rgb kBars[8] = {{255, 255, 255}, {255, 255, 0}, {0, 255, 255}, {0, 255, 0},
                          {255, 0, 255},   {255, 0, 0},   {0, 0, 255},   {0, 0, 0}};
constexpr Rgb kGrey = {128, 128, 128};
constexpr int kStepPerFrame = 4;

// The bytes of picture row Y (0 = top) in a bottom-up DIB.
BYTE* PictureRow(BYTE* Buffer, LONG Width, LONG Height, LONG Y) {
  return Buffer + static_cast<size_t>(Height - 1 - Y) * RowStride(Width);
}

void Put(BYTE* Pixel, Rgb Colour) {
  // RGB24 stores blue, green, red.
  Pixel[0] = Colour.B;
  Pixel[1] = Colour.G;
  Pixel[2] = Colour.R;
}

}  // namespace

void DrawTestPattern(BYTE* Buffer, LONG Width, LONG Height, std::uint32_t FrameNumber) {
  const LONG shift = static_cast<LONG>((static_cast<std::uint64_t>(FrameNumber) * kStepPerFrame) % Width);
  const LONG counterRows = std::min<LONG>(kLmCounterCell, Height);
  const LONG counterWidth = kLmCounterBits * kLmCounterCell;
  const std::uint32_t counter = FrameNumber & 0xFFFF;
  for (LONG y = 0; y < Height; ++y) {
    BYTE* row = PictureRow(Buffer, Width, Height, y);
    for (LONG x = 0; x < Width; ++x) {
      Rgb colour;
      if (y < counterRows) {
        if (x < counterWidth) {
          const int bit = kLmCounterBits - 1 - static_cast<int>(x / kLmCounterCell);
          colour = (counter >> bit) & 1 ? kBars[0] : kBars[7];
        } else {
          colour = kGrey;
        }
      } else {
        const LONG source = (x - shift + Width) % Width;
        colour = kBars[source * 8 / Width];
      }
      Put(row + x * 3, colour);
    }
    // Padding bytes at the end of the row.
    std::fill(row + Width * 3, row + RowStride(Width), BYTE{0});
  }
}

}  // namespace lmcam
