#include "testcam/ClassFactory.h"

#include <new>

#include "testcam/CaptureFilter.h"
#include "testcam/ComObject.h"
#include "testcam/FilterPropertyPage.h"
#include "testcam/FormatPropertyPage.h"
#include "testcam/LmTestCam.h"

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
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (pUnkOuter) return CLASS_E_NOAGGREGATION;
  return m_Create(m_Clsid, riid, ppv);
}

STDMETHODIMP ClassFactory::LockServer(BOOL fLock) {
  if (fLock)
    ModuleAddRef();
  else
    ModuleRelease();
  return S_OK;
}

HRESULT GetClassObject(REFCLSID Clsid, REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  CreateFunction create = nullptr;
  if (IsEqualCLSID(Clsid, CLSID_LmTestCamera) || IsEqualCLSID(Clsid, CLSID_LmTestCameraPreview))
    create = &CaptureFilter::Create;
  else if (IsEqualCLSID(Clsid, CLSID_LmTestCameraPropertyPage))
    create = &FilterPropertyPage::Create;
  else if (IsEqualCLSID(Clsid, CLSID_LmTestCameraFormatPage))
    create = &FormatPropertyPage::Create;
  else
    return CLASS_E_CLASSNOTAVAILABLE;
  return CreateComObject<ClassFactory>(riid, ppv, Clsid, create);
}

}  // namespace lmcam
