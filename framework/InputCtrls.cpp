#include "framework/InputCtrls.h"

namespace {

// A standard control captures and releases the mouse itself; the framework's own capture would
// cut its clicks short.
void LeaveMouseToTheSystem(TWinControl& Control) {
  Control.SetControlStyle(Control.ControlStyle() - TControlStyle{csCaptureMouse, csClickEvents});
}

// Room for the list that drops down under a combo box; the closed box keeps its own height.
constexpr int kDropDownHeight = 200;

}  // namespace

TEdit::TEdit(TComponent* AOwner) : TWinControl(AOwner) {
  SetTabStop(true);
  LeaveMouseToTheSystem(*this);
}

void TEdit::CreateParams(TCreateParams& Params) {
  TWinControl::CreateParams(Params);
  CreateSubClass(Params, L"EDIT");
  Params.Style |= ES_AUTOHSCROLL;
  Params.ExStyle |= WS_EX_CLIENTEDGE;
}

void TEdit::WindowCreated() {
  TWinControl::WindowCreated();
  SendMessageW(Handle(), EM_LIMITTEXT, static_cast<WPARAM>(m_MaxLength), 0);
}

std::wstring TEdit::Text() {
  if (!HandleAllocated()) return Caption();
  const HWND window = Handle();
  std::wstring text(static_cast<size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(static_cast<size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
  return text;
}

void TEdit::SetText(const std::wstring& Text) {
  // The caption may be stale once the user typed: write the window's text directly.
  if (HandleAllocated()) SetWindowTextW(Handle(), Text.c_str());
  SetCaption(Text);
}

void TEdit::SetMaxLength(int MaxLength) {
  m_MaxLength = MaxLength < 0 ? 0 : MaxLength;
  if (HandleAllocated()) SendMessageW(Handle(), EM_LIMITTEXT, static_cast<WPARAM>(m_MaxLength), 0);
}

TComboBox::TComboBox(TComponent* AOwner) : TWinControl(AOwner) {
  SetTabStop(true);
  LeaveMouseToTheSystem(*this);
  m_Items.OnChange = [this](TObject*) {
    if (HandleAllocated()) FillList();
  };
}

void TComboBox::CreateParams(TCreateParams& Params) {
  TWinControl::CreateParams(Params);
  CreateSubClass(Params, L"COMBOBOX");
  Params.Style |= CBS_DROPDOWNLIST | WS_VSCROLL;
  m_BoxHeight = Params.Height;
  Params.Height += kDropDownHeight;
}

void TComboBox::WindowCreated() {
  TWinControl::WindowCreated();
  FillList();
  FitHeight();
}

// The system sizes the closed box from its selection field's item height, by a relation of
// its own (what CB_GETITEMHEIGHT answers is not always what CB_SETITEMHEIGHT takes): step the
// height set by the difference still left, a few times at most.
void TComboBox::FitHeight() {
  if (m_BoxHeight <= 0) return;
  int itemHeight = static_cast<int>(SendMessageW(Handle(), CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0));
  for (int attempt = 0; attempt < 3; ++attempt) {
    RECT box;
    GetWindowRect(Handle(), &box);
    const int difference = m_BoxHeight - (box.bottom - box.top);
    if (difference == 0 || itemHeight + difference <= 0) return;
    itemHeight += difference;
    SendMessageW(Handle(), CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), itemHeight);
  }
}

void TComboBox::FillList() {
  const HWND window = Handle();
  const int selected = HandleAllocated() && SendMessageW(window, CB_GETCOUNT, 0, 0) > 0
                           ? static_cast<int>(SendMessageW(window, CB_GETCURSEL, 0, 0))
                           : m_ItemIndex;
  SendMessageW(window, CB_RESETCONTENT, 0, 0);
  for (int i = 0; i < m_Items.Count(); ++i)
    SendMessageW(window, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(m_Items[i].c_str()));
  SendMessageW(window, CB_SETCURSEL, selected < m_Items.Count() ? static_cast<WPARAM>(selected) : static_cast<WPARAM>(-1), 0);
}

int TComboBox::ItemIndex() {
  if (!HandleAllocated()) return m_ItemIndex;
  return static_cast<int>(SendMessageW(Handle(), CB_GETCURSEL, 0, 0));
}

void TComboBox::SetItemIndex(int Index) {
  m_ItemIndex = (Index >= 0 && Index < m_Items.Count()) ? Index : -1;
  if (HandleAllocated()) SendMessageW(Handle(), CB_SETCURSEL, static_cast<WPARAM>(m_ItemIndex), 0);
}

void TComboBox::Dispatch(TMessage& Message) {
  if (Message.Msg == CN_COMMAND && HIWORD(Message.WParam) == CBN_SELCHANGE) {
    m_ItemIndex = static_cast<int>(SendMessageW(Handle(), CB_GETCURSEL, 0, 0));
    if (OnChange) OnChange(this);
    Message.Result = 0;
    return;
  }
  TWinControl::Dispatch(Message);
  if (Message.Msg == WM_SETFONT) FitHeight();  // a new font resizes the box
}

TCheckBox::TCheckBox(TComponent* AOwner) : TWinControl(AOwner) {
  SetTabStop(true);
  LeaveMouseToTheSystem(*this);
}

void TCheckBox::CreateParams(TCreateParams& Params) {
  TWinControl::CreateParams(Params);
  CreateSubClass(Params, L"BUTTON");
  Params.Style |= BS_AUTOCHECKBOX;
}

void TCheckBox::WindowCreated() {
  TWinControl::WindowCreated();
  SendMessageW(Handle(), BM_SETCHECK, m_Checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

bool TCheckBox::Checked() {
  if (!HandleAllocated()) return m_Checked;
  return SendMessageW(Handle(), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void TCheckBox::SetChecked(bool Checked) {
  m_Checked = Checked;
  if (HandleAllocated()) SendMessageW(Handle(), BM_SETCHECK, Checked ? BST_CHECKED : BST_UNCHECKED, 0);
}
