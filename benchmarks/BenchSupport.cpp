#include "benchmarks/BenchSupport.h"

#include <psapi.h>

#include <algorithm>
#include <cstdio>

namespace bench {

double NowMs() {
  static const double frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return static_cast<double>(f.QuadPart);
  }();
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return static_cast<double>(now.QuadPart) * 1000.0 / frequency;
}

double ProcessCpuMs() {
  FILETIME creation, exit, kernel, user;
  if (!GetProcessTimes(GetCurrentProcess(), &creation, &exit, &kernel, &user)) return 0;
  const auto ticks = [](const FILETIME& t) {
    return static_cast<double>((static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime);
  };
  return (ticks(kernel) + ticks(user)) / 10000.0;
}

long long ProcessPrivateBytes() {
  PROCESS_MEMORY_COUNTERS_EX memory{};
  memory.cb = sizeof(memory);
  if (!GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof(memory)))
    return -1;
  // PagefileUsage is the private committed memory on Windows (as PrivateUsage).
  return static_cast<long long>(memory.PagefileUsage);
}

void DispatchPending(double UntilMs) {
  MSG msg;
  while (NowMs() < UntilMs && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

bool PumpUntil(HANDLE Event, double Milliseconds) {
  const double deadline = NowMs() + Milliseconds;
  for (;;) {
    DispatchPending(deadline);
    const double left = deadline - NowMs();
    if (left <= 0) return false;
    const DWORD wait = static_cast<DWORD>(std::ceil(left));
    const DWORD result = MsgWaitForMultipleObjects(Event ? 1 : 0, Event ? &Event : nullptr, FALSE, wait, QS_ALLINPUT);
    if (Event && result == WAIT_OBJECT_0) return true;
  }
}

std::wstring HostLoadAverage() {
  FILE* file = _wfopen(L"Z:\\proc\\loadavg", L"r");
  if (!file) return L"";
  double one = 0, five = 0, fifteen = 0;
  const bool read = std::fscanf(file, "%lf %lf %lf", &one, &five, &fifteen) == 3;
  std::fclose(file);
  return read ? Fixed(one, 2) + L" " + Fixed(five, 2) + L" " + Fixed(fifteen, 2) : L"";
}

double Percentile(std::vector<double> Values, double P) {
  if (Values.empty()) return NAN;
  std::sort(Values.begin(), Values.end());
  const size_t rank = static_cast<size_t>(std::ceil(P / 100.0 * static_cast<double>(Values.size())));
  return Values[std::clamp<size_t>(rank, 1, Values.size()) - 1];
}

double Median(std::vector<double> Values) {
  if (Values.empty()) return NAN;
  std::sort(Values.begin(), Values.end());
  const size_t n = Values.size();
  return n % 2 ? Values[n / 2] : (Values[n / 2 - 1] + Values[n / 2]) / 2;
}

std::wstring HResultText(HRESULT Hr) {
  wchar_t text[16];
  std::swprintf(text, 16, L"0x%08lX", static_cast<unsigned long>(Hr));
  return text;
}

std::wstring Fixed(double Value, int Decimals) {
  if (std::isnan(Value)) return L"-";
  wchar_t text[32];
  std::swprintf(text, 32, L"%.*f", Decimals, Value);
  return text;
}

std::wstring SizeText(LONG Width, LONG Height) {
  return Width ? std::to_wstring(Width) + L"x" + std::to_wstring(Height) : std::wstring(L"-");
}

}  // namespace bench
