#include <windowsx.h>

#include <algorithm>

#include "framework/Controls.h"

namespace {

constexpr wchar_t kWindowClassName[] = L"FrameworkWinControl";

HINSTANCE FrameworkModule() {
  HMODULE module = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCWSTR>(&FrameworkModule), &module);
  return module;
}

// Marks a control as taking its parent's font or colour for as long as it lives, so that the
// change does not count as a font or colour of the control's own.
class InheritScope {
public:
  explicit InheritScope(bool& Inheriting) : m_Inheriting(Inheriting) { m_Inheriting = true; }
  InheritScope(const InheritScope&) = delete;
  InheritScope& operator=(const InheritScope&) = delete;
  ~InheritScope() { m_Inheriting = false; }

private:
  bool& m_Inheriting;
};

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

TWinControl::TWinControl(TComponent* AOwner) : TComponent(AOwner) {
  m_Font.OnChange = [this](TObject*) { FontChanged(); };
}

TWinControl::~TWinControl() {
  // The children stay with their owner; they only lose this parent.
  for (TWinControl* child : m_Controls) {
    child->m_Parent = nullptr;
    child->m_ParentWindow = nullptr;
  }
  m_Controls.clear();
  m_TabList.clear();
  RemoveFromParent();
  DestroyHandle();
}

HWND TWinControl::Handle() {
  // A child's window is made together with its parent's.
  if (!m_Handle && m_Parent && !m_Parent->m_Handle) m_Parent->Handle();
  if (!m_Handle) CreateHandle();
  return m_Handle;
}

void TWinControl::CreateParams(TCreateParams& Params) {
  Params.Caption = m_Caption;
  Params.Style = WindowStyle();
  Params.X = m_Left;
  Params.Y = m_Top;
  Params.Width = m_Width;
  Params.Height = m_Height;
  Params.WndParent = m_ParentWindow;
}

void TWinControl::CreateSubClass(TCreateParams& Params, const wchar_t* ClassName) {
  Params.WinClassName = ClassName;
}

void TWinControl::CreateHandle() {
  const HINSTANCE instance = FrameworkModule();
  TCreateParams params;
  CreateParams(params);
  if (params.WinClassName.empty()) {
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
    CreateWindowExW(params.ExStyle, kWindowClassName, params.Caption.c_str(), params.Style, params.X, params.Y,
                    params.Width, params.Height, params.WndParent, nullptr, instance, this);
    if (!m_Handle) throw EFrameworkError("cannot create the control window");
  } else {
    HWND window = CreateWindowExW(params.ExStyle, params.WinClassName.c_str(), params.Caption.c_str(), params.Style,
                                  params.X, params.Y, params.Width, params.Height, params.WndParent, nullptr,
                                  instance, nullptr);
    if (!window) throw EFrameworkError("cannot create the control window");
    // From here on the control's messages pass through StdWndProc; the class's own procedure
    // is what DefaultHandler calls.
    m_Handle = window;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    m_DefWndProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TWinControl::StdWndProc)));
    SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(m_Font.Handle()), FALSE);
  }
  UpdateBoundsFromWindow();
  WindowCreated();
  for (TWinControl* child : m_Controls) {
    child->SetParentWindow(m_Handle);
    child->Handle();
  }
}

void TWinControl::WindowCreated() {}

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
  TCreateParams params;
  CreateParams(params);
  const DWORD keep = static_cast<DWORD>(GetWindowLongPtrW(m_Handle, GWL_STYLE)) & WS_VISIBLE;
  SetWindowLongPtrW(m_Handle, GWL_STYLE, static_cast<LONG_PTR>((params.Style & ~WS_VISIBLE) | keep));
  ::SetParent(m_Handle, Parent);
  SetWindowPos(m_Handle, nullptr, m_Left, m_Top, m_Width, m_Height, SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
  if (m_Visible && Parent) ShowWindow(m_Handle, SW_SHOWNA);
}

void TWinControl::SetParent(TWinControl* AParent) {
  if (AParent == m_Parent) return;
  for (TWinControl* ancestor = AParent; ancestor; ancestor = ancestor->m_Parent)
    if (ancestor == this) throw EFrameworkError("a control cannot be its own parent");
  RemoveFromParent();
  m_Parent = AParent;
  if (!AParent) {
    SetParentWindow(nullptr);
    return;
  }
  AParent->m_Controls.push_back(this);
  if (m_TabListed) AParent->m_TabList.push_back(this);
  if (m_ParentFont) Perform(CM_PARENTFONTCHANGED, 0, 0);
  if (m_ParentColor) Perform(CM_PARENTCOLORCHANGED, 0, 0);
  if (AParent->m_Handle) {
    SetParentWindow(AParent->m_Handle);
    Handle();
  } else {
    SetParentWindow(nullptr);
  }
}

void TWinControl::RemoveFromParent() {
  if (!m_Parent) return;
  auto& siblings = m_Parent->m_Controls;
  siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
  auto& tabs = m_Parent->m_TabList;
  tabs.erase(std::remove(tabs.begin(), tabs.end(), this), tabs.end());
  m_Parent = nullptr;
}

