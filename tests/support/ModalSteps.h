#pragma once

// Drives modal windows that a call under test shows: a thread timer, which every modal loop
// of the thread dispatches, looks for the window of the next step and acts on it. A step that
// opens a further modal window from its action lets the next step run inside that loop.

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace modal {

// One step: how to find its window (null while it is not there) and what to do with it.
struct Step {
  std::function<HWND()> Find;
  std::function<void(HWND)> Act;
};

// Runs Steps in order while it lives. Done() shows how far a script got. From TimeoutMs after
// the start on, every visible window of the thread gets WM_CLOSE, so that a failing test ends
// instead of hanging in a modal loop.
class Script {
public:
  explicit Script(std::vector<Step> Steps, DWORD TimeoutMs = 20000);
  Script(const Script&) = delete;
  Script& operator=(const Script&) = delete;
  ~Script();

  int Done() const { return m_Done; }
  bool Finished() const { return m_Done == static_cast<int>(m_Steps.size()); }
  bool TimedOut() const { return m_TimedOut; }
private:
  static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD);
  void RunNext();

  std::vector<Step> m_Steps;
  int m_Done = 0;
  UINT_PTR m_Timer = 0;
  DWORD m_Start = 0;
  DWORD m_TimeoutMs = 0;
  bool m_TimedOut = false;
};

// A visible top-level window of this thread with Caption, or null.
HWND FindThreadWindow(const std::wstring& Caption);

// The system colour chooser (ChooseColorW) of this thread, when it shows; or null.
HWND FindColorChooser();
// In the colour chooser: picks the first basic colour, RGB(255, 128, 128).
void PickFirstBasicColor(HWND Chooser);
inline constexpr COLORREF kFirstBasicColor = RGB(255, 128, 128);

// Common actions.
void PressOk(HWND Dialog);      // WM_COMMAND IDOK
void PressCancel(HWND Dialog);  // WM_COMMAND IDCANCEL
void Close(HWND Window);        // WM_CLOSE, as the close box does

}  // namespace modal
