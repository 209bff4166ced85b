#pragma once

// A watchdog for the soak's GUI thread: the thread marks each step it starts; when one step
// lasts longer than the time limit, the watchdog reads the thread's stack and hands it to the
// hang handler, which reports it and ends the process (a hung thread cannot be ended cleanly).

#include <windows.h>

#include <atomic>
#include <functional>
#include <string>
#include <vector>

namespace soak {

struct Hang {
  std::string Step;                  // what the thread had started
  unsigned Elapsed = 0;              // milliseconds since then
  std::vector<std::wstring> Modules;  // the stack's modules, innermost first
  std::vector<std::wstring> Frames;   // the stack's frames, "module+0xOFFSET"
};

class Watchdog {
public:
  // Watches the calling thread. OnHang runs on the watchdog's own thread and must not return
  // (it ends the process); when it does, the process ends with exit code 2.
  Watchdog(DWORD LimitMs, std::function<void(const Hang&)> OnHang);
  Watchdog(const Watchdog&) = delete;
  Watchdog& operator=(const Watchdog&) = delete;
  ~Watchdog();

  // The watched thread starts a step (a literal or a string that outlives the step).
  void Step(const char* What);
  // The watched thread waits for something with a time limit of its own: no limit until the
  // next Step.
  void Rest(const char* What);

private:
  static DWORD WINAPI Run(void* Self);

  DWORD m_LimitMs;
  std::function<void(const Hang&)> m_OnHang;
  HANDLE m_Watched = nullptr;  // the watched thread (a real handle, not the pseudo handle)
  HANDLE m_Stop = nullptr;     // set by the destructor
  HANDLE m_Thread = nullptr;
  std::atomic<const char*> m_Step{"starting"};  // written by the watched thread, read by the watchdog
  std::atomic<ULONGLONG> m_StepStarted{0};
  std::atomic<bool> m_Resting{false};
};

}  // namespace soak
