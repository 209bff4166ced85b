#include <windowsx.h>

#include "framework/Controls.h"

namespace {

constexpr wchar_t kWindowClassName[] = L"FrameworkWinControl";

HINSTANCE FrameworkModule() {
  HMODULE module = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCWSTR>(&FrameworkModule), &module);
  return module;
}

}  // namespace

TShiftState MouseShiftState(WPARAM KeyFlags) {
  TShiftState shift;
  if (KeyFlags & MK_SHIFT) shift.Include(ssShift);
  if (KeyFlags & MK_CONTROL) shift.Include(ssCtrl);
  if (KeyFlags & MK_LBUTTON) shift.Include(ssLeft);
  if (KeyFlags & MK_RBUTTON) shift.Include(ssRight);
  if (KeyFlags & MK_MBUTTON) shift.Include(ssMiddle);
  if (GetKeyState(VK_MENU) < 0) shift.Include(ssAlt);
  return shift;
}

TShiftState KeyboardShiftState() {
  TShiftState shift;
  if (GetKeyState(VK_SHIFT) < 0) shift.Include(ssShift);
  if (GetKeyState(VK_CONTROL) < 0) shift.Include(ssCtrl);
  if (GetKeyState(VK_MENU) < 0) shift.Include(ssAlt);
  return shift;
}

TWinControl::TWinControl(TComponent* AOwner) : TComponent(AOwner) {}

TWinControl::~TWinControl() { DestroyHandle(); }

HWND TWinControl::Handle() {
  if (!m_Handle) CreateHandle();
  return m_Handle;
}

void TWinControl::CreateHandle() {
  const HINSTANCE instance = FrameworkModule();
  WNDCLASSEXW existing{};
  existing.cbSize = sizeof(existing);
  if (!GetClassInfoExW(instance, kWindowClassName, &existing)) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = &TWinControl::StdWndProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = kWindowClassName;
    if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
      throw EFrameworkError("cannot register the control window class");
  }
  // StdWndProc stores the handle while the window is being created.
  CreateWindowExW(0, kWindowClassName, L"", WindowStyle(), m_Left, m_Top, m_Width, m_Height,
                  m_ParentWindow, nullptr, instance, this);
  if (!m_Handle) throw EFrameworkError("cannot create the control window");
}

void TWinControl::DestroyHandle() {
  if (m_Handle) DestroyWindow(m_Handle);  // WM_NCDESTROY clears m_Handle
  m_Handle = nullptr;
}

DWORD TWinControl::WindowStyle() const {
  DWORD style = WS_CLIPCHILDREN;
  style |= m_ParentWindow ? (WS_CHILD | WS_CLIPSIBLINGS) : WS_POPUP;
  // Without a parent the window stays hidden until the host shows it.
  if (m_Visible && m_ParentWindow) style |= WS_VISIBLE;
  if (!m_Enabled) style |= WS_DISABLED;
  if (m_TabStop) style |= WS_TABSTOP;
  return style;
}

void TWinControl::SetParentWindow(HWND Parent) {
  if (Parent == m_ParentWindow) return;
  m_ParentWindow = Parent;
  if (!m_Handle) return;
  const DWORD keep = static_cast<DWORD>(GetWindowLongPtrW(m_Handle, GWL_STYLE)) & WS_VISIBLE;
  SetWindowLongPtrW(m_Handle, GWL_STYLE, static_cast<LONG_PTR>((WindowStyle() & ~WS_VISIBLE) | keep));
  SetParent(m_Handle, Parent);
  SetWindowPos(m_Handle, nullptr, m_Left, m_Top, m_Width, m_Height, SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
  if (m_Visible && Parent) ShowWindow(m_Handle, SW_SHOWNA);
}

void TWinControl::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
  if (ALeft == m_Left && ATop == m_Top && AWidth == m_Width && AHeight == m_Height) return;
  if (m_Handle) {
    // WM_WINDOWPOSCHANGED and WM_SIZE record the new bounds and call Resize.
    SetWindowPos(m_Handle, nullptr, ALeft, ATop, AWidth, AHeight, SWP_NOZORDER | SWP_NOACTIVATE);
    return;
  }
  const bool resized = AWidth != m_Width || AHeight != m_Height;
  m_Left = ALeft;
  m_Top = ATop;
  m_Width = AWidth;
  m_Height = AHeight;
  if (resized) Resize();
}

RECT TWinControl::ClientRect() {
  RECT rect{0, 0, m_Width, m_Height};
  if (m_Handle) GetClientRect(m_Handle, &rect);
  return rect;
}

