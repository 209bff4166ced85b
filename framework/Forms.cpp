#include "framework/Forms.h"

#include <algorithm>
#include <vector>

namespace {

struct ThreadWindows {
  HWND Except;
  std::vector<HWND> Windows;
};

BOOL CALLBACK CollectEnabledWindow(HWND Window, LPARAM Param) {
  auto* collected = reinterpret_cast<ThreadWindows*>(Param);
  if (Window != collected->Except && IsWindowVisible(Window) && IsWindowEnabled(Window))
    collected->Windows.push_back(Window);
  return TRUE;
}

// While a form is modal, the thread's other visible windows take no input. Leaving the scope
// enables them again and gives the activation back, also when an error ends the modal loop.
class ModalScope {
public:
  explicit ModalScope(HWND Form) : m_PreviousActive(GetActiveWindow()) {
    ThreadWindows collected{Form, {}};
    EnumThreadWindows(GetCurrentThreadId(), &CollectEnabledWindow, reinterpret_cast<LPARAM>(&collected));
    m_Disabled = std::move(collected.Windows);
    for (HWND window : m_Disabled) EnableWindow(window, FALSE);
  }
  ModalScope(const ModalScope&) = delete;
  ModalScope& operator=(const ModalScope&) = delete;
  ~ModalScope() {
    for (HWND window : m_Disabled)
      if (IsWindow(window)) EnableWindow(window, TRUE);
    if (m_PreviousActive && IsWindow(m_PreviousActive)) SetActiveWindow(m_PreviousActive);
  }

private:
  HWND m_PreviousActive;
  std::vector<HWND> m_Disabled;
};

}  // namespace

TForm::TForm(TComponent* AOwner) : TWinControl(AOwner) {
  SetVisible(false);
  SetParentFont(false);
  SetColor(clBtnFace);
  SetControlStyle(ControlStyle() + TControlStyle{csAcceptsControls});
  m_ClientWidth = 320;
  m_ClientHeight = 240;
  ApplyClientSize();
}

TForm::~TForm() = default;

int TForm::ClientWidth() {
  if (!HandleAllocated()) return m_ClientWidth;
  RECT client;
  GetClientRect(Handle(), &client);
  return client.right;
}

void TForm::SetClientWidth(int Width) {
  m_ClientWidth = Width;
  ApplyClientSize();
}

int TForm::ClientHeight() {
  if (!HandleAllocated()) return m_ClientHeight;
  RECT client;
  GetClientRect(Handle(), &client);
  return client.bottom;
}

void TForm::SetClientHeight(int Height) {
  m_ClientHeight = Height;
  ApplyClientSize();
}

void TForm::SetBorderStyle(TFormBorderStyle Style) {
  if (Style == m_BorderStyle) return;
  m_BorderStyle = Style;
  UpdateFrame();
}

void TForm::SetBorderIcons(TBorderIcons Icons) {
  if (Icons == m_BorderIcons) return;
  m_BorderIcons = Icons;
  UpdateFrame();
}

void TForm::CreateParams(TCreateParams& Params) {
  TWinControl::CreateParams(Params);
  DWORD style = WS_POPUP | WS_CLIPCHILDREN | WS_CLIPSIBLINGS | (Params.Style & WS_DISABLED);
  DWORD exStyle = 0;
  switch (m_BorderStyle) {
    case bsNone:
      break;
    case bsSingle:
      style |= WS_CAPTION;
      break;
    case bsSizeable:
      style |= WS_CAPTION | WS_THICKFRAME;
      break;
    case bsDialog:
      style |= WS_CAPTION;
      exStyle |= WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE;
      break;
    case bsToolWindow:
      style |= WS_CAPTION;
      exStyle |= WS_EX_TOOLWINDOW;
      break;
    case bsSizeToolWin:
      style |= WS_CAPTION | WS_THICKFRAME;
      exStyle |= WS_EX_TOOLWINDOW;
      break;
  }
  if (m_BorderStyle != bsNone && m_BorderIcons.Contains(biSystemMenu)) {
    style |= WS_SYSMENU;
    const bool boxes = m_BorderStyle == bsSingle || m_BorderStyle == bsSizeable;
    if (boxes && m_BorderIcons.Contains(biMinimize)) style |= WS_MINIMIZEBOX;
    if (boxes && m_BorderIcons.Contains(biMaximize)) style |= WS_MAXIMIZEBOX;
    if (m_BorderIcons.Contains(biHelp) && !(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX))) exStyle |= WS_EX_CONTEXTHELP;
  }
  Params.Style = style;
  Params.ExStyle = exStyle;
  Params.WndParent = nullptr;
}

