// The framework's windowed controls on real windows under the X server: creation, bounds,
// painting, colour, cursor, mouse, focus, message dispatch and teardown; colours, the screen's
// cursor table and the locale record.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "framework/Controls.h"
#include "framework/SysLocale.h"
#include "support/TestWindow.h"

namespace {

using ::testing::ElementsAre;

bool SameRect(const RECT& A, const RECT& B) {
  return A.left == B.left && A.top == B.top && A.right == B.right && A.bottom == B.bottom;
}

// The rectangle of a child window in its parent's client coordinates.
RECT RectInParent(HWND Window) {
  RECT rect;
  GetWindowRect(Window, &rect);
  MapWindowPoints(nullptr, GetParent(Window), reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

// A custom control that records what the framework calls on it.
class ProbeControl : public TCustomControl {
public:
  using TCustomControl::TCustomControl;

  int ResizeCalls = 0;
  int PaintCalls = 0;
  int ClickCalls = 0;
  HDC PaintDc = nullptr;          // the canvas handle during the last Paint
  HWND PaintDcWindow = nullptr;   // the window that device context belongs to
  std::optional<COLORREF> Fill;   // when set, Paint fills the client area with it
  std::function<void()> OnPaint;  // runs at the end of Paint
  std::vector<UINT> Notifications;  // framework notifications (CM_*) that reached Dispatch
  std::vector<UINT> EraseMessages;  // WM_ERASEBKGND results, one per message

protected:
  void Resize() override {
    ++ResizeCalls;
    TCustomControl::Resize();
  }
  void Click() override {
    ++ClickCalls;
    TCustomControl::Click();
  }
  void Paint() override {
    ++PaintCalls;
    PaintDc = Canvas()->Handle();
    PaintDcWindow = WindowFromDC(PaintDc);
    if (Fill) {
      HBRUSH brush = CreateSolidBrush(*Fill);
      const RECT client = ClientRect();
      FillRect(PaintDc, &client, brush);
      DeleteObject(brush);
    }
    if (OnPaint) OnPaint();
  }
  void Dispatch(TMessage& Message) override {
    if (Message.Msg >= CM_BASE && Message.Msg < CM_BASE + 0x100) Notifications.push_back(Message.Msg);
    TCustomControl::Dispatch(Message);
    if (Message.Msg == WM_ERASEBKGND) EraseMessages.push_back(static_cast<UINT>(Message.Result));
  }
};

// A control that answers one message of its own and passes everything else to its base class.
class PingControl : public TWinControl {
public:
  static constexpr UINT WM_PING = WM_APP + 7;

  using TWinControl::TWinControl;

  std::vector<UINT> Seen;  // the messages of interest, in the order Dispatch saw them

protected:
  void Dispatch(TMessage& Message) override {
    switch (Message.Msg) {
      case WM_PING:
        Seen.push_back(Message.Msg);
        Message.Result = 0x1000 + static_cast<LRESULT>(Message.WParam);
        return;
      case WM_LBUTTONDOWN:
        Seen.push_back(Message.Msg);
        break;  // the base class still turns it into MouseDown
      default:
        break;
    }
    TWinControl::Dispatch(Message);
  }
};

struct MouseRecord {
  bool Down;
  TMouseButton Button;
  uint16_t Shift;
  int X;
  int Y;
  bool operator==(const MouseRecord&) const = default;
};

void PrintTo(const MouseRecord& R, std::ostream* Out) {
  *Out << (R.Down ? "down" : "up") << " button " << int(R.Button) << " shift 0x" << std::hex << R.Shift << std::dec
       << " at " << R.X << "," << R.Y;
}

// Window tests share one host window per suite: under Wine with no window manager, destroying
// a visible top-level window waits two seconds for the X server to report it withdrawn.
class WinControlTest : public ::testing::Test {
protected:
  static void SetUpTestSuite() { s_Host = new testwin::HostWindow(320, 240); }
  static void TearDownTestSuite() {
    delete s_Host;
    s_Host = nullptr;
  }

  static HWND Host() { return s_Host->Handle(); }

  // A control hosted at the given bounds, with its window created.
  static std::unique_ptr<ProbeControl> HostedControl(int Left, int Top, int Width, int Height) {
    auto control = std::make_unique<ProbeControl>(nullptr);
    control->SetParentWindow(Host());
    control->SetBounds(Left, Top, Width, Height);
    control->Handle();
    testwin::PumpMessages(0);
    return control;
  }

  static inline testwin::HostWindow* s_Host = nullptr;
};

TEST_F(WinControlTest, CreatesItsWindowOnDemandAsAVisibleChildAtItsBounds) {
  ProbeControl control(nullptr);
  control.SetParentWindow(Host());
  control.SetBounds(10, 20, 100, 50);
  EXPECT_FALSE(control.HandleAllocated());
  EXPECT_EQ(control.Width(), 100);
  EXPECT_EQ(control.Height(), 50);
  EXPECT_TRUE(SameRect(control.ClientRect(), RECT{0, 0, 100, 50}));

  HWND window = control.Handle();
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(control.HandleAllocated());
  EXPECT_EQ(control.Handle(), window) << "a second call must not make another window";
  EXPECT_EQ(GetParent(window), Host());
  const LONG_PTR style = GetWindowLongPtrW(window, GWL_STYLE);
  EXPECT_TRUE(style & WS_CHILD);
  EXPECT_TRUE(IsWindowVisible(window));
  EXPECT_TRUE(SameRect(RectInParent(window), RECT{10, 20, 110, 70}));
  RECT client;
  GetClientRect(window, &client);
  EXPECT_TRUE(SameRect(client, RECT{0, 0, 100, 50}));
  EXPECT_TRUE(SameRect(control.ClientRect(), client));
  EXPECT_EQ(control.Left(), 10);
  EXPECT_EQ(control.Top(), 20);
  EXPECT_EQ(control.Width(), 100);
  EXPECT_EQ(control.Height(), 50);
}

TEST_F(WinControlTest, WithoutAParentWindowTheWindowIsAHiddenPopupAndCanBeReparented) {
  ProbeControl control(nullptr);
  control.SetBounds(5, 6, 40, 30);
  HWND window = control.Handle();
  ASSERT_NE(window, nullptr);
  const LONG_PTR style = GetWindowLongPtrW(window, GWL_STYLE);
  EXPECT_TRUE(style & WS_POPUP);
  EXPECT_FALSE(style & WS_CHILD);
  EXPECT_FALSE(IsWindowVisible(window));

  control.SetParentWindow(Host());
  EXPECT_EQ(control.Handle(), window) << "reparenting keeps the window";
  EXPECT_EQ(GetParent(window), Host());
  EXPECT_TRUE(GetWindowLongPtrW(window, GWL_STYLE) & WS_CHILD);
  EXPECT_TRUE(IsWindowVisible(window));
  EXPECT_TRUE(SameRect(RectInParent(window), RECT{5, 6, 45, 36}));
}

TEST_F(WinControlTest, SetBoundsWithoutAWindowCallsResizeOnlyWhenTheSizeChanges) {
  ProbeControl control(nullptr);
  int onResize = 0;
  control.OnResize = [&](TObject* sender) {
    EXPECT_EQ(sender, &control);
    ++onResize;
  };

  control.SetBounds(0, 0, 80, 60);
  EXPECT_EQ(control.ResizeCalls, 1);
  EXPECT_EQ(onResize, 1);

  control.SetBounds(7, 9, 80, 60);  // moved only
  EXPECT_EQ(control.ResizeCalls, 1);
  EXPECT_EQ(control.Left(), 7);
  EXPECT_EQ(control.Top(), 9);

  control.SetBounds(7, 9, 80, 60);  // unchanged
  control.SetWidth(90);
  EXPECT_EQ(control.ResizeCalls, 2);
  control.SetHeight(70);
  EXPECT_EQ(control.ResizeCalls, 3);
  EXPECT_EQ(onResize, 3);
  EXPECT_TRUE(SameRect(control.ClientRect(), RECT{0, 0, 90, 70}));
  EXPECT_FALSE(control.HandleAllocated()) << "bounds alone must not create the window";
}

TEST_F(WinControlTest, SetBoundsWithAWindowMovesItAndCallsResizeWhenTheSizeChanges) {
  auto control = HostedControl(10, 10, 100, 50);
  HWND window = control->Handle();
  int onResize = 0;
  control->OnResize = [&](TObject*) { ++onResize; };
  control->ResizeCalls = 0;

  control->SetBounds(30, 40, 100, 50);  // moved only
  EXPECT_TRUE(SameRect(RectInParent(window), RECT{30, 40, 130, 90}));
  EXPECT_EQ(control->Left(), 30);
  EXPECT_EQ(control->Top(), 40);
  EXPECT_EQ(control->ResizeCalls, 0);

  control->SetBounds(30, 40, 120, 70);
  EXPECT_TRUE(SameRect(RectInParent(window), RECT{30, 40, 150, 110}));
  EXPECT_EQ(control->ResizeCalls, 1);
  EXPECT_EQ(onResize, 1);
  EXPECT_EQ(control->Width(), 120);
  EXPECT_EQ(control->Height(), 70);
  EXPECT_TRUE(SameRect(control->ClientRect(), RECT{0, 0, 120, 70}));

  // A size changed from outside (by the host) reaches the control too.
  SetWindowPos(window, nullptr, 0, 0, 60, 30, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  EXPECT_EQ(control->ResizeCalls, 2);
  EXPECT_EQ(control->Width(), 60);
  EXPECT_EQ(control->Height(), 30);
}

TEST_F(WinControlTest, PaintRunsOnWmPaintWithTheCanvasBoundOnlyWhilePainting) {
  auto control = HostedControl(20, 20, 80, 60);
  HWND window = control->Handle();
  EXPECT_EQ(control->Canvas()->Handle(), nullptr);

  control->Fill = RGB(200, 30, 40);
  EXPECT_EQ(testwin::ClientPixel(window, 5, 5), RGB(200, 30, 40));
  EXPECT_EQ(testwin::ClientPixel(window, 79, 59), RGB(200, 30, 40));
  EXPECT_GT(control->PaintCalls, 0);
  EXPECT_NE(control->PaintDc, nullptr);
  EXPECT_EQ(control->PaintDcWindow, window) << "the canvas must draw on the control's own window";
  EXPECT_EQ(control->Canvas()->Handle(), nullptr) << "the canvas is unbound after painting";

  // Repaint paints now, not at some later message.
  const int before = control->PaintCalls;
  control->Fill = RGB(10, 150, 60);
  control->Repaint();
  EXPECT_EQ(control->PaintCalls, before + 1);
  EXPECT_EQ(testwin::ClientPixel(window, 40, 30), RGB(10, 150, 60));

  // Nothing outside the control was painted by it.
  POINT outside{15, 15};
  EXPECT_NE(testwin::ClientPixel(Host(), outside.x, outside.y), RGB(10, 150, 60));
}

TEST_F(WinControlTest, ColorChangeNotifiesFollowsWithTheBrushAndRepaintsTheBackground) {
  auto control = HostedControl(20, 20, 80, 60);
  HWND window = control->Handle();
  testwin::PumpMessages(0);
  HBRUSH oldBrush = control->Brush().Handle();
  EXPECT_EQ(testwin::BrushColor(oldBrush), GetSysColor(COLOR_WINDOW)) << "the default colour is clWindow";
  ValidateRect(window, nullptr);
  control->Notifications.clear();

  control->SetColor(clRed);
  EXPECT_THAT(control->Notifications, ElementsAre(CM_COLORCHANGED));
  EXPECT_TRUE(GetUpdateRect(window, nullptr, FALSE)) << "a colour change invalidates the control";
  EXPECT_EQ(control->Color(), clRed);
  EXPECT_EQ(control->Brush().Color(), clRed);
  HBRUSH redBrush = control->Brush().Handle();
  EXPECT_EQ(testwin::BrushColor(redBrush), RGB(255, 0, 0));
  EXPECT_EQ(GetObjectType(oldBrush), 0u) << "the brush of the old colour is deleted";
  // The control paints nothing itself, so the erased background shows.
  EXPECT_EQ(testwin::ClientPixel(window, 40, 30), RGB(255, 0, 0));

  control->SetColor(clBtnShadow);
  EXPECT_EQ(testwin::BrushColor(control->Brush().Handle()), GetSysColor(COLOR_BTNSHADOW));
  EXPECT_EQ(testwin::ClientPixel(window, 40, 30), GetSysColor(COLOR_BTNSHADOW));

  control->Notifications.clear();
  control->SetColor(clBtnShadow);
  EXPECT_TRUE(control->Notifications.empty()) << "setting the same colour again notifies nobody";
}

TEST_F(WinControlTest, CursorChangeNotifiesAndTheClientAreaShowsTheScreenCursor) {
  auto control = HostedControl(20, 20, 80, 60);
  HWND window = control->Handle();
  const LPARAM overClient = MAKELPARAM(HTCLIENT, WM_MOUSEMOVE);
  HCURSOR hand = Screen().Cursors(crHandPoint);
  HCURSOR cross = LoadCursorW(nullptr, IDC_CROSS);
  ASSERT_NE(hand, nullptr);
  ASSERT_NE(hand, cross);

  control->Notifications.clear();
  control->SetCursor(crHandPoint);
  EXPECT_THAT(control->Notifications, ElementsAre(CM_CURSORCHANGED));
  EXPECT_EQ(control->Cursor(), crHandPoint);

  ::SetCursor(cross);
  EXPECT_EQ(SendMessageW(window, WM_SETCURSOR, reinterpret_cast<WPARAM>(window), overClient), TRUE);
  EXPECT_EQ(GetCursor(), hand);

  // Outside the client area the window's default handling chooses the cursor.
  ::SetCursor(cross);
  SendMessageW(window, WM_SETCURSOR, reinterpret_cast<WPARAM>(window), MAKELPARAM(HTBORDER, WM_MOUSEMOVE));
  EXPECT_NE(GetCursor(), hand);

  // crNone hides the pointer over the client area.
  control->SetCursor(crNone);
  ::SetCursor(cross);
  EXPECT_EQ(SendMessageW(window, WM_SETCURSOR, reinterpret_cast<WPARAM>(window), overClient), TRUE);
  EXPECT_EQ(GetCursor(), nullptr);

  // crDefault leaves it to the window class: the arrow.
  control->SetCursor(crDefault);
  ::SetCursor(cross);
  SendMessageW(window, WM_SETCURSOR, reinterpret_cast<WPARAM>(window), overClient);
  EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_ARROW));

  control->Notifications.clear();
  control->SetCursor(crDefault);
  EXPECT_TRUE(control->Notifications.empty()) << "setting the same cursor again notifies nobody";
}

TEST_F(WinControlTest, MouseButtonsReachMouseDownAndMouseUpWithButtonShiftAndPosition) {
  auto control = HostedControl(20, 20, 80, 60);
  HWND window = control->Handle();
  std::vector<MouseRecord> events;
  control->OnMouseDown = [&](TObject* sender, TMouseButton button, TShiftState shift, int x, int y) {
    EXPECT_EQ(sender, control.get());
    events.push_back({true, button, shift.Value(), x, y});
  };
  control->OnMouseUp = [&](TObject*, TMouseButton button, TShiftState shift, int x, int y) {
    events.push_back({false, button, shift.Value(), x, y});
  };
  const auto bits = [](TShiftState shift) { return shift.Value(); };

  SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON | MK_SHIFT, MAKELPARAM(12, 7));
  EXPECT_EQ(GetCapture(), window) << "a pressed left button captures the mouse";
  SendMessageW(window, WM_LBUTTONUP, MK_SHIFT, MAKELPARAM(13, 8));
  EXPECT_EQ(GetCapture(), nullptr);
  SendMessageW(window, WM_RBUTTONDOWN, MK_RBUTTON | MK_CONTROL, MAKELPARAM(30, 20));
  SendMessageW(window, WM_RBUTTONUP, 0, MAKELPARAM(31, 21));
  SendMessageW(window, WM_MBUTTONDOWN, MK_MBUTTON | MK_LBUTTON, MAKELPARAM(2, 3));
  SendMessageW(window, WM_MBUTTONUP, MK_LBUTTON, MAKELPARAM(2, 3));
  // A captured mouse reports positions left of and above the control as negative numbers.
  SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(1, 1));
  SendMessageW(window, WM_LBUTTONUP, 0, MAKELPARAM(-4, -3));
  SendMessageW(window, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(5, 6));

