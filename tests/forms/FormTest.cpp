// Forms and their standard controls on real windows under the X server: the modal loop and its
// result, closing, fonts reaching the controls, label sizing, cursors, frames, placement, tab
// order and dialog keys, bevels, and what a form leaves behind.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "framework/ExtCtrls.h"
#include "framework/Forms.h"
#include "framework/StdCtrls.h"
#include "support/ModalScript.h"
#include "support/TestWindow.h"

namespace {

using testwin::ModalScript;
using ::testing::ElementsAre;

std::wstring ClassOf(HWND Window) {
  wchar_t name[64] = {};
  GetClassNameW(Window, name, 64);
  return name;
}

bool SameRect(const RECT& A, const RECT& B) {
  return A.left == B.left && A.top == B.top && A.right == B.right && A.bottom == B.bottom;
}

// The size of a text in the font a window uses, measured apart from the label's own code.
SIZE TextExtent(HWND Window, const std::wstring& Text) {
  HDC dc = GetDC(Window);
  HGDIOBJ previous = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(Window, WM_GETFONT, 0, 0)));
  SIZE size{};
  GetTextExtentPoint32W(dc, Text.c_str(), static_cast<int>(Text.size()), &size);
  SelectObject(dc, previous);
  ReleaseDC(Window, dc);
  return size;
}

// The height of one line in the font a window uses.
LONG TextExtentFromFont(HWND Window) { return TextExtent(Window, L"Ag").cy; }

// A small dialog: two buttons, a group box holding a panel and a button, and a label.
struct SampleForm {
  SampleForm() {
    Form = std::make_unique<TForm>(nullptr);
    Form->SetCaption(L"Sample");
    Form->SetBorderStyle(bsDialog);
    Form->SetClientWidth(300);
    Form->SetClientHeight(200);
    Ok = Make<TButton>(Form.get(), 10, 10, 80, 25, L"OK");
    Cancel = Make<TButton>(Form.get(), 100, 10, 80, 25, L"Cancel");
    Group = Make<TGroupBox>(Form.get(), 10, 50, 200, 100, L"Group");
    Panel = Make<TPanel>(Group, 10, 20, 80, 30, L"");
    Inner = Make<TButton>(Group, 100, 20, 80, 25, L"Inner");
    Label = Make<TLabel>(Form.get(), 10, 170, 100, 13, L"A label");
  }

  template <typename T>
  T* Make(TWinControl* Parent, int Left, int Top, int Width, int Height, const wchar_t* Caption) {
    auto* control = new T(Form.get());  // the form owns it and destroys it
    control->SetParent(Parent);
    control->SetBounds(Left, Top, Width, Height);
    control->SetCaption(Caption);
    return control;
  }

  std::unique_ptr<TForm> Form;
  TButton* Ok;
  TButton* Cancel;
  TGroupBox* Group;
  TPanel* Panel;
  TButton* Inner;
  TLabel* Label;
};

void Click(TWinControl* Button) { SendMessageW(Button->Handle(), BM_CLICK, 0, 0); }

void PressKey(WORD Key, bool Shift = false) {
  BYTE keys[256];
  GetKeyboardState(keys);
  keys[VK_SHIFT] = Shift ? 0x80 : 0;
  SetKeyboardState(keys);
  PostMessageW(GetFocus(), WM_KEYDOWN, Key, 1);
  PostMessageW(GetFocus(), WM_KEYUP, Key, 0xC0000001);
}

void ReleaseShift() {
  BYTE keys[256];
  GetKeyboardState(keys);
  keys[VK_SHIFT] = 0;
  SetKeyboardState(keys);
}

