#include "support/FakeDeviceEnum.h"

#include <oleauto.h>

#include <algorithm>
#include <cwchar>

namespace fakes {
namespace {

class FakePropertyBag : public FakeComObject<IPropertyBag> {
public:
  FakePropertyBag(std::shared_ptr<FakeDeviceSystem> System, size_t Position)
      : m_System(std::move(System)), m_Position(Position) {}

  STDMETHODIMP Read(LPCOLESTR Name, VARIANT* Value, IErrorLog* ErrorLog) override {
    const FakeDevice& device = m_System->Devices[m_Position];
    m_System->Log.Add("IPropertyBag::Read(" + Narrow(Name) + (ErrorLog ? ", log" : "") + ")");
    if (std::wcscmp(Name, L"DevicePath") == 0 && device.DevicePath) {
      Value->vt = VT_BSTR;
      Value->bstrVal = SysAllocString(device.DevicePath->c_str());
      return S_OK;
    }
    if (std::wcscmp(Name, L"FriendlyName") != 0 || !device.FriendlyName) return E_INVALIDARG;
    if (device.ReadResult != S_OK) return device.ReadResult;
    if (device.NameType == VT_NULL) {
      Value->vt = VT_NULL;
    } else {
      Value->vt = VT_BSTR;
      Value->bstrVal = SysAllocStringLen(device.FriendlyName->data(), static_cast<UINT>(device.FriendlyName->size()));
    }
    return S_OK;
  }
  STDMETHODIMP Write(LPCOLESTR, VARIANT*) override { return Unexpected("IPropertyBag::Write"); }

private:
  std::shared_ptr<FakeDeviceSystem> m_System;
  size_t m_Position;
};

class FakeMoniker : public FakeComObject<IMoniker> {
public:
  FakeMoniker(std::shared_ptr<FakeDeviceSystem> System, size_t Position)
      : m_System(std::move(System)), m_Position(Position) {
    ++m_System->LiveMonikers;
  }

  STDMETHODIMP BindToStorage(IBindCtx* Context, IMoniker* Left, REFIID riid, void** ppv) override {
    m_System->Log.Add("IMoniker::BindToStorage(" + std::to_string(m_Position) + Arguments(Context, Left) + ")");
    *ppv = nullptr;
    const FakeDevice& device = m_System->Devices[m_Position];
    if (FAILED(device.BindToStorageResult)) return device.BindToStorageResult;
    if (!IsEqualIID(riid, IID_IPropertyBag)) return E_NOINTERFACE;
    const HRESULT hr = HandOut(new FakePropertyBag(m_System, m_Position), riid, ppv);
    return FAILED(hr) ? hr : device.BindToStorageResult;
  }

  STDMETHODIMP BindToObject(IBindCtx* Context, IMoniker* Left, REFIID riid, void** ppv) override {
    m_System->Log.Add("IMoniker::BindToObject(" + std::to_string(m_Position) + Arguments(Context, Left) + ")");
    *ppv = nullptr;
    const FakeDevice& device = m_System->Devices[m_Position];
    if (device.BindToObjectGivesNull) return S_OK;
    if (FAILED(device.BindToObjectResult)) return device.BindToObjectResult;
    if (!IsEqualIID(riid, IID_IBaseFilter)) return E_NOINTERFACE;
    const std::wstring name = device.FriendlyName.value_or(L"device " + std::to_wstring(m_Position));
    const HRESULT hr = HandOut(new FakeBaseFilter(name), riid, ppv);
    return FAILED(hr) ? hr : device.BindToObjectResult;
  }

  // IPersist, IPersistStream and the rest of IMoniker are not expected.
  STDMETHODIMP GetClassID(CLSID*) override { return Unexpected("IMoniker::GetClassID"); }
  STDMETHODIMP IsDirty() override { return Unexpected("IMoniker::IsDirty"); }
  STDMETHODIMP Load(IStream*) override { return Unexpected("IMoniker::Load"); }
  STDMETHODIMP Save(IStream*, BOOL) override { return Unexpected("IMoniker::Save"); }
  STDMETHODIMP GetSizeMax(ULARGE_INTEGER*) override { return Unexpected("IMoniker::GetSizeMax"); }
  STDMETHODIMP Reduce(IBindCtx*, DWORD, IMoniker**, IMoniker**) override { return Unexpected("IMoniker::Reduce"); }
  STDMETHODIMP ComposeWith(IMoniker*, BOOL, IMoniker**) override { return Unexpected("IMoniker::ComposeWith"); }
  STDMETHODIMP Enum(BOOL, IEnumMoniker**) override { return Unexpected("IMoniker::Enum"); }
  STDMETHODIMP IsEqual(IMoniker*) override { return Unexpected("IMoniker::IsEqual"); }
  STDMETHODIMP Hash(DWORD*) override { return Unexpected("IMoniker::Hash"); }
  STDMETHODIMP IsRunning(IBindCtx*, IMoniker*, IMoniker*) override { return Unexpected("IMoniker::IsRunning"); }
  STDMETHODIMP GetTimeOfLastChange(IBindCtx*, IMoniker*, FILETIME*) override {
    return Unexpected("IMoniker::GetTimeOfLastChange");
  }
  STDMETHODIMP Inverse(IMoniker**) override { return Unexpected("IMoniker::Inverse"); }
  STDMETHODIMP CommonPrefixWith(IMoniker*, IMoniker**) override { return Unexpected("IMoniker::CommonPrefixWith"); }
  STDMETHODIMP RelativePathTo(IMoniker*, IMoniker**) override { return Unexpected("IMoniker::RelativePathTo"); }
  // "@device:fake:<name>", as a filter registered in a category is named.
  STDMETHODIMP GetDisplayName(IBindCtx*, IMoniker*, LPOLESTR* Name) override {
    m_System->Log.Add("IMoniker::GetDisplayName(" + std::to_string(m_Position) + ")");
    const FakeDevice& device = m_System->Devices[m_Position];
    const std::wstring text = L"@device:fake:" + device.FriendlyName.value_or(std::to_wstring(m_Position));
    *Name = static_cast<LPOLESTR>(CoTaskMemAlloc((text.size() + 1) * sizeof(wchar_t)));
    if (!*Name) return E_OUTOFMEMORY;
    std::wmemcpy(*Name, text.c_str(), text.size() + 1);
    return S_OK;
  }
  STDMETHODIMP ParseDisplayName(IBindCtx*, IMoniker*, LPOLESTR, ULONG*, IMoniker**) override {
    return Unexpected("IMoniker::ParseDisplayName");
  }
  STDMETHODIMP IsSystemMoniker(DWORD*) override { return Unexpected("IMoniker::IsSystemMoniker"); }

protected:
  ~FakeMoniker() override { --m_System->LiveMonikers; }

