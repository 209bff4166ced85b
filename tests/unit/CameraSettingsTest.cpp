// The camera controls' settings against a scripted device: ranges that cannot be are no
// setting, a default outside its range is clamped, a value outside it never reaches the device,
// what the device refuses and lacks, and settings texts (what is skipped, what is refused).

#include <windows.h>

#include <dshow.h>
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "support/FakeDeviceEnum.h"
#include "webcam/LmPreview.h"

namespace {

// One property as the scripted device reports it.
struct Property {
  HRESULT RangeResult = S_OK;
  LONG Min = 0, Max = 100, Step = 1, Default = 50, Caps = VideoProcAmp_Flags_Auto | VideoProcAmp_Flags_Manual;
  LONG Value = 50, Flags = VideoProcAmp_Flags_Manual;
  HRESULT SetResult = S_OK;
};

// A camera with a video processing amplifier (and no camera control) whose properties the test
// scripts; it records what it was asked to set. Unscripted properties are unsupported.
class AmplifierDevice : public fakes::FakeBaseFilter, public IAMVideoProcAmp {
public:
  AmplifierDevice() : FakeBaseFilter(L"camera") {}
  std::map<LONG, Property> Properties;
  std::vector<std::pair<LONG, LONG>> Sets;  // property, flags

  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override { return FakeBaseFilter::QueryInterface(riid, ppv); }
  STDMETHODIMP_(ULONG) AddRef() override { return FakeBaseFilter::AddRef(); }
  STDMETHODIMP_(ULONG) Release() override { return FakeBaseFilter::Release(); }

  STDMETHODIMP GetRange(LONG Id, LONG* Min, LONG* Max, LONG* Step, LONG* Default, LONG* Caps) override {
    const auto found = Properties.find(Id);
    if (found == Properties.end()) return E_PROP_ID_UNSUPPORTED;
    const Property& p = found->second;
    *Min = p.Min;
    *Max = p.Max;
    *Step = p.Step;
    *Default = p.Default;
    *Caps = p.Caps;
    return p.RangeResult;
  }
  STDMETHODIMP Set(LONG Id, LONG Value, LONG Flags) override {
    const auto found = Properties.find(Id);
    if (found == Properties.end()) return E_PROP_ID_UNSUPPORTED;
    Sets.emplace_back(Id, Flags);
    if (found->second.SetResult != S_OK) return found->second.SetResult;
    found->second.Value = Value;
    found->second.Flags = Flags;
    return S_OK;
  }
  STDMETHODIMP Get(LONG Id, LONG* Value, LONG* Flags) override {
    const auto found = Properties.find(Id);
    if (found == Properties.end()) return E_PROP_ID_UNSUPPORTED;
    *Value = found->second.Value;
    *Flags = found->second.Flags;
    return S_OK;
  }

protected:
  void* QueryInterfaceExtra(REFIID riid) override {
    if (IsEqualIID(riid, IID_IAMVideoProcAmp)) return static_cast<IAMVideoProcAmp*>(this);
    return FakeBaseFilter::QueryInterfaceExtra(riid);
  }
};

class OpenedPreview : public TVLmPreview {
public:
  explicit OpenedPreview(AmplifierDevice* Device) : TVLmPreview(nullptr) {
    m_pDeviceFilter = static_cast<IBaseFilter*>(Device);
    m_State = vlmStateOpen;
  }
  ~OpenedPreview() override { m_State = vlmStateClosed; }
};

class CameraSettingsTest : public ::testing::Test {
protected:
  void SetUp() override {
    m_Device = new AmplifierDevice();
    m_Preview = std::make_unique<OpenedPreview>(m_Device);
    m_Device->Release();  // the control holds it
  }
  void TearDown() override { m_Preview.reset(); }

