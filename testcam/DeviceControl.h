#pragma once

// IAMVideoProcAmp and IAMCameraControl of a camera filter, on its CameraSettings. The two
// interfaces have methods of the same names and signatures, so each is a part of its own (a
// ComPart of the filter, sharing the filter's count) instead of a base of the filter; a part's
// QueryInterface is the filter's, so that the filter keeps one COM identity.

#include <windows.h>

#include <strmif.h>

#include <type_traits>

#include "testcam/CameraSettings.h"
#include "testcam/ComBoundary.h"

namespace lmcam {

template <typename Interface>
class DeviceControl : public Interface {
  static_assert(std::is_same_v<Interface, IAMVideoProcAmp> || std::is_same_v<Interface, IAMCameraControl>);
  static constexpr SettingGroup kGroup =
      std::is_same_v<Interface, IAMVideoProcAmp> ? SettingGroup::VideoProcAmp : SettingGroup::CameraControl;

public:
  // Identity: the filter, which owns this part and outlives it; Settings: the filter's.
  DeviceControl(IUnknown* Identity, CameraSettings& Settings) : m_Identity(Identity), m_Settings(Settings) {}
  virtual ~DeviceControl() = default;

  // IUnknown (AddRef and Release are the filter's, through ComPart)
  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override { return m_Identity->QueryInterface(riid, ppv); }
  STDMETHODIMP_(ULONG) AddRef() override = 0;
  STDMETHODIMP_(ULONG) Release() override = 0;

  STDMETHODIMP GetRange(LONG Property, LONG* Min, LONG* Max, LONG* Step, LONG* Default, LONG* CapsFlags) override {
    return ComBoundary([&] { return m_Settings.GetRange(kGroup, Property, Min, Max, Step, Default, CapsFlags); });
  }
  STDMETHODIMP Set(LONG Property, LONG Value, LONG Flags) override {
    return ComBoundary([&] { return m_Settings.Set(kGroup, Property, Value, Flags); });
  }
  STDMETHODIMP Get(LONG Property, LONG* Value, LONG* Flags) override {
    return ComBoundary([&] { return m_Settings.Get(kGroup, Property, Value, Flags); });
  }

private:
  IUnknown* const m_Identity;  // raw: the filter owns this part
  CameraSettings& m_Settings;
};

}  // namespace lmcam
