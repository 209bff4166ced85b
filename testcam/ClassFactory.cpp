#include "testcam/ClassFactory.h"

#include <new>

#include "testcam/ComBoundary.h"
#include "testcam/ComObject.h"

namespace lmcam {

STDMETHODIMP ClassFactory::QueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
    *ppv = static_cast<IClassFactory*>(this);
    AddRef();
    return S_OK;
  }
  return E_NOINTERFACE;
}

STDMETHODIMP ClassFactory::CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppv) {
  return ComBoundary([&]() -> HRESULT {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (pUnkOuter) return CLASS_E_NOAGGREGATION;
    return m_Create(m_Clsid, riid, ppv);
  });
}

STDMETHODIMP ClassFactory::LockServer(BOOL fLock) {
  if (fLock)
    ModuleAddRef();
  else
    ModuleRelease();
  return S_OK;
}

}  // namespace lmcam