TEST(FormModalTest, AButtonWithAModalResultEndsTheLoopAndTheFormHidesAgain) {
  SampleForm sample;
  sample.Ok->SetModalResult(mrOk);
  testwin::HostWindow other(100, 80);  // another window of the thread
  std::vector<std::string> events;
  sample.Form->OnShow = [&](TObject* sender) {
    EXPECT_EQ(sender, sample.Form.get());
    EXPECT_TRUE(sample.Form->Visible());
    events.push_back("show");
  };
  sample.Ok->OnClick = [&](TObject*) { events.push_back("click"); };
  HWND window = sample.Form->Handle();

  ModalScript script({[&] {
                        EXPECT_TRUE(IsWindowVisible(window));
                        EXPECT_TRUE(sample.Form->Modal());
                        EXPECT_FALSE(IsWindowEnabled(other.Handle())) << "other windows take no input";
                        EXPECT_TRUE(IsWindowEnabled(window));
                        EXPECT_EQ(sample.Form->ModalResult(), mrNone);
                      },
                      [&] { Click(sample.Ok); }});
  EXPECT_EQ(sample.Form->ShowModal(), mrOk);
  EXPECT_TRUE(script.Finished());
  EXPECT_FALSE(script.TimedOut());
  EXPECT_THAT(events, ElementsAre("show", "click"));
  EXPECT_FALSE(IsWindowVisible(window));
  EXPECT_FALSE(sample.Form->Visible());
  EXPECT_FALSE(sample.Form->Modal());
  EXPECT_TRUE(IsWindowEnabled(other.Handle()));

  // A second showing starts from no result again.
  ModalScript again({[&] { sample.Form->SetModalResult(mrRetry); }});
  EXPECT_EQ(sample.Form->ShowModal(), mrRetry);
  EXPECT_THAT(events, ElementsAre("show", "click", "show"));
}

TEST(FormModalTest, AButtonWithoutAModalResultOnlyClicksAndCloseEndsTheLoopWithCancel) {
  SampleForm sample;
  int clicks = 0;
  sample.Ok->OnClick = [&](TObject* sender) {
    EXPECT_EQ(sender, sample.Ok);
    ++clicks;
  };
  ModalScript script({[&] { Click(sample.Ok); },
                      [&] {
                        EXPECT_EQ(clicks, 1);
                        EXPECT_TRUE(IsWindowVisible(sample.Form->Handle())) << "a plain click leaves the form open";
                        EXPECT_EQ(sample.Form->ModalResult(), mrNone);
                        sample.Form->Close();
                      }});
  EXPECT_EQ(sample.Form->ShowModal(), mrCancel);
  EXPECT_EQ(clicks, 1);
  EXPECT_TRUE(script.Finished());
}

TEST(FormModalTest, CloseQueryAndOnCloseCanKeepTheFormOpenAndTheCloseBoxCloses) {
  SampleForm sample;
  bool allowClose = false;
  TCloseAction closeAction = caNone;
  std::vector<std::string> events;
  sample.Form->OnCloseQuery = [&](TObject*, bool& canClose) {
    events.push_back("query");
    canClose = allowClose;
  };
  sample.Form->OnClose = [&](TObject*, TCloseAction& action) {
    EXPECT_EQ(action, caHide);
    events.push_back("close");
    action = closeAction;
  };
  HWND window = sample.Form->Handle();
  ModalScript script({[&] { sample.Form->Close(); },
                      [&] {
                        EXPECT_TRUE(IsWindowVisible(window)) << "CloseQuery said no";
                        EXPECT_EQ(sample.Form->ModalResult(), mrNone);
                        allowClose = true;
                        sample.Form->SetModalResult(mrOk);
                      },
                      [&] {
                        EXPECT_TRUE(IsWindowVisible(window)) << "OnClose said caNone";
                        EXPECT_EQ(sample.Form->ModalResult(), mrNone);
                        closeAction = caHide;
                        PostMessageW(window, WM_CLOSE, 0, 0);  // what the close box sends
                      }});
  EXPECT_EQ(sample.Form->ShowModal(), mrCancel);
  EXPECT_THAT(events, ElementsAre("query", "query", "close", "query", "close"));
  EXPECT_TRUE(IsWindow(window)) << "closing hides the form; its owner destroys it";
}

