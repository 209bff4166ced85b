#pragma once

// What every measurement of the benchmark uses: the clock, the process's CPU time, pumping the
// GUI thread's messages while it waits, the statistics the figures show, and their text.

#include <windows.h>

#include <cmath>
#include <string>
#include <vector>

namespace bench {

// The performance counter, in milliseconds.
double NowMs();
// User + kernel time of this process, in milliseconds.
double ProcessCpuMs();
// This process's private committed memory in bytes (PagefileUsage; Wine fills only it, from
// the process's anonymous resident memory and swap); -1 when the system does not say.
long long ProcessPrivateBytes();

// Dispatches the thread's messages until none is left or the clock (NowMs) reaches UntilMs: a
// handler that is always late (a frame message posted again while it runs) cannot keep the
// caller here for ever.
void DispatchPending(double UntilMs = INFINITY);
// Pumps the thread's messages until Event is set (when given) or Milliseconds have passed;
// true when the event was set.
bool PumpUntil(HANDLE Event, double Milliseconds);

// Pumps messages until Done() holds or Milliseconds have passed; true when it held.
template <typename Predicate>
bool PumpWhileNot(Predicate Done, double Milliseconds) {
  const double deadline = NowMs() + Milliseconds;
  for (;;) {
    DispatchPending(deadline);
    if (Done()) return true;
    const double left = deadline - NowMs();
    if (left <= 0) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(std::ceil(left)), QS_ALLINPUT);
  }
}

// The host's load averages over 1, 5 and 15 minutes ("1.74 2.35 3.37"), when the program runs
// under Wine on Linux (read from /proc/loadavg through drive Z:); empty elsewhere.
std::wstring HostLoadAverage();

// Nearest-rank percentile of Values (0 < P <= 100); NAN for none.
double Percentile(std::vector<double> Values, double P);
double Median(std::vector<double> Values);

// "0x80004005".
std::wstring HResultText(HRESULT Hr);
// Value with Decimals decimals; "-" for NAN.
std::wstring Fixed(double Value, int Decimals);
// "1280x720"; "-" for a width of 0.
std::wstring SizeText(LONG Width, LONG Height);

}  // namespace bench
