#pragma once

// Input controls of forms, each a real Win32 control window (a subclassed system class):
// a one-line edit box, a drop-down list and a check box. All three are tab stops.

#include <windows.h>

#include <string>

#include "framework/Controls.h"
#include "framework/StringList.h"

// A one-line edit box (class "Edit"). OnKeyPress sees every typed character first; a handler
// that sets the key to 0 swallows it, one that sets another character types that instead.
class FRAMEWORK_API TEdit : public TWinControl {
public:
  explicit TEdit(TComponent* AOwner);

  // The text in the box, as the user left it.
  std::wstring Text();
  void SetText(const std::wstring& Text);
  // The most characters the user may type; 0 means no limit.
  int MaxLength() const { return m_MaxLength; }
  void SetMaxLength(int MaxLength);

protected:
  void CreateParams(TCreateParams& Params) override;
  void WindowCreated() override;

private:
  int m_MaxLength = 0;
};

// A drop-down list with no free text (class "ComboBox", CBS_DROPDOWNLIST). Items are its
// lines; a change of Items shows at once and keeps the selected index while it is in range.
class FRAMEWORK_API TComboBox : public TWinControl {
public:
  explicit TComboBox(TComponent* AOwner);

  TStringList& Items() { return m_Items; }
  // The selected line, or -1 when none is.
  int ItemIndex();
  void SetItemIndex(int Index);

  TNotifyEvent OnChange;

protected:
  void CreateParams(TCreateParams& Params) override;
  void WindowCreated() override;
  void Dispatch(TMessage& Message) override;

private:
  void FillList();
  // Keeps the closed box as high as it was placed, whatever height its font would give it.
  void FitHeight();

  TStringList m_Items;
  int m_ItemIndex = -1;  // the selection while there is no window
  int m_BoxHeight = 0;   // the height the box was placed with
};

// A check box with its caption (class "Button", BS_AUTOCHECKBOX). A click toggles it.
class FRAMEWORK_API TCheckBox : public TWinControl {
public:
  explicit TCheckBox(TComponent* AOwner);

  bool Checked();
  void SetChecked(bool Checked);

protected:
  void CreateParams(TCreateParams& Params) override;
  void WindowCreated() override;

private:
  bool m_Checked = false;  // the state while there is no window
};
