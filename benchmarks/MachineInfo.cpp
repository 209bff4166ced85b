#include "benchmarks/MachineInfo.h"

#include <windows.h>

#include <cwchar>

namespace bench {

void PrintMachineLines() {
  SYSTEM_INFO info{};
  GetNativeSystemInfo(&info);
  std::wprintf(L"  processors              %lu\n", info.dwNumberOfProcessors);
  // Wine's own entry points in its ntdll; Windows has neither.
  using VersionFunction = const char*(__cdecl*)();
  const auto wineVersion = reinterpret_cast<VersionFunction>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll"), "wine_get_version")));
  using HostVersionFunction = void(__cdecl*)(const char**, const char**);
  const auto hostVersion = reinterpret_cast<HostVersionFunction>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll"), "wine_get_host_version")));
  if (!wineVersion) {
    std::wprintf(L"  Wine                    not present\n");
    return;
  }
  std::wprintf(L"  Wine                    %hs", wineVersion());
  const char* system = nullptr;
  const char* release = nullptr;
  if (hostVersion) hostVersion(&system, &release);
  if (system && release) std::wprintf(L" on %hs %hs", system, release);
  std::wprintf(L"\n");
}

}  // namespace bench
