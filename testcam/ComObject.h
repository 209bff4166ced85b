#pragma once

// Reference counting of the camera's COM classes, written once.
//
// A class implements its interfaces and QueryInterface, and leaves AddRef and Release pure.
// ComObject<T> completes it with its own count (the object is created with one reference,
// which the creator owns); ComPart<T> completes a part of a larger object (a pin of a filter)
// whose count is its owner's, so that a reference to the part keeps the whole alive.

#include <windows.h>

#include <unknwn.h>
#include <wrl/client.h>

#include <atomic>
#include <utility>

#include "testcam/ComBoundary.h"

namespace lmcam {

// Objects and server locks alive in the DLL; DllCanUnloadNow answers S_OK at zero.
void ModuleAddRef();
void ModuleRelease();

template <typename T>
class ComObject final : public T {
public:
  template <typename... Args>
  explicit ComObject(Args&&... args) : T(std::forward<Args>(args)...) {
    ModuleAddRef();
  }
  ~ComObject() override { ModuleRelease(); }

  STDMETHODIMP_(ULONG) AddRef() override { return ++m_References; }
  STDMETHODIMP_(ULONG) Release() override {
    const ULONG left = --m_References;
    if (left == 0) delete this;
    return left;
  }

private:
  std::atomic<ULONG> m_References{1};
};

template <typename T>
class ComPart final : public T {
public:
  // Owner is the object whose count this part uses; it owns the part and outlives it.
  template <typename... Args>
  explicit ComPart(IUnknown* Owner, Args&&... args) : T(std::forward<Args>(args)...), m_Owner(Owner) {}

  STDMETHODIMP_(ULONG) AddRef() override { return m_Owner->AddRef(); }
  STDMETHODIMP_(ULONG) Release() override { return m_Owner->Release(); }

private:
  IUnknown* const m_Owner;  // raw: the owner destroys this part in its destructor
};

// Takes over a reference that the caller already owns (a new object's first one). Unlike
// Microsoft's, mingw-w64's ComPtr::Attach adds a reference, so it is not used for this.
template <typename I>
Microsoft::WRL::ComPtr<I> Adopt(I* Object) {
  Microsoft::WRL::ComPtr<I> owner;
  *owner.GetAddressOf() = Object;
  return owner;
}

// Creates a ComObject<T> and hands the interface riid of it to the caller, who ends up as
// its only owner.
template <typename T, typename... Args>
HRESULT CreateComObject(REFIID riid, void** ppv, Args&&... args) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  T* object = nullptr;
  const HRESULT created = ComBoundary([&]() -> HRESULT {
    object = new ComObject<T>(std::forward<Args>(args)...);
    return S_OK;
  });
  if (FAILED(created)) return created;
  const auto owner = Adopt(static_cast<IUnknown*>(static_cast<typename T::PrimaryInterface*>(object)));
  return object->QueryInterface(riid, ppv);
}

// Answers QueryInterface for the interface I of Object, adding a reference.
template <typename I, typename T>
bool AnswerInterface(T* Object, REFIID riid, void** ppv) {
  if (!IsEqualIID(riid, __uuidof(I))) return false;
  *ppv = static_cast<I*>(Object);
  static_cast<I*>(Object)->AddRef();
  return true;
}

}  // namespace lmcam
