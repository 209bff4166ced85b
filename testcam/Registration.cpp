// DllRegisterServer / DllUnregisterServer.
//
// Each camera is registered as a COM class (HKCR\CLSID\{clsid}\InprocServer32, threading model
// Both) and as a device of the video input category. The device is registered the way
// DirectShow registers filters in a category, through IFilterMapper2::RegisterFilter, which
// writes HKCR\CLSID\{category}\Instance\{clsid} with "FriendlyName", "CLSID" and "FilterData".
// Where the filter mapper cannot be created, the key is written directly with the first two,
// which is all that the system device enumerator needs to list and bind the device.

#include <windows.h>

#include <dshow.h>
#include <olectl.h>
#include <wrl/client.h>

#include <iterator>
#include <string>

#include "testcam/LmTestCam.h"
#include "testcam/Module.h"
#include "testcam/ModulePath.h"

using Microsoft::WRL::ComPtr;

namespace {

struct ServedClass {
  const GUID* Clsid;
  const wchar_t* Name;
  bool IsCamera;
  bool HasPreviewPin;
  bool IsUvc;
};

const ServedClass kClasses[] = {
    {&CLSID_LmTestCamera, kLmTestCameraName, true, false, false},
    {&CLSID_LmTestCameraPreview, kLmTestCameraPreviewName, true, true, false},
    {&CLSID_LmTestCameraUvc, kLmTestCameraUvcName, true, false, true},
    {&CLSID_LmTestCameraPropertyPage, L"Lumora Test Camera Properties", false, false, false},
    {&CLSID_LmTestCameraFormatPage, L"Lumora Test Camera Stream Format", false, false, false},
};

std::wstring GuidString(REFGUID Guid) {
  wchar_t text[40] = {};
  StringFromGUID2(Guid, text, 40);
  return text;
}

HRESULT FromWin32(LSTATUS Status) { return Status == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(Status); }

HRESULT SetString(HKEY Root, const std::wstring& Key, const wchar_t* Name, const std::wstring& Value) {
  return FromWin32(RegSetKeyValueW(Root, Key.c_str(), Name, REG_SZ, Value.c_str(),
                                   static_cast<DWORD>((Value.size() + 1) * sizeof(wchar_t))));
}


HRESULT RegisterComClass(const ServedClass& Class, const std::wstring& Path) {
  const std::wstring key = L"CLSID\\" + GuidString(*Class.Clsid);
  HRESULT hr = SetString(HKEY_CLASSES_ROOT, key, nullptr, Class.Name);
  if (SUCCEEDED(hr)) hr = SetString(HKEY_CLASSES_ROOT, key + L"\\InprocServer32", nullptr, Path);
  if (SUCCEEDED(hr)) hr = SetString(HKEY_CLASSES_ROOT, key + L"\\InprocServer32", L"ThreadingModel", L"Both");
  return hr;
}

std::wstring InstanceKey(const ServedClass& Class) {
  return L"CLSID\\" + GuidString(CLSID_VideoInputDeviceCategory) + L"\\Instance\\" + GuidString(*Class.Clsid);
}

HRESULT RegisterDevice(IFilterMapper2* Mapper, const ServedClass& Class) {
  if (Mapper) {
    const REGPINTYPES rgb[] = {{&MEDIATYPE_Video, &MEDIASUBTYPE_RGB24}};
    const REGPINTYPES uvc[] = {{&MEDIATYPE_Video, &MEDIASUBTYPE_YUY2},
                               {&MEDIATYPE_Video, &MEDIASUBTYPE_MJPG},
                               {&MEDIATYPE_Video, &MEDIASUBTYPE_NV12}};
    REGFILTERPINS2 pins[2] = {};
    for (REGFILTERPINS2& pin : pins) {
      pin.dwFlags = REG_PINFLAG_B_OUTPUT;
      pin.cInstances = 1;
      pin.nMediaTypes = Class.IsUvc ? static_cast<UINT>(std::size(uvc)) : static_cast<UINT>(std::size(rgb));
      pin.lpMediaType = Class.IsUvc ? uvc : rgb;
    }
    pins[0].clsPinCategory = &PIN_CATEGORY_CAPTURE;
    pins[1].clsPinCategory = &PIN_CATEGORY_PREVIEW;
    REGFILTER2 filter = {};
    filter.dwVersion = 2;
    filter.dwMerit = MERIT_DO_NOT_USE;
    filter.cPins2 = Class.HasPreviewPin ? 2 : 1;
    filter.rgPins2 = pins;
    const HRESULT hr =
        Mapper->RegisterFilter(*Class.Clsid, Class.Name, nullptr, &CLSID_VideoInputDeviceCategory, nullptr, &filter);
    if (SUCCEEDED(hr)) return hr;
  }
  const std::wstring key = InstanceKey(Class);
  HRESULT hr = SetString(HKEY_CLASSES_ROOT, key, L"FriendlyName", Class.Name);
  if (SUCCEEDED(hr)) hr = SetString(HKEY_CLASSES_ROOT, key, L"CLSID", GuidString(*Class.Clsid));
  return hr;
}

// COM for the filter mapper; regsvr32 initialises it, other callers may not have.
class ComScope {
public:
  ComScope() : m_Result(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
  ~ComScope() {
    if (SUCCEEDED(m_Result)) CoUninitialize();
  }

private:
  HRESULT m_Result;
};

ComPtr<IFilterMapper2> CreateMapper() {
  ComPtr<IFilterMapper2> mapper;
  if (FAILED(CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&mapper))))
    mapper.Reset();
  return mapper;
}

}  // namespace

extern "C" HRESULT __stdcall DllRegisterServer() {
  const std::wstring path = lmcam::ModulePath(lmcam::ModuleInstance());
  if (path.empty()) return HRESULT_FROM_WIN32(GetLastError());
  ComScope com;
  for (const ServedClass& served : kClasses) {
    const HRESULT hr = RegisterComClass(served, path);
    if (FAILED(hr)) return SELFREG_E_CLASS;
  }
  const ComPtr<IFilterMapper2> mapper = CreateMapper();
  for (const ServedClass& served : kClasses) {
    if (!served.IsCamera) continue;
    if (FAILED(RegisterDevice(mapper.Get(), served))) return SELFREG_E_CLASS;
  }
  return S_OK;
}

extern "C" HRESULT __stdcall DllUnregisterServer() {
  ComScope com;
  const ComPtr<IFilterMapper2> mapper = CreateMapper();
  for (const ServedClass& served : kClasses) {
    if (served.IsCamera) {
      if (mapper) mapper->UnregisterFilter(&CLSID_VideoInputDeviceCategory, nullptr, *served.Clsid);
      // Written directly when the mapper was missing; already gone otherwise.
      RegDeleteTreeW(HKEY_CLASSES_ROOT, InstanceKey(served).c_str());
    }
    RegDeleteTreeW(HKEY_CLASSES_ROOT, (L"CLSID\\" + GuidString(*served.Clsid)).c_str());
  }
  return S_OK;
}