TEST(FormModalTest, AVisibleFormCannotBeShownModallyAndAnErrorInTheLoopRestoresTheThreadsWindows) {
  SampleForm sample;
  testwin::HostWindow other(100, 80);
  sample.Form->Show();
  EXPECT_TRUE(IsWindowVisible(sample.Form->Handle()));
  EXPECT_THROW(sample.Form->ShowModal(), EFrameworkError);
  sample.Form->Close();  // not modal: hides
  EXPECT_FALSE(IsWindowVisible(sample.Form->Handle()));

  // Enter clicks the focused button from inside the modal loop itself, so its error leaves
  // ShowModal.
  sample.Ok->OnClick = [](TObject*) { throw std::runtime_error("handler failed"); };
  ModalScript script({[&] { sample.Ok->SetFocus(); }, [&] { PressKey(VK_RETURN); }});
  EXPECT_THROW(sample.Form->ShowModal(), std::runtime_error);
  EXPECT_FALSE(sample.Form->Modal());
  EXPECT_FALSE(IsWindowVisible(sample.Form->Handle()));
  EXPECT_TRUE(IsWindowEnabled(other.Handle()));
}

TEST(FormFontTest, TheFormsFontReachesEveryControlThatTakesItsParentsFont) {
  SampleForm sample;
  TLabel* own = sample.Make<TLabel>(sample.Form.get(), 150, 170, 100, 13, L"own");
  own->Font().SetColor(clBlue);
  own->Font().SetStyle({fsUnderline});
  EXPECT_FALSE(own->ParentFont()) << "a font of its own";
  EXPECT_TRUE(sample.Label->ParentFont());
  sample.Form->Handle();

  TFont font;
  font.SetName(L"Tahoma");
  font.SetSize(9);
  font.SetCharset(SHIFTJIS_CHARSET);
  EXPECT_EQ(font.Height(), -12);
  sample.Form->SetFont(font);

  for (TWinControl* control : std::vector<TWinControl*>{sample.Ok, sample.Group, sample.Inner, sample.Label}) {
    const testwin::FontFacts facts = testwin::WindowFont(control->Handle());
    EXPECT_EQ(facts.Name, L"Tahoma") << testwin::WindowText(control->Handle());
    EXPECT_EQ(facts.Height, -12);
    EXPECT_EQ(facts.Charset, SHIFTJIS_CHARSET);
    EXPECT_TRUE(control->ParentFont());
  }
  EXPECT_EQ(sample.Panel->Font().Name(), L"Tahoma") << "a grandchild through the group box";
  EXPECT_EQ(sample.Panel->Font().Size(), 9);

  const testwin::FontFacts ownFacts = testwin::WindowFont(own->Handle());
  EXPECT_EQ(ownFacts.Name, L"MS Sans Serif");
  EXPECT_EQ(ownFacts.Height, -11);
  EXPECT_TRUE(ownFacts.Underline);
  EXPECT_EQ(own->Font().Color(), clBlue);

  // Taking the parent's font back.
  own->SetParentFont(true);
  EXPECT_EQ(testwin::WindowFont(own->Handle()).Name, L"Tahoma");
  EXPECT_FALSE(testwin::WindowFont(own->Handle()).Underline);
}

TEST(FormFontTest, SizeAndHeightConvertAt96PixelsPerInchAndChangesAreNotified) {
  TFont font;
  EXPECT_EQ(font.Height(), -11);
  EXPECT_EQ(font.Size(), 8);
  int changes = 0;
  font.OnChange = [&](TObject* sender) {
    EXPECT_EQ(sender, &font);
    ++changes;
  };
  font.SetSize(12);
  EXPECT_EQ(font.Height(), -16);
  font.SetHeight(-13);
  EXPECT_EQ(font.Size(), 10);
  font.SetHeight(-13);
  EXPECT_EQ(changes, 2) << "an unchanged value notifies nobody";

  HFONT first = font.Handle();
  EXPECT_EQ(font.Handle(), first);
  font.SetColor(clRed);
  EXPECT_EQ(font.Handle(), first) << "the colour is not part of the GDI font";
  font.SetStyle({fsUnderline, fsBold});
  LOGFONTW description{};
  ASSERT_TRUE(GetObjectW(font.Handle(), sizeof(description), &description));
  EXPECT_TRUE(description.lfUnderline);
  EXPECT_EQ(description.lfWeight, FW_BOLD);
  EXPECT_EQ(description.lfHeight, -13);
  EXPECT_EQ(GetObjectType(first), 0u) << "the old font was deleted";
}

