// The camera controls' image and camera settings (webcam/LmCameraSettings.h).

#include <string>

#include "capi/src/Boundary.h"
#include "capi/src/StringOut.h"
#include "lumora10.h"
#include "webcam/LmCameraSettings.h"

namespace {

// The interface's setting numbers are the library's.
static_assert(LM10_SETTING_BRIGHTNESS == vlmBrightness && LM10_SETTING_GAIN == vlmGain && LM10_SETTING_PAN == vlmPan &&
                  LM10_SETTING_FOCUS == vlmFocus && LM10_SETTING_FOCUS + 1 == vlmCameraSettingCount,
              "LM10_SETTING_... differ from TVLmCameraSetting");

bool IsSetting(INT32 Setting) { return Setting >= 0 && Setting < vlmCameraSettingCount; }

TVLmCameraSetting SettingOf(INT32 Setting) { return static_cast<TVLmCameraSetting>(Setting); }

}  // namespace

extern "C" {

Lm10Result LM10_CALL Lm10GetCameraSettingRange(Lm10Control control, INT32 setting, Lm10CameraSettingRange* range) {
  return lm10::WithControl(control, lm10::kCamera, [&](lm10::ControlEntry& entry) -> Lm10Result {
    if (!IsSetting(setting) || !range || range->Size < sizeof(Lm10CameraSettingRange)) return LM10_ERR_INVALID_ARGUMENT;
    TLmCameraSettingRange read{};
    if (!entry.Camera->GetCameraSettingRange(SettingOf(setting), read)) return lm10::Outcome(entry, false);
    Lm10CameraSettingRange value{};
    value.Size = range->Size;
    value.Min = read.Min;
    value.Max = read.Max;
    value.Step = read.Step;
    value.Default = read.Default;
    value.CanAuto = read.CanAuto ? TRUE : FALSE;
    value.CanManual = read.CanManual ? TRUE : FALSE;
    *range = value;  // the 1.0 structure; a larger one keeps its later fields
    return LM10_OK;
  });
}

Lm10Result LM10_CALL Lm10GetCameraSetting(Lm10Control control, INT32 setting, INT32* value, BOOL* isAuto) {
  return lm10::WithControl(control, lm10::kCamera, [&](lm10::ControlEntry& entry) -> Lm10Result {
    if (!IsSetting(setting) || !value || !isAuto) return LM10_ERR_INVALID_ARGUMENT;
    int32_t read = 0;
    bool automatic = false;
    if (!entry.Camera->GetCameraSetting(SettingOf(setting), read, automatic)) return lm10::Outcome(entry, false);
    *value = read;
    *isAuto = automatic ? TRUE : FALSE;
    return LM10_OK;
  });
}

Lm10Result LM10_CALL Lm10SetCameraSetting(Lm10Control control, INT32 setting, INT32 value) {
  return lm10::WithControl(control, lm10::kCamera, [&](lm10::ControlEntry& entry) -> Lm10Result {
    if (!IsSetting(setting)) return LM10_ERR_INVALID_ARGUMENT;
    return lm10::Outcome(entry, entry.Camera->SetCameraSetting(SettingOf(setting), value));
  });
}

Lm10Result LM10_CALL Lm10SetCameraSettingAuto(Lm10Control control, INT32 setting) {
  return lm10::WithControl(control, lm10::kCamera, [&](lm10::ControlEntry& entry) -> Lm10Result {
    if (!IsSetting(setting)) return LM10_ERR_INVALID_ARGUMENT;
    return lm10::Outcome(entry, entry.Camera->SetCameraSettingAuto(SettingOf(setting)));
  });
}

Lm10Result LM10_CALL Lm10GetCameraSettings(Lm10Control control, wchar_t* buffer, UINT32 capacity, UINT32* needed) {
  return lm10::WithControl(control, lm10::kCamera, [&](lm10::ControlEntry& entry) -> Lm10Result {
    if (!lm10::ValidBuffer(buffer, capacity)) return LM10_ERR_INVALID_ARGUMENT;
    const std::wstring text = entry.Camera->CameraSettings();
    if (lm10::Status(entry) != LM10_OK) return lm10::Status(entry);
    return lm10::CopyOut(text, buffer, capacity, needed);
  });
}

Lm10Result LM10_CALL Lm10SetCameraSettings(Lm10Control control, const wchar_t* text) {
  return lm10::WithControl(control, lm10::kCamera, [&](lm10::ControlEntry& entry) -> Lm10Result {
    if (!text) return LM10_ERR_INVALID_ARGUMENT;
    return lm10::Outcome(entry, entry.Camera->SetCameraSettings(text));
  });
}

}  // extern "C"