  EXPECT_THAT(events, ElementsAre(MouseRecord{true, mbLeft, bits({ssShift, ssLeft}), 12, 7},
                                  MouseRecord{false, mbLeft, bits({ssShift}), 13, 8},
                                  MouseRecord{true, mbRight, bits({ssCtrl, ssRight}), 30, 20},
                                  MouseRecord{false, mbRight, bits({}), 31, 21},
                                  MouseRecord{true, mbMiddle, bits({ssMiddle, ssLeft}), 2, 3},
                                  MouseRecord{false, mbMiddle, bits({ssLeft}), 2, 3},
                                  MouseRecord{true, mbLeft, bits({ssLeft}), 1, 1},
                                  MouseRecord{false, mbLeft, bits({}), -4, -3},
                                  MouseRecord{true, mbLeft, bits({ssLeft, ssDouble}), 5, 6}));
  SendMessageW(window, WM_LBUTTONUP, 0, MAKELPARAM(5, 6));
}

TEST_F(WinControlTest, ALeftPressAndReleaseInsideIsAClick) {
  auto control = HostedControl(20, 20, 80, 60);
  HWND window = control->Handle();
  int onClick = 0;
  control->OnClick = [&](TObject* sender) {
    EXPECT_EQ(sender, control.get());
    ++onClick;
  };
  const auto press = [&](UINT down, UINT up, LPARAM downAt, LPARAM upAt) {
    SendMessageW(window, down, 0, downAt);
    SendMessageW(window, up, 0, upAt);
  };

  press(WM_LBUTTONDOWN, WM_LBUTTONUP, MAKELPARAM(10, 10), MAKELPARAM(79, 59));
  EXPECT_EQ(control->ClickCalls, 1);
  EXPECT_EQ(onClick, 1);

  press(WM_LBUTTONDOWN, WM_LBUTTONUP, MAKELPARAM(10, 10), MAKELPARAM(80, 10));  // released outside
  press(WM_LBUTTONDOWN, WM_LBUTTONUP, MAKELPARAM(10, 10), MAKELPARAM(-1, 10));
  press(WM_RBUTTONDOWN, WM_RBUTTONUP, MAKELPARAM(10, 10), MAKELPARAM(10, 10));  // not the left button
  SendMessageW(window, WM_LBUTTONUP, 0, MAKELPARAM(10, 10));                    // no press before
  EXPECT_EQ(control->ClickCalls, 1);
  EXPECT_EQ(onClick, 1);

  control->SetControlStyle(control->ControlStyle() - TControlStyle{csClickEvents});
  press(WM_LBUTTONDOWN, WM_LBUTTONUP, MAKELPARAM(10, 10), MAKELPARAM(10, 10));
  EXPECT_EQ(onClick, 1) << "a control without csClickEvents gets no clicks";
}

