#include "testcam/PictureSettings.h"

#include <algorithm>
#include <cmath>

namespace lmcam {
namespace {

constexpr LONGLONG kSecond = 10000000;  // 100 ns units

}  // namespace

Rgb AdjustedBarColour(const PictureSettings& Settings, const Rgb& Colour) {
  double c[3] = {static_cast<double>(Colour.R), static_cast<double>(Colour.G), static_cast<double>(Colour.B)};
  // Steps at their defaults are skipped, so that the default picture is exactly the pattern.
  if (Settings.Exposure != kLmTestCameraExposure.AutoValue) {
    const double gain = std::ldexp(1.0, Settings.Exposure - kLmTestCameraExposure.AutoValue);
    for (double& channel : c) channel = std::min(255.0, channel * gain);  // the sensor saturates
  }
  if (Settings.Saturation != kLmTestCameraSaturation.Default) {
    const double luma = 0.299 * c[0] + 0.587 * c[1] + 0.114 * c[2];
    for (double& channel : c) channel = luma + (channel - luma) * Settings.Saturation / 100.0;
  }
  if (Settings.Contrast != kLmTestCameraContrast.Default) {
    for (double& channel : c) channel = 128 + (channel - 128) * Settings.Contrast / 32.0;
  }
  if (Settings.Brightness != kLmTestCameraBrightness.Default) {
    for (double& channel : c) channel += Settings.Brightness;
  }
  auto level = [](double Value) { return static_cast<BYTE>(std::clamp(std::lround(Value), 0L, 255L)); };
  return {level(c[0]), level(c[1]), level(c[2])};
}

LONGLONG FrameSlots(LONG Exposure, REFERENCE_TIME FrameInterval) {
  if (FrameInterval <= 0) return 1;
  // 2^Exposure seconds; the exposures of the range are at most a few seconds long.
  const double exposure = std::ldexp(static_cast<double>(kSecond), Exposure);
  const auto slots = static_cast<LONGLONG>(std::ceil(exposure / static_cast<double>(FrameInterval)));
  return std::max<LONGLONG>(slots, 1);
}

}  // namespace lmcam
