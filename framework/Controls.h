#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "framework/Classes.h"
#include "framework/Cursors.h"
#include "framework/Fonts.h"
#include "framework/Graphics.h"

// One window message as the framework dispatches it; a handler sets Result.
struct TMessage {
  UINT Msg;
  WPARAM WParam;
  LPARAM LParam;
  LRESULT Result;
};

// Notifications the framework sends to a control itself (in the application's message range).
constexpr UINT CM_BASE = 0xB000;
constexpr UINT CM_COLORCHANGED = CM_BASE + 1;
constexpr UINT CM_CURSORCHANGED = CM_BASE + 2;
constexpr UINT CM_FONTCHANGED = CM_BASE + 3;         // the control's own font changed
constexpr UINT CM_PARENTFONTCHANGED = CM_BASE + 4;   // the parent's font changed
constexpr UINT CM_PARENTCOLORCHANGED = CM_BASE + 5;  // the parent's colour changed
constexpr UINT CM_TEXTCHANGED = CM_BASE + 6;         // the caption changed
// A dialog key (WParam: VK_RETURN or VK_ESCAPE) offered to every control of a form; a control
// that acts on it sets Result to 1.
constexpr UINT CM_DIALOGKEY = CM_BASE + 7;
// Sent to the top-most parent when one of its controls received the focus (LParam: it).
constexpr UINT CM_FOCUSCHANGED = CM_BASE + 8;

// Notifications that a parent window receives about one of its child controls (WM_COMMAND,
// WM_NOTIFY, WM_CTLCOLOR...) are reflected to that control as CN_BASE + the message number,
// with the same parameters, so that each control handles its own.
constexpr UINT CN_BASE = 0xBC00;
constexpr UINT CN_COMMAND = CN_BASE + WM_COMMAND;
constexpr UINT CN_NOTIFY = CN_BASE + WM_NOTIFY;
constexpr UINT CN_DRAWITEM = CN_BASE + WM_DRAWITEM;
constexpr UINT CN_CTLCOLOREDIT = CN_BASE + WM_CTLCOLOREDIT;
constexpr UINT CN_CTLCOLORLISTBOX = CN_BASE + WM_CTLCOLORLISTBOX;
constexpr UINT CN_CTLCOLORBTN = CN_BASE + WM_CTLCOLORBTN;
constexpr UINT CN_CTLCOLORSTATIC = CN_BASE + WM_CTLCOLORSTATIC;

// The result of a modal form: which button or action ended it.
using TModalResult = int32_t;
constexpr TModalResult mrNone = 0;
constexpr TModalResult mrOk = IDOK;
constexpr TModalResult mrCancel = IDCANCEL;
constexpr TModalResult mrAbort = IDABORT;
constexpr TModalResult mrRetry = IDRETRY;
constexpr TModalResult mrIgnore = IDIGNORE;
constexpr TModalResult mrYes = IDYES;
constexpr TModalResult mrNo = IDNO;
constexpr TModalResult mrAll = mrNo + 1;
constexpr TModalResult mrNoToAll = mrAll + 1;
constexpr TModalResult mrYesToAll = mrNoToAll + 1;
constexpr TModalResult mrClose = mrYesToAll + 1;

// How a control's window is created. The framework's own controls use its window class (an
// empty WinClassName); a standard Win32 control names its system class, and its window is then
// subclassed so that its messages reach Dispatch, with the class's procedure as the default.
struct TCreateParams {
  std::wstring WinClassName;
  std::wstring Caption;
  DWORD Style = 0;
  DWORD ExStyle = 0;
  int X = 0;
  int Y = 0;
  int Width = 0;
  int Height = 0;
  HWND WndParent = nullptr;
};

enum TControlStyleElement : uint8_t {
  csAcceptsControls = 0,
  csCaptureMouse = 1,
  csClickEvents = 2,
  csFramed = 3,
  csOpaque = 4,         // the control paints its whole client area; no background erase
  csDoubleClicks = 5,
  csReplicatable = 6,   // the control can draw an image of itself
  csNoDesignVisible = 7,
};
using TControlStyle = TSet<TControlStyleElement, uint16_t>;

enum TMouseButton : uint8_t { mbLeft = 0, mbRight = 1, mbMiddle = 2 };

enum TShiftStateElement : uint8_t {
  ssShift = 0, ssAlt = 1, ssCtrl = 2, ssLeft = 3, ssRight = 4, ssMiddle = 5, ssDouble = 6,
};
using TShiftState = TSet<TShiftStateElement, uint16_t>;

