#include "support/ModalSteps.h"

#include "support/ModalScript.h"

namespace modal {
namespace {

Script* g_Active = nullptr;  // the script whose timer runs; one at a time

struct FindData {
  const std::wstring* Caption;
  HWND Found;
};

BOOL CALLBACK MatchCaption(HWND Window, LPARAM Param) {
  auto* data = reinterpret_cast<FindData*>(Param);
  if (IsWindowVisible(Window) && testwin::WindowText(Window) == *data->Caption) {
    data->Found = Window;
    return FALSE;
  }
  return TRUE;
}

BOOL CALLBACK CloseVisible(HWND Window, LPARAM) {
  if (IsWindowVisible(Window)) PostMessageW(Window, WM_CLOSE, 0, 0);
  return TRUE;
}

BOOL CALLBACK MatchColorChooser(HWND Window, LPARAM Param) {
  wchar_t className[16] = {};
  GetClassNameW(Window, className, 16);
  // The chooser's basic colour grid is its item 0x2d0.
  if (IsWindowVisible(Window) && std::wstring(className) == L"#32770" && GetDlgItem(Window, 0x2d0)) {
    *reinterpret_cast<HWND*>(Param) = Window;
    return FALSE;
  }
  return TRUE;
}

}  // namespace

Script::Script(std::vector<Step> Steps, DWORD TimeoutMs)
    : m_Steps(std::move(Steps)), m_Start(GetTickCount()), m_TimeoutMs(TimeoutMs) {
  g_Active = this;
  m_Timer = SetTimer(nullptr, 0, 30, &Script::Tick);
}

Script::~Script() {
  KillTimer(nullptr, m_Timer);
  g_Active = nullptr;
}

void CALLBACK Script::Tick(HWND, UINT, UINT_PTR, DWORD) {
  if (g_Active) g_Active->RunNext();
}

void Script::RunNext() {
  // Past the time limit every window goes, steps done or not: a window that no step expected
  // would otherwise keep its modal loop, and the test, waiting for ever.
  if (GetTickCount() - m_Start > m_TimeoutMs) {
    m_TimedOut = true;
    EnumThreadWindows(GetCurrentThreadId(), &CloseVisible, 0);
    return;
  }
  if (Finished()) return;
  Step& step = m_Steps[static_cast<size_t>(m_Done)];
  const HWND window = step.Find();
  if (!window) return;
  // Count the step first: an action that opens a modal window returns only when it closes,
  // and the ticks inside that window's loop must go on with the next step.
  ++m_Done;
  step.Act(window);
}

HWND FindThreadWindow(const std::wstring& Caption) {
  FindData data{&Caption, nullptr};
  EnumThreadWindows(GetCurrentThreadId(), &MatchCaption, reinterpret_cast<LPARAM>(&data));
  return data.Found;
}

HWND FindColorChooser() {
  HWND chooser = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), &MatchColorChooser, reinterpret_cast<LPARAM>(&chooser));
  return chooser;
}

void PickFirstBasicColor(HWND Chooser) {
  RECT grid;
  GetWindowRect(GetDlgItem(Chooser, 0x2d0), &grid);
  POINT point{grid.left + 3, grid.top + 3};
  ScreenToClient(Chooser, &point);
  SendMessageW(Chooser, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(point.x, point.y));
  SendMessageW(Chooser, WM_LBUTTONUP, 0, MAKELPARAM(point.x, point.y));
}

void PressOk(HWND Dialog) { PostMessageW(Dialog, WM_COMMAND, IDOK, 0); }
void PressCancel(HWND Dialog) { PostMessageW(Dialog, WM_COMMAND, IDCANCEL, 0); }
void Close(HWND Window) { PostMessageW(Window, WM_CLOSE, 0, 0); }

}  // namespace modal
