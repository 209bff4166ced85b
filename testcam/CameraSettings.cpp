#include "testcam/CameraSettings.h"

#include <vfwmsgs.h>

namespace lmcam {
namespace {

// The flags of both interfaces have the same values.
static_assert(LONG{VideoProcAmp_Flags_Auto} == LONG{CameraControl_Flags_Auto} &&
              LONG{VideoProcAmp_Flags_Manual} == LONG{CameraControl_Flags_Manual});
constexpr LONG kAuto = VideoProcAmp_Flags_Auto;
constexpr LONG kManual = VideoProcAmp_Flags_Manual;

bool CanAuto(const LmTestCameraSetting& Range) { return (Range.CapsFlags & kAuto) != 0; }

}  // namespace

LONG RoundToStep(const LmTestCameraSetting& Range, LONG Value) {
  const LONG steps = (Value - Range.Min + Range.Step / 2) / Range.Step;
  return Range.Min + steps * Range.Step;
}

CameraSettings::CameraSettings(bool Uvc) {
  auto add = [this](SettingGroup Group, const auto& Ranges) {
    for (const LmTestCameraSetting& range : Ranges) m_Settings.push_back({Group, range, range.Default, CanAuto(range)});
  };
  if (Uvc) {
    add(SettingGroup::VideoProcAmp, kLmTestCameraUvcVideoProcAmp);
    add(SettingGroup::CameraControl, kLmTestCameraUvcCameraControl);
  } else {
    add(SettingGroup::VideoProcAmp, kLmTestCameraRgbVideoProcAmp);
  }
}

bool CameraSettings::HasGroup(SettingGroup Group) const {
  for (const Setting& setting : m_Settings)
    if (setting.Group == Group) return true;
  return false;
}

CameraSettings::Setting* CameraSettings::Find(SettingGroup Group, LONG Property) {
  for (Setting& setting : m_Settings)
    if (setting.Group == Group && setting.Range.Property == Property) return &setting;
  return nullptr;
}

const CameraSettings::Setting* CameraSettings::Find(SettingGroup Group, LONG Property) const {
  return const_cast<CameraSettings*>(this)->Find(Group, Property);
}

HRESULT CameraSettings::GetRange(SettingGroup Group, LONG Property, LONG* Min, LONG* Max, LONG* Step, LONG* Default,
                                 LONG* CapsFlags) const {
  if (!Min || !Max || !Step || !Default || !CapsFlags) return E_POINTER;
  // The ranges are fixed: no lock needed.
  const Setting* setting = Find(Group, Property);
  if (!setting) return E_PROP_ID_UNSUPPORTED;
  *Min = setting->Range.Min;
  *Max = setting->Range.Max;
  *Step = setting->Range.Step;
  *Default = setting->Range.Default;
  *CapsFlags = setting->Range.CapsFlags;
  return S_OK;
}

HRESULT CameraSettings::Set(SettingGroup Group, LONG Property, LONG Value, LONG Flags) {
  Setting* setting = Find(Group, Property);
  if (!setting) return E_PROP_ID_UNSUPPORTED;
  if (Flags == kAuto) {
    // As a driver does, the value that comes with the auto flag is ignored.
    if (!CanAuto(setting->Range)) return E_INVALIDARG;
    std::lock_guard lock(m_Lock);
    setting->Auto = true;
    return S_OK;
  }
  if (Flags != kManual) return E_INVALIDARG;
  if (Value < setting->Range.Min || Value > setting->Range.Max) return E_INVALIDARG;
  std::lock_guard lock(m_Lock);
  setting->Value = RoundToStep(setting->Range, Value);
  setting->Auto = false;
  return S_OK;
}

HRESULT CameraSettings::Get(SettingGroup Group, LONG Property, LONG* Value, LONG* Flags) const {
  if (!Value || !Flags) return E_POINTER;
  const Setting* setting = Find(Group, Property);
  if (!setting) return E_PROP_ID_UNSUPPORTED;
  std::lock_guard lock(m_Lock);
  *Value = setting->Applied();
  *Flags = setting->Auto ? kAuto : kManual;
  return S_OK;
}

LONG CameraSettings::AppliedOrDefault(SettingGroup Group, const LmTestCameraSetting& Range) const {
  const Setting* setting = Find(Group, Range.Property);
  return setting ? setting->Applied() : Range.AutoValue;
}

PictureSettings CameraSettings::Picture() const {
  std::lock_guard lock(m_Lock);
  PictureSettings picture;
  picture.Brightness = AppliedOrDefault(SettingGroup::VideoProcAmp, kLmTestCameraBrightness);
  picture.Contrast = AppliedOrDefault(SettingGroup::VideoProcAmp, kLmTestCameraContrast);
  picture.Saturation = AppliedOrDefault(SettingGroup::VideoProcAmp, kLmTestCameraSaturation);
  picture.Zoom = AppliedOrDefault(SettingGroup::CameraControl, kLmTestCameraZoom);
  picture.Exposure = AppliedOrDefault(SettingGroup::CameraControl, kLmTestCameraExposure);
  return picture;
}

}  // namespace lmcam