TEST_F(WinControlTest, SetFocusFocusesTheWindowAndRaisesEnterAndExit) {
  auto first = HostedControl(10, 10, 60, 40);
  auto second = HostedControl(100, 10, 60, 40);
  std::vector<std::string> events;
  first->OnEnter = [&](TObject*) { events.push_back("enter first"); };
  first->OnExit = [&](TObject*) { events.push_back("exit first"); };
  second->OnEnter = [&](TObject*) { events.push_back("enter second"); };
  second->OnExit = [&](TObject*) { events.push_back("exit second"); };
  EXPECT_FALSE(first->Focused());

  first->SetFocus();
  EXPECT_EQ(GetFocus(), first->Handle());
  EXPECT_TRUE(first->Focused());
  EXPECT_FALSE(second->Focused());

  second->SetFocus();
  EXPECT_FALSE(first->Focused());
  EXPECT_TRUE(second->Focused());
  EXPECT_THAT(events, ElementsAre("enter first", "exit first", "enter second"));

  ::SetFocus(Host());
  EXPECT_FALSE(second->Focused());
  EXPECT_THAT(events, ElementsAre("enter first", "exit first", "enter second", "exit second"));

  ProbeControl windowless(nullptr);
  EXPECT_FALSE(windowless.Focused()) << "a control without a window has no focus";
}

