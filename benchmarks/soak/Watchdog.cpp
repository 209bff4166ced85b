#include "soak/Watchdog.h"

#include "support/ThreadStack.h"

namespace soak {

Watchdog::Watchdog(DWORD LimitMs, std::function<void(const Hang&)> OnHang)
    : m_LimitMs(LimitMs), m_OnHang(std::move(OnHang)) {
  DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &m_Watched, 0, FALSE,
                  DUPLICATE_SAME_ACCESS);
  m_StepStarted = GetTickCount64();
  m_Stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  m_Thread = CreateThread(nullptr, 0, &Watchdog::Run, this, 0, nullptr);
}

Watchdog::~Watchdog() {
  SetEvent(m_Stop);
  if (m_Thread) {
    WaitForSingleObject(m_Thread, INFINITE);
    CloseHandle(m_Thread);
  }
  CloseHandle(m_Stop);
  CloseHandle(m_Watched);
}

void Watchdog::Step(const char* What) {
  m_Step = What;
  m_StepStarted = GetTickCount64();
  m_Resting = false;
}

void Watchdog::Rest(const char* What) {
  Step(What);
  m_Resting = true;
}

DWORD WINAPI Watchdog::Run(void* Parameter) {
  auto* self = static_cast<Watchdog*>(Parameter);
  while (WaitForSingleObject(self->m_Stop, 250) == WAIT_TIMEOUT) {
    const ULONGLONG elapsed = GetTickCount64() - self->m_StepStarted.load();
    if (elapsed < self->m_LimitMs || self->m_Resting) continue;
    Hang hang;
    hang.Step = self->m_Step.load();
    hang.Elapsed = static_cast<unsigned>(elapsed);
    hang.Frames = testwin::ThreadStackFrames(self->m_Watched);
    hang.Modules = testwin::ThreadStackModules(self->m_Watched);
    self->m_OnHang(hang);
    TerminateProcess(GetCurrentProcess(), 2);
  }
  return 0;
}

}  // namespace soak
