// Stands in for the web browser in the about box's tests: registered as the handler of web
// addresses, it writes the address it was started with (its arguments, one per line, UTF-16)
// to the file that LM_URL_SINK_FILE names.

#include <windows.h>

#include <shellapi.h>

#include <string>

int main() {
  wchar_t target[MAX_PATH] = {};
  if (!GetEnvironmentVariableW(L"LM_URL_SINK_FILE", target, MAX_PATH)) return 2;
  int count = 0;
  wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
  if (!arguments) return 3;
  std::wstring text;
  for (int i = 1; i < count; ++i) {
    if (i > 1) text += L'\n';
    text += arguments[i];
  }
  LocalFree(arguments);
  // Written beside the target and renamed, so that a reader never sees half of it.
  const std::wstring partial = std::wstring(target) + L".part";
  HANDLE file = CreateFileW(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 4;
  DWORD written = 0;
  const BOOL ok = WriteFile(file, text.data(), static_cast<DWORD>(text.size() * sizeof(wchar_t)), &written, nullptr);
  CloseHandle(file);
  if (!ok || !MoveFileExW(partial.c_str(), target, MOVEFILE_REPLACE_EXISTING)) return 5;
  return 0;
}