TEST_F(WinControlTest, PerformDispatchesWithoutAWindow) {
  ProbeControl control(nullptr);
  std::vector<MouseRecord> events;
  control.OnMouseDown = [&](TObject*, TMouseButton button, TShiftState shift, int x, int y) {
    events.push_back({true, button, shift.Value(), x, y});
  };

  EXPECT_EQ(control.Perform(CM_COLORCHANGED, 0, 0), 0);
  control.SetColor(clLime);
  control.SetCursor(crHandPoint);
  EXPECT_THAT(control.Notifications, ElementsAre(CM_COLORCHANGED, CM_COLORCHANGED, CM_CURSORCHANGED));
  EXPECT_EQ(control.Perform(WM_USER + 5, 1, 2), 0) << "an unhandled message without a window gives 0";
  control.Perform(WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(3, 4));
  EXPECT_THAT(events, ElementsAre(MouseRecord{true, mbRight, TShiftState{ssRight}.Value(), 3, 4}));
  EXPECT_FALSE(control.HandleAllocated()) << "Perform must not create the window";

  PingControl ping(nullptr);
  EXPECT_EQ(ping.Perform(PingControl::WM_PING, 5, 0), 0x1005);
  EXPECT_FALSE(ping.HandleAllocated());
}

TEST_F(WinControlTest, AnExceptionFromAHandlerDoesNotLeaveTheWindowProcedure) {
  auto control = HostedControl(20, 20, 80, 60);
  HWND window = control->Handle();

  control->OnClick = [](TObject*) { throw std::runtime_error("click handler failed"); };
  SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  EXPECT_EQ(SendMessageW(window, WM_LBUTTONUP, 0, MAKELPARAM(5, 5)), 0);
  EXPECT_EQ(control->ClickCalls, 1);

  // A failing Paint still ends its paint cycle: the window is validated and the canvas unbound.
  control->OnPaint = [] { throw std::runtime_error("paint failed"); };
  InvalidateRect(window, nullptr, FALSE);
  UpdateWindow(window);
  EXPECT_FALSE(GetUpdateRect(window, nullptr, FALSE));
  EXPECT_EQ(control->Canvas()->Handle(), nullptr);

  // A failing OnResize does not stop the window from taking its new size.
  control->OnResize = [](TObject*) { throw std::runtime_error("resize handler failed"); };
  control->SetBounds(20, 20, 90, 70);
  EXPECT_TRUE(SameRect(RectInParent(window), RECT{20, 20, 110, 90}));

  // The control keeps working.
  control->OnPaint = nullptr;
  control->OnClick = nullptr;
  control->Fill = RGB(1, 120, 240);
  EXPECT_EQ(testwin::ClientPixel(window, 45, 35), RGB(1, 120, 240));
  SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  SendMessageW(window, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
  EXPECT_EQ(control->ClickCalls, 2);
}

TEST_F(WinControlTest, AnOpaqueControlSkipsTheBackgroundEraseAndOthersEraseWithTheirBrush) {
  auto opaque = HostedControl(10, 10, 60, 40);
  auto plain = HostedControl(100, 10, 60, 40);
  opaque->SetControlStyle(opaque->ControlStyle() + TControlStyle{csOpaque});
  for (ProbeControl* control : {opaque.get(), plain.get()}) {
    control->SetColor(clYellow);
    control->Fill = RGB(0, 0, 255);
  }
  EXPECT_EQ(testwin::ClientPixel(opaque->Handle(), 30, 20), RGB(0, 0, 255));
  EXPECT_EQ(testwin::ClientPixel(plain->Handle(), 30, 20), RGB(0, 0, 255));

  // Now Paint draws nothing: a forced erase and repaint leaves the opaque control's old
  // picture, while the other control shows its brush.
  opaque->Fill.reset();
  plain->Fill.reset();
  opaque->EraseMessages.clear();
  plain->EraseMessages.clear();
  EXPECT_EQ(testwin::ClientPixel(opaque->Handle(), 30, 20), RGB(0, 0, 255));
  EXPECT_EQ(testwin::ClientPixel(plain->Handle(), 30, 20), RGB(255, 255, 0));
  EXPECT_THAT(opaque->EraseMessages, ElementsAre(1u)) << "the opaque control reports the background as erased";
  EXPECT_THAT(plain->EraseMessages, ElementsAre(1u));

  // The same through WM_ERASEBKGND on a bitmap of our own.
  const auto eraseOnto = [](HWND window) {
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 60, 40);
    HGDIOBJ previous = SelectObject(dc, bitmap);
    SetPixel(dc, 30, 20, RGB(9, 9, 9));
    const LRESULT result = SendMessageW(window, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    const COLORREF pixel = GetPixel(dc, 30, 20);
    SelectObject(dc, previous);
    DeleteObject(bitmap);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    EXPECT_NE(result, 0);
    return pixel;
  };
  EXPECT_EQ(eraseOnto(opaque->Handle()), RGB(9, 9, 9));
  EXPECT_EQ(eraseOnto(plain->Handle()), RGB(255, 255, 0));
}

TEST_F(WinControlTest, ADerivedDispatchSeesMessagesByNumberAndDefersToTheBase) {
  PingControl control(nullptr);
  control.SetParentWindow(Host());
  control.SetBounds(10, 10, 50, 50);
  HWND window = control.Handle();
  int downs = 0;
  control.OnMouseDown = [&](TObject*, TMouseButton, TShiftState, int, int) { ++downs; };

  EXPECT_EQ(SendMessageW(window, PingControl::WM_PING, 0x23, 0), 0x1023);
  SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(4, 4));
  SendMessageW(window, WM_LBUTTONUP, 0, MAKELPARAM(4, 4));
  EXPECT_THAT(control.Seen, ElementsAre(PingControl::WM_PING, static_cast<UINT>(WM_LBUTTONDOWN)));
  EXPECT_EQ(downs, 1) << "the base class handled the message the derived class passed on";

  // Messages nobody handles reach the window's default procedure.
  ASSERT_TRUE(SetWindowTextW(window, L"caption"));
  wchar_t text[16] = {};
  EXPECT_EQ(GetWindowTextW(window, text, 16), 7);
  EXPECT_STREQ(text, L"caption");
}

