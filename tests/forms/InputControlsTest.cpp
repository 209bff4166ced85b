// The form controls the property dialogs use, on a real form under the X server: drop-down
// lists, edit boxes, check boxes, shapes, pages behind tabs, and the system colour chooser.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <memory>
#include <string>

#include "framework/ComCtrls.h"
#include "framework/Dialogs.h"
#include "framework/Forms.h"
#include "framework/InputCtrls.h"
#include "framework/Shapes.h"
#include "support/ModalScript.h"
#include "support/ModalSteps.h"
#include "support/TestWindow.h"

namespace {

// One shown form for the whole suite: destroying a top-level window costs seconds here.
class InputControls : public testing::Test {
protected:
  static void SetUpTestSuite() {
    s_Form = new TForm(nullptr);
    s_Form->SetClientWidth(400);
    s_Form->SetClientHeight(300);
    s_Form->Show();
    testwin::PumpMessages();
  }
  static void TearDownTestSuite() {
    delete s_Form;
    s_Form = nullptr;
  }

  template <class T>
  T* Make(TWinControl* Parent, int Left, int Top, int Width, int Height) {
    T* control = new T(s_Form);
    control->SetBounds(Left, Top, Width, Height);
    control->SetParent(Parent);
    m_Made.emplace_back(control);
    return control;
  }

  static TForm* s_Form;
  std::vector<std::unique_ptr<TWinControl>> m_Made;  // destroyed after each test
};

TForm* InputControls::s_Form = nullptr;

std::wstring ListText(TComboBox* Combo, int Index) {
  wchar_t text[64] = {};
  SendMessageW(Combo->Handle(), CB_GETLBTEXT, static_cast<WPARAM>(Index), reinterpret_cast<LPARAM>(text));
  return text;
}

int ClosedHeight(TWinControl* Control) {
  RECT rect;
  GetWindowRect(Control->Handle(), &rect);
  return rect.bottom - rect.top;
}

TEST_F(InputControls, ComboBoxShowsItsItemsKeepsItsSelectionAndItsHeight) {
  auto* combo = new TComboBox(s_Form);
  m_Made.emplace_back(combo);
  combo->Items().Add(L"one");
  combo->Items().Add(L"two");
  combo->SetItemIndex(1);  // before there is a window
  combo->SetBounds(10, 10, 120, 21);
  combo->SetParent(s_Form);
  EXPECT_EQ(SendMessageW(combo->Handle(), CB_GETCOUNT, 0, 0), 2);
  EXPECT_EQ(combo->ItemIndex(), 1);
  EXPECT_EQ(ClosedHeight(combo), 21);
  EXPECT_EQ((GetWindowLongPtrW(combo->Handle(), GWL_STYLE) & 3), CBS_DROPDOWNLIST);

  // A line replaced in place keeps the selection; one added shows at once.
  combo->Items().SetStrings(1, L"TWO");
  combo->Items().Add(L"three");
  EXPECT_EQ(ListText(combo, 1), L"TWO");
  EXPECT_EQ(ListText(combo, 2), L"three");
  EXPECT_EQ(combo->ItemIndex(), 1);
  combo->SetItemIndex(7);  // out of range: no selection
  EXPECT_EQ(combo->ItemIndex(), -1);

  // A bigger font would make the box higher; it stays as placed.
  combo->Font().SetHeight(-20);
  EXPECT_EQ(ClosedHeight(combo), 21);

  // The user's choice by keyboard arrives as OnChange with the new index.
  int changes = 0;
  combo->OnChange = [&changes](TObject*) { ++changes; };
  combo->SetItemIndex(0);
  combo->SetFocus();
  SendMessageW(combo->Handle(), WM_KEYDOWN, VK_DOWN, 0);
  EXPECT_EQ(combo->ItemIndex(), 1);
  EXPECT_EQ(changes, 1);
}

TEST_F(InputControls, EditBoxTextLimitAndSwallowedKeys) {
  TEdit* edit = Make<TEdit>(s_Form, 10, 40, 100, 21);
  edit->SetMaxLength(3);
  edit->OnKeyPress = [](TObject*, wchar_t& Key) {
    if (Key == L'x') Key = 0;
    if (Key == L'a') Key = L'b';
  };
  edit->SetFocus();
  for (const wchar_t c : std::wstring(L"1xa345")) SendMessageW(edit->Handle(), WM_CHAR, c, 1);
  EXPECT_EQ(edit->Text(), L"1b3");  // x swallowed, a typed as b, the rest beyond three refused
  edit->SetText(L"abc");  // replaces what was typed
  EXPECT_EQ(testwin::WindowText(edit->Handle()), L"abc");
  EXPECT_EQ(edit->Text(), L"abc");
  EXPECT_TRUE(edit->TabStop());
}

TEST_F(InputControls, CheckBoxStateBeforeAndAfterItsWindowAndOnClick) {
  auto* check = new TCheckBox(s_Form);
  m_Made.emplace_back(check);
  check->SetChecked(true);
  check->SetBounds(10, 70, 100, 17);
  check->SetParent(s_Form);
  EXPECT_EQ(SendMessageW(check->Handle(), BM_GETCHECK, 0, 0), BST_CHECKED);
  SendMessageW(check->Handle(), BM_CLICK, 0, 0);
  EXPECT_FALSE(check->Checked());
}

TEST_F(InputControls, ShapeFillsWithItsBrushInsideABlackOutlineAndLeavesTheMouseFree) {
  TShape* shape = Make<TShape>(s_Form, 150, 10, 33, 25);
  shape->Brush().SetColor(clBlue);
  EXPECT_EQ(testwin::ClientPixel(shape->Handle(), 16, 12), RGB(0, 0, 255));
  EXPECT_EQ(testwin::ClientPixel(shape->Handle(), 0, 0), RGB(0, 0, 0));
  EXPECT_EQ(testwin::ClientPixel(shape->Handle(), 32, 24), RGB(0, 0, 0));
  // A new brush colour repaints.
  ValidateRect(shape->Handle(), nullptr);
  shape->Brush().SetColor(clLime);
  RECT update;
  EXPECT_TRUE(GetUpdateRect(shape->Handle(), &update, FALSE));
  // Any button raises OnMouseDown, and the shape does not capture the mouse.
  std::vector<TMouseButton> buttons;
  shape->OnMouseDown = [&buttons](TObject*, TMouseButton Button, TShiftState, int, int) { buttons.push_back(Button); };
  SendMessageW(shape->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
  EXPECT_NE(GetCapture(), shape->Handle());
  SendMessageW(shape->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(3, 3));
  SendMessageW(shape->Handle(), WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(3, 3));
  SendMessageW(shape->Handle(), WM_MBUTTONDOWN, MK_MBUTTON, MAKELPARAM(3, 3));
  EXPECT_THAT(buttons, testing::ElementsAre(mbLeft, mbRight, mbMiddle));
}

TEST_F(InputControls, PageControlShowsTheActivePageUnderItsTabs) {
  TPageControl* pages = Make<TPageControl>(s_Form, 10, 100, 300, 150);
  auto* first = new TTabSheet(s_Form);
  m_Made.emplace_back(first);
  first->SetCaption(L"First");
  first->SetPageControl(pages);
  auto* second = new TTabSheet(s_Form);
  m_Made.emplace_back(second);
  second->SetCaption(L"Second");
  second->SetPageControl(pages);
  TEdit* onSecond = Make<TEdit>(second, 5, 5, 50, 21);

  EXPECT_EQ(pages->ActivePage(), first);  // the first page added
  EXPECT_EQ(SendMessageW(pages->Handle(), TCM_GETITEMCOUNT, 0, 0), 2);
  EXPECT_TRUE(IsWindowVisible(first->Handle()));
  EXPECT_FALSE(IsWindowVisible(second->Handle()));
  EXPECT_FALSE(onSecond->CanFocus());
  // The page covers the area under the tabs.
  RECT area;
  GetClientRect(pages->Handle(), &area);
  SendMessageW(pages->Handle(), TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&area));
  EXPECT_EQ(first->Left(), area.left);
  EXPECT_EQ(first->Top(), area.top);
  EXPECT_EQ(first->Width(), area.right - area.left);

  // A click on the second tab shows the second page.
  int changes = 0;
  pages->OnChange = [&changes](TObject*) { ++changes; };
  RECT tab;
  SendMessageW(pages->Handle(), TCM_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&tab));
  const LPARAM point = MAKELPARAM((tab.left + tab.right) / 2, (tab.top + tab.bottom) / 2);
  SendMessageW(pages->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, point);
  SendMessageW(pages->Handle(), WM_LBUTTONUP, 0, point);
  testwin::PumpMessages();
  EXPECT_EQ(pages->ActivePage(), second);
  EXPECT_EQ(changes, 1);
  EXPECT_FALSE(IsWindowVisible(first->Handle()));
  EXPECT_TRUE(IsWindowVisible(second->Handle()));
  EXPECT_TRUE(onSecond->CanFocus());

