#pragma once

#include <cstdint>

// Display settings of the product family's image controls that the core library defines.

// How fast the selection rectangle blinks.
enum TVLmBlinkSpeed : uint8_t {
  vlmBlinkSlow = 0,
  vlmBlinkMedium = 1,
  vlmBlinkFast = 2,
};

// Measuring scale of the rulers, the grid and the coordinate tool tip.
enum TVLmUnit : uint8_t {
  vlmUnitNone = 0,
  vlmUnitPixel = 1,
  vlmUnitMillimeter = 2,
  vlmUnitInch = 3,
};
