#pragma once

// A thread of the library's own in COM's multithreaded apartment, which runs jobs for callers on
// threads whose COM state the library does not know: DirectShow's streaming threads belong to
// the source filter, and WIC (MJPG decoding) needs COM initialised on the thread that uses it.
// The caller waits for its job; the thread never waits for anyone but its callers. Internal to
// the camera library.

#include <windows.h>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace lm {

class ComThread {
public:
  ComThread() = default;
  ComThread(const ComThread&) = delete;
  ComThread& operator=(const ComThread&) = delete;
  // Ends the thread after the job it runs, if any.
  ~ComThread();

  // Runs Job on the thread (started on first use) and returns its result. False without
  // running it when the thread or COM on it could not start. One caller at a time.
  bool Run(const std::function<bool()>& Job);

private:
  void Main();

  std::mutex m_Lock;
  std::condition_variable m_Changed;
  std::thread m_Thread;
  bool m_Started = false;
  bool m_StartDone = false;  // the thread tried to initialise COM
  bool m_ComReady = false;
  bool m_Quit = false;
  const std::function<bool()>* m_Job = nullptr;  // the caller's, while it waits
  bool m_Result = false;
  bool m_Done = false;
};

}  // namespace lm
