// Prepares a Wine prefix for the tests and the demo:
// - unregisters the "Default Video Renderer", so that RenderFile connects the GDI video
//   renderer, which Wine draws inside a child window;
// - turns off Wine's crash dialog, so that a crashing test program prints its backtrace and
//   ends instead of waiting for a click on an invisible display;
// - puts the Japanese font that the set-up script installs (IPA P Gothic, IPA Gothic) in place
//   of the Japanese Windows fonts that dialogs ask for by name and that Wine's Japanese user
//   interface font and font links name, so that Japanese texts show under a Japanese locale.

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

// Wine looks a face name up among the installed families, then in its font replacements
// (HKCU\Software\Wine\Fonts\Replacements, "asked-for name" = "installed family"): a
// replacement makes the installed family answer to the Windows name, for CreateFont and for
// the font links that Wine's default user-interface fonts fall back to for Japanese glyphs
// ("MS UI Gothic"). The Windows names are those of Japanese Windows, in their Japanese and
// English spellings; a replacement is ignored when a font of that name is installed.
bool ReplaceJapaneseFonts() {
  struct Replacement {
    const wchar_t* WindowsName;
    const wchar_t* Installed;
  };
  static const Replacement replacements[] = {
      {L"\uFF2D\uFF33 \uFF30\u30B4\u30B7\u30C3\u30AF", L"IPAPGothic"},  // MS P Gothic, full-width letters
      {L"MS PGothic", L"IPAPGothic"},
      {L"\uFF2D\uFF33 \u30B4\u30B7\u30C3\u30AF", L"IPAGothic"},  // MS Gothic, full-width letters
      {L"MS Gothic", L"IPAGothic"},
      {L"MS UI Gothic", L"IPAPGothic"},
  };
  bool ok = true;
  for (const Replacement& r : replacements) {
    const DWORD bytes = static_cast<DWORD>((std::wcslen(r.Installed) + 1) * sizeof(wchar_t));
    ok = RegSetKeyValueW(HKEY_CURRENT_USER, L"Software\\Wine\\Fonts\\Replacements", r.WindowsName, REG_SZ, r.Installed,
                         bytes) == ERROR_SUCCESS && ok;
  }
  return ok;
}

int wmain() {
  int status = 0;
  if (!DisableCrashDialog()) {
    std::fwprintf(stderr, L"cannot turn off the crash dialog\n");
    status = 1;
  }
  if (!ReplaceJapaneseFonts()) {
    std::fwprintf(stderr, L"cannot write the Japanese font replacements\n");
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
