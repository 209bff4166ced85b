#pragma once

// The image and camera settings of a capture device (brightness, exposure, focus, zoom, ...),
// as the camera controls read and set them: which settings there are, and the range a device
// reports for one. TVLmCaptureControl (webcam/LmCaptureControl.h) has the operations.
//
// The settings are the device's own DirectShow properties: the first ten are its video
// processing amplifier's (IAMVideoProcAmp, in that interface's order), the other seven its
// camera control's (IAMCameraControl, in that interface's order). Units are what those
// interfaces define, and what a driver passes on:
//   Exposure      log2 of seconds: -6 is 1/64 s, -5 1/32 s, 0 one second;
//   WhiteBalance  colour temperature in kelvin;
//   Pan, Tilt, Roll   degrees;
//   Zoom, Focus   millimetres (focal length; distance to the focused object);
//   Iris          f-stop times 10;
//   Brightness    the black level (IRE x 100 for NTSC, else 0 blanking to 10000 white);
//   Contrast      gain factor x 100; Hue degrees x 100; Gamma gamma x 100;
//   Saturation    0 to 10000; Sharpness 0 to 100; Gain the device's own (0 normal);
//   ColorEnable   0 off (monochrome), 1 on; BacklightCompensation 0 off, 1 on.
// USB cameras' drivers commonly pass their device's own units instead (a focus in steps, a zoom
// in per cent of the widest angle); read the range, never assume one.
//
// Auto hands a setting to the device, which then chooses its value itself and keeps choosing
// (auto exposure follows the light, auto focus the scene, auto white balance the light's
// colour); reading an automatic setting gives the value the device uses at that moment.
// Setting a value makes the setting manual again.

#include <cstdint>

// The settings, with values kept stable (other interfaces of the library mirror them).
enum TVLmCameraSetting : int32_t {
  vlmBrightness = 0,
  vlmContrast,
  vlmHue,
  vlmSaturation,
  vlmSharpness,
  vlmGamma,
  vlmColorEnable,
  vlmWhiteBalance,
  vlmBacklightCompensation,
  vlmGain,
  vlmPan,
  vlmTilt,
  vlmRoll,
  vlmZoom,
  vlmExposure,
  vlmIris,
  vlmFocus,
};
inline constexpr int32_t vlmCameraSettingCount = 17;

// What a device reports for one setting: its range (Min to Max, both included, in steps of
// Step from Min), its default value (within the range), and whether it can be automatic and
// whether it can be set by hand.
struct TLmCameraSettingRange {
  int32_t Min;
  int32_t Max;
  int32_t Step;
  int32_t Default;
  bool CanAuto;
  bool CanManual;
};
