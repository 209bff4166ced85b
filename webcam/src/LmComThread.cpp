#include "webcam/src/LmComThread.h"

#include <objbase.h>

namespace lm {

ComThread::~ComThread() {
  {
    std::lock_guard lock(m_Lock);
    m_Quit = true;
  }
  m_Changed.notify_all();
  if (m_Thread.joinable()) m_Thread.join();
}

void ComThread::Main() {
  const HRESULT initialised = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  std::unique_lock lock(m_Lock);
  m_ComReady = SUCCEEDED(initialised);
  m_StartDone = true;
  m_Changed.notify_all();
  while (m_ComReady) {
    m_Changed.wait(lock, [this] { return m_Quit || (m_Job && !m_Done); });
    if (m_Quit) break;
    const std::function<bool()>* job = m_Job;
    lock.unlock();
    bool result = false;
    try {
      result = (*job)();
    } catch (...) {
      result = false;
    }
    lock.lock();
    m_Result = result;
    m_Done = true;
    m_Changed.notify_all();
  }
  lock.unlock();
  if (SUCCEEDED(initialised)) CoUninitialize();
}

bool ComThread::Run(const std::function<bool()>& Job) {
  std::unique_lock lock(m_Lock);
  if (!m_Started) {
    m_Started = true;
    try {
      m_Thread = std::thread([this] { Main(); });
    } catch (...) {
      return false;
    }
    m_Changed.wait(lock, [this] { return m_StartDone; });
  }
  if (!m_ComReady || m_Quit) return false;
  m_Job = &Job;
  m_Done = false;
  m_Changed.notify_all();
  m_Changed.wait(lock, [this] { return m_Done; });
  m_Job = nullptr;
  return m_Result;
}

}  // namespace lm