void TWinControl::SetVisible(bool Visible) {
  if (Visible == m_Visible) return;
  m_Visible = Visible;
  if (m_Handle) ShowWindow(m_Handle, Visible ? SW_SHOWNA : SW_HIDE);
}

void TWinControl::SetEnabled(bool Enabled) {
  if (Enabled == m_Enabled) return;
  m_Enabled = Enabled;
  if (m_Handle) EnableWindow(m_Handle, Enabled);
}

void TWinControl::SetTabStop(bool TabStop) {
  if (TabStop == m_TabStop) return;
  m_TabStop = TabStop;
  if (!m_Handle) return;
  LONG_PTR style = GetWindowLongPtrW(m_Handle, GWL_STYLE);
  style = TabStop ? (style | WS_TABSTOP) : (style & ~static_cast<LONG_PTR>(WS_TABSTOP));
  SetWindowLongPtrW(m_Handle, GWL_STYLE, style);
}

void TWinControl::SetColor(TColor Color) {
  if (Color == m_Color) return;
  m_Color = Color;
  m_Brush.SetColor(Color);
  Perform(CM_COLORCHANGED, 0, 0);
}

void TWinControl::SetCursor(TCursor Cursor) {
  if (Cursor == m_Cursor) return;
  m_Cursor = Cursor;
  Perform(CM_CURSORCHANGED, 0, 0);
}

bool TWinControl::Focused() const { return m_Handle && GetFocus() == m_Handle; }

void TWinControl::SetFocus() { ::SetFocus(Handle()); }

void TWinControl::Invalidate() {
  if (m_Handle) InvalidateRect(m_Handle, nullptr, !m_ControlStyle.Contains(csOpaque));
}

void TWinControl::Repaint() {
  Invalidate();
  if (m_Handle) UpdateWindow(m_Handle);
}

LRESULT TWinControl::Perform(UINT Msg, WPARAM WParam, LPARAM LParam) {
  TMessage message{Msg, WParam, LParam, 0};
  Dispatch(message);
  return message.Result;
}

void TWinControl::DefaultHandler(TMessage& Message) {
  Message.Result = m_Handle ? DefWindowProcW(m_Handle, Message.Msg, Message.WParam, Message.LParam) : 0;
}

void TWinControl::Dispatch(TMessage& Message) {
  switch (Message.Msg) {
    case WM_PAINT:
      WMPaint(Message);
      return;
    case WM_ERASEBKGND:
      WMEraseBkgnd(Message);
      return;
    case WM_WINDOWPOSCHANGED:
      UpdateBoundsFromWindow();
      DefaultHandler(Message);  // sends WM_SIZE when the size changed
      return;
    case WM_SIZE:
      UpdateBoundsFromWindow();
      Resize();
      Message.Result = 0;
      return;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      HandleMouseButton(Message, mbLeft, true);
      return;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
      HandleMouseButton(Message, mbRight, true);
      return;
    case WM_MBUTTONDOWN:
    case WM_MBUTTONDBLCLK:
      HandleMouseButton(Message, mbMiddle, true);
      return;
    case WM_LBUTTONUP:
      HandleMouseButton(Message, mbLeft, false);
      return;
    case WM_RBUTTONUP:
      HandleMouseButton(Message, mbRight, false);
      return;
    case WM_MBUTTONUP:
      HandleMouseButton(Message, mbMiddle, false);
      return;
    case WM_MOUSEMOVE:
      MouseMove(MouseShiftState(Message.WParam), GET_X_LPARAM(Message.LParam), GET_Y_LPARAM(Message.LParam));
      Message.Result = 0;
      return;
    case WM_SETCURSOR:
      if (!HandleSetCursor(Message)) DefaultHandler(Message);
      return;
    case WM_SETFOCUS:
      if (OnEnter) OnEnter(this);
      DefaultHandler(Message);
      return;
    case WM_KILLFOCUS:
      if (OnExit) OnExit(this);
      DefaultHandler(Message);
      return;
    case WM_KEYDOWN:
    case WM_KEYUP: {
      WORD key = static_cast<WORD>(Message.WParam);
      const TKeyEvent& handler = Message.Msg == WM_KEYDOWN ? OnKeyDown : OnKeyUp;
      if (handler) handler(this, key, KeyboardShiftState());
      if (key != 0) DefaultHandler(Message);
      return;
    }
    case WM_CHAR: {
      wchar_t key = static_cast<wchar_t>(Message.WParam);
      if (OnKeyPress) OnKeyPress(this, key);
      if (key != 0) DefaultHandler(Message);
      return;
    }
    case CM_COLORCHANGED:
      CMColorChanged(Message);
      return;
    case CM_CURSORCHANGED:
      CMCursorChanged(Message);
      return;
    default:
      DefaultHandler(Message);
  }
}

