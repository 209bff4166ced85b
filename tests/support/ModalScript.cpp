#include "support/ModalScript.h"

namespace testwin {
namespace {

ModalScript* s_Active = nullptr;  // one script at a time: thread timers carry no context

BOOL CALLBACK CollectFormWindow(HWND Window, LPARAM Param) {
  wchar_t name[64] = {};
  GetClassNameW(Window, name, 64);
  if (IsWindowVisible(Window) && std::wstring(name) == L"FrameworkWinControl")
    reinterpret_cast<std::vector<HWND>*>(Param)->push_back(Window);
  return TRUE;
}

struct TextSearch {
  std::wstring Text;
  HWND Found = nullptr;
};

BOOL CALLBACK MatchText(HWND Window, LPARAM Param) {
  auto* search = reinterpret_cast<TextSearch*>(Param);
  if (WindowText(Window) != search->Text) return TRUE;
  search->Found = Window;
  return FALSE;
}

}  // namespace

ModalScript::ModalScript(std::vector<Step> Steps, UINT IntervalMs, DWORD TimeoutMs)
    : m_Steps(std::move(Steps)), m_Start(GetTickCount()), m_TimeoutMs(TimeoutMs) {
  s_Active = this;
  m_Timer = SetTimer(nullptr, 0, IntervalMs, &ModalScript::Tick);
}

ModalScript::~ModalScript() {
  if (m_Timer) KillTimer(nullptr, m_Timer);
  if (s_Active == this) s_Active = nullptr;
}

void CALLBACK ModalScript::Tick(HWND, UINT, UINT_PTR, DWORD) {
  if (s_Active) s_Active->RunNext();
}

void ModalScript::RunNext() {
  if (m_Running) return;  // a step that pumps messages must not start the next one
  if (GetTickCount() - m_Start > m_TimeoutMs) {
    m_TimedOut = true;
    for (HWND window : VisibleFormWindows()) PostMessageW(window, WM_CLOSE, 0, 0);
    return;
  }
  if (Finished()) return;
  m_Running = true;
  Step step = m_Steps[m_Next++];
  step();
  m_Running = false;
}

std::vector<HWND> VisibleFormWindows() {
  std::vector<HWND> windows;
  EnumThreadWindows(GetCurrentThreadId(), &CollectFormWindow, reinterpret_cast<LPARAM>(&windows));
  return windows;
}

std::wstring WindowText(HWND Window) {
  const int length = GetWindowTextLengthW(Window);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  text.resize(static_cast<size_t>(GetWindowTextW(Window, text.data(), length + 1)));
  return text;
}

HWND FindChildByText(HWND Parent, const std::wstring& Text) {
  TextSearch search{Text};
  EnumChildWindows(Parent, &MatchText, reinterpret_cast<LPARAM>(&search));
  return search.Found;
}

RECT RectInParent(HWND Window) {
  RECT rect;
  GetWindowRect(Window, &rect);
  MapWindowPoints(nullptr, GetParent(Window), reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

FontFacts WindowFont(HWND Window) {
  FontFacts facts;
  auto font = reinterpret_cast<HFONT>(SendMessageW(Window, WM_GETFONT, 0, 0));
  LOGFONTW description{};
  if (!font || !GetObjectW(font, sizeof(description), &description)) return facts;
  facts.Name = description.lfFaceName;
  facts.Height = description.lfHeight;
  facts.Charset = description.lfCharSet;
  facts.Underline = description.lfUnderline != 0;
  return facts;
}

}  // namespace testwin
