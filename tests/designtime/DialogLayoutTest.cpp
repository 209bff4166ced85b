// The property dialog's form as the user meets it: frame, size, place, font, the control
// table with its tab order, the swatches' cursor, and the Japanese adaptation.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "designtime/DesignRig.h"
#include "designtime/DialogRig.h"
#include "support/ModalScript.h"

namespace {

using ::testing::ElementsAre;

struct Place {
  const char* Name;
  TWinControl* Control;
  int Left, Top, Width, Height;  // a Width of 0: a label, sized by its text
};

std::vector<std::wstring> Items(TComboBox* Combo) {
  std::vector<std::wstring> items;
  for (int i = 0; i < Combo->Items().Count(); ++i) items.push_back(Combo->Items()[i]);
  // The window's list shows the same lines.
  EXPECT_EQ(SendMessageW(Combo->Handle(), CB_GETCOUNT, 0, 0), Combo->Items().Count());
  for (int i = 0; i < Combo->Items().Count(); ++i) {
    wchar_t text[64] = {};
    SendMessageW(Combo->Handle(), CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
    EXPECT_EQ(std::wstring(text), items[static_cast<size_t>(i)]);
  }
  return items;
}

std::wstring WindowText(TWinControl* Control) { return testwin::WindowText(Control->Handle()); }

testwin::FontFacts WindowFont(TWinControl* Control) { return testwin::WindowFont(Control->Handle()); }

TEST(PropertyDialogLayout, FormFrameSizePlaceAndControlTable) {
  design::ScopedLanguage english(LANG_ENGLISH);
  TVLumora lumora(nullptr);
  modal::Script script({design::OnPropertyDialog([](TLumoraEditor& form) {
    const HWND window = form.Handle();
    EXPECT_EQ(testwin::WindowText(window), L"Property Page");
    RECT client;
    GetClientRect(window, &client);
    EXPECT_EQ(client.right, 645);
    EXPECT_EQ(client.bottom, 372);
    // A dialog frame with only the system menu and its close box.
    const LONG_PTR style = GetWindowLongPtrW(window, GWL_STYLE);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_FALSE(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME));
    EXPECT_TRUE(GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_DLGMODALFRAME);
    // Centred on the screen.
    RECT frame;
    GetWindowRect(window, &frame);
    EXPECT_NEAR((frame.left + frame.right) / 2, GetSystemMetrics(SM_CXSCREEN) / 2, 1);
    EXPECT_NEAR((frame.top + frame.bottom) / 2, GetSystemMetrics(SM_CYSCREEN) / 2, 1);
    EXPECT_EQ(form.Color(), clBtnFace);
    EXPECT_EQ(form.Font().Name(), L"MS Sans Serif");
    EXPECT_EQ(form.Font().Height(), -11);
    EXPECT_EQ(form.Font().Charset(), ANSI_CHARSET);
    EXPECT_EQ(WindowFont(form.ComboAppearance).Charset, ANSI_CHARSET);
    // Neither button is the default or the cancel button.
    EXPECT_FALSE(form.ButtonOK->Default() || form.ButtonOK->Cancel());
    EXPECT_FALSE(form.ButtonCancel->Default() || form.ButtonCancel->Cancel());
    EXPECT_EQ(form.ButtonOK->ModalResult(), 1);
    EXPECT_EQ(form.ButtonCancel->ModalResult(), 2);

    // One of each kind of control, on both pages: the places the form gives them must be the
    // places their windows get (a drop-down list, say, sizes itself from its font).
    const Place places[] = {
        {"ButtonOK", form.ButtonOK, 424, 336, 81, 25},
        {"ButtonCancel", form.ButtonCancel, 520, 336, 81, 25},
        {"PageControl1", form.PageControl1, 8, 8, 625, 313},
        {"LabelAppearance", form.LabelAppearance, 8, 16, 0, 0},
        {"ComboAppearance", form.ComboAppearance, 152, 12, 129, 21},
        {"CheckBorder", form.CheckBorder, 8, 46, 121, 17},
        {"EditGridSpace", form.EditGridSpace, 152, 192, 81, 21},
        {"ComboMouseWheel", form.ComboMouseWheel, 152, 252, 129, 21},
        {"EditScrollHeight", form.EditScrollHeight, 440, 72, 73, 21},
        {"LabelP2", form.LabelP2, 520, 74, 0, 0},
        {"ComboHatchPattern", form.ComboHatchPattern, 440, 102, 129, 21},
        {"CheckMouseDragImage", form.CheckMouseDragImage, 312, 196, 177, 17},
        {"Shape1", form.Shape1, 144, 24, 33, 25},
        {"Shape8", form.Shape8, 144, 234, 33, 25},
        {"LabelToolTipColor", form.LabelToolTipColor, 208, 28, 0, 0},
        {"Shape9", form.Shape9, 336, 24, 33, 25},
    };
    for (const Place& place : places) {
      SCOPED_TRACE(place.Name);
      EXPECT_EQ(place.Control->Left(), place.Left);
      EXPECT_EQ(place.Control->Top(), place.Top);
      if (place.Width) {
        EXPECT_EQ(place.Control->Width(), place.Width);
        EXPECT_EQ(place.Control->Height(), place.Height);
      } else {
        EXPECT_GT(place.Control->Width(), 0);  // sized to its text
      }
    }
    // The pages and their parents.
    ASSERT_EQ(form.PageControl1->PageCount(), 2);
    EXPECT_EQ(form.PageControl1->Pages(0), form.TabSheet1);
    EXPECT_EQ(form.PageControl1->Pages(1), form.TabSheet2);
    EXPECT_EQ(form.TabSheet1->Caption(), L"Set");
    EXPECT_EQ(form.TabSheet2->Caption(), L"Color");
    EXPECT_EQ(form.ComboAppearance->Parent(), form.TabSheet1);
    EXPECT_EQ(form.Shape9->Parent(), form.TabSheet2);

    // Tab order: the buttons and the page control on the form, the 16 settings on "Set".
    EXPECT_EQ(form.ButtonOK->TabOrder(), 0);
    EXPECT_EQ(form.ButtonCancel->TabOrder(), 1);
    EXPECT_EQ(form.PageControl1->TabOrder(), 2);
    TWinControl* setOrder[] = {form.ComboAppearance, form.CheckBorder, form.CheckRect, form.ComboBlinkSpeed,
                               form.ComboGrad, form.ComboGrid, form.EditGridSpace, form.ComboToolTip,
                               form.ComboMouseWheel, form.CheckScrollBar, form.EditScrollWidth,
                               form.EditScrollHeight, form.ComboHatchPattern, form.CheckRefine1BitImage,
                               form.CheckSimpleControl, form.CheckMouseDragImage};
    for (int i = 0; i < 16; ++i) {
      EXPECT_EQ(setOrder[i]->TabOrder(), i) << i;
      EXPECT_TRUE(setOrder[i]->TabStop()) << i;
    }
    // Drop-down lists without free text.
    EXPECT_TRUE((GetWindowLongPtrW(form.ComboGrid->Handle(), GWL_STYLE) & 3) == CBS_DROPDOWNLIST);

    // The swatches point with the hand.
    form.PageControl1->SetActivePage(form.TabSheet2);
    for (TShape* swatch : {form.Shape1, form.Shape5, form.Shape9}) {
      EXPECT_EQ(swatch->Cursor(), crHandPoint);
      SendMessageW(swatch->Handle(), WM_SETCURSOR, reinterpret_cast<WPARAM>(swatch->Handle()), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
      EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_HAND));
    }
    // The colour dialog lives with the form.
    int colorDialogs = 0;
    for (int i = 0; i < form.ComponentCount(); ++i) colorDialogs += dynamic_cast<TColorDialog*>(form.Components(i)) != nullptr;
    EXPECT_EQ(colorDialogs, 1);
    design::Click(form.ButtonCancel);
  })});
  ShowDispEditor(&lumora);
  EXPECT_TRUE(script.Finished());
}