using TMouseEvent = std::function<void(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y)>;
using TMouseMoveEvent = std::function<void(TObject* Sender, TShiftState Shift, int X, int Y)>;
using TKeyEvent = std::function<void(TObject* Sender, WORD& Key, TShiftState Shift)>;
using TKeyPressEvent = std::function<void(TObject* Sender, wchar_t& Key)>;

// A control with a window of its own. The window is created on demand (Handle()), as a child
// of the window given to SetParentWindow, or as a hidden pop-up window when there is none.
// Messages reach Dispatch, which derived classes override to handle messages by number and
// pass the rest on to their base class.
//
// Controls nest through Parent: a control whose parent is another control lives in that
// control's window, is created when its parent's window is, takes its parent's font while
// ParentFont holds (and its colour while ParentColor holds), and has a place in its parent's
// tab order. The parent does not own its controls; their owner (TComponent) does. A control
// destroyed before its children leaves them without a parent.
class FRAMEWORK_API TWinControl : public TComponent {
public:
  explicit TWinControl(TComponent* AOwner);
  ~TWinControl() override;

  HWND Handle();
  bool HandleAllocated() const { return m_Handle != nullptr; }
  void DestroyHandle();

  HWND ParentWindow() const { return m_ParentWindow; }
  void SetParentWindow(HWND Parent);

  TWinControl* Parent() const { return m_Parent; }
  void SetParent(TWinControl* AParent);
  // The child controls, in the order they were given this parent.
  int ControlCount() const { return static_cast<int>(m_Controls.size()); }
  TWinControl* Controls(int Index) const;
  // The position among the parent's controls in tab order; -1 without a parent or for a
  // control outside the tab order. Setting it moves the control there (clamped to the list).
  int TabOrder() const;
  void SetTabOrder(int TabOrder);
  // This control's children in tab order, each followed by its own children.
  void GetTabOrderList(std::vector<TWinControl*>& List) const;
  // The control after (or before) CurControl in the tab order list that can take the focus,
  // wrapping around; CurControl null starts at the ends. Null when there is none.
  TWinControl* FindNextControl(TWinControl* CurControl, bool GoForward, bool CheckTabStop) const;
  // Focuses FindNextControl's answer, if any.
  void SelectNext(TWinControl* CurControl, bool GoForward, bool CheckTabStop);

  // The text of the control: its window text.
  const std::wstring& Caption() const { return m_Caption; }
  void SetCaption(const std::wstring& Caption);

  // A change of the font (through Font() or SetFont) clears ParentFont.
  TFont& Font() { return m_Font; }
  const TFont& Font() const { return m_Font; }
  void SetFont(const TFont& Font) { m_Font.Assign(Font); }
  bool ParentFont() const { return m_ParentFont; }
  void SetParentFont(bool ParentFont);
  // A change of the colour clears ParentColor.
  bool ParentColor() const { return m_ParentColor; }
  void SetParentColor(bool ParentColor);

  int Left() const { return m_Left; }
  int Top() const { return m_Top; }
  int Width() const { return m_Width; }
  int Height() const { return m_Height; }
  void SetBounds(int ALeft, int ATop, int AWidth, int AHeight);
  void SetWidth(int AWidth) { SetBounds(m_Left, m_Top, AWidth, m_Height); }
  void SetHeight(int AHeight) { SetBounds(m_Left, m_Top, m_Width, AHeight); }
  RECT ClientRect();

  bool Visible() const { return m_Visible; }
  void SetVisible(bool Visible);
  bool Enabled() const { return m_Enabled; }
  void SetEnabled(bool Enabled);
  bool TabStop() const { return m_TabStop; }
  void SetTabStop(bool TabStop);

  TColor Color() const { return m_Color; }
  void SetColor(TColor Color);
  TCursor Cursor() const { return m_Cursor; }
  void SetCursor(TCursor Cursor);
  TBrush& Brush() { return m_Brush; }

  TControlStyle ControlStyle() const { return m_ControlStyle; }
  void SetControlStyle(TControlStyle Style) { m_ControlStyle = Style; }

  bool Focused() const;
  // Visible and enabled, and so are all its parents.
  bool CanFocus() const;
  void SetFocus();
  void Invalidate();
  void Repaint();

  // Sends a message straight to Dispatch, with or without a window.
  LRESULT Perform(UINT Msg, WPARAM WParam, LPARAM LParam);

  // The framework control whose window this is; null for any other window.
  static TWinControl* FindControl(HWND Window);

