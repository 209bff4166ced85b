#include "framework/StdCtrls.h"

#include "framework/Forms.h"

TLabel::TLabel(TComponent* AOwner) : TWinControl(AOwner) {
  SetTabListed(false);  // never focused, so it has no place in the tab order
  SetParentColor(true);
  SetBounds(0, 0, 65, 17);
  AdjustBounds();
}

void TLabel::SetAutoSize(bool AutoSize) {
  if (AutoSize == m_AutoSize) return;
  m_AutoSize = AutoSize;
  AdjustBounds();
}

void TLabel::CreateParams(TCreateParams& Params) {
  TWinControl::CreateParams(Params);
  CreateSubClass(Params, L"Static");
  // One line, cut at the label's right edge rather than wrapped out of sight below it.
  // SS_NOTIFY: the label answers hit tests itself, so clicks and the cursor are its own.
  Params.Style |= SS_LEFTNOWORDWRAP | SS_NOTIFY;
}

void TLabel::AdjustBounds() {
  if (!m_AutoSize) return;
  // The size the Static control needs for the text in the label's font; an empty label keeps
  // the height of a line.
  const std::wstring text = Caption().empty() ? std::wstring(L" ") : Caption();
  HDC dc = GetDC(nullptr);
  HGDIOBJ previous = SelectObject(dc, Font().Handle());
  RECT rect{0, 0, 0, 0};
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &rect, DT_CALCRECT | DT_LEFT | DT_EXPANDTABS);
  SelectObject(dc, previous);
  ReleaseDC(nullptr, dc);
  SetBounds(Left(), Top(), rect.right - rect.left, rect.bottom - rect.top);
}

void TLabel::Dispatch(TMessage& Message) {
  TWinControl::Dispatch(Message);
  if (Message.Msg == CM_TEXTCHANGED || Message.Msg == CM_FONTCHANGED) AdjustBounds();
}

TButton::TButton(TComponent* AOwner) : TWinControl(AOwner) {
  // Clicks come from the button's own notification, which also covers the keyboard.
  SetControlStyle(ControlStyle() - TControlStyle{csCaptureMouse, csClickEvents});
  SetTabStop(true);
  SetBounds(0, 0, 75, 25);
}

void TButton::SetDefault(bool Default) {
  if (Default == m_Default) return;
  m_Default = Default;
  if (HandleAllocated())
    SendMessageW(Handle(), BM_SETSTYLE, Default ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
}

void TButton::Click() {
  if (m_ModalResult != mrNone)
    if (TForm* form = GetParentForm(this)) form->SetModalResult(m_ModalResult);
  TWinControl::Click();
}

void TButton::CreateParams(TCreateParams& Params) {
  TWinControl::CreateParams(Params);
  CreateSubClass(Params, L"Button");
  Params.Style |= m_Default ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
}

void TButton::Dispatch(TMessage& Message) {
  switch (Message.Msg) {
    case CN_COMMAND:
      if (HIWORD(Message.WParam) == BN_CLICKED) Click();
      Message.Result = 0;
      return;
    case CM_DIALOGKEY: {
      bool act = false;
      if (Message.WParam == VK_RETURN) {
        // The focused button takes Enter; the default one takes it when no button is focused.
        TWinControl* focused = FindControl(GetFocus());
        act = Focused() || (m_Default && !dynamic_cast<TButton*>(focused));
      } else if (Message.WParam == VK_ESCAPE) {
        act = m_Cancel;
      }
      act = act && CanFocus();
      if (act) Click();
      Message.Result = act ? 1 : 0;
      return;
    }
    default:
      TWinControl::Dispatch(Message);
  }
}

TGroupBox::TGroupBox(TComponent* AOwner) : TWinControl(AOwner) {
  SetParentColor(true);
  SetControlStyle(ControlStyle() + TControlStyle{csAcceptsControls});
  SetBounds(0, 0, 185, 105);
}

void TGroupBox::CreateParams(TCreateParams& Params) {
  TWinControl::CreateParams(Params);
  CreateSubClass(Params, L"Button");
  Params.Style |= BS_GROUPBOX;
}

void TGroupBox::Dispatch(TMessage& Message) {
  if (Message.Msg == WM_ERASEBKGND) {
    // The system's group box draws only its frame and caption, and its parent clips it out:
    // the inside is filled here in the group box's colour.
    WMEraseBkgnd(Message);
    return;
  }
  TWinControl::Dispatch(Message);
}
