#pragma once

// Message pumping for the soak's GUI thread: the components and Wine's video windows deliver
// their events as window messages.

#include <windows.h>

#include <algorithm>

namespace soak {

// Dispatches this thread's messages until Done() holds or TimeoutMs passes (waking early when
// Event, if given, is set); the final Done().
template <typename Predicate>
bool PumpUntil(Predicate Done, DWORD TimeoutMs, HANDLE Event = nullptr) {
  const ULONGLONG deadline = GetTickCount64() + TimeoutMs;
  for (;;) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    if (Done()) return true;
    const ULONGLONG now = GetTickCount64();
    if (now >= deadline) return false;
    MsgWaitForMultipleObjects(Event ? 1 : 0, Event ? &Event : nullptr, FALSE,
                              static_cast<DWORD>(std::min<ULONGLONG>(deadline - now, 20)), QS_ALLINPUT);
  }
}

inline void PumpFor(DWORD Milliseconds) {
  PumpUntil([] { return false; }, Milliseconds);
}

}  // namespace soak
