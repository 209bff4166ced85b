// The camera's settings through IAMVideoProcAmp and IAMCameraControl, as a driver answers them:
// the ranges of LmTestCam.h read back, the properties and interfaces each variant lacks,
// rounding to the step, refused values and flags, and auto -> manual -> auto.

#include <gtest/gtest.h>

#include <windows.h>

#include <dshow.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "testcam/CameraRig.h"
#include "testcam/LmTestCam.h"

namespace camtest {
namespace {

constexpr LONG kAuto = VideoProcAmp_Flags_Auto;  // the same in both interfaces
constexpr LONG kManual = VideoProcAmp_Flags_Manual;
using Reading = std::pair<LONG, LONG>;  // value, flags

// One camera's two interfaces, addressed by the setting's constant.
struct Settings {
  explicit Settings(REFCLSID Clsid) {
    EXPECT_EQ(CoCreateInstance(Clsid, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&Filter)), S_OK);
    ProcAmp = As<IAMVideoProcAmp>(Filter.Get());
    Camera = As<IAMCameraControl>(Filter.Get());
  }
  static bool OfCamera(const LmTestCameraSetting& Setting) {
    for (const LmTestCameraSetting& known : kLmTestCameraUvcCameraControl)
      if (known.Property == Setting.Property && known.Min == Setting.Min && known.Max == Setting.Max) return true;
    return false;
  }
  HRESULT Set(const LmTestCameraSetting& Setting, LONG Value, LONG Flags) {
    return OfCamera(Setting) ? Camera->Set(Setting.Property, Value, Flags)
                             : ProcAmp->Set(Setting.Property, Value, Flags);
  }
  Reading Get(const LmTestCameraSetting& Setting) {
    LONG value = 0x7777, flags = 0x7777;
    const HRESULT hr = OfCamera(Setting) ? Camera->Get(Setting.Property, &value, &flags)
                                         : ProcAmp->Get(Setting.Property, &value, &flags);
    EXPECT_EQ(hr, S_OK) << Setting.Property;
    return {value, flags};
  }
  // GetRange answers the constant, and Get the value a new camera starts with.
  void ExpectFresh(const LmTestCameraSetting& Setting) {
    LONG range[5] = {};
    const HRESULT hr = OfCamera(Setting)
                           ? Camera->GetRange(Setting.Property, &range[0], &range[1], &range[2], &range[3], &range[4])
                           : ProcAmp->GetRange(Setting.Property, &range[0], &range[1], &range[2], &range[3], &range[4]);
    ASSERT_EQ(hr, S_OK) << Setting.Property;
    const LONG expected[5] = {Setting.Min, Setting.Max, Setting.Step, Setting.Default, Setting.CapsFlags};
    EXPECT_TRUE(std::equal(range, range + 5, expected)) << Setting.Property;
    const bool canAuto = (Setting.CapsFlags & kAuto) != 0;
    EXPECT_EQ(Get(Setting), Reading(canAuto ? Setting.AutoValue : Setting.Default, canAuto ? kAuto : kManual));
  }

