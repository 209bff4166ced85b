#include "handwritten/GrabberCallback.h"

namespace handwritten {

STDMETHODIMP GrabberCallback::QueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_ISampleGrabberCB)) {
    *ppv = static_cast<ISampleGrabberCB*>(this);
    AddRef();
    return S_OK;
  }
  *ppv = nullptr;
  return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) GrabberCallback::AddRef() { return ++m_References; }

STDMETHODIMP_(ULONG) GrabberCallback::Release() {
  const ULONG left = --m_References;
  if (left == 0) delete this;
  return left;
}

}  // namespace handwritten