  AmplifierDevice* m_Device = nullptr;
  std::unique_ptr<OpenedPreview> m_Preview;
};

TEST_F(CameraSettingsTest, RangesAreCheckedBeforeTheyAreTrusted) {
  m_Device->Properties[VideoProcAmp_Brightness] = Property{S_OK, -64, 64, 1, 200, VideoProcAmp_Flags_Manual};
  m_Device->Properties[VideoProcAmp_Contrast] = Property{S_OK, 10, 5, 1, 7};  // Min above Max
  m_Device->Properties[VideoProcAmp_Hue] = Property{S_OK, 0, 10, 0, 5};       // no step
  m_Device->Properties[VideoProcAmp_Gamma] = Property{E_FAIL};
  TLmCameraSettingRange range{};
  ASSERT_TRUE(m_Preview->GetCameraSettingRange(vlmBrightness, range));
  EXPECT_EQ(range.Min, -64);
  EXPECT_EQ(range.Max, 64);
  EXPECT_EQ(range.Default, 64) << "a default outside the range is clamped";
  EXPECT_FALSE(range.CanAuto);
  EXPECT_TRUE(range.CanManual);

  struct Refusal {
    TVLmCameraSetting Setting;
    int16_t Error;
  };
  for (const Refusal r : {Refusal{vlmContrast, 205}, Refusal{vlmHue, 205}, Refusal{vlmSaturation, 205},
                          Refusal{vlmGamma, 2}, Refusal{vlmZoom, 205}, Refusal{static_cast<TVLmCameraSetting>(17), 5},
                          Refusal{static_cast<TVLmCameraSetting>(-1), 5}}) {
    SCOPED_TRACE(static_cast<int>(r.Setting));
    range = TLmCameraSettingRange{1, 2, 3, 4, true, true};
    EXPECT_FALSE(m_Preview->GetCameraSettingRange(r.Setting, range));
    EXPECT_EQ(m_Preview->ErrorStatus(), r.Error);
    EXPECT_EQ(range.Min, 1) << "unchanged";
    int32_t value = 0;
    bool automatic = false;
    EXPECT_FALSE(m_Preview->GetCameraSetting(r.Setting, value, automatic));
    EXPECT_EQ(m_Preview->ErrorStatus(), r.Error);
  }
  EXPECT_TRUE(m_Device->Sets.empty());
}

TEST_F(CameraSettingsTest, ValuesOutsideTheRangeNeverReachTheDeviceAndRefusalsAreTold) {
  m_Device->Properties[VideoProcAmp_Brightness] = Property{S_OK, -64, 64, 1, 0};
  m_Device->Properties[VideoProcAmp_Gain] = Property{S_OK, 0, 10, 1, 0, VideoProcAmp_Flags_Auto};  // auto only
  m_Device->Properties[VideoProcAmp_Sharpness] = Property{S_OK, 0, 10, 1, 0, VideoProcAmp_Flags_Manual};
  m_Device->Properties[VideoProcAmp_Sharpness].SetResult = E_INVALIDARG;

  EXPECT_FALSE(m_Preview->SetCameraSetting(vlmBrightness, 65));
  EXPECT_EQ(m_Preview->ErrorStatus(), 5);
  EXPECT_FALSE(m_Preview->SetCameraSetting(vlmBrightness, -65));
  EXPECT_TRUE(m_Device->Sets.empty());
  EXPECT_TRUE(m_Preview->SetCameraSetting(vlmBrightness, -64));
  EXPECT_EQ(m_Device->Sets.back(), std::make_pair(LONG{VideoProcAmp_Brightness}, LONG{VideoProcAmp_Flags_Manual}));

  EXPECT_FALSE(m_Preview->SetCameraSetting(vlmGain, 3));
  EXPECT_EQ(m_Preview->ErrorStatus(), 205) << "cannot be set by hand";
  EXPECT_FALSE(m_Preview->SetCameraSettingAuto(vlmSharpness));
  EXPECT_EQ(m_Preview->ErrorStatus(), 205) << "cannot be automatic";
  EXPECT_FALSE(m_Preview->SetCameraSetting(vlmSharpness, 3));
  EXPECT_EQ(m_Preview->ErrorStatus(), 2) << "the device refused the value";

  // Auto goes with the device's current value.
  m_Device->Properties[VideoProcAmp_Gain].Value = 7;
  ASSERT_TRUE(m_Preview->SetCameraSettingAuto(vlmGain));
  EXPECT_EQ(m_Device->Sets.back(), std::make_pair(LONG{VideoProcAmp_Gain}, LONG{VideoProcAmp_Flags_Auto}));
  int32_t value = 0;
  bool automatic = false;
  ASSERT_TRUE(m_Preview->GetCameraSetting(vlmGain, value, automatic));
  EXPECT_EQ(value, 7);
  EXPECT_TRUE(automatic);
}

TEST_F(CameraSettingsTest, SettingsTextsListWhatTheDeviceHasAndApplyEveryGoodLine) {
  m_Device->Properties[VideoProcAmp_Brightness] = Property{S_OK, -64, 64, 1, 0, 3, 12, VideoProcAmp_Flags_Manual};
  m_Device->Properties[VideoProcAmp_WhiteBalance] = Property{S_OK, 2800, 6500, 10, 4600, 3, 4600, VideoProcAmp_Flags_Auto};
  EXPECT_EQ(m_Preview->CameraSettings(), L"Brightness=12\r\nWhiteBalance=auto\r\n");
  EXPECT_EQ(m_Preview->ErrorStatus(), 0);

  // Unknown names and malformed lines are refused (5); a setting the device lacks (Zoom) is
  // skipped; every good line is applied all the same.
  EXPECT_FALSE(m_Preview->SetCameraSettings(L"Brightness=-20\r\nSparkle=3\r\nZoom=200\nwhitebalance = 5000\nGain\n"));
  EXPECT_EQ(m_Preview->ErrorStatus(), 5);
  EXPECT_EQ(m_Device->Properties[VideoProcAmp_Brightness].Value, -20);
  EXPECT_EQ(m_Device->Properties[VideoProcAmp_WhiteBalance].Value, 5000);
  EXPECT_EQ(m_Device->Properties[VideoProcAmp_WhiteBalance].Flags, VideoProcAmp_Flags_Manual);

  // The first refusal's code wins: out of range (5) before the device's own refusal (2).
  m_Device->Properties[VideoProcAmp_WhiteBalance].SetResult = E_FAIL;
  EXPECT_FALSE(m_Preview->SetCameraSettings(L"Brightness=99\nWhiteBalance=3000\nBrightness=x1"));
  EXPECT_EQ(m_Preview->ErrorStatus(), 5);
  EXPECT_TRUE(m_Preview->SetCameraSettings(L"\r\nBrightness=+5\r\n\r\n"));
  EXPECT_EQ(m_Device->Properties[VideoProcAmp_Brightness].Value, 5);

  // Closed: nothing is read or set.
  m_Preview->Close();
  EXPECT_EQ(m_Preview->CameraSettings(), L"");
  EXPECT_EQ(m_Preview->ErrorStatus(), 11);
  EXPECT_FALSE(m_Preview->SetCameraSettings(L"Brightness=1"));
  EXPECT_EQ(m_Preview->ErrorStatus(), 11);
  TLmCameraSettingRange range{};
  EXPECT_FALSE(m_Preview->GetCameraSettingRange(vlmBrightness, range));
  EXPECT_EQ(m_Preview->ErrorStatus(), 11);
}

}  // namespace
