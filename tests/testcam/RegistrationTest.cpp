// The camera as the system sees it: registered, listed by the system device enumerator, bound
// from its moniker, served by its DLL.

#include <gtest/gtest.h>

#include <algorithm>

#include "testcam/CameraRig.h"
#include "testcam/LmTestCam.h"

namespace camtest {
namespace {

std::wstring GuidString(REFGUID Guid) {
  wchar_t text[40] = {};
  StringFromGUID2(Guid, text, 40);
  return text;
}

std::wstring RegistryString(const std::wstring& Key, const wchar_t* Name) {
  wchar_t value[MAX_PATH * 2] = {};
  DWORD size = sizeof(value);
  if (RegGetValueW(HKEY_CLASSES_ROOT, Key.c_str(), Name, RRF_RT_REG_SZ, nullptr, value, &size) != ERROR_SUCCESS)
    return L"<missing>";
  return value;
}

std::vector<std::wstring> PinIds(IBaseFilter* Filter) {
  std::vector<std::wstring> ids;
  ComPtr<IEnumPins> pins;
  if (FAILED(Filter->EnumPins(&pins))) return ids;
  ComPtr<IPin> pin;
  while (pins->Next(1, &pin, nullptr) == S_OK) {
    LPWSTR id = nullptr;
    if (SUCCEEDED(pin->QueryId(&id))) {
      ids.emplace_back(id);
      CoTaskMemFree(id);
    }
    pin.Reset();
  }
  return ids;
}

TEST(TestCamRegistration, DeviceEnumeratorListsTheThreeCameras) {
  const auto names = ListVideoDevices();
  EXPECT_EQ(std::count(names.begin(), names.end(), std::wstring(kLmTestCameraName)), 1);
  EXPECT_EQ(std::count(names.begin(), names.end(), std::wstring(kLmTestCameraPreviewName)), 1);
  EXPECT_EQ(std::count(names.begin(), names.end(), std::wstring(kLmTestCameraUvcName)), 1);
}

TEST(TestCamRegistration, BindToObjectCreatesEachVariantWithItsPins) {
  const ComPtr<IBaseFilter> single = BindCamera(kLmTestCameraName);
  ASSERT_TRUE(single);
  CLSID clsid{};
  EXPECT_EQ(single->GetClassID(&clsid), S_OK);
  EXPECT_TRUE(IsEqualCLSID(clsid, CLSID_LmTestCamera));
  EXPECT_EQ(PinIds(single.Get()), std::vector<std::wstring>{L"Capture"});

  const ComPtr<IBaseFilter> dual = BindCamera(kLmTestCameraPreviewName);
  ASSERT_TRUE(dual);
  EXPECT_EQ(dual->GetClassID(&clsid), S_OK);
  EXPECT_TRUE(IsEqualCLSID(clsid, CLSID_LmTestCameraPreview));
  EXPECT_EQ(PinIds(dual.Get()), (std::vector<std::wstring>{L"Capture", L"Preview"}));

  const ComPtr<IBaseFilter> uvc = BindCamera(kLmTestCameraUvcName);
  ASSERT_TRUE(uvc);
  EXPECT_EQ(uvc->GetClassID(&clsid), S_OK);
  EXPECT_TRUE(IsEqualCLSID(clsid, CLSID_LmTestCameraUvc));
  EXPECT_EQ(PinIds(uvc.Get()), std::vector<std::wstring>{L"Capture"});
}

TEST(TestCamRegistration, ClassesAreInProcessServersOfEitherThreadingModel) {
  for (const GUID* clsid : {&CLSID_LmTestCamera, &CLSID_LmTestCameraPreview, &CLSID_LmTestCameraUvc,
                            &CLSID_LmTestCameraPropertyPage, &CLSID_LmTestCameraFormatPage}) {
    const std::wstring key = L"CLSID\\" + GuidString(*clsid) + L"\\InprocServer32";
    EXPECT_EQ(RegistryString(key, L"ThreadingModel"), L"Both") << fakes::Narrow(key);
    std::wstring path = RegistryString(key, nullptr);
    std::transform(path.begin(), path.end(), path.begin(), ::towlower);
    EXPECT_TRUE(path.size() > 13 && path.substr(path.size() - 13) == L"lmtestcam.dll") << fakes::Narrow(path);
  }
}

TEST(TestCamRegistration, DeviceKeysNameTheCameraAndItsClass) {
  const std::wstring instance = L"CLSID\\" + GuidString(CLSID_VideoInputDeviceCategory) + L"\\Instance\\";
  EXPECT_EQ(RegistryString(instance + GuidString(CLSID_LmTestCamera), L"FriendlyName"), kLmTestCameraName);
  EXPECT_EQ(RegistryString(instance + GuidString(CLSID_LmTestCamera), L"CLSID"), GuidString(CLSID_LmTestCamera));
  EXPECT_EQ(RegistryString(instance + GuidString(CLSID_LmTestCameraPreview), L"FriendlyName"),
            kLmTestCameraPreviewName);
  EXPECT_EQ(RegistryString(instance + GuidString(CLSID_LmTestCameraPreview), L"CLSID"),
            GuidString(CLSID_LmTestCameraPreview));
}

// The DLL's own entry points, reached through the module that COM loaded.
class TestCamModule : public testing::Test {
protected:
  void SetUp() override {
    // Have COM load the DLL, then take the same module.
    ComPtr<IBaseFilter> filter;
    ASSERT_EQ(CoCreateInstance(CLSID_LmTestCamera, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&filter)), S_OK);
    m_Module = GetModuleHandleW(L"LmTestCam.dll");
    ASSERT_TRUE(m_Module);
    m_GetClassObject = reinterpret_cast<decltype(m_GetClassObject)>(
        reinterpret_cast<void*>(GetProcAddress(m_Module, "DllGetClassObject")));
    m_CanUnloadNow =
        reinterpret_cast<decltype(m_CanUnloadNow)>(reinterpret_cast<void*>(GetProcAddress(m_Module, "DllCanUnloadNow")));
    ASSERT_TRUE(m_GetClassObject && m_CanUnloadNow);
  }

