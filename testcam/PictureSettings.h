#pragma once

// The settings that change the camera's picture, and what they do to it (LmTestCam.h gives the
// rules): the colour of the bars, the zoom, and the exposure time that may stretch a frame over
// several frame intervals.

#include <windows.h>

#include <strmif.h>

#include "testcam/LmTestCam.h"
#include "testcam/TestPattern.h"

namespace lmcam {

// The applied values (an auto setting's value is the one the camera picked).
struct PictureSettings {
  LONG Brightness = kLmTestCameraBrightness.Default;
  LONG Contrast = kLmTestCameraContrast.Default;
  LONG Saturation = kLmTestCameraSaturation.Default;
  LONG Zoom = kLmTestCameraZoom.Default;
  LONG Exposure = kLmTestCameraExposure.AutoValue;

  bool operator==(const PictureSettings& Other) const = default;
};

// A bar's colour under Settings (exposure, saturation, contrast, brightness).
Rgb AdjustedBarColour(const PictureSettings& Settings, const Rgb& Colour);

// How many frame intervals of FrameInterval (100 ns units) one frame takes at Exposure: 1, or
// more when the exposure lasts longer than an interval.
LONGLONG FrameSlots(LONG Exposure, REFERENCE_TIME FrameInterval);

}  // namespace lmcam
