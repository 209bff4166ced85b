// Prepares a Wine prefix for the tests and the demo:
// - unregisters the "Default Video Renderer", so that RenderFile connects the GDI video
//   renderer, which Wine draws inside a child window;
// - turns off Wine's crash dialog, so that a crashing test program prints its backtrace and
//   ends instead of waiting for a click on an invisible display.

#include <windows.h>

#include <dshow.h>
#include <wrl/client.h>

#include <cstdio>
#include <cwchar>

using Microsoft::WRL::ComPtr;

namespace {

// {6BC1CFFA-8FC1-4261-AC22-CFB4CC38DB50}
constexpr GUID kDefaultVideoRenderer = {0x6BC1CFFA, 0x8FC1, 0x4261, {0xAC, 0x22, 0xCF, 0xB4, 0xCC, 0x38, 0xDB, 0x50}};

}  // namespace

bool DisableCrashDialog() {
  const DWORD show = 0;
  return RegSetKeyValueW(HKEY_CURRENT_USER, L"Software\\Wine\\WineDbg", L"ShowCrashDialog", REG_DWORD, &show,
                         sizeof(show)) == ERROR_SUCCESS;
}

int wmain() {
  int status = 0;
  if (!DisableCrashDialog()) {
    std::fwprintf(stderr, L"cannot turn off the crash dialog\n");
    status = 1;
  }
  if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 1;
  {
    ComPtr<IFilterMapper2> mapper;
    HRESULT hr = CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper2,
                                  reinterpret_cast<void**>(mapper.GetAddressOf()));
    if (SUCCEEDED(hr)) hr = mapper->UnregisterFilter(&CLSID_LegacyAmFilterCategory, nullptr, kDefaultVideoRenderer);
    // Not registered (already removed) is as good as removed.
    if (FAILED(hr) && hr != HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)) {
      std::fwprintf(stderr, L"cannot unregister the default video renderer: 0x%08lx\n", static_cast<unsigned long>(hr));
      status = 1;
    }
  }
  CoUninitialize();
  return status;
}