TEST(FormFontTest, ALabelDrawsInItsFontColourOnItsParentsColour) {
  SampleForm sample;
  sample.Label->Font().SetColor(clBlue);
  sample.Label->SetCaption(L"WWWWWW");
  sample.Form->Show();
  testwin::PumpMessages(50);
  const testwin::ClientImage image(sample.Label->Handle());
  int blue = 0;
  int face = 0;
  for (int y = 0; y < image.Height(); ++y)
    for (int x = 0; x < image.Width(); ++x) {
      if (image.Pixel(x, y) == RGB(0, 0, 255)) ++blue;
      if (image.Pixel(x, y) == GetSysColor(COLOR_BTNFACE)) ++face;
    }
  EXPECT_GT(blue, 10) << "the text is drawn in the font's colour";
  EXPECT_GT(face, image.Width() * image.Height() / 3) << "on the parent's colour";
  sample.Form->Hide();
}

TEST(FormLabelTest, AnAutoSizedLabelFitsItsTextAndOthersKeepTheirBounds) {
  SampleForm sample;
  TLabel* label = sample.Label;
  HWND window = label->Handle();
  const SIZE extent = TextExtent(window, L"A label");
  EXPECT_EQ(label->Left(), 10);
  EXPECT_EQ(label->Top(), 170);
  EXPECT_EQ(label->Width(), extent.cx);
  EXPECT_EQ(label->Height(), extent.cy);
  RECT rect = testwin::RectInParent(window);
  EXPECT_TRUE(SameRect(rect, RECT{10, 170, 10 + extent.cx, 170 + extent.cy}));

  label->SetCaption(L"A much longer label text");
  const SIZE longer = TextExtent(window, L"A much longer label text");
  EXPECT_GT(longer.cx, extent.cx);
  EXPECT_EQ(testwin::RectInParent(window).right, 10 + longer.cx);

  // A bigger font grows it too.
  sample.Form->Font().SetHeight(-20);
  EXPECT_EQ(label->Height(), TextExtent(window, L"A much longer label text").cy);
  EXPECT_GT(label->Height(), extent.cy);

  // An empty label keeps one line of height and the width of a space.
  label->SetCaption(L"");
  EXPECT_EQ(label->Width(), TextExtent(window, L" ").cx);
  EXPECT_EQ(label->Height(), TextExtent(window, L" ").cy);

  label->SetAutoSize(false);
  label->SetBounds(10, 170, 120, 30);
  label->SetCaption(L"Fixed bounds, whatever the text says");
  EXPECT_TRUE(SameRect(testwin::RectInParent(window), RECT{10, 170, 130, 200}));
}