// Texts of the dialog in one language, and the values OK writes, which do not depend on it.
void CheckLanguage(bool Japanese) {
  TVLumora lumora(nullptr);
  design::PrepareComponent(lumora);
  modal::Script script({design::OnPropertyDialog([Japanese](TLumoraEditor& form) {
    const auto text = [Japanese](const wchar_t* English, const wchar_t* Japan) { return std::wstring(Japanese ? Japan : English); };
    EXPECT_EQ(testwin::WindowText(form.Handle()), text(L"Property Page", L"ﾌﾟﾛﾊﾟﾃｨ ﾍﾟｰｼﾞ"));
    EXPECT_EQ(form.Font().Name(), text(L"MS Sans Serif", L"ＭＳ Ｐゴシック"));
    EXPECT_EQ(form.Font().Charset(), Japanese ? SHIFTJIS_CHARSET : ANSI_CHARSET);
    if (Japanese) {
      EXPECT_EQ(form.Font().Size(), 9);
    }
    // Every control takes the form's font, down to the windows.
    EXPECT_EQ(form.CheckMouseDragImage->Font().Name(), form.Font().Name());
    EXPECT_EQ(WindowFont(form.ComboHatchPattern).Charset, Japanese ? SHIFTJIS_CHARSET : ANSI_CHARSET);
    EXPECT_EQ(WindowFont(form.LabelGrid).Name, form.Font().Name());

    EXPECT_EQ(form.TabSheet1->Caption(), text(L"Set", L"設定"));
    EXPECT_EQ(form.TabSheet2->Caption(), text(L"Color", L"色"));
    EXPECT_EQ(WindowText(form.LabelAppearance), text(L"Appearance", L"表示スタイル"));
    EXPECT_EQ(WindowText(form.CheckBorder), text(L"BorderVisible", L"境界の表示"));
    EXPECT_EQ(WindowText(form.CheckRect), text(L"RectDraw", L"矩形の設定"));
    EXPECT_EQ(WindowText(form.LabelBlinkSpeed), text(L"BlinkSpeed", L"矩形の点滅速度"));
    EXPECT_EQ(WindowText(form.LabelGrad), text(L"Grad", L"目盛の表示"));
    EXPECT_EQ(WindowText(form.LabelGrid), text(L"Grid", L"グリッドの表示"));
    EXPECT_EQ(WindowText(form.LabelGridSpace), text(L"GridSpace", L"グリッドの間隔"));
    EXPECT_EQ(WindowText(form.LabelToolTip), text(L"ToolTip", L"座標値の表示"));
    EXPECT_EQ(WindowText(form.LabelMouseWheel), text(L"MouseWheel", L"マウスホイール"));
    EXPECT_EQ(WindowText(form.CheckScrollBar), text(L"ScrollBar", L"スクロールバーの表示"));
    EXPECT_EQ(WindowText(form.LabelScrollWidth), text(L"ScrollWidth", L"横方向のスクロール幅"));
    EXPECT_EQ(WindowText(form.LabelScrollHeight), text(L"ScrollHeight", L"縦方向のスクロール幅"));
    EXPECT_EQ(WindowText(form.LabelHatchPattern), text(L"InvalidHatchPattern", L"無効領域のハッチ表示"));
    EXPECT_EQ(WindowText(form.CheckRefine1BitImage), text(L"Refine1BitImage", L"2値画像の高精彩表示"));
    EXPECT_EQ(WindowText(form.CheckSimpleControl), text(L"SimpleControl", L"シンプルコントロール"));
    EXPECT_EQ(WindowText(form.CheckMouseDragImage), text(L"MouseDragImage", L"マウスドラッグによる画像表示"));
    EXPECT_EQ(WindowText(form.ButtonCancel), text(L"Cancel", L"キャンセル"));
    // These stay English.
    EXPECT_EQ(WindowText(form.ButtonOK), L"OK");
    EXPECT_EQ(WindowText(form.LabelP1), L"Pixels");
    EXPECT_EQ(WindowText(form.LabelP2), L"Pixels");
    EXPECT_EQ(WindowText(form.LabelBorder), L"BorderColor");
    EXPECT_EQ(WindowText(form.LabelToolTipColor), L"ToolTipColor");

    if (Japanese) {
      EXPECT_THAT(Items(form.ComboAppearance), ElementsAre(L"ﾌﾗｯﾄ", L"凹", L"凸"));
      EXPECT_THAT(Items(form.ComboBlinkSpeed), ElementsAre(L"低速", L"中速", L"高速"));
      for (TComboBox* units : {form.ComboGrad, form.ComboGrid, form.ComboToolTip})
        EXPECT_THAT(Items(units), ElementsAre(L"なし", L"ピクセル", L"ミリメートル", L"インチ"));
      EXPECT_THAT(Items(form.ComboMouseWheel), ElementsAre(L"無効", L"スクロール(縦)", L"スクロール(横)"));
      EXPECT_THAT(Items(form.ComboHatchPattern), ElementsAre(L"なし", L"あり", L"透明"));
    } else {
      EXPECT_THAT(Items(form.ComboAppearance), ElementsAre(L"Flat", L"Lowered", L"Raised"));
      EXPECT_THAT(Items(form.ComboBlinkSpeed), ElementsAre(L"Slow", L"Medium", L"Fast"));
      for (TComboBox* units : {form.ComboGrad, form.ComboGrid, form.ComboToolTip})
        EXPECT_THAT(Items(units), ElementsAre(L"None", L"Pixel", L"mm", L"Inch"));
      EXPECT_THAT(Items(form.ComboMouseWheel), ElementsAre(L"Disable", L"Scroll (Vertical)", L"Scroll (Horizontal)"));
      EXPECT_THAT(Items(form.ComboHatchPattern), ElementsAre(L"None", L"Show", L"Transparent"));
    }
    // The loaded selections are the same indices in either language.
    EXPECT_EQ(form.ComboAppearance->ItemIndex(), 2);
    EXPECT_EQ(form.ComboGrid->ItemIndex(), 3);
    EXPECT_EQ(form.ComboMouseWheel->ItemIndex(), 2);
    design::Click(form.ButtonOK);
  })});
  ShowDispEditor(&lumora);
  ASSERT_TRUE(script.Finished());
  EXPECT_THAT(lumora.SetterLog(), testing::ElementsAreArray(design::PreparedSetterLog()));
  EXPECT_EQ(lumora.MouseWheel(), vlmWheelScrollHorizontal);
}

TEST(PropertyDialogLayout, JapaneseFontCaptionsAndItemsInPlaceWithTheSameValues) {
  design::ScopedLanguage japanese(LANG_JAPANESE);
  CheckLanguage(true);
}

// Run twice by ctest: as started, and with LC_ALL=ja_JP.UTF-8.
TEST(LocaleDialog, TextsFollowTheUserLocaleOfTheProcess) {
  const LANGID expected = design::ExpectedPrimaryLanguage();
  ASSERT_EQ(SysLocale.PriLangID, expected);
  CheckLanguage(expected == LANG_JAPANESE);
}

}  // namespace
