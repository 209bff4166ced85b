#include "webcam/src/LmCameraProperties.h"

#include <wrl/client.h>

using Microsoft::WRL::ComPtr;

namespace lm {
namespace {

// The first setting of the camera-control group; those before it are the amplifier's.
constexpr int32_t kFirstCameraControl = vlmPan;

bool IsAmplifierSetting(TVLmCameraSetting Setting) { return Setting < kFirstCameraControl; }

// The setting's property number in its interface.
LONG PropertyOf(TVLmCameraSetting Setting) {
  return IsAmplifierSetting(Setting) ? static_cast<LONG>(Setting) : static_cast<LONG>(Setting - kFirstCameraControl);
}

template <typename Interface>
ComPtr<Interface> Query(IBaseFilter* Device, REFIID Iid) {
  ComPtr<Interface> found;
  if (!Device || Device->QueryInterface(Iid, reinterpret_cast<void**>(found.GetAddressOf())) != S_OK) return nullptr;
  return found;
}

}  // namespace

const wchar_t* CameraSettingName(TVLmCameraSetting Setting) {
  static const wchar_t* const kNames[vlmCameraSettingCount] = {
      L"Brightness", L"Contrast", L"Hue",  L"Saturation", L"Sharpness", L"Gamma",    L"ColorEnable", L"WhiteBalance",
      L"BacklightCompensation", L"Gain", L"Pan", L"Tilt", L"Roll",       L"Zoom",      L"Exposure", L"Iris",
      L"Focus"};
  if (Setting < 0 || Setting >= vlmCameraSettingCount) return nullptr;
  return kNames[Setting];
}

HRESULT GetPropertyRange(IBaseFilter* Device, TVLmCameraSetting Setting, LONG& Min, LONG& Max, LONG& Step,
                         LONG& Default, LONG& CapsFlags) {
  if (IsAmplifierSetting(Setting)) {
    const ComPtr<IAMVideoProcAmp> amplifier = Query<IAMVideoProcAmp>(Device, IID_IAMVideoProcAmp);
    if (!amplifier) return E_NOINTERFACE;
    return amplifier->GetRange(PropertyOf(Setting), &Min, &Max, &Step, &Default, &CapsFlags);
  }
  const ComPtr<IAMCameraControl> camera = Query<IAMCameraControl>(Device, IID_IAMCameraControl);
  if (!camera) return E_NOINTERFACE;
  return camera->GetRange(PropertyOf(Setting), &Min, &Max, &Step, &Default, &CapsFlags);
}

HRESULT GetProperty(IBaseFilter* Device, TVLmCameraSetting Setting, LONG& Value, LONG& Flags) {
  if (IsAmplifierSetting(Setting)) {
    const ComPtr<IAMVideoProcAmp> amplifier = Query<IAMVideoProcAmp>(Device, IID_IAMVideoProcAmp);
    if (!amplifier) return E_NOINTERFACE;
    return amplifier->Get(PropertyOf(Setting), &Value, &Flags);
  }
  const ComPtr<IAMCameraControl> camera = Query<IAMCameraControl>(Device, IID_IAMCameraControl);
  if (!camera) return E_NOINTERFACE;
  return camera->Get(PropertyOf(Setting), &Value, &Flags);
}

HRESULT SetProperty(IBaseFilter* Device, TVLmCameraSetting Setting, LONG Value, bool Auto) {
  // Both interfaces give Auto 1 and Manual 2.
  if (IsAmplifierSetting(Setting)) {
    const ComPtr<IAMVideoProcAmp> amplifier = Query<IAMVideoProcAmp>(Device, IID_IAMVideoProcAmp);
    if (!amplifier) return E_NOINTERFACE;
    return amplifier->Set(PropertyOf(Setting), Value, Auto ? VideoProcAmp_Flags_Auto : VideoProcAmp_Flags_Manual);
  }
  const ComPtr<IAMCameraControl> camera = Query<IAMCameraControl>(Device, IID_IAMCameraControl);
  if (!camera) return E_NOINTERFACE;
  return camera->Set(PropertyOf(Setting), Value, Auto ? CameraControl_Flags_Auto : CameraControl_Flags_Manual);
}

bool IsUnsupported(HRESULT Answer) {
  return Answer == E_NOINTERFACE || Answer == E_PROP_ID_UNSUPPORTED || Answer == E_NOTIMPL ||
         Answer == HRESULT_FROM_WIN32(ERROR_NOT_SUPPORTED);
}

}  // namespace lm