TEST_F(WinControlTest, DestroyingTheControlDestroysItsWindow) {
  auto control = HostedControl(10, 10, 50, 50);
  HWND window = control->Handle();
  control.reset();
  EXPECT_FALSE(IsWindow(window));

  // An owner destroys the controls it owns, and with them their windows.
  auto owner = std::make_unique<TComponent>(nullptr);
  auto* owned = new ProbeControl(owner.get());
  owned->SetParentWindow(Host());
  owned->SetBounds(0, 0, 20, 20);
  HWND ownedWindow = owned->Handle();
  owner.reset();
  EXPECT_FALSE(IsWindow(ownedWindow));

  // A window destroyed behind the control's back is forgotten, and made again on demand.
  ProbeControl survivor(nullptr);
  survivor.SetParentWindow(Host());
  survivor.SetBounds(5, 5, 30, 30);
  HWND first = survivor.Handle();
  DestroyWindow(first);
  EXPECT_FALSE(survivor.HandleAllocated());
  HWND second = survivor.Handle();
  EXPECT_TRUE(IsWindow(second));
  EXPECT_TRUE(SameRect(RectInParent(second), RECT{5, 5, 35, 35}));

  survivor.DestroyHandle();
  EXPECT_FALSE(IsWindow(second));
  EXPECT_FALSE(survivor.HandleAllocated());
}