TEST(FormControlTest, ControlsAreStandardWindowsInTheirParentsAtTheirBoundsWithTheirTexts) {
  SampleForm sample;
  HWND form = sample.Form->Handle();
  EXPECT_EQ(testwin::WindowText(form), L"Sample");
  struct Expected {
    TWinControl* Control;
    HWND Parent;
    const wchar_t* Class;
    RECT Rect;
    const wchar_t* Text;
  };
  const std::vector<Expected> expected{
      {sample.Ok, form, L"Button", {10, 10, 90, 35}, L"OK"},
      {sample.Cancel, form, L"Button", {100, 10, 180, 35}, L"Cancel"},
      {sample.Group, form, L"Button", {10, 50, 210, 150}, L"Group"},
      {sample.Panel, sample.Group->Handle(), L"FrameworkWinControl", {10, 20, 90, 50}, L""},
      {sample.Inner, sample.Group->Handle(), L"Button", {100, 20, 180, 45}, L"Inner"},
      {sample.Label, form, L"Static", {10, 170, 10 + sample.Label->Width(), 170 + sample.Label->Height()}, L"A label"},
  };
  for (const Expected& e : expected) {
    HWND window = e.Control->Handle();
    SCOPED_TRACE(testing::Message() << "control " << testwin::WindowText(window).size() << " " << e.Class);
    EXPECT_EQ(GetParent(window), e.Parent);
    EXPECT_EQ(ClassOf(window), e.Class);
    EXPECT_TRUE(SameRect(testwin::RectInParent(window), e.Rect));
    EXPECT_EQ(testwin::WindowText(window), e.Text);
    EXPECT_TRUE(GetWindowLongPtrW(window, GWL_STYLE) & WS_CHILD);
    EXPECT_EQ(TWinControl::FindControl(window), e.Control);
  }
  EXPECT_EQ(GetWindowLongPtrW(sample.Group->Handle(), GWL_STYLE) & BS_TYPEMASK, BS_GROUPBOX);
  EXPECT_EQ(TWinControl::FindControl(GetDesktopWindow()), nullptr);

  // A caption set on a window that exists reaches the window.
  sample.Inner->SetCaption(L"Renamed");
  EXPECT_EQ(testwin::WindowText(sample.Inner->Handle()), L"Renamed");
  // Leaving a parent takes the window out of it.
  sample.Inner->SetParent(sample.Form.get());
  EXPECT_EQ(GetParent(sample.Inner->Handle()), form);
  EXPECT_EQ(sample.Group->ControlCount(), 1);
  EXPECT_EQ(GetParentForm(sample.Panel), sample.Form.get());
  EXPECT_THROW(sample.Form->SetParent(sample.Group), EFrameworkError);
}

