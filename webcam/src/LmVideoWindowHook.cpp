#include "webcam/src/LmVideoWindowHook.h"

#include <map>
#include <mutex>

namespace {

struct HookedWindow {
  WNDPROC Original = nullptr;  // the window's procedure before the hook
  HCURSOR Cursor = nullptr;    // none: the window's own cursor
  HBRUSH Brush = nullptr;      // owned; none: the window's own background
  const void* Owner = nullptr; // the hook that made the entry (a window handle may be reused)
};

// Every hooked window of the process, read by the window procedures on their threads and
// changed by the controls on theirs.
std::mutex g_Lock;
std::map<HWND, HookedWindow>& Hooked() {
  static std::map<HWND, HookedWindow> windows;
  return windows;
}

void FreeBrush(HookedWindow& Entry) {
  if (Entry.Brush) DeleteObject(Entry.Brush);
  Entry.Brush = nullptr;
}

}  // namespace

TLmVideoWindowHook::~TLmVideoWindowHook() { Detach(); }

void TLmVideoWindowHook::Attach(HWND Window) {
  if (Window == m_Window) return;
  Detach();
  if (!Window) return;
  std::lock_guard lock(g_Lock);
  auto& windows = Hooked();
  auto found = windows.find(Window);
  if (found == windows.end()) {
    // Entered before the procedure is swapped, so the first message already finds it.
    HookedWindow& entry = windows[Window];
    entry.Owner = this;
    entry.Original = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(Window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TLmVideoWindowHook::WindowProc)));
    if (!entry.Original) {
      windows.erase(Window);
      return;
    }
  }
  m_Window = Window;
}

void TLmVideoWindowHook::Detach() {
  if (!m_Window) return;
  std::lock_guard lock(g_Lock);
  auto& windows = Hooked();
  auto found = windows.find(m_Window);
  if (found != windows.end() && found->second.Owner == this) {
    FreeBrush(found->second);
    found->second.Cursor = nullptr;
    // Someone who subclassed the window after this hook calls on into it: then the entry stays,
    // passing everything on, until the window is destroyed.
    if (reinterpret_cast<WNDPROC>(GetWindowLongPtrW(m_Window, GWLP_WNDPROC)) == &TLmVideoWindowHook::WindowProc) {
      SetWindowLongPtrW(m_Window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(found->second.Original));
      windows.erase(found);
    }
  }
  m_Window = nullptr;
}

void TLmVideoWindowHook::SetCursor(HCURSOR Cursor) {
  std::lock_guard lock(g_Lock);
  auto found = Hooked().find(m_Window);
  if (found != Hooked().end() && found->second.Owner == this) found->second.Cursor = Cursor;
}

void TLmVideoWindowHook::SetColor(COLORREF Color) {
  HBRUSH brush = CreateSolidBrush(Color);
  std::lock_guard lock(g_Lock);
  auto found = Hooked().find(m_Window);
  if (found == Hooked().end() || found->second.Owner != this) {
    if (brush) DeleteObject(brush);
    return;
  }
  FreeBrush(found->second);
  found->second.Brush = brush;
}

LRESULT CALLBACK TLmVideoWindowHook::WindowProc(HWND Window, UINT Msg, WPARAM WParam, LPARAM LParam) {
  WNDPROC original = nullptr;
  {
    std::lock_guard lock(g_Lock);
    auto& windows = Hooked();
    auto found = windows.find(Window);
    if (found != windows.end()) {
      HookedWindow& entry = found->second;
      original = entry.Original;
      if (Msg == WM_SETCURSOR && LOWORD(LParam) == HTCLIENT && entry.Cursor) {
        ::SetCursor(entry.Cursor);
        return TRUE;
      }
      if (Msg == WM_ERASEBKGND && entry.Brush && WParam) {
        RECT client;
        GetClientRect(Window, &client);
        FillRect(reinterpret_cast<HDC>(WParam), &client, entry.Brush);
        return 1;
      }
      if (Msg == WM_NCDESTROY) {
        // The window goes before its control unhooked it: nothing of it may stay behind.
        if (reinterpret_cast<WNDPROC>(GetWindowLongPtrW(Window, GWLP_WNDPROC)) == &TLmVideoWindowHook::WindowProc)
          SetWindowLongPtrW(Window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original));
        FreeBrush(entry);
        windows.erase(found);
      }
    }
  }
  // A message that was already on its way when the control unhooked the window goes to the
  // procedure the window has again.
  if (!original) original = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(Window, GWLP_WNDPROC));
  if (!original || original == &TLmVideoWindowHook::WindowProc) return DefWindowProcW(Window, Msg, WParam, LParam);
  return CallWindowProcW(original, Window, Msg, WParam, LParam);
}