TEST_F(WinControlTest, FiftyControlsCreatedAndDestroyedLeaveNoGdiOrUserObjects) {
  constexpr int kControls = 50;
  DWORD gdiAlive = 0;
  DWORD userAlive = 0;
  const auto round = [&] {
    std::vector<std::unique_ptr<ProbeControl>> controls;
    for (int i = 0; i < kControls; ++i) {
      auto control = HostedControl((i % 10) * 30, (i / 10) * 30, 28, 28);
      control->SetColor(static_cast<TColor>(RGB(i * 5, 100, 200)));  // a brush of its own colour
      control->SetCursor(crHandPoint);
      control->Repaint();
      controls.push_back(std::move(control));
    }
    testwin::PumpMessages(0);
    gdiAlive = testwin::GdiObjects();
    userAlive = testwin::UserObjects();
    controls.clear();
    testwin::PumpMessages(0);
  };

  // The same round twice, measuring the second: the system keeps what it creates for the first
  // (Wine caches a device context for each window painted while others are open, up to 64).
  round();
  const DWORD gdiBefore = testwin::GdiObjects();
  const DWORD userBefore = testwin::UserObjects();
  ASSERT_GT(gdiBefore, 0u) << "the GDI object count must be readable";
  ASSERT_GT(userBefore, 0u) << "the USER object count must be readable";
  round();

  // The counters saw what the controls held, so that they can see a leak.
  EXPECT_GE(gdiAlive, gdiBefore + kControls);
  EXPECT_GE(userAlive, userBefore + kControls);
  EXPECT_EQ(testwin::GdiObjects(), gdiBefore);
  EXPECT_EQ(testwin::UserObjects(), userBefore);
}

