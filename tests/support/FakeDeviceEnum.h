#pragma once

// Fakes of the system device enumerator and what it hands out: class enumerator, device
// monikers, their property bags, and the bound device filter.

#include <windows.h>

#include <dshow.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "support/FakeCom.h"

namespace fakes {

// One device as the fake enumerator lists it.
struct FakeDevice {
  std::optional<std::wstring> FriendlyName;  // none: the bag has no such property
  std::optional<std::wstring> DevicePath;    // none: the moniker's display name stands in
  VARTYPE NameType = VT_BSTR;                // VT_NULL makes the name unconvertible
  HRESULT BindToStorageResult = S_OK;
  HRESULT ReadResult = S_OK;                 // used when FriendlyName is set
  HRESULT BindToObjectResult = S_OK;
  bool BindToObjectGivesNull = false;        // answer S_OK without an object
};

// What the fake system device enumerator does, and what it saw.
struct FakeDeviceSystem {
  HRESULT CreateResult = S_OK;                 // of CoCreateInstance(CLSID_SystemDeviceEnum)
  HRESULT CreateClassEnumeratorResult = S_OK;  // S_FALSE: the category is empty
  std::vector<FakeDevice> Devices;
  int NextFailsAt = -1;                        // Next at this position answers E_FAIL
  int NullMonikerAt = -1;                      // Next at this position answers S_OK with no moniker
  CallLog Log;
  // Most device monikers alive at once, seen by each Next.
  int MostLiveMonikers = 0;
  int LiveMonikers = 0;
};

// Registers the fake as CLSID_SystemDeviceEnum while it lives.
class FakeDeviceEnumRegistration {
public:
  explicit FakeDeviceEnumRegistration(std::shared_ptr<FakeDeviceSystem> System);
  HRESULT Result() const { return m_Registration.Result(); }

private:
  std::shared_ptr<FakeDeviceSystem> m_System;
  ScopedClassRegistration m_Registration;
};

// A filter that only names itself; every other call is unexpected.
class FakeBaseFilter : public FakeComObject<IBaseFilter> {
public:
  explicit FakeBaseFilter(std::wstring Name) : m_Name(std::move(Name)) {}
  const std::wstring& Name() const { return m_Name; }

  STDMETHODIMP GetClassID(CLSID*) override { return Unexpected("IBaseFilter::GetClassID"); }
  STDMETHODIMP Stop() override { return Unexpected("IBaseFilter::Stop"); }
  STDMETHODIMP Pause() override { return Unexpected("IBaseFilter::Pause"); }
  STDMETHODIMP Run(REFERENCE_TIME) override { return Unexpected("IBaseFilter::Run"); }
  STDMETHODIMP GetState(DWORD, FILTER_STATE*) override { return Unexpected("IBaseFilter::GetState"); }
  STDMETHODIMP SetSyncSource(IReferenceClock*) override { return Unexpected("IBaseFilter::SetSyncSource"); }
  STDMETHODIMP GetSyncSource(IReferenceClock**) override { return Unexpected("IBaseFilter::GetSyncSource"); }
  STDMETHODIMP EnumPins(IEnumPins**) override { return Unexpected("IBaseFilter::EnumPins"); }
  STDMETHODIMP FindPin(LPCWSTR, IPin**) override { return Unexpected("IBaseFilter::FindPin"); }
  STDMETHODIMP QueryFilterInfo(FILTER_INFO* Info) override;
  STDMETHODIMP JoinFilterGraph(IFilterGraph*, LPCWSTR) override { return Unexpected("IBaseFilter::JoinFilterGraph"); }
  STDMETHODIMP QueryVendorInfo(LPWSTR*) override { return Unexpected("IBaseFilter::QueryVendorInfo"); }

protected:
  void* QueryInterfaceExtra(REFIID riid) override;

private:
  std::wstring m_Name;
};

}  // namespace fakes