TEST(FormControlTest, ALabelsCursorShowsOverItAndAClickOnItRaisesOnClick) {
  SampleForm sample;
  sample.Label->SetCursor(crHandPoint);
  int clicks = 0;
  sample.Label->OnClick = [&](TObject* sender) {
    EXPECT_EQ(sender, sample.Label);
    ++clicks;
  };
  HWND label = sample.Label->Handle();
  HWND button = sample.Ok->Handle();
  sample.Form->Show();
  testwin::PumpMessages(30);

  // The label answers hit tests itself, so the pointer over it is its own.
  POINT centre{sample.Label->Width() / 2, sample.Label->Height() / 2};
  ClientToScreen(label, &centre);
  EXPECT_EQ(SendMessageW(label, WM_NCHITTEST, 0, MAKELPARAM(centre.x, centre.y)), HTCLIENT);
  SetCursor(LoadCursorW(nullptr, IDC_CROSS));
  SendMessageW(label, WM_SETCURSOR, reinterpret_cast<WPARAM>(label), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_HAND));
  SetCursor(LoadCursorW(nullptr, IDC_CROSS));
  SendMessageW(button, WM_SETCURSOR, reinterpret_cast<WPARAM>(button), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_ARROW)) << "the button keeps the default cursor";

  SendMessageW(label, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
  SendMessageW(label, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
  EXPECT_EQ(clicks, 1);
  SendMessageW(label, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
  SendMessageW(label, WM_LBUTTONUP, 0, MAKELPARAM(500, 2));
  EXPECT_EQ(clicks, 1) << "released outside: no click";
  sample.Form->Hide();
}

TEST(FormFrameTest, BorderStyleAndBorderIconsDecideTheFrameAndTheClientAreaKeepsItsSize) {
  SampleForm sample;
  TForm& form = *sample.Form;
  form.SetClientWidth(440);
  form.SetClientHeight(224);
  form.SetBorderIcons({});
  HWND window = form.Handle();
  LONG_PTR style = GetWindowLongPtrW(window, GWL_STYLE);
  LONG_PTR exStyle = GetWindowLongPtrW(window, GWL_EXSTYLE);
  EXPECT_TRUE(style & WS_POPUP);
  EXPECT_EQ(style & WS_CAPTION, WS_CAPTION);
  EXPECT_FALSE(style & WS_SYSMENU) << "no system menu, no close box";
  EXPECT_FALSE(style & WS_THICKFRAME);
  EXPECT_FALSE(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX));
  EXPECT_TRUE(exStyle & WS_EX_DLGMODALFRAME);
  RECT client;
  GetClientRect(window, &client);
  EXPECT_EQ(client.right, 440);
  EXPECT_EQ(client.bottom, 224);
  EXPECT_EQ(form.ClientWidth(), 440);

  // The system menu brings the close box; a dialog frame still has no minimize box.
  form.SetBorderIcons({biSystemMenu, biMinimize});
  style = GetWindowLongPtrW(window, GWL_STYLE);
  EXPECT_TRUE(style & WS_SYSMENU);
  EXPECT_FALSE(style & WS_MINIMIZEBOX);

  form.SetBorderStyle(bsSizeable);
  style = GetWindowLongPtrW(window, GWL_STYLE);
  EXPECT_TRUE(style & WS_THICKFRAME);
  EXPECT_TRUE(style & WS_MINIMIZEBOX);
  EXPECT_FALSE(style & WS_MAXIMIZEBOX);
  EXPECT_FALSE(GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_DLGMODALFRAME);
  GetClientRect(window, &client);
  EXPECT_EQ(client.right, 440) << "a thicker frame grows the window, not the client area";
  EXPECT_EQ(client.bottom, 224);

  form.SetBorderStyle(bsNone);
  style = GetWindowLongPtrW(window, GWL_STYLE);
  EXPECT_FALSE(style & (WS_CAPTION | WS_SYSMENU | WS_THICKFRAME));
  RECT outer;
  GetWindowRect(window, &outer);
  EXPECT_EQ(outer.right - outer.left, 440);
}

TEST(FormFrameTest, ScreenCentreAndDesignedPositions) {
  SampleForm sample;
  TForm& form = *sample.Form;
  form.SetClientWidth(440);
  form.SetClientHeight(224);
  form.SetPosition(poScreenCenter);
  form.Show();
  RECT rect;
  GetWindowRect(form.Handle(), &rect);
  const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
  const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
  EXPECT_NEAR(rect.left, screenWidth - rect.right, 1);
  EXPECT_NEAR(rect.top, screenHeight - rect.bottom, 1);
  EXPECT_GT(rect.left, 0);
  form.Hide();

  form.SetPosition(poDesigned);
  form.SetBounds(7, 9, form.Width(), form.Height());
  form.Show();
  GetWindowRect(form.Handle(), &rect);
  EXPECT_EQ(rect.left, 7);
  EXPECT_EQ(rect.top, 9);
  form.Hide();
}

TEST(FormKeyboardTest, TabMovesThroughTheControlsInTabOrderAndShiftTabGoesBack) {
  SampleForm sample;
  // Tab order: Cancel, OK, then the group's Inner button; the panel takes no tab, and the
  // label has no place in the order at all.
  sample.Cancel->SetTabOrder(0);
  EXPECT_EQ(sample.Cancel->TabOrder(), 0);
  EXPECT_EQ(sample.Ok->TabOrder(), 1);
  EXPECT_EQ(sample.Group->TabOrder(), 2);
  EXPECT_EQ(sample.Inner->TabOrder(), 1);
  EXPECT_EQ(sample.Label->TabOrder(), -1);
  sample.Ok->SetTabOrder(99);
  EXPECT_EQ(sample.Ok->TabOrder(), 2) << "clamped to the last place";
  sample.Ok->SetTabOrder(1);

  std::vector<HWND> focus;
  auto record = [&] { focus.push_back(GetFocus()); };
  ModalScript script({record, [&] { PressKey(VK_TAB); }, record, [&] { PressKey(VK_TAB); }, record,
                      [&] { PressKey(VK_TAB); }, record, [&] { PressKey(VK_TAB, true); }, record,
                      [&] {
                        ReleaseShift();
                        EXPECT_EQ(sample.Form->ActiveControl(), sample.Inner);
                        sample.Form->Close();
                      }});
  sample.Form->ShowModal();
  ReleaseShift();
  EXPECT_THAT(focus, ElementsAre(sample.Cancel->Handle(), sample.Ok->Handle(), sample.Inner->Handle(),
                                 sample.Cancel->Handle(), sample.Inner->Handle()));
}

TEST(FormKeyboardTest, EnterClicksTheFocusedOrDefaultButtonAndEscapeTheCancelButton) {
  SampleForm sample;
  sample.Ok->SetModalResult(mrOk);
  sample.Ok->SetDefault(true);
  sample.Cancel->SetModalResult(mrCancel);
  sample.Cancel->SetCancel(true);
  sample.Inner->SetModalResult(mrRetry);

  // The focused button takes Enter.
  {
    ModalScript script({[&] { sample.Inner->SetFocus(); }, [&] { PressKey(VK_RETURN); }});
    EXPECT_EQ(sample.Form->ShowModal(), mrRetry);
  }
  // With no button focused, the default button takes it.
  {
    ModalScript script({[&] { sample.Form->SetFocus(); }, [&] { PressKey(VK_RETURN); }});
    EXPECT_EQ(sample.Form->ShowModal(), mrOk);
  }
  // Escape: the cancel button, wherever the focus is.
  {
    int cancelClicks = 0;
    sample.Cancel->OnClick = [&](TObject*) { ++cancelClicks; };
    ModalScript script({[&] { sample.Inner->SetFocus(); }, [&] { PressKey(VK_ESCAPE); }});
    EXPECT_EQ(sample.Form->ShowModal(), mrCancel);
    EXPECT_EQ(cancelClicks, 1);
  }
  // Without default and cancel buttons, Enter and Escape do nothing.
  {
    sample.Ok->SetDefault(false);
    sample.Cancel->SetCancel(false);
    ModalScript script({[&] { sample.Form->SetFocus(); }, [&] { PressKey(VK_RETURN); }, [&] { PressKey(VK_ESCAPE); },
                        [&] {
                          EXPECT_TRUE(IsWindowVisible(sample.Form->Handle()));
                          sample.Form->SetModalResult(mrIgnore);
                        }});
    EXPECT_EQ(sample.Form->ShowModal(), mrIgnore);
  }
}

TEST(FormKeyboardTest, TheFirstControlInTabOrderOrTheActiveControlHasTheFocusWhenTheFormShows) {
  SampleForm sample;
  HWND shown = nullptr;
  {
    ModalScript script({[&] {
      shown = GetFocus();
      sample.Form->Close();
    }});
    sample.Form->ShowModal();
  }
  EXPECT_EQ(shown, sample.Ok->Handle());

  sample.Form->SetActiveControl(sample.Inner);
  {
    ModalScript script({[&] {
      shown = GetFocus();
      sample.Form->Close();
    }});
    sample.Form->ShowModal();
  }
  EXPECT_EQ(shown, sample.Inner->Handle());

  // OnShow may choose the control itself.
  sample.Form->OnShow = [&](TObject*) { sample.Cancel->SetFocus(); };
  {
    ModalScript script({[&] {
      shown = GetFocus();
      sample.Form->Close();
    }});
    sample.Form->ShowModal();
  }
  EXPECT_EQ(shown, sample.Cancel->Handle());
}

TEST(FormPanelTest, ALoweredPanelIsShadowedAboveAndLitBelowAndShowsItsCaption) {
  SampleForm sample;
  sample.Panel->SetBevelOuter(bvLowered);
  sample.Panel->SetCaption(L"WWW");
  sample.Panel->Font().SetColor(clRed);
  sample.Form->Show();
  testwin::PumpMessages(30);
  const testwin::ClientImage image(sample.Panel->Handle());
  const COLORREF shadow = GetSysColor(COLOR_BTNSHADOW);
  const COLORREF light = GetSysColor(COLOR_BTNHIGHLIGHT);
  ASSERT_EQ(image.Width(), 80);
  EXPECT_EQ(image.Pixel(40, 0), shadow);
  EXPECT_EQ(image.Pixel(0, 15), shadow);
  EXPECT_EQ(image.Pixel(40, 29), light);
  EXPECT_EQ(image.Pixel(79, 15), light);
  EXPECT_EQ(image.Pixel(3, 3), GetSysColor(COLOR_BTNFACE));
  int red = 0;
  for (int x = 20; x < 60; ++x)
    for (int y = 5; y < 25; ++y) red += image.Pixel(x, y) == RGB(255, 0, 0);
  EXPECT_GT(red, 5) << "the caption in the middle, in the font's colour";

  sample.Panel->SetBevelOuter(bvRaised);
  const testwin::ClientImage raised(sample.Panel->Handle());
  EXPECT_EQ(raised.Pixel(40, 0), light);
  EXPECT_EQ(raised.Pixel(40, 29), shadow);
  sample.Form->Hide();
}

TEST(FormPanelTest, AGroupBoxIsFilledInItsColourAndANarrowLabelKeepsToOneLine) {
  SampleForm sample;
  sample.Form->SetColor(clWhite);
  sample.Group->SetColor(clYellow);
  TLabel* narrow = sample.Make<TLabel>(sample.Group, 10, 60, 40, 36, L"");
  narrow->SetAutoSize(false);
  narrow->SetBounds(10, 60, 40, 36);
  narrow->SetCaption(L"Many words that do not fit");
  narrow->Font().SetColor(clRed);
  sample.Form->Show();
  testwin::PumpMessages(30);

  const testwin::ClientImage group(sample.Group->Handle());
  EXPECT_EQ(group.Pixel(150, 80), RGB(255, 255, 0)) << "inside the frame, away from the controls";
  EXPECT_EQ(narrow->Color(), clYellow) << "the label takes its parent's colour";

  const testwin::ClientImage label(narrow->Handle());
  const int lineHeight = static_cast<int>(TextExtentFromFont(narrow->Handle()));
  int firstLine = 0;
  int below = 0;
  for (int y = 0; y < label.Height(); ++y)
    for (int x = 0; x < label.Width(); ++x)
      if (label.Pixel(x, y) == RGB(255, 0, 0)) (y < lineHeight ? firstLine : below)++;
  EXPECT_GT(firstLine, 5);
  EXPECT_EQ(below, 0) << "the text was wrapped onto a second line";
  sample.Form->Hide();
}

TEST(FormLifetimeTest, ShowingAndDestroyingFormsLeavesNoWindowsOrGdiObjects) {
  { SampleForm warmUp; }
  const DWORD users = testwin::UserObjects();
  const DWORD gdi = testwin::GdiObjects();
  for (int i = 0; i < 3; ++i) {
    SampleForm sample;
    sample.Form->Font().SetSize(10);
    sample.Label->Font().SetColor(clBlue);
    ModalScript script({[&] { sample.Form->Close(); }});
    sample.Form->ShowModal();
  }
  testwin::PumpMessages(30);
  EXPECT_EQ(testwin::UserObjects(), users);
  EXPECT_EQ(testwin::GdiObjects(), gdi);
}

TEST(FormLifetimeTest, DestroyingAParentFirstLeavesItsControlsWithoutAParent) {
  TForm form(nullptr);
  auto group = std::make_unique<TGroupBox>(nullptr);
  TButton button(nullptr);
  group->SetParent(&form);
  button.SetParent(group.get());
  HWND buttonWindow = button.Handle();
  EXPECT_EQ(GetParent(buttonWindow), group->Handle());
  group.reset();
  EXPECT_EQ(button.Parent(), nullptr);
  EXPECT_FALSE(IsWindow(buttonWindow)) << "its window went with the parent's";
  EXPECT_FALSE(button.HandleAllocated());
  EXPECT_EQ(form.ControlCount(), 0);
}

}  // namespace