TEST(ColorToRGBTest, ResolvesSystemColoursAndKeepsPlainColours) {
  EXPECT_EQ(ColorToRGB(clWindow), GetSysColor(COLOR_WINDOW));
  EXPECT_EQ(ColorToRGB(clWindowText), GetSysColor(COLOR_WINDOWTEXT));
  EXPECT_EQ(ColorToRGB(clBtnFace), GetSysColor(COLOR_BTNFACE));
  EXPECT_EQ(ColorToRGB(clHighlight), GetSysColor(COLOR_HIGHLIGHT));
  EXPECT_EQ(ColorToRGB(clSystemColor | COLOR_3DDKSHADOW), GetSysColor(COLOR_3DDKSHADOW));
  EXPECT_EQ(ColorToRGB(clSystemColor | COLOR_INFOBK), GetSysColor(COLOR_INFOBK));

  EXPECT_EQ(ColorToRGB(clRed), RGB(255, 0, 0));
  EXPECT_EQ(ColorToRGB(clNavy), RGB(0, 0, 128));
  EXPECT_EQ(ColorToRGB(clBlack), RGB(0, 0, 0));
  EXPECT_EQ(ColorToRGB(clWhite), RGB(255, 255, 255));
  EXPECT_EQ(ColorToRGB(static_cast<TColor>(RGB(0x12, 0x34, 0x56))), RGB(0x12, 0x34, 0x56));
}

