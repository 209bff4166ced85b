// DllRegisterServer / DllUnregisterServer.
//
// Registering points HKCR\CLSID\{CLSID_CaptureGraphBuilder2}\InprocServer32 at this DLL and
// keeps the server it named before (the platform's qcap.dll) in the value kPreviousServer of
// that key; registering again keeps the first one kept. Unregistering writes the kept server
// back, with threading model Both, and removes the value.

#include <windows.h>

#include <olectl.h>

#include <string>

#include "testbuilder/LmTestCaptureBuilder.h"
#include "testbuilder/Module.h"
#include "testcam/ComBoundary.h"
#include "testcam/ModulePath.h"

using lmcam::ComBoundary;

namespace {

constexpr wchar_t kPreviousServer[] = L"LmPreviousServer";

std::wstring ServerKey() {
  wchar_t clsid[40] = {};
  StringFromGUID2(CLSID_LmCaptureGraphBuilder2, clsid, 40);
  return std::wstring(L"CLSID\\") + clsid + L"\\InprocServer32";
}


// A REG_SZ value of the key; empty when absent.
std::wstring ReadString(const std::wstring& Key, const wchar_t* Name) {
  DWORD bytes = 0;
  if (RegGetValueW(HKEY_CLASSES_ROOT, Key.c_str(), Name, RRF_RT_REG_SZ, nullptr, nullptr, &bytes) != ERROR_SUCCESS)
    return {};
  std::wstring value(bytes / sizeof(wchar_t), L'\0');
  if (RegGetValueW(HKEY_CLASSES_ROOT, Key.c_str(), Name, RRF_RT_REG_SZ, nullptr, value.data(), &bytes) !=
      ERROR_SUCCESS)
    return {};
  value.resize(wcsnlen(value.c_str(), value.size()));
  return value;
}

LSTATUS WriteString(const std::wstring& Key, const wchar_t* Name, const std::wstring& Value) {
  return RegSetKeyValueW(HKEY_CLASSES_ROOT, Key.c_str(), Name, REG_SZ, Value.c_str(),
                         static_cast<DWORD>((Value.size() + 1) * sizeof(wchar_t)));
}

}  // namespace

extern "C" HRESULT __stdcall DllRegisterServer() {
  return ComBoundary([&]() -> HRESULT {
    const std::wstring path = lmcam::ModulePath(lmbuilder::ModuleInstance());
    if (path.empty()) return HRESULT_FROM_WIN32(GetLastError());
    const std::wstring key = ServerKey();
    if (ReadString(key, kPreviousServer).empty()) {
      const std::wstring previous = ReadString(key, nullptr);
      // Registered twice: the first registration already kept the platform's server.
      if (!previous.empty() && _wcsicmp(previous.c_str(), path.c_str()) != 0 &&
          WriteString(key, kPreviousServer, previous) != ERROR_SUCCESS)
        return SELFREG_E_CLASS;
    }
    if (WriteString(key, nullptr, path) != ERROR_SUCCESS || WriteString(key, L"ThreadingModel", L"Both") != ERROR_SUCCESS)
      return SELFREG_E_CLASS;
    return S_OK;
  });
}

extern "C" HRESULT __stdcall DllUnregisterServer() {
  return ComBoundary([&]() -> HRESULT {
    const std::wstring key = ServerKey();
    const std::wstring previous = ReadString(key, kPreviousServer);
    if (previous.empty()) return S_OK;  // not registered by this DLL
    if (WriteString(key, nullptr, previous) != ERROR_SUCCESS || WriteString(key, L"ThreadingModel", L"Both") != ERROR_SUCCESS)
      return SELFREG_E_CLASS;
    RegDeleteKeyValueW(HKEY_CLASSES_ROOT, key.c_str(), kPreviousServer);
    return S_OK;
  });
}