TWinControl* TWinControl::Controls(int Index) const {
  if (Index < 0 || Index >= ControlCount()) throw EFrameworkError("control index out of bounds");
  return m_Controls[static_cast<size_t>(Index)];
}

int TWinControl::TabOrder() const {
  if (!m_Parent) return -1;
  const auto& tabs = m_Parent->m_TabList;
  const auto found = std::find(tabs.begin(), tabs.end(), this);
  return found == tabs.end() ? -1 : static_cast<int>(found - tabs.begin());
}

void TWinControl::SetTabOrder(int TabOrder) {
  if (!m_Parent || !m_TabListed) return;
  auto& tabs = m_Parent->m_TabList;
  tabs.erase(std::find(tabs.begin(), tabs.end(), this));
  const int last = static_cast<int>(tabs.size());
  tabs.insert(tabs.begin() + std::clamp(TabOrder, 0, last), this);
}

void TWinControl::GetTabOrderList(std::vector<TWinControl*>& List) const {
  for (TWinControl* child : m_TabList) {
    List.push_back(child);
    child->GetTabOrderList(List);
  }
}

TWinControl* TWinControl::FindNextControl(TWinControl* CurControl, bool GoForward, bool CheckTabStop) const {
  std::vector<TWinControl*> list;
  GetTabOrderList(list);
  const size_t count = list.size();
  if (count == 0) return nullptr;
  const auto found = std::find(list.begin(), list.end(), CurControl);
  const bool known = found != list.end();
  // Without a current control, forward starts at the first entry and backward at the last.
  const size_t start = known ? static_cast<size_t>(found - list.begin()) : (GoForward ? count - 1 : 0);
  const size_t steps = known ? count - 1 : count;
  for (size_t step = 1; step <= steps; ++step) {
    const size_t index = GoForward ? (start + step) % count : (start + count - step) % count;
    TWinControl* candidate = list[index];
    if ((!CheckTabStop || candidate->m_TabStop) && candidate->CanFocus()) return candidate;
  }
  return nullptr;
}

void TWinControl::SelectNext(TWinControl* CurControl, bool GoForward, bool CheckTabStop) {
  if (TWinControl* next = FindNextControl(CurControl, GoForward, CheckTabStop)) next->SetFocus();
}

void TWinControl::SetCaption(const std::wstring& Caption) {
  if (Caption == m_Caption) return;
  m_Caption = Caption;
  if (m_Handle) SetWindowTextW(m_Handle, m_Caption.c_str());
  Perform(CM_TEXTCHANGED, 0, 0);
}

void TWinControl::SetParentFont(bool ParentFont) {
  if (ParentFont == m_ParentFont) return;
  m_ParentFont = ParentFont;
  if (ParentFont) Perform(CM_PARENTFONTCHANGED, 0, 0);
}

void TWinControl::SetParentColor(bool ParentColor) {
  if (ParentColor == m_ParentColor) return;
  m_ParentColor = ParentColor;
  if (ParentColor) Perform(CM_PARENTCOLORCHANGED, 0, 0);
}

void TWinControl::FontChanged() {
  if (!m_Inheriting) m_ParentFont = false;
  Perform(CM_FONTCHANGED, 0, 0);
}

void TWinControl::NotifyControls(UINT Msg) {
  // A handler may reparent controls; walk a copy.
  const std::vector<TWinControl*> children = m_Controls;
  for (TWinControl* child : children) child->Perform(Msg, 0, 0);
}

TWinControl* TWinControl::TopParent() {
  TWinControl* top = this;
  while (top->m_Parent) top = top->m_Parent;
  return top;
}

TWinControl* TWinControl::FindControl(HWND Window) {
  if (!Window || !IsWindow(Window)) return nullptr;
  if (GetWindowLongPtrW(Window, GWLP_WNDPROC) != reinterpret_cast<LONG_PTR>(&TWinControl::StdWndProc)) return nullptr;
  return reinterpret_cast<TWinControl*>(GetWindowLongPtrW(Window, GWLP_USERDATA));
}

bool TWinControl::ReflectNotification(TMessage& Message, HWND Child) {
  TWinControl* control = FindControl(Child);
  if (!control || control == this) return false;
  Message.Result = control->Perform(CN_BASE + Message.Msg, Message.WParam, Message.LParam);
  return true;
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
  if (!m_Inheriting) m_ParentColor = false;
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

bool TWinControl::CanFocus() const {
  for (const TWinControl* control = this; control; control = control->m_Parent)
    if (!control->m_Visible || !control->m_Enabled) return false;
  return true;
}

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
  if (!m_Handle) {
    Message.Result = 0;
  } else if (m_DefWndProc) {
    Message.Result = CallWindowProcW(m_DefWndProc, m_Handle, Message.Msg, Message.WParam, Message.LParam);
  } else {
    Message.Result = DefWindowProcW(m_Handle, Message.Msg, Message.WParam, Message.LParam);
  }
}

