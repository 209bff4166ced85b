#include "handwritten/VideoDevices.h"

#include <dshow.h>

#include <functional>

using Microsoft::WRL::ComPtr;

namespace handwritten {
namespace {

// Calls Visit with each video input device's moniker and friendly name (empty when it has
// none) until Visit answers false.
void ForEachDevice(const std::function<bool(IMoniker*, const std::wstring&)>& Visit) {
  ComPtr<ICreateDevEnum> devices;
  if (FAILED(CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&devices)))) return;
  ComPtr<IEnumMoniker> monikers;
  // S_FALSE: the category is empty, and there is no enumerator.
  if (devices->CreateClassEnumerator(CLSID_VideoInputDeviceCategory, &monikers, 0) != S_OK) return;
  ComPtr<IMoniker> moniker;
  while (monikers->Next(1, moniker.ReleaseAndGetAddressOf(), nullptr) == S_OK) {
    std::wstring name;
    ComPtr<IPropertyBag> bag;
    if (SUCCEEDED(moniker->BindToStorage(nullptr, nullptr, IID_PPV_ARGS(&bag)))) {
      VARIANT value;
      VariantInit(&value);
      if (SUCCEEDED(bag->Read(L"FriendlyName", &value, nullptr)) && value.vt == VT_BSTR && value.bstrVal)
        name = value.bstrVal;
      VariantClear(&value);
    }
    if (!Visit(moniker.Get(), name)) return;
  }
}

}  // namespace

std::vector<std::wstring> ListVideoDevices() {
  std::vector<std::wstring> names;
  ForEachDevice([&](IMoniker*, const std::wstring& Name) {
    if (!Name.empty()) names.push_back(Name);
    return true;
  });
  return names;
}

ComPtr<IBaseFilter> BindCamera(const std::wstring& Name) {
  ComPtr<IBaseFilter> filter;
  ForEachDevice([&](IMoniker* Moniker, const std::wstring& DeviceName) {
    if (DeviceName.empty() || DeviceName != Name) return true;
    if (FAILED(Moniker->BindToObject(nullptr, nullptr, IID_PPV_ARGS(&filter)))) filter.Reset();
    return false;
  });
  return filter;
}

}  // namespace handwritten