  // A new caption renames the tab.
  second->SetCaption(L"Renamed");
  wchar_t text[32] = {};
  TCITEMW item{};
  item.mask = TCIF_TEXT;
  item.pszText = text;
  item.cchTextMax = 32;
  SendMessageW(pages->Handle(), TCM_GETITEMW, 1, reinterpret_cast<LPARAM>(&item));
  EXPECT_STREQ(text, L"Renamed");
}

TEST_F(InputControls, ColorDialogStartsAtItsColourAndKeepsItUnlessConfirmed) {
  TColorDialog dialog(nullptr);
  dialog.SetColor(clBtnFace);  // a system colour starts the chooser at its RGB value
  const COLORREF face = GetSysColor(COLOR_BTNFACE);
  UINT red = 0;
  {
    modal::Script script({{&modal::FindColorChooser, [&red](HWND chooser) {
                             red = GetDlgItemInt(chooser, 706, nullptr, FALSE);
                             modal::PickFirstBasicColor(chooser);
                             modal::PressCancel(chooser);
                           }}});
    EXPECT_FALSE(dialog.Execute());
    EXPECT_TRUE(script.Finished());
  }
  EXPECT_EQ(red, GetRValue(face));
  EXPECT_EQ(dialog.Color(), clBtnFace);  // picked, then cancelled
  {
    modal::Script script({{&modal::FindColorChooser, [](HWND chooser) {
                             modal::PickFirstBasicColor(chooser);
                             modal::PressOk(chooser);
                           }}});
    EXPECT_TRUE(dialog.Execute());
    EXPECT_TRUE(script.Finished());
  }
  EXPECT_EQ(static_cast<COLORREF>(dialog.Color()), modal::kFirstBasicColor);
}

}  // namespace
