#pragma once

// A class object that creates its class through a function; shared by the project's COM
// servers. Each server answers DllGetClassObject with GetClassObject (in its Module.cpp).

#include <windows.h>

#include <unknwn.h>

namespace lmcam {

using CreateFunction = HRESULT (*)(REFCLSID Clsid, REFIID riid, void** ppv);

class ClassFactory : public IClassFactory {
public:
  using PrimaryInterface = IClassFactory;

  ClassFactory(REFCLSID Clsid, CreateFunction Create) : m_Clsid(Clsid), m_Create(Create) {}

  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
  STDMETHODIMP CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppv) override;
  STDMETHODIMP LockServer(BOOL fLock) override;

protected:
  virtual ~ClassFactory() = default;

private:
  const CLSID m_Clsid;
  const CreateFunction m_Create;
};

// The class object for Clsid, or CLASS_E_CLASSNOTAVAILABLE (defined by each server).
HRESULT GetClassObject(REFCLSID Clsid, REFIID riid, void** ppv);

}  // namespace lmcam
