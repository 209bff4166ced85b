#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>

#include "framework/Classes.h"
#include "framework/Cursors.h"
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
class FRAMEWORK_API TWinControl : public TComponent {
public:
  explicit TWinControl(TComponent* AOwner);
  ~TWinControl() override;

  HWND Handle();
  bool HandleAllocated() const { return m_Handle != nullptr; }
  void DestroyHandle();

  HWND ParentWindow() const { return m_ParentWindow; }
  void SetParentWindow(HWND Parent);

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
  bool CanFocus() const { return m_Visible && m_Enabled; }
  void SetFocus();
  void Invalidate();
  void Repaint();

  // Sends a message straight to Dispatch, with or without a window.
  LRESULT Perform(UINT Msg, WPARAM WParam, LPARAM LParam);

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
  // What a message gets when no handler takes it: the window's default procedure.
  void DefaultHandler(TMessage& Message);

  virtual void Resize();
  virtual void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y);
  virtual void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y);
  virtual void MouseMove(TShiftState Shift, int X, int Y);
  virtual void Click();

  // Framework notifications; overriding handlers call these first.
  void CMColorChanged(TMessage& Message);
  void CMCursorChanged(TMessage& Message);
  void WMEraseBkgnd(TMessage& Message);

  virtual void WMPaint(TMessage& Message);

private:
  static LRESULT CALLBACK StdWndProc(HWND Window, UINT Msg, WPARAM WParam, LPARAM LParam);
  void CreateHandle();
  DWORD WindowStyle() const;
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
