#pragma once

// Drives a modal loop from inside: steps run one per timer tick on the thread that shows the
// modal window, so a test can inspect and operate a dialog while ShowModal (or a function that
// calls it) has not returned yet.

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace testwin {

class ModalScript {
public:
  using Step = std::function<void()>;

  // Starts ticking at once; the steps run in order, IntervalMs apart. If the modal loop still
  // runs TimeoutMs after the start, every visible framework window of the thread is sent
  // WM_CLOSE, and TimedOut() tells so.
  explicit ModalScript(std::vector<Step> Steps, UINT IntervalMs = 30, DWORD TimeoutMs = 15000);
  ModalScript(const ModalScript&) = delete;
  ModalScript& operator=(const ModalScript&) = delete;
  ~ModalScript();

  // How many steps ran.
  size_t StepsRun() const { return m_Next; }
  bool Finished() const { return m_Next == m_Steps.size(); }
  bool TimedOut() const { return m_TimedOut; }

private:
  static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD);
  void RunNext();

  std::vector<Step> m_Steps;
  size_t m_Next = 0;
  bool m_Running = false;
  bool m_TimedOut = false;
  DWORD m_Start = 0;
  DWORD m_TimeoutMs = 0;
  UINT_PTR m_Timer = 0;
};

// The visible top-level windows of the framework's window class on this thread.
std::vector<HWND> VisibleFormWindows();

// The text of a window.
std::wstring WindowText(HWND Window);

// The first child (at any depth) of Parent whose text is Text; null when there is none.
HWND FindChildByText(HWND Parent, const std::wstring& Text);

// The rectangle of a child window in its parent's client coordinates.
RECT RectInParent(HWND Window);

// The face name, height, charset, underline of the font a window uses (WM_GETFONT).
struct FontFacts {
  std::wstring Name;
  LONG Height = 0;
  BYTE Charset = 0;
  bool Underline = false;
};
FontFacts WindowFont(HWND Window);

}  // namespace testwin
