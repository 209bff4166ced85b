// DllRegisterServer / DllUnregisterServer: the codec's entries in the Drivers32 key, one value
// "vidc.<FOURCC>" per format, holding the DLL's path.

#include <windows.h>

#include <olectl.h>

#include <string>

#include "testcam/ModulePath.h"
#include "testcodec/Module.h"

namespace {

constexpr wchar_t kDrivers32[] = L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Drivers32";
constexpr const wchar_t* kValues[] = {L"vidc.YUY2", L"vidc.MJPG", L"vidc.NV12"};

// The driver loader takes what follows a space as the driver's arguments: a path with one is
// shortened, or refused.
std::wstring PathWithoutSpaces(const std::wstring& Path) {
  if (Path.find(L' ') == std::wstring::npos) return Path;
  wchar_t shortPath[MAX_PATH] = {};
  const DWORD length = GetShortPathNameW(Path.c_str(), shortPath, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return L"";
  const std::wstring result(shortPath, length);
  return result.find(L' ') == std::wstring::npos ? result : L"";
}

}  // namespace

extern "C" HRESULT __stdcall DllRegisterServer() {
  const std::wstring path = PathWithoutSpaces(lmcam::ModulePath(lmcodec::ModuleInstance()));
  if (path.empty()) return SELFREG_E_CLASS;
  for (const wchar_t* value : kValues) {
    const LSTATUS status = RegSetKeyValueW(HKEY_LOCAL_MACHINE, kDrivers32, value, REG_SZ, path.c_str(),
                                           static_cast<DWORD>((path.size() + 1) * sizeof(wchar_t)));
    if (status != ERROR_SUCCESS) return SELFREG_E_CLASS;
  }
  return S_OK;
}

extern "C" HRESULT __stdcall DllUnregisterServer() {
  const std::wstring path = PathWithoutSpaces(lmcam::ModulePath(lmcodec::ModuleInstance()));
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kDrivers32, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &key) != ERROR_SUCCESS)
    return S_OK;
  for (const wchar_t* value : kValues) {
    // Only the values that name this DLL: another codec's stay.
    wchar_t current[MAX_PATH] = {};
    DWORD size = sizeof(current) - sizeof(wchar_t);
    if (RegQueryValueExW(key, value, nullptr, nullptr, reinterpret_cast<BYTE*>(current), &size) == ERROR_SUCCESS &&
        _wcsicmp(current, path.c_str()) == 0)
      RegDeleteValueW(key, value);
  }
  RegCloseKey(key);
  return S_OK;
}