void TForm::UpdateFrame() {
  // The new frame must not change the client size that the form keeps.
  m_KeepClientSize = true;
  if (HandleAllocated()) {
    TCreateParams params;
    CreateParams(params);
    HWND window = Handle();
    const DWORD visible = static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE)) & WS_VISIBLE;
    SetWindowLongPtrW(window, GWL_STYLE, static_cast<LONG_PTR>(params.Style | visible));
    SetWindowLongPtrW(window, GWL_EXSTYLE, static_cast<LONG_PTR>(params.ExStyle));
    SetWindowPos(window, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
  }
  m_KeepClientSize = false;
  ApplyClientSize();
}

void TForm::ApplyClientSize() {
  const int clientWidth = m_ClientWidth;
  const int clientHeight = m_ClientHeight;
  m_KeepClientSize = true;
  int frameWidth = 0;
  int frameHeight = 0;
  if (HandleAllocated()) {
    // The frame as the system actually draws it around this window.
    RECT window;
    RECT client;
    GetWindowRect(Handle(), &window);
    GetClientRect(Handle(), &client);
    frameWidth = (window.right - window.left) - client.right;
    frameHeight = (window.bottom - window.top) - client.bottom;
  } else {
    TCreateParams params;
    CreateParams(params);
    RECT rect{0, 0, 0, 0};
    AdjustWindowRectEx(&rect, params.Style, FALSE, params.ExStyle);
    frameWidth = rect.right - rect.left;
    frameHeight = rect.bottom - rect.top;
  }
  SetBounds(Left(), Top(), clientWidth + frameWidth, clientHeight + frameHeight);
  m_KeepClientSize = false;
}

