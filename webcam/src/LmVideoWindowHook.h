#pragma once

// Gives one video renderer window the cursor and the background colour of the control it is
// placed in. The renderer's window class is shared by every video window of the process, so
// nothing is set on the class: the window itself is subclassed, and answers WM_SETCURSOR and
// WM_ERASEBKGND with what its own control gave it. Internal to the camera library.
//
// The renderer's window may belong to another thread (the renderer's window thread): the
// window procedure then runs there. What it reads is kept in a table under one lock, keyed by
// the window, so that a window procedure in flight never meets a hook that is going away.

#include <windows.h>

class TLmVideoWindowHook {
public:
  TLmVideoWindowHook() = default;
  TLmVideoWindowHook(const TLmVideoWindowHook&) = delete;
  TLmVideoWindowHook& operator=(const TLmVideoWindowHook&) = delete;
  ~TLmVideoWindowHook();

  // Hooks Window, unhooking the window hooked before. Nothing changes until a cursor or a
  // colour is given.
  void Attach(HWND Window);
  // Gives the window its own procedure back (when nothing subclassed it after this hook) and
  // frees the brush.
  void Detach();
  HWND Window() const { return m_Window; }

  // The cursor shown over the window's client area.
  void SetCursor(HCURSOR Cursor);
  // The colour the window's background is erased with.
  void SetColor(COLORREF Color);

private:
  static LRESULT CALLBACK WindowProc(HWND Window, UINT Msg, WPARAM WParam, LPARAM LParam);

  HWND m_Window = nullptr;  // GUI thread only
};
