// The DLL's entry points: DllMain, DllGetClassObject and DllCanUnloadNow. Registration is in
// Registration.cpp.

#include "testbuilder/Module.h"

#include <atomic>

#include "testbuilder/CaptureBuilder.h"
#include "testbuilder/LmTestCaptureBuilder.h"
#include "testcam/ClassFactory.h"
#include "testcam/ComObject.h"

namespace lmcam {
namespace {

std::atomic<long> g_ModuleReferences{0};

}  // namespace

void ModuleAddRef() { ++g_ModuleReferences; }
void ModuleRelease() { --g_ModuleReferences; }

HRESULT GetClassObject(REFCLSID Clsid, REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (!IsEqualCLSID(Clsid, CLSID_LmCaptureGraphBuilder2)) return CLASS_E_CLASSNOTAVAILABLE;
  return CreateComObject<ClassFactory>(riid, ppv, Clsid, &lmbuilder::CaptureBuilder::Create);
}

}  // namespace lmcam

namespace lmbuilder {
namespace {
HINSTANCE g_Instance = nullptr;
}  // namespace

HINSTANCE ModuleInstance() { return g_Instance; }

}  // namespace lmbuilder

extern "C" BOOL WINAPI DllMain(HINSTANCE Instance, DWORD Reason, LPVOID) {
  if (Reason == DLL_PROCESS_ATTACH) {
    lmbuilder::g_Instance = Instance;
    DisableThreadLibraryCalls(Instance);
  }
  return TRUE;
}

extern "C" HRESULT __stdcall DllGetClassObject(REFCLSID rclsid, REFIID riid, void** ppv) {
  return lmcam::GetClassObject(rclsid, riid, ppv);
}

extern "C" HRESULT __stdcall DllCanUnloadNow() { return lmcam::g_ModuleReferences.load() == 0 ? S_OK : S_FALSE; }