  ComPtr<IBaseFilter> Filter;
  ComPtr<IAMVideoProcAmp> ProcAmp;
  ComPtr<IAMCameraControl> Camera;
};

TEST(TestCamSettings, UvcCameraReportsEveryRangeAndReadsBackWhatItApplies) {
  Settings uvc(CLSID_LmTestCameraUvc);
  ASSERT_TRUE(uvc.ProcAmp && uvc.Camera);
  std::vector<LmTestCameraSetting> all(std::begin(kLmTestCameraUvcVideoProcAmp),
                                       std::end(kLmTestCameraUvcVideoProcAmp));
  all.insert(all.end(), std::begin(kLmTestCameraUvcCameraControl), std::end(kLmTestCameraUvcCameraControl));
  for (const auto& setting : all) uvc.ExpectFresh(setting);
  // Each at its maximum reads back as set and manual, none disturbing another.
  for (const auto& setting : all) ASSERT_EQ(uvc.Set(setting, setting.Max, kManual), S_OK) << setting.Property;
  for (const auto& setting : all) EXPECT_EQ(uvc.Get(setting), Reading(setting.Max, kManual)) << setting.Property;
  // The settings belong to the object: another one starts at the defaults.
  Settings other(CLSID_LmTestCameraUvc);
  for (const auto& setting : all) other.ExpectFresh(setting);
}

TEST(TestCamSettings, WhatACameraLacksIsUnsupported) {
  LONG a, b, c, d, e;
  for (const CLSID* clsid : {&CLSID_LmTestCamera, &CLSID_LmTestCameraPreview}) {
    Settings rgb(*clsid);
    ASSERT_TRUE(rgb.ProcAmp);
    EXPECT_FALSE(rgb.Camera) << "no camera control";
    for (const auto& setting : kLmTestCameraRgbVideoProcAmp) rgb.ExpectFresh(setting);
    for (LONG property : {-1L, 2L, 7L, 9L, 10L}) {
      EXPECT_EQ(rgb.ProcAmp->GetRange(property, &a, &b, &c, &d, &e), E_PROP_ID_UNSUPPORTED) << property;
      EXPECT_EQ(rgb.ProcAmp->Get(property, &a, &b), E_PROP_ID_UNSUPPORTED) << property;
      EXPECT_EQ(rgb.ProcAmp->Set(property, 0, kManual), E_PROP_ID_UNSUPPORTED) << property;
    }
  }
  Settings uvc(CLSID_LmTestCameraUvc);
  for (LONG property : {LONG{CameraControl_Roll}, LONG{CameraControl_Iris}, 7L}) {
    EXPECT_EQ(uvc.Camera->GetRange(property, &a, &b, &c, &d, &e), E_PROP_ID_UNSUPPORTED) << property;
    EXPECT_EQ(uvc.Camera->Get(property, &a, &b), E_PROP_ID_UNSUPPORTED) << property;
    EXPECT_EQ(uvc.Camera->Set(property, 0, kManual), E_PROP_ID_UNSUPPORTED) << property;
  }
  // The interfaces are the filter's own: one COM identity.
  EXPECT_EQ(As<IBaseFilter>(uvc.Camera.Get()).Get(), uvc.Filter.Get());
}

TEST(TestCamSettings, RoundsToTheStepAndRefusesWhatADriverRefuses) {
  Settings uvc(CLSID_LmTestCameraUvc);
  const struct {
    LmTestCameraSetting Setting;
    LONG Value, Applied;
  } rounded[] = {{kLmTestCameraWhiteBalance, 4604, 4600},
                 {kLmTestCameraWhiteBalance, 4605, 4610},
                 {kLmTestCameraFocus, 12, 10},
                 {kLmTestCameraFocus, 13, 15},
                 {kLmTestCameraPan, -35, -34},
                 {kLmTestCameraBrightness, -7, -7}};
  for (const auto& test : rounded) {
    ASSERT_EQ(uvc.Set(test.Setting, test.Value, kManual), S_OK) << test.Value;
    EXPECT_EQ(uvc.Get(test.Setting), Reading(test.Applied, kManual)) << test.Value;
  }
  // Out of the range, or flags that say neither auto nor manual: refused, and nothing changes.
  for (const LmTestCameraSetting& setting : {kLmTestCameraZoom, kLmTestCameraExposure, kLmTestCameraGain}) {
    ASSERT_EQ(uvc.Set(setting, setting.Min, kManual), S_OK);
    EXPECT_EQ(uvc.Set(setting, setting.Min - 1, kManual), E_INVALIDARG) << setting.Property;
    EXPECT_EQ(uvc.Set(setting, setting.Max + 1, kManual), E_INVALIDARG) << setting.Property;
    EXPECT_EQ(uvc.Set(setting, setting.Max, 0), E_INVALIDARG) << setting.Property;
    EXPECT_EQ(uvc.Set(setting, setting.Max, kAuto | kManual), E_INVALIDARG) << setting.Property;
    EXPECT_EQ(uvc.Get(setting), Reading(setting.Min, kManual)) << setting.Property;
  }
  // Auto where the setting has none; null pointers.
  EXPECT_EQ(uvc.Set(kLmTestCameraBrightness, 0, kAuto), E_INVALIDARG);
  EXPECT_EQ(uvc.Set(kLmTestCameraZoom, 100, kAuto), E_INVALIDARG);
  LONG value = 0;
  EXPECT_EQ(uvc.ProcAmp->Get(VideoProcAmp_Brightness, &value, nullptr), E_POINTER);
  EXPECT_EQ(uvc.Camera->GetRange(CameraControl_Zoom, &value, &value, &value, nullptr, &value), E_POINTER);
}

TEST(TestCamSettings, AutoThenManualThenAutoAgain) {
  Settings uvc(CLSID_LmTestCameraUvc);
  for (const LmTestCameraSetting& setting : {kLmTestCameraExposure, kLmTestCameraFocus, kLmTestCameraWhiteBalance}) {
    SCOPED_TRACE(setting.Property);
    EXPECT_EQ(uvc.Get(setting), Reading(setting.AutoValue, kAuto));
    ASSERT_EQ(uvc.Set(setting, setting.Max, kManual), S_OK);
    EXPECT_EQ(uvc.Get(setting), Reading(setting.Max, kManual));
    // The value that comes with the auto flag is ignored: the camera picks its own.
    ASSERT_EQ(uvc.Set(setting, setting.Max + 1000, kAuto), S_OK);
    EXPECT_EQ(uvc.Get(setting), Reading(setting.AutoValue, kAuto));
  }
}

}  // namespace
}  // namespace camtest
