#pragma once

// The standard controls of forms, each a real Win32 control window (a subclassed system
// class), so that its text, position and font are those of the window.

#include <windows.h>

#include "framework/Controls.h"

// A line of text (class "Static"). AutoSize (the default) makes the label as large as its
// text in its font, keeping its left and top; an empty label measures one space. Clicks on
// it raise OnClick; its cursor is Cursor. Its colour is its parent's unless it is given one.
class FRAMEWORK_API TLabel : public TWinControl {
public:
  explicit TLabel(TComponent* AOwner);

  bool AutoSize() const { return m_AutoSize; }
  void SetAutoSize(bool AutoSize);

protected:
  void CreateParams(TCreateParams& Params) override;
  void Dispatch(TMessage& Message) override;

private:
  void AdjustBounds();

  bool m_AutoSize = true;
};

// A push button (class "Button"). A click (mouse, Space, or Enter through the form's dialog
// keys) sets the form's ModalResult to the button's when that is not mrNone, then raises
// OnClick. Default: Enter clicks it when no other button has the focus; Cancel: Escape
// clicks it.
class FRAMEWORK_API TButton : public TWinControl {
public:
  explicit TButton(TComponent* AOwner);

  TModalResult ModalResult() const { return m_ModalResult; }
  void SetModalResult(TModalResult Result) { m_ModalResult = Result; }
  bool Default() const { return m_Default; }
  void SetDefault(bool Default);
  bool Cancel() const { return m_Cancel; }
  void SetCancel(bool Cancel) { m_Cancel = Cancel; }

  void Click() override;

protected:
  void CreateParams(TCreateParams& Params) override;
  void Dispatch(TMessage& Message) override;

private:
  TModalResult m_ModalResult = mrNone;
  bool m_Default = false;
  bool m_Cancel = false;
};

// A frame with a caption around a group of controls (class "Button", group-box style); its
// controls take it as their parent.
class FRAMEWORK_API TGroupBox : public TWinControl {
public:
  explicit TGroupBox(TComponent* AOwner);

protected:
  void CreateParams(TCreateParams& Params) override;
  void Dispatch(TMessage& Message) override;
};
