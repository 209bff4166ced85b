#include "webcam/LmWebCamera.h"

#include <oleauto.h>
#include <uuids.h>

#include <stdexcept>
#include <string>

#include "webcam/src/LmDeviceList.h"
#include "webcam/src/LmFourcc.h"

using Microsoft::WRL::ComPtr;

namespace {

// A VARIANT that is cleared when it goes out of scope.
class ScopedVariant {
public:
  ScopedVariant() { VariantInit(&m_Value); }
  ScopedVariant(const ScopedVariant&) = delete;
  ScopedVariant& operator=(const ScopedVariant&) = delete;
  ~ScopedVariant() { VariantClear(&m_Value); }

  VARIANT* Get() { return &m_Value; }

  // The value as text; an empty variant is the empty string. A value with no text form
  // raises, as a failed conversion does anywhere in the enumeration.
  std::wstring ToString() {
    if (m_Value.vt == VT_EMPTY) return std::wstring();
    if (m_Value.vt == VT_BSTR) return m_Value.bstrVal ? std::wstring(m_Value.bstrVal, SysStringLen(m_Value.bstrVal)) : std::wstring();
    VARIANT text;
    VariantInit(&text);
    if (VariantChangeType(&text, &m_Value, 0, VT_BSTR) != S_OK) throw std::runtime_error("device name is not text");
    std::wstring result = text.bstrVal ? std::wstring(text.bstrVal, SysStringLen(text.bstrVal)) : std::wstring();
    VariantClear(&text);
    return result;
  }

private:
  VARIANT m_Value;
};

// The class enumerator of one device category, or null when the category is empty or the
// system device enumerator fails.
ComPtr<IEnumMoniker> CreateCategoryEnumerator(const GUID& Category) {
  ComPtr<ICreateDevEnum> deviceEnum;
  if (CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER, IID_ICreateDevEnum,
                       reinterpret_cast<void**>(deviceEnum.GetAddressOf())) != S_OK)
    return nullptr;
  ComPtr<IEnumMoniker> monikers;
  // S_FALSE means the category has no devices.
  if (deviceEnum->CreateClassEnumerator(Category, monikers.GetAddressOf(), 0) != S_OK) return nullptr;
  return monikers;
}

// Takes the next moniker; false at the end of the list. A success without a moniker is an
// enumerator fault and raises.
bool NextMoniker(IEnumMoniker* Monikers, ComPtr<IMoniker>& Moniker) {
  Moniker.Reset();
  if (Monikers->Next(1, Moniker.GetAddressOf(), nullptr) != S_OK) return false;
  if (!Moniker) throw std::runtime_error("device enumerator returned no moniker");
  return true;
}

// The identity of a device: its "DevicePath" property, or the moniker's display name when it
// has none (a device without a path, such as a filter registered in the category).
std::wstring DeviceIdentity(IMoniker* Moniker, IPropertyBag* Bag) {
  ScopedVariant path;
  if (Bag->Read(L"DevicePath", path.Get(), nullptr) == S_OK) {
    std::wstring text = path.ToString();
    if (!text.empty()) return text;
  }
  LPOLESTR display = nullptr;
  if (Moniker->GetDisplayName(nullptr, nullptr, &display) != S_OK || !display) return std::wstring();
  std::wstring text = display;
  CoTaskMemFree(display);
  return text;
}

// The device's "FriendlyName" and identity; false when it has no readable name (such a device
// is counted but never listed).
bool NameAndIdentity(IMoniker* Moniker, std::wstring& Name, std::wstring* Identity) {
  ComPtr<IPropertyBag> bag;
  if (FAILED(Moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, reinterpret_cast<void**>(bag.GetAddressOf()))) ||
      !bag)
    return false;
  ScopedVariant name;
  if (bag->Read(L"FriendlyName", name.Get(), nullptr) != S_OK) return false;
  Name = name.ToString();
  if (Identity) *Identity = DeviceIdentity(Moniker, bag.Get());
  return true;
}

// Adds the device's "FriendlyName" to Names and, when Paths is given, its identity to Paths,
// so that line i of both lists describes the same device.
void AddDevice(IMoniker* Moniker, TStringList& Names, TStringList* Paths) {
  std::wstring name;
  std::wstring identity;
  if (!NameAndIdentity(Moniker, name, Paths ? &identity : nullptr)) return;
  Names.Add(name);
  if (Paths) Paths->Add(identity);
}

}  // namespace