void TWinControl::Dispatch(TMessage& Message) {
  // A standard control keeps its class's handling of input, sizing and background, after the
  // framework's events.
  const bool standard = IsStdControl();
  switch (Message.Msg) {
    case WM_PAINT:
      WMPaint(Message);
      return;
    case WM_ERASEBKGND:
      if (standard)
        DefaultHandler(Message);
      else
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
      if (standard) DefaultHandler(Message);
      return;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      HandleMouseButton(Message, mbLeft, true);
      if (standard) DefaultHandler(Message);
      return;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
      HandleMouseButton(Message, mbRight, true);
      if (standard) DefaultHandler(Message);
      return;
    case WM_MBUTTONDOWN:
    case WM_MBUTTONDBLCLK:
      HandleMouseButton(Message, mbMiddle, true);
      if (standard) DefaultHandler(Message);
      return;
    case WM_LBUTTONUP:
      HandleMouseButton(Message, mbLeft, false);
      if (standard) DefaultHandler(Message);
      return;
    case WM_RBUTTONUP:
      HandleMouseButton(Message, mbRight, false);
      if (standard) DefaultHandler(Message);
      return;
    case WM_MBUTTONUP:
      HandleMouseButton(Message, mbMiddle, false);
      if (standard) DefaultHandler(Message);
      return;
    case WM_MOUSEMOVE:
      MouseMove(MouseShiftState(Message.WParam), GET_X_LPARAM(Message.LParam), GET_Y_LPARAM(Message.LParam));
      Message.Result = 0;
      if (standard) DefaultHandler(Message);
      return;
    case WM_SETCURSOR:
      if (!HandleSetCursor(Message)) DefaultHandler(Message);
      return;
    case WM_GETFONT:
      if (standard)
        DefaultHandler(Message);
      else
        Message.Result = reinterpret_cast<LRESULT>(m_Font.Handle());
      return;
    case WM_COMMAND:
      if (!ReflectNotification(Message, reinterpret_cast<HWND>(Message.LParam))) DefaultHandler(Message);
      return;
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(Message.LParam);
      if (!header || !ReflectNotification(Message, header->hwndFrom)) DefaultHandler(Message);
      return;
    }
    case WM_DRAWITEM: {
      const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(Message.LParam);
      if (!item || !ReflectNotification(Message, item->hwndItem)) DefaultHandler(Message);
      return;
    }
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORSTATIC:
      if (!ReflectNotification(Message, reinterpret_cast<HWND>(Message.LParam))) DefaultHandler(Message);
      return;
    case CN_CTLCOLOREDIT:
    case CN_CTLCOLORLISTBOX:
    case CN_CTLCOLORBTN:
    case CN_CTLCOLORSTATIC:
      CNCtlColor(Message);
      return;
    case CM_FONTCHANGED:
      CMFontChanged(Message);
      return;
    case CM_PARENTFONTCHANGED:
      CMParentFontChanged(Message);
      return;
    case CM_PARENTCOLORCHANGED:
      CMParentColorChanged(Message);
      return;
    case WM_SETFOCUS:
      if (OnEnter) OnEnter(this);
      if (TWinControl* top = TopParent(); top != this)
        top->Perform(CM_FOCUSCHANGED, 0, reinterpret_cast<LPARAM>(this));
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
      // A handler may swallow the key (0) or put another in its place.
      if (key == 0) return;
      Message.WParam = key;
      DefaultHandler(Message);
      return;
    }
    case WM_CHAR: {
      wchar_t key = static_cast<wchar_t>(Message.WParam);
      if (OnKeyPress) OnKeyPress(this, key);
      if (key == 0) return;
      Message.WParam = key;
      DefaultHandler(Message);
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
  NotifyControls(CM_PARENTCOLORCHANGED);
  Message.Result = 0;
}

void TWinControl::CMFontChanged(TMessage& Message) {
  if (m_Handle && IsStdControl()) SendMessageW(m_Handle, WM_SETFONT, reinterpret_cast<WPARAM>(m_Font.Handle()), TRUE);
  Invalidate();
  NotifyControls(CM_PARENTFONTCHANGED);
  Message.Result = 0;
}

void TWinControl::CMParentFontChanged(TMessage& Message) {
  Message.Result = 0;
  if (!m_ParentFont || !m_Parent) return;
  InheritScope inheriting(m_Inheriting);
  m_Font.Assign(m_Parent->m_Font);
}

void TWinControl::CMParentColorChanged(TMessage& Message) {
  Message.Result = 0;
  if (!m_ParentColor || !m_Parent) return;
  InheritScope inheriting(m_Inheriting);
  SetColor(m_Parent->m_Color);
}

void TWinControl::CNCtlColor(TMessage& Message) {
  HDC dc = reinterpret_cast<HDC>(Message.WParam);
  SetTextColor(dc, ColorToRGB(m_Font.Color()));
  SetBkColor(dc, ColorToRGB(m_Color));
  Message.Result = reinterpret_cast<LRESULT>(m_Brush.Handle());
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
      if (m_ControlStyle.Contains(csCaptureMouse) && GetCapture() == m_Handle) ReleaseCapture();
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
    control->m_DefWndProc = nullptr;
  }
  return message.Result;
}