  void* QueryInterfaceExtra(REFIID riid) override {
    if (IsEqualIID(riid, IID_IPersistStream)) return static_cast<IPersistStream*>(this);
    if (IsEqualIID(riid, IID_IPersist)) return static_cast<IPersist*>(this);
    return nullptr;
  }

private:
  static std::string Arguments(IBindCtx* Context, IMoniker* Left) {
    return std::string(Context ? ", context" : "") + (Left ? ", left" : "");
  }

  std::shared_ptr<FakeDeviceSystem> m_System;
  size_t m_Position;
};

class FakeEnumMoniker : public FakeComObject<IEnumMoniker> {
public:
  explicit FakeEnumMoniker(std::shared_ptr<FakeDeviceSystem> System) : m_System(std::move(System)) {}

  STDMETHODIMP Next(ULONG Count, IMoniker** Monikers, ULONG* Fetched) override {
    m_System->Log.Add("IEnumMoniker::Next(" + std::to_string(Count) + ")");
    m_System->MostLiveMonikers = std::max(m_System->MostLiveMonikers, m_System->LiveMonikers);
    if (Fetched) *Fetched = 0;
    if (Count != 1) return Unexpected("IEnumMoniker::Next with a count other than 1");
    *Monikers = nullptr;
    const int position = static_cast<int>(m_Position);
    if (position == m_System->NextFailsAt) return E_FAIL;
    if (m_Position >= m_System->Devices.size()) return S_FALSE;
    ++m_Position;
    if (position == m_System->NullMonikerAt) return S_OK;
    *Monikers = new FakeMoniker(m_System, static_cast<size_t>(position));
    if (Fetched) *Fetched = 1;
    return S_OK;
  }
  STDMETHODIMP Reset() override {
    m_System->Log.Add("IEnumMoniker::Reset");
    m_Position = 0;
    return S_OK;
  }
  STDMETHODIMP Skip(ULONG) override { return Unexpected("IEnumMoniker::Skip"); }
  STDMETHODIMP Clone(IEnumMoniker**) override { return Unexpected("IEnumMoniker::Clone"); }

private:
  std::shared_ptr<FakeDeviceSystem> m_System;
  size_t m_Position = 0;
};

class FakeSystemDeviceEnum : public FakeComObject<ICreateDevEnum> {
public:
  explicit FakeSystemDeviceEnum(std::shared_ptr<FakeDeviceSystem> System) : m_System(std::move(System)) {}

  STDMETHODIMP CreateClassEnumerator(REFCLSID Category, IEnumMoniker** Enumerator, DWORD Flags) override {
    m_System->Log.Add("ICreateDevEnum::CreateClassEnumerator(" + GuidText(Category) + ", " + std::to_string(Flags) + ")");
    *Enumerator = nullptr;
    if (m_System->CreateClassEnumeratorResult != S_OK) return m_System->CreateClassEnumeratorResult;
    *Enumerator = new FakeEnumMoniker(m_System);
    return S_OK;
  }

private:
  std::shared_ptr<FakeDeviceSystem> m_System;
};

}  // namespace

FakeDeviceEnumRegistration::FakeDeviceEnumRegistration(std::shared_ptr<FakeDeviceSystem> System)
    : m_System(System),
      m_Registration(CLSID_SystemDeviceEnum, [System](REFIID riid, void** ppv) -> HRESULT {
        System->Log.Add("CoCreateInstance(CLSID_SystemDeviceEnum)");
        if (System->CreateResult != S_OK) return System->CreateResult;
        return HandOut(new FakeSystemDeviceEnum(System), riid, ppv);
      }) {}

STDMETHODIMP FakeBaseFilter::QueryFilterInfo(FILTER_INFO* Info) {
  if (!Info) return E_POINTER;
  ZeroMemory(Info, sizeof(*Info));
  wcsncpy(Info->achName, m_Name.c_str(), MAX_FILTER_NAME - 1);
  return S_OK;
}

void* FakeBaseFilter::QueryInterfaceExtra(REFIID riid) {
  if (IsEqualIID(riid, IID_IMediaFilter)) return static_cast<IMediaFilter*>(this);
  if (IsEqualIID(riid, IID_IPersist)) return static_cast<IPersist*>(this);
  return nullptr;
}

}  // namespace fakes