  TNotifyEvent OnClick;
  TNotifyEvent OnDblClick;
  TNotifyEvent OnResize;
  TNotifyEvent OnEnter;
  TNotifyEvent OnExit;
  TMouseEvent OnMouseDown;
  TMouseEvent OnMouseUp;
  TMouseMoveEvent OnMouseMove;
  TKeyEvent OnKeyDown;
  TKeyEvent OnKeyUp;
  TKeyPressEvent OnKeyPress;

protected:
  virtual void Dispatch(TMessage& Message);
  // What a message gets when no handler takes it: the window's default procedure (for a
  // standard control, its class's procedure).
  void DefaultHandler(TMessage& Message);

  // Fills in how the window is made; overrides call the base first and then adjust.
  virtual void CreateParams(TCreateParams& Params);
  // Makes the window a standard Win32 control of the given system class.
  static void CreateSubClass(TCreateParams& Params, const wchar_t* ClassName);
  // Runs once the control's own window exists, before its children's windows are made; a
  // standard control fills its window here (items, limits, states). Overrides call the base.
  virtual void WindowCreated();
  // True while the window is a subclassed standard control.
  bool IsStdControl() const { return m_DefWndProc != nullptr; }
  // A control that never takes the focus (a label) may stay out of its parent's tab order;
  // call before the control is given a parent.
  void SetTabListed(bool TabListed) { m_TabListed = TabListed; }

  virtual void Resize();
  virtual void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y);
  virtual void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y);
  virtual void MouseMove(TShiftState Shift, int X, int Y);
  virtual void Click();

  // Framework notifications; overriding handlers call these first.
  void CMColorChanged(TMessage& Message);
  void CMCursorChanged(TMessage& Message);
  void CMFontChanged(TMessage& Message);
  void CMParentFontChanged(TMessage& Message);
  void CMParentColorChanged(TMessage& Message);
  // The colours of a standard control: text in the font's colour on the control's brush.
  void CNCtlColor(TMessage& Message);
  void WMEraseBkgnd(TMessage& Message);

  virtual void WMPaint(TMessage& Message);

private:
  static LRESULT CALLBACK StdWndProc(HWND Window, UINT Msg, WPARAM WParam, LPARAM LParam);
  void CreateHandle();
  DWORD WindowStyle() const;
  // Hands a parent's notification about a child window to that child (CN_...); false when
  // the window is no framework control.
  bool ReflectNotification(TMessage& Message, HWND Child);
  void FontChanged();
  void NotifyControls(UINT Msg);
  // Takes the control out of its parent's lists; its window stays where it is.
  void RemoveFromParent();
  TWinControl* TopParent();
  void UpdateBoundsFromWindow();
  void HandleMouseButton(TMessage& Message, TMouseButton Button, bool Down);
  bool HandleSetCursor(TMessage& Message);

  HWND m_Handle = nullptr;        // owned window
  HWND m_ParentWindow = nullptr;  // not owned: the host's window
  int m_Left = 0;
  int m_Top = 0;
  int m_Width = 0;
  int m_Height = 0;
  bool m_Visible = true;
  bool m_Enabled = true;
  bool m_TabStop = false;
  bool m_MousePressed = false;
  TColor m_Color = clWindow;
  TCursor m_Cursor = crDefault;
  TBrush m_Brush{clWindow};
  TControlStyle m_ControlStyle{csCaptureMouse, csClickEvents, csDoubleClicks};
  WNDPROC m_DefWndProc = nullptr;       // the system class's procedure of a standard control
  TWinControl* m_Parent = nullptr;      // not owned
  std::vector<TWinControl*> m_Controls;  // not owned: the children, in insertion order
  std::vector<TWinControl*> m_TabList;   // not owned: the children, in tab order
  std::wstring m_Caption;
  TFont m_Font;
  bool m_ParentFont = true;
  bool m_ParentColor = false;
  bool m_Inheriting = false;  // taking the parent's font or colour: ParentFont/ParentColor stay
  bool m_TabListed = true;
};

// A windowed control that paints itself on its canvas: Paint runs for every WM_PAINT with the
// canvas bound to the paint device context.
class FRAMEWORK_API TCustomControl : public TWinControl {
public:
  explicit TCustomControl(TComponent* AOwner);
  ~TCustomControl() override;

  TCanvas* Canvas() { return &m_Canvas; }

protected:
  virtual void Paint();
  void WMPaint(TMessage& Message) override;

private:
  TCanvas m_Canvas;
};

// The shift state of a mouse message's key flags.
FRAMEWORK_API TShiftState MouseShiftState(WPARAM KeyFlags);
// The shift state of the keyboard right now.
FRAMEWORK_API TShiftState KeyboardShiftState();