void TForm::PlaceForm() {
  RECT area{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  switch (m_Position) {
    case poScreenCenter:
      break;
    case poDesktopCenter:
      area.left = GetSystemMetrics(SM_XVIRTUALSCREEN);
      area.top = GetSystemMetrics(SM_YVIRTUALSCREEN);
      area.right = area.left + GetSystemMetrics(SM_CXVIRTUALSCREEN);
      area.bottom = area.top + GetSystemMetrics(SM_CYVIRTUALSCREEN);
      break;
    case poMainFormCenter:
    case poOwnerFormCenter: {
      auto* owner = dynamic_cast<TForm*>(Owner());
      if (owner && owner->HandleAllocated() && owner->Visible()) GetWindowRect(owner->Handle(), &area);
      break;
    }
    default:
      return;  // the designed position
  }
  const int left = area.left + ((area.right - area.left) - Width()) / 2;
  const int top = area.top + ((area.bottom - area.top) - Height()) / 2;
  SetBounds(left, top, Width(), Height());
}

bool TForm::FocusInForm() {
  HWND focus = GetFocus();
  return focus && HandleAllocated() && (focus == Handle() || IsChild(Handle(), focus));
}

void TForm::ShowForm() {
  HWND window = Handle();
  ApplyClientSize();
  PlaceForm();
  SetVisible(true);
  SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  SetForegroundWindow(window);
  SetActiveWindow(window);
  DoShow();
  if (FocusInForm() && GetFocus() != window) return;  // OnShow chose a control
  TWinControl* control = ActiveControl();
  if (!control || !control->CanFocus()) control = FindNextControl(nullptr, true, true);
  if (control)
    control->SetFocus();
  else
    ::SetFocus(window);
}

void TForm::Show() { ShowForm(); }

void TForm::Hide() {
  if (!Visible()) return;
  SetVisible(false);
  DoHide();
}

void TForm::DoShow() {
  if (OnShow) OnShow(this);
}

void TForm::DoHide() {
  if (OnHide) OnHide(this);
}

TModalResult TForm::ShowModal() {
  if (m_Modal || Visible()) throw EFrameworkError("cannot make a visible window modal");
  HWND window = Handle();
  m_ModalResult = mrNone;
  m_Modal = true;
  try {
    ModalScope scope(window);
    ShowForm();
    while (true) {
      if (m_ModalResult != mrNone) {
        CloseModal();
        if (m_ModalResult != mrNone) break;
      }
      if (!HandleAllocated()) {  // the window was destroyed under the loop
        m_ModalResult = mrCancel;
        break;
      }
      MSG message;
      const BOOL got = GetMessageW(&message, nullptr, 0, 0);
      if (got == 0) {
        // The application is quitting: end the loop and leave the quit for the outer loop.
        PostQuitMessage(static_cast<int>(message.wParam));
        m_ModalResult = mrCancel;
        break;
      }
      if (got < 0) {
        m_ModalResult = mrCancel;
        break;
      }
      if (!DialogKey(message)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
      }
    }
    // The scope enables the other windows again before the form hides, so the system hands
    // the activation back to them.
  } catch (...) {
    m_Modal = false;
    Hide();
    throw;
  }
  m_Modal = false;
  Hide();
  return m_ModalResult;
}

void TForm::CloseModal() {
  TCloseAction action = caNone;
  if (CloseQuery()) {
    action = caHide;
    if (OnClose) OnClose(this, action);
  }
  if (action == caNone) m_ModalResult = mrNone;
}

bool TForm::CloseQuery() {
  bool canClose = true;
  if (OnCloseQuery) OnCloseQuery(this, canClose);
  return canClose;
}

void TForm::Close() {
  if (m_Modal) {
    m_ModalResult = mrCancel;
    return;
  }
  if (!CloseQuery()) return;
  TCloseAction action = caHide;
  if (OnClose) OnClose(this, action);
  if (action != caNone) Hide();
}

TWinControl* TForm::ActiveControl() const {
  if (!m_ActiveControl) return nullptr;
  // The control may have left the form since it last had the focus.
  std::vector<TWinControl*> controls;
  GetTabOrderList(controls);
  return std::find(controls.begin(), controls.end(), m_ActiveControl) != controls.end() ? m_ActiveControl : nullptr;
}

void TForm::SetActiveControl(TWinControl* Control) {
  m_ActiveControl = Control;
  if (Control && Visible() && HandleAllocated() && Control->CanFocus()) Control->SetFocus();
}

bool TForm::DialogKey(const MSG& Message) {
  if (Message.message != WM_KEYDOWN || !HandleAllocated()) return false;
  HWND window = Handle();
  if (Message.hwnd != window && !IsChild(window, Message.hwnd)) return false;
  const WORD key = static_cast<WORD>(Message.wParam);
  if (key != VK_TAB && key != VK_RETURN && key != VK_ESCAPE) return false;
  if (GetKeyState(VK_CONTROL) < 0 || GetKeyState(VK_MENU) < 0) return false;
  const LRESULT code = SendMessageW(Message.hwnd, WM_GETDLGCODE, Message.wParam,
                                    reinterpret_cast<LPARAM>(&Message));
  if (code & DLGC_WANTALLKEYS) return false;
  if (key == VK_TAB) {
    if (code & DLGC_WANTTAB) return false;
    SelectNext(ActiveControl(), GetKeyState(VK_SHIFT) >= 0, true);
    return true;
  }
  // Enter and Escape: the controls decide (buttons, by their focus, Default and Cancel).
  std::vector<TWinControl*> controls;
  GetTabOrderList(controls);
  for (TWinControl* control : controls)
    if (control->Perform(CM_DIALOGKEY, key, 0) != 0) return true;
  return false;
}

void TForm::Dispatch(TMessage& Message) {
  switch (Message.Msg) {
    case WM_CLOSE:
      Close();
      Message.Result = 0;
      return;
    case CM_FOCUSCHANGED:
      m_ActiveControl = reinterpret_cast<TWinControl*>(Message.LParam);
      Message.Result = 0;
      return;
    case WM_ACTIVATE:
      if (LOWORD(Message.WParam) != WA_INACTIVE) {
        // Back to the control that had the focus when the form was left.
        TWinControl* control = ActiveControl();
        if (control && control->CanFocus() && control->HandleAllocated()) {
          ::SetFocus(control->Handle());
          Message.Result = 0;
          return;
        }
      }
      TWinControl::Dispatch(Message);
      return;
    case WM_SIZE:
      if (Message.WParam != SIZE_MINIMIZED && !m_KeepClientSize) {
        m_ClientWidth = LOWORD(Message.LParam);
        m_ClientHeight = HIWORD(Message.LParam);
      }
      TWinControl::Dispatch(Message);
      return;
    default:
      TWinControl::Dispatch(Message);
  }
}

TForm* GetParentForm(TWinControl* Control) {
  if (!Control) return nullptr;
  TWinControl* top = Control;
  while (top->Parent()) top = top->Parent();
  return dynamic_cast<TForm*>(top);
}