  HMODULE m_Module = nullptr;
  HRESULT(__stdcall* m_GetClassObject)(REFCLSID, REFIID, void**) = nullptr;
  HRESULT(__stdcall* m_CanUnloadNow)() = nullptr;
};

TEST_F(TestCamModule, ServesItsClassesOnlyAndCountsLiveObjects) {
  ComPtr<IClassFactory> factory;
  EXPECT_EQ(m_GetClassObject(CLSID_FilterGraph, IID_PPV_ARGS(&factory)), CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_FALSE(factory);
  ASSERT_EQ(m_GetClassObject(CLSID_LmTestCameraPreview, IID_PPV_ARGS(&factory)), S_OK);
  EXPECT_EQ(m_CanUnloadNow(), S_FALSE) << "a class object is alive";

  ComPtr<IUnknown> outer;
  ComPtr<IUnknown> inner;
  EXPECT_EQ(factory->CreateInstance(reinterpret_cast<IUnknown*>(factory.Get()), IID_PPV_ARGS(&inner)),
            CLASS_E_NOAGGREGATION);
  ComPtr<IBaseFilter> filter;
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_PPV_ARGS(&filter)), S_OK);
  factory.Reset();
  EXPECT_EQ(m_CanUnloadNow(), S_FALSE) << "a filter is alive";
  // A pin keeps its filter alive.
  ComPtr<IPin> pin = PinOf(filter.Get(), L"Preview");
  ASSERT_TRUE(pin);
  filter.Reset();
  EXPECT_EQ(m_CanUnloadNow(), S_FALSE) << "a pin is alive";
  PIN_INFO info{};
  ASSERT_EQ(pin->QueryPinInfo(&info), S_OK);
  ASSERT_TRUE(info.pFilter);
  info.pFilter->Release();
  pin.Reset();
  EXPECT_EQ(m_CanUnloadNow(), S_OK);
}

TEST_F(TestCamModule, LockServerKeepsTheDllLoaded) {
  ComPtr<IClassFactory> factory;
  ASSERT_EQ(m_GetClassObject(CLSID_LmTestCamera, IID_PPV_ARGS(&factory)), S_OK);
  EXPECT_EQ(factory->LockServer(TRUE), S_OK);
  factory.Reset();
  EXPECT_EQ(m_CanUnloadNow(), S_FALSE);
  ASSERT_EQ(m_GetClassObject(CLSID_LmTestCamera, IID_PPV_ARGS(&factory)), S_OK);
  EXPECT_EQ(factory->LockServer(FALSE), S_OK);
  factory.Reset();
  EXPECT_EQ(m_CanUnloadNow(), S_OK);
}

}  // namespace
}  // namespace camtest
