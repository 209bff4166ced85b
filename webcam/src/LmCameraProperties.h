#pragma once

// A capture device's image and camera settings as DirectShow reaches them: the video processing
// amplifier (IAMVideoProcAmp) and the camera control (IAMCameraControl) that a driver exposes on
// its filter. Internal to the camera library.

#include <windows.h>

#include <dshow.h>

#include "webcam/LmCameraSettings.h"

namespace lm {

// The name of a setting as settings texts write it ("Brightness", "WhiteBalance"), or null for
// a value outside the enumeration.
const wchar_t* CameraSettingName(TVLmCameraSetting Setting);

// The raw answers of the device's interface for Setting. E_NOINTERFACE when the filter has no
// interface for the setting's group; otherwise what the driver answered.
HRESULT GetPropertyRange(IBaseFilter* Device, TVLmCameraSetting Setting, LONG& Min, LONG& Max, LONG& Step,
                         LONG& Default, LONG& CapsFlags);
HRESULT GetProperty(IBaseFilter* Device, TVLmCameraSetting Setting, LONG& Value, LONG& Flags);
HRESULT SetProperty(IBaseFilter* Device, TVLmCameraSetting Setting, LONG Value, bool Auto);

// Whether an answer says the device has no such setting (rather than that it failed).
bool IsUnsupported(HRESULT Answer);

}  // namespace lm