TEST(ScreenCursorsTest, MapsBuiltInNumbersToSystemCursorsAndCustomNumbersToTheirHandles) {
  HCURSOR arrow = LoadCursorW(nullptr, IDC_ARROW);
  ASSERT_NE(arrow, nullptr);
  EXPECT_EQ(Screen().Cursors(crDefault), arrow);
  EXPECT_EQ(Screen().Cursors(crArrow), arrow);
  EXPECT_EQ(Screen().Cursors(crHandPoint), LoadCursorW(nullptr, IDC_HAND));
  EXPECT_NE(Screen().Cursors(crHandPoint), arrow);
  EXPECT_EQ(Screen().Cursors(crIBeam), LoadCursorW(nullptr, IDC_IBEAM));
  EXPECT_EQ(Screen().Cursors(crHourGlass), LoadCursorW(nullptr, IDC_WAIT));
  EXPECT_EQ(Screen().Cursors(crNone), nullptr);

  // The screen's table is process-wide and numbers cannot be removed from it: each run of this
  // test takes numbers no one has registered.
  static TCursor nextFree = 100;
  const TCursor kCustom = nextFree;
  nextFree += 2;
  EXPECT_EQ(Screen().Cursors(kCustom), arrow) << "an unknown number gives the arrow";
  HCURSOR cross = LoadCursorW(nullptr, IDC_CROSS);
  Screen().SetCursors(kCustom, cross);
  EXPECT_EQ(Screen().Cursors(kCustom), cross);
  EXPECT_EQ(Screen().Cursors(kCustom + 1), arrow);
}

TEST_F(WinControlTest, ACustomCursorNumberShowsItsRegisteredCursor) {
  constexpr TCursor kCustom = 12;
  HCURSOR cross = LoadCursorW(nullptr, IDC_CROSS);
  Screen().SetCursors(kCustom, cross);
  auto control = HostedControl(20, 20, 40, 40);
  control->SetCursor(kCustom);
  ::SetCursor(LoadCursorW(nullptr, IDC_ARROW));
  SendMessageW(control->Handle(), WM_SETCURSOR, reinterpret_cast<WPARAM>(control->Handle()),
               MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  EXPECT_EQ(GetCursor(), cross);
}

// Runs in every test run, and again by itself under LC_ALL=ja_JP.UTF-8 with
// LM_EXPECT_PRIMARY_LANGUAGE=17. Wine takes the user's locale from LC_ALL; when it names no
// locale (C, POSIX, unset) Wine reports US English, 0x0409.
TEST(LocaleTest, TheRecordHoldsTheUserLocaleOfTheProcess) {
  const char* expected = std::getenv("LM_EXPECT_PRIMARY_LANGUAGE");
  const LANGID primary = expected ? static_cast<LANGID>(std::atoi(expected)) : LANG_ENGLISH;
  EXPECT_EQ(SysLocale.PriLangID, primary);
  if (primary == LANG_JAPANESE) {
    EXPECT_EQ(SysLocale.DefaultLCID, 0x0411u);
    EXPECT_EQ(SysLocale.SubLangID, SUBLANG_JAPANESE_JAPAN);
  } else if (!expected) {
    EXPECT_EQ(SysLocale.DefaultLCID, 0x0409u);
    EXPECT_EQ(SysLocale.SubLangID, SUBLANG_ENGLISH_US);
  }

  // The record is the user's locale split into its primary and sub-language.
  EXPECT_EQ(SysLocale.DefaultLCID, GetUserDefaultLCID());
  EXPECT_EQ(SysLocale.PriLangID, SysLocale.DefaultLCID & 0x3FF);
  EXPECT_EQ(SysLocale.SubLangID, (SysLocale.DefaultLCID >> 10) & 0x3F);
  const TSysLocale fresh = ReadSysLocale();
  EXPECT_EQ(fresh.DefaultLCID, SysLocale.DefaultLCID);
  EXPECT_EQ(fresh.PriLangID, SysLocale.PriLangID);
  EXPECT_EQ(fresh.SubLangID, SysLocale.SubLangID);
}

}  // namespace
