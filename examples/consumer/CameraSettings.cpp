// The README's camera-settings example: a camera's settings kept as a text per device, changed,
// and restored after the camera was opened again.

#include "Examples.h"

#include <cstdio>
#include <map>

#include "webcam/LmPreview.h"

// [README settings]
// The settings of each camera the application has seen, by the camera's identity.
static std::map<std::wstring, std::wstring> savedSettings;

bool AdjustAndRestoreFirstCamera(HWND Parent) {
  TVLmPreview preview(nullptr);
  preview.SetParentWindow(Parent);
  if (preview.VideoDevicePaths()->Count() < 1 || !preview.Open(0)) return false;
  const std::wstring path = (*preview.VideoDevicePaths())[0];
  savedSettings[path] = preview.CameraSettings();  // "Brightness=0\r\nExposure=auto\r\n..."

  // Brighter by a quarter of the range, where the camera lets the brightness be set by hand.
  TLmCameraSettingRange range{};
  if (preview.GetCameraSettingRange(vlmBrightness, range) && range.CanManual) {
    const int32_t brighter = range.Default + (range.Max - range.Min) / 4;
    preview.SetCameraSetting(vlmBrightness, brighter < range.Max ? brighter : range.Max);
    int32_t value = 0;
    bool automatic = false;
    if (preview.GetCameraSetting(vlmBrightness, value, automatic))  // what the camera applied
      std::wprintf(L"brightness %d (range %d to %d)\n", value, range.Min, range.Max);
  }
  preview.Close();

  // Later, wherever the device list has moved the camera: open it by its identity, restore.
  if (!preview.OpenDevice(path) || !preview.SetCameraSettings(savedSettings[path])) {
    std::fwprintf(stderr, L"settings: error %d\n", preview.ErrorStatus());
    return false;
  }
  return preview.Close();
}
// [README end]
