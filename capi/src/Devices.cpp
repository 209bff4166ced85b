// Devices without a control: the named devices of a category with their identities, bound by
// position in that list or by identity, and a filter's property pages.

#include <dshow.h>
#include <uuids.h>
#include <wrl/client.h>

#include "capi/src/Boundary.h"
#include "capi/src/StringOut.h"
#include "framework/StringList.h"
#include "lumora10.h"
#include "webcam/LmWebCamera.h"
#include "webcam/src/LmDeviceList.h"

using Microsoft::WRL::ComPtr;

namespace {

// The named devices of Category, line for line with their identities, enumerated afresh.
struct DeviceLines {
  TStringList Names;
  TStringList Paths;

  explicit DeviceLines(const GUID& Category) { lm::EnumDevices(Category, Names, &Paths); }
  bool Has(INT32 Index) const { return Index >= 0 && Index < Names.Count(); }
};

// The category a caller names; none names the video capture devices.
const GUID& CategoryOf(const GUID* Category) { return Category ? *Category : CLSID_VideoInputDeviceCategory; }

// Hands the bound filter to the caller as IUnknown, or LM10_ERR_NO_DEVICE.
Lm10Result BindInto(const GUID& Category, const std::wstring& Identity, IUnknown** Filter) {
  ComPtr<IBaseFilter> device;
  if (!lm::BindDeviceByIdentity(Category, Identity, device)) return LM10_ERR_NO_DEVICE;
  ComPtr<IUnknown> unknown;
  if (device.As(&unknown) != S_OK) return LM10_ERR_NO_DEVICE;
  *Filter = unknown.Detach();
  return LM10_OK;
}

}  // namespace

extern "C" {

Lm10Result LM10_CALL Lm10GetDeviceCount(const GUID* category, INT32* count) {
  return lm10::Guarded([&]() -> Lm10Result {
    if (!count) return LM10_ERR_INVALID_ARGUMENT;
    *count = DeviceLines(CategoryOf(category)).Names.Count();
    return LM10_OK;
  });
}

Lm10Result LM10_CALL Lm10GetDevice(const GUID* category, INT32 index, wchar_t* name, UINT32 nameCapacity,
                                   UINT32* nameNeeded, wchar_t* path, UINT32 pathCapacity, UINT32* pathNeeded) {
  return lm10::Guarded([&]() -> Lm10Result {
    if (!lm10::ValidBuffer(name, nameCapacity) || !lm10::ValidBuffer(path, pathCapacity))
      return LM10_ERR_INVALID_ARGUMENT;
    const DeviceLines devices(CategoryOf(category));
    if (!devices.Has(index)) return LM10_ERR_NO_DEVICE;
    return lm10::CopyOutPair(devices.Names[index], name, nameCapacity, nameNeeded, devices.Paths[index], path,
                             pathCapacity, pathNeeded);
  });
}

Lm10Result LM10_CALL Lm10BindDevice(const GUID* category, INT32 index, IUnknown** filter) {
  return lm10::Guarded([&]() -> Lm10Result {
    if (!filter) return LM10_ERR_INVALID_ARGUMENT;
    const DeviceLines devices(CategoryOf(category));
    if (!devices.Has(index)) return LM10_ERR_NO_DEVICE;
    return BindInto(CategoryOf(category), devices.Paths[index], filter);
  });
}

Lm10Result LM10_CALL Lm10BindDevicePath(const GUID* category, const wchar_t* path, IUnknown** filter) {
  return lm10::Guarded([&]() -> Lm10Result {
    if (!path || !filter) return LM10_ERR_INVALID_ARGUMENT;
    return BindInto(CategoryOf(category), path, filter);
  });
}

Lm10Result LM10_CALL Lm10ShowFilterPages(IUnknown* filter, HWND owner) {
  return lm10::Guarded([&]() -> Lm10Result {
    if (!filter || (owner && !IsWindow(owner))) return LM10_ERR_INVALID_ARGUMENT;
    ComPtr<IBaseFilter> baseFilter;
    if (filter->QueryInterface(IID_IBaseFilter, reinterpret_cast<void**>(baseFilter.GetAddressOf())) != S_OK ||
        !baseFilter)
      return LM10_ERR_INVALID_ARGUMENT;
    return ShowFilter(baseFilter.Get(), owner) ? LM10_OK : LM10_ERR_GRAPH_FAILED;
  });
}

}  // extern "C"
