// The DLL's entry points: DllMain, DllGetClassObject and DllCanUnloadNow. Registration is in
// Registration.cpp.

#include "testcam/Module.h"

#include <atomic>

#include "testcam/CaptureFilter.h"
#include "testcam/ClassFactory.h"
#include "testcam/ComObject.h"
#include "testcam/FilterPropertyPage.h"
#include "testcam/FormatPropertyPage.h"
#include "testcam/LmTestCam.h"

namespace lmcam {
namespace {

HINSTANCE g_Instance = nullptr;
std::atomic<long> g_ModuleReferences{0};

}  // namespace

HINSTANCE ModuleInstance() { return g_Instance; }

void ModuleAddRef() { ++g_ModuleReferences; }
void ModuleRelease() { --g_ModuleReferences; }

HRESULT GetClassObject(REFCLSID Clsid, REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  CreateFunction create = nullptr;
  if (CaptureFilter::DeviceNameOf(Clsid))
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

extern "C" BOOL WINAPI DllMain(HINSTANCE Instance, DWORD Reason, LPVOID) {
  if (Reason == DLL_PROCESS_ATTACH) {
    lmcam::g_Instance = Instance;
    DisableThreadLibraryCalls(Instance);
  }
  return TRUE;
}

extern "C" HRESULT __stdcall DllGetClassObject(REFCLSID rclsid, REFIID riid, void** ppv) {
  return lmcam::GetClassObject(rclsid, riid, ppv);
}

extern "C" HRESULT __stdcall DllCanUnloadNow() {
  return lmcam::g_ModuleReferences.load() == 0 ? S_OK : S_FALSE;
}