int32_t lm::EnumDevices(const GUID& Category, TStringList& Names, TStringList* Paths) {
  int32_t count = 0;
  try {
    ComPtr<IEnumMoniker> monikers = CreateCategoryEnumerator(Category);
    if (!monikers) return 0;
    monikers->Reset();
    ComPtr<IMoniker> moniker;
    while (NextMoniker(monikers.Get(), moniker)) {
      AddDevice(moniker.Get(), Names, Paths);
      ++count;
    }
  } catch (...) {
    count = 0;  // lines already added stay in the list
  }
  return count;
}

bool lm::BindDeviceByIdentity(const GUID& Category, const std::wstring& Identity, ComPtr<IBaseFilter>& Filter) {
  Filter.Reset();
  if (Identity.empty()) return false;
  try {
    ComPtr<IEnumMoniker> monikers = CreateCategoryEnumerator(Category);
    if (!monikers) return false;
    monikers->Reset();
    ComPtr<IMoniker> moniker;
    while (NextMoniker(monikers.Get(), moniker)) {
      std::wstring name;
      std::wstring identity;
      if (!NameAndIdentity(moniker.Get(), name, &identity) || identity != Identity) continue;
      if (moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter, reinterpret_cast<void**>(Filter.ReleaseAndGetAddressOf())) !=
          S_OK)
        Filter.Reset();
      break;
    }
  } catch (...) {
    Filter.Reset();
  }
  return Filter != nullptr;
}

int32_t EnumDevices(const GUID& Category, TStringList*& List) {
  try {
    if (!List) List = new TStringList();
    List->Clear();
  } catch (...) {
    return 0;
  }
  return lm::EnumDevices(Category, *List, nullptr);
}

bool ChooseDevice(const GUID& Category, int32_t Index, ComPtr<IBaseFilter>& Filter) {
  Filter.Reset();
  try {
    ComPtr<IEnumMoniker> monikers = CreateCategoryEnumerator(Category);
    if (!monikers) return false;
    monikers->Reset();
    ComPtr<IMoniker> moniker;
    for (int32_t position = 0; NextMoniker(monikers.Get(), moniker); ++position) {
      if (position != Index) continue;
      if (moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter, reinterpret_cast<void**>(Filter.ReleaseAndGetAddressOf())) != S_OK)
        Filter.Reset();
      break;
    }
  } catch (...) {
    Filter.Reset();
    return false;
  }
  return Filter != nullptr;
}

void _Box(HDC DC, int32_t Left, int32_t Top, int32_t Right, int32_t Bottom, int32_t PenWidth, COLORREF Color) {
  HPEN pen = CreatePen(PS_SOLID, PenWidth < 1 ? 1 : PenWidth, Color);
  HGDIOBJ previousPen = SelectObject(DC, pen);
  HGDIOBJ previousBrush = SelectObject(DC, GetStockObject(NULL_BRUSH));
  Rectangle(DC, Left, Top, Right, Bottom);
  SelectObject(DC, previousPen);
  DeleteObject(pen);
  SelectObject(DC, previousBrush);
}

std::wstring LmVideoSubTypeName(const GUID& SubType) {
  struct Named {
    const GUID* SubType;
    const wchar_t* Name;
  };
  // Subtypes whose GUID is not built from a FOURCC.
  static const Named kNames[] = {{&MEDIASUBTYPE_RGB24, L"RGB24"},   {&MEDIASUBTYPE_RGB32, L"RGB32"},
                                 {&MEDIASUBTYPE_RGB565, L"RGB565"}, {&MEDIASUBTYPE_RGB555, L"RGB555"},
                                 {&MEDIASUBTYPE_RGB8, L"RGB8"},     {&MEDIASUBTYPE_ARGB32, L"ARGB32"}};
  for (const Named& named : kNames)
    if (IsEqualGUID(SubType, *named.SubType)) return named.Name;
  GUID base = SubType;
  base.Data1 = 0;
  if (IsEqualGUID(base, lm::FourccSubtype(0))) {
    std::wstring name;
    for (int shift = 0; shift < 32; shift += 8) {
      const wchar_t c = static_cast<wchar_t>((SubType.Data1 >> shift) & 0xFF);
      if (c < 0x20 || c > 0x7E) {
        name.clear();
        break;
      }
      name += c;
    }
    while (!name.empty() && name.back() == L' ') name.pop_back();
    if (!name.empty()) return name;
  }
  wchar_t text[40] = {};
  StringFromGUID2(SubType, text, 40);
  return text;
}
