#pragma once

// The fake COM kit: strict fakes with real reference counts, a call log, and class objects
// registered in-process under the real class IDs, so that product code keeps calling
// CoCreateInstance as it does on a real system.

#include <windows.h>

#include <unknwn.h>

#include <atomic>
#include <functional>
#include <string>
#include <vector>

// A method of a fake that is never expected: it records the call and answers E_NOTIMPL.
#define LM_FAKE_UNEXPECTED(Iface, Method, ...) \
  STDMETHODIMP Method(__VA_ARGS__) override { return ::fakes::Unexpected(Iface "::" #Method); }

namespace fakes {

// Ordered record of the calls that fakes received, as "Interface::Method(details)".
class CallLog {
public:
  void Add(std::string Call) { m_Calls.push_back(std::move(Call)); }
  const std::vector<std::string>& Calls() const { return m_Calls; }
  // The calls joined with "; ", for readable expectations.
  std::string Joined() const;
  // How many calls begin with Prefix.
  int Count(const std::string& Prefix) const;
  void Clear() { m_Calls.clear(); }

private:
  std::vector<std::string> m_Calls;
};

// Number of fake objects alive in the process: a test that released everything ends at 0.
int LiveObjects();
// Calls that a fake received but was not scripted for; a test that went to plan has none.
// Safe from any thread (fakes may be called on a graph's streaming thread).
std::vector<std::string> UnexpectedCalls();
void ClearUnexpectedCalls();
// Records an unscripted call and returns E_NOTIMPL for the fake to hand back.
HRESULT Unexpected(const char* Method);

namespace detail {
void ObjectCreated();
void ObjectDestroyed();
}  // namespace detail

// Base of every fake: IUnknown with a real reference count over the interfaces listed, each
// answered by QueryInterface (through __uuidof). Further interfaces (bases of the listed
// ones, say) are answered by overriding QueryInterfaceExtra.
template <typename First, typename... Rest>
class FakeComObject : public First, public Rest... {
public:
  FakeComObject() { detail::ObjectCreated(); }
  FakeComObject(const FakeComObject&) = delete;
  FakeComObject& operator=(const FakeComObject&) = delete;

  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (IsEqualIID(riid, IID_IUnknown))
      *ppv = static_cast<IUnknown*>(static_cast<First*>(this));
    else if (!(Answer<First>(riid, ppv) || (Answer<Rest>(riid, ppv) || ...)))
      *ppv = QueryInterfaceExtra(riid);
    if (!*ppv) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++m_References; }
  STDMETHODIMP_(ULONG) Release() override {
    const ULONG left = --m_References;
    if (left == 0) delete this;
    return left;
  }

  ULONG References() const { return m_References; }

protected:
  virtual ~FakeComObject() { detail::ObjectDestroyed(); }
  virtual void* QueryInterfaceExtra(REFIID) { return nullptr; }

private:
  template <typename Interface>
  bool Answer(REFIID riid, void** ppv) {
    if (!IsEqualIID(riid, __uuidof(Interface))) return false;
    *ppv = static_cast<Interface*>(this);
    return true;
  }

  std::atomic<ULONG> m_References{1};
};

// Creates an instance for a class object: the fake's result, and the object on success.
using FakeCreator = std::function<HRESULT(REFIID riid, void** ppv)>;

// Registers a class object for Clsid in this process (CoRegisterClassObject) for the lifetime
// of this object; CoCreateInstance of Clsid then calls Create.
class ScopedClassRegistration {
public:
  ScopedClassRegistration(REFCLSID Clsid, FakeCreator Create);
  ScopedClassRegistration(const ScopedClassRegistration&) = delete;
  ScopedClassRegistration& operator=(const ScopedClassRegistration&) = delete;
  ~ScopedClassRegistration();

  HRESULT Result() const { return m_Result; }

private:
  DWORD m_Cookie = 0;
  HRESULT m_Result = E_FAIL;
};

// A creator that answers with Result and no object.
FakeCreator FailingCreator(HRESULT Result);

// Hands a new fake (reference count 1) to a caller asking for riid, then drops the maker's
// own reference: the caller ends up as the only owner.
template <typename Fake>
HRESULT HandOut(Fake* Object, REFIID riid, void** ppv) {
  const HRESULT hr = Object->QueryInterface(riid, ppv);
  Object->Release();
  return hr;
}

std::string Narrow(const std::wstring& Text);
std::string GuidText(REFGUID Guid);

}  // namespace fakes
