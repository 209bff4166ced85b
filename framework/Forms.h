#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>

#include "framework/Controls.h"

enum TFormBorderStyle : uint8_t { bsNone = 0, bsSingle = 1, bsSizeable = 2, bsDialog = 3, bsToolWindow = 4, bsSizeToolWin = 5 };

enum TBorderIcon : uint8_t { biSystemMenu = 0, biMinimize = 1, biMaximize = 2, biHelp = 3 };
using TBorderIcons = TSet<TBorderIcon, uint8_t>;

enum TPosition : uint8_t {
  poDesigned = 0,
  poDefault = 1,
  poDefaultPosOnly = 2,
  poDefaultSizeOnly = 3,
  poScreenCenter = 4,
  poDesktopCenter = 5,
  poMainFormCenter = 6,
  poOwnerFormCenter = 7,
};

enum TCloseAction : uint8_t { caNone = 0, caHide = 1, caFree = 2, caMinimize = 3 };
using TCloseEvent = std::function<void(TObject* Sender, TCloseAction& Action)>;
using TCloseQueryEvent = std::function<void(TObject* Sender, bool& CanClose)>;

// A top-level window that holds controls: a dialog or an application window. Built in code:
// create the controls with the form as owner and parent, at their pixel positions in the
// client area, then Show or ShowModal.
//
// ShowModal disables the thread's other windows, shows the form (placed as Position says,
// OnShow, focus on ActiveControl or the first control in tab order) and runs a message loop
// until ModalResult becomes non-zero: a button with a ModalResult, SetModalResult, or Close
// (mrCancel). The loop handles the dialog keys: Tab and Shift+Tab move the focus through the
// controls in tab order, Enter clicks the focused button (or else the Default button), Escape
// clicks the Cancel button.
class FRAMEWORK_API TForm : public TWinControl {
public:
  explicit TForm(TComponent* AOwner);
  ~TForm() override;

  // The size of the client area; the window's frame is added around it.
  int ClientWidth();
  void SetClientWidth(int Width);
  int ClientHeight();
  void SetClientHeight(int Height);

  TFormBorderStyle BorderStyle() const { return m_BorderStyle; }
  void SetBorderStyle(TFormBorderStyle Style);
  // Without biSystemMenu the window has neither system menu nor close box. Minimize and
  // maximize boxes need the system menu and a frame other than bsDialog and the tool windows.
  TBorderIcons BorderIcons() const { return m_BorderIcons; }
  void SetBorderIcons(TBorderIcons Icons);
  TPosition Position() const { return m_Position; }
  void SetPosition(TPosition Position) { m_Position = Position; }
  // Whether the form follows a screen density other than the 96 pixels per inch it is
  // designed at. The framework lays every form out at its designed pixel positions, so a form
  // that must not be rescaled sets this to false to say so.
  bool Scaled() const { return m_Scaled; }
  void SetScaled(bool Scaled) { m_Scaled = Scaled; }

  TModalResult ModalResult() const { return m_ModalResult; }
  void SetModalResult(TModalResult Result) { m_ModalResult = Result; }
  bool Modal() const { return m_Modal; }

  // The control that has, or last had, the focus in this form; setting it focuses it when
  // the form is showing, or when it shows next.
  TWinControl* ActiveControl() const;
  void SetActiveControl(TWinControl* Control);

  // Shows the form modally and returns its ModalResult; raises EFrameworkError when the form
  // is already showing.
  TModalResult ShowModal();
  void Show();
  void Hide();
  // A modal form: ModalResult becomes mrCancel, which ends the modal loop (after CloseQuery
  // and OnClose agree). Otherwise CloseQuery, OnClose and, unless it says caNone, Hide.
  void Close();
  // OnCloseQuery's answer; true without a handler.
  bool CloseQuery();

  // Takes a key message meant for a window of this form when it is a dialog key (Tab, Enter,
  // Escape) and acts on it; true when the key was used and must not be dispatched. The modal
  // loop calls it; a host's own message loop may call it for a form shown with Show.
  bool DialogKey(const MSG& Message);

  TNotifyEvent OnShow;
  TNotifyEvent OnHide;
  TCloseEvent OnClose;
  TCloseQueryEvent OnCloseQuery;

protected:
  void CreateParams(TCreateParams& Params) override;
  void Dispatch(TMessage& Message) override;
  virtual void DoShow();
  virtual void DoHide();

private:
  void ShowForm();
  void PlaceForm();
  void ApplyClientSize();
  void UpdateFrame();
  bool FocusInForm();
  // Asks CloseQuery and OnClose when the modal loop is about to end; they may keep it going.
  void CloseModal();

  TFormBorderStyle m_BorderStyle = bsSizeable;
  TBorderIcons m_BorderIcons{biSystemMenu, biMinimize, biMaximize};
  TPosition m_Position = poDesigned;
  bool m_Scaled = true;
  bool m_Modal = false;
  TModalResult m_ModalResult = mrNone;
  int m_ClientWidth = 0;
  int m_ClientHeight = 0;
  bool m_KeepClientSize = false;  // while the form itself sizes its window
  TWinControl* m_ActiveControl = nullptr;  // not owned: one of the form's controls
};

// The form whose window holds Control (Control itself when it is a form); null outside forms.
FRAMEWORK_API TForm* GetParentForm(TWinControl* Control);