void TWinControl::WMPaint(TMessage& Message) { DefaultHandler(Message); }

void TWinControl::WMEraseBkgnd(TMessage& Message) {
  if (m_ControlStyle.Contains(csOpaque)) {
    Message.Result = 1;  // the control paints every pixel itself
    return;
  }
  RECT rect;
  GetClientRect(m_Handle, &rect);
  FillRect(reinterpret_cast<HDC>(Message.WParam), &rect, m_Brush.Handle());
  Message.Result = 1;
}

void TWinControl::CMColorChanged(TMessage& Message) {
  Invalidate();
  Message.Result = 0;
}

void TWinControl::CMCursorChanged(TMessage& Message) {
  // The pointer picks up the new cursor at its next WM_SETCURSOR.
  Message.Result = 0;
}

bool TWinControl::HandleSetCursor(TMessage& Message) {
  if (m_Cursor == crDefault || LOWORD(Message.LParam) != HTCLIENT ||
      reinterpret_cast<HWND>(Message.WParam) != m_Handle)
    return false;
  ::SetCursor(Screen().Cursors(m_Cursor));
  Message.Result = TRUE;
  return true;
}

void TWinControl::HandleMouseButton(TMessage& Message, TMouseButton Button, bool Down) {
  TShiftState shift = MouseShiftState(Message.WParam);
  const int x = GET_X_LPARAM(Message.LParam);
  const int y = GET_Y_LPARAM(Message.LParam);
  const bool doubleClick = Message.Msg == WM_LBUTTONDBLCLK || Message.Msg == WM_RBUTTONDBLCLK ||
                           Message.Msg == WM_MBUTTONDBLCLK;
  if (doubleClick) shift.Include(ssDouble);
  if (Down) {
    if (Button == mbLeft) {
      m_MousePressed = true;
      if (m_ControlStyle.Contains(csCaptureMouse)) SetCapture(m_Handle);
      if (doubleClick && m_ControlStyle.Contains(csDoubleClicks) && OnDblClick) OnDblClick(this);
    }
    MouseDown(Button, shift, x, y);
  } else {
    if (Button == mbLeft) {
      if (GetCapture() == m_Handle) ReleaseCapture();
      const RECT client = ClientRect();
      const POINT point{x, y};
      const bool inside = PtInRect(&client, point) != FALSE;
      if (m_MousePressed && inside && m_ControlStyle.Contains(csClickEvents)) Click();
      m_MousePressed = false;
    }
    MouseUp(Button, shift, x, y);
  }
  Message.Result = 0;
}

void TWinControl::UpdateBoundsFromWindow() {
  if (!m_Handle) return;
  RECT rect;
  GetWindowRect(m_Handle, &rect);
  HWND parent = GetParent(m_Handle);
  if (parent && (GetWindowLongPtrW(m_Handle, GWL_STYLE) & WS_CHILD))
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
  m_Left = rect.left;
  m_Top = rect.top;
  m_Width = rect.right - rect.left;
  m_Height = rect.bottom - rect.top;
}

void TWinControl::Resize() {
  if (OnResize) OnResize(this);
}

void TWinControl::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  if (OnMouseDown) OnMouseDown(this, Button, Shift, X, Y);
}

void TWinControl::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
  if (OnMouseUp) OnMouseUp(this, Button, Shift, X, Y);
}

void TWinControl::MouseMove(TShiftState Shift, int X, int Y) {
  if (OnMouseMove) OnMouseMove(this, Shift, X, Y);
}

void TWinControl::Click() {
  if (OnClick) OnClick(this);
}

LRESULT CALLBACK TWinControl::StdWndProc(HWND Window, UINT Msg, WPARAM WParam, LPARAM LParam) {
  TWinControl* control = nullptr;
  if (Msg == WM_NCCREATE) {
    control = static_cast<TWinControl*>(reinterpret_cast<CREATESTRUCTW*>(LParam)->lpCreateParams);
    SetWindowLongPtrW(Window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(control));
    control->m_Handle = Window;
  } else {
    control = reinterpret_cast<TWinControl*>(GetWindowLongPtrW(Window, GWLP_USERDATA));
  }
  if (!control) return DefWindowProcW(Window, Msg, WParam, LParam);

  TMessage message{Msg, WParam, LParam, 0};
  try {
    control->Dispatch(message);
  } catch (...) {
    // No exception may unwind through the system's message loop.
    message.Result = 0;
  }
  if (Msg == WM_NCDESTROY) {
    SetWindowLongPtrW(Window, GWLP_USERDATA, 0);
    control->m_Handle = nullptr;
  }
  return message.Result;
}
