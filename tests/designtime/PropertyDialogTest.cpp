// The display-property dialog on real windows: what it loads, what OK writes back and in
// which order, what Cancel and the close box leave, the key filters of the number fields,
// the colour swatches with the system colour chooser, and a field that is no number.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "designtime/DesignRig.h"
#include "designtime/DialogRig.h"
#include "framework/Conversions.h"
#include "support/TestWindow.h"

namespace {

using ::testing::ElementsAreArray;

class PropertyDialog : public testing::Test {
protected:
  void SetUp() override { design::PrepareComponent(m_Lumora); }

  // Settings that only the log's absence can show unchanged: the plain stores and Color.
  void ExpectUnloggedSettingsKept() {
    EXPECT_EQ(m_Lumora.MouseWheel(), vlmWheelScrollHorizontal);
    EXPECT_FALSE(m_Lumora.MouseDragImage());
    EXPECT_EQ(m_Lumora.Color(), 0x00040506);
  }

  design::ScopedLanguage m_English{LANG_ENGLISH};
  TVLumora m_Lumora{nullptr};
};

TEST_F(PropertyDialog, LoadsTheSettingsIntoItsControls) {
  modal::Script script({design::OnPropertyDialog([](TLumoraEditor& form) {
    EXPECT_EQ(form.ComboAppearance->ItemIndex(), 2);
    EXPECT_FALSE(form.CheckBorder->Checked());
    EXPECT_TRUE(form.CheckRect->Checked());
    EXPECT_EQ(form.ComboBlinkSpeed->ItemIndex(), 2);
    EXPECT_EQ(form.ComboGrad->ItemIndex(), 2);
    EXPECT_EQ(form.ComboGrid->ItemIndex(), 3);
    EXPECT_EQ(form.EditGridSpace->Text(), L"12.5");
    EXPECT_EQ(form.ComboToolTip->ItemIndex(), 1);
    EXPECT_EQ(form.ComboMouseWheel->ItemIndex(), 2);
    EXPECT_FALSE(form.CheckScrollBar->Checked());
    EXPECT_EQ(form.EditScrollWidth->Text(), L"321");
    EXPECT_EQ(form.EditScrollHeight->Text(), L"4321");
    EXPECT_EQ(form.ComboHatchPattern->ItemIndex(), 2);
    EXPECT_TRUE(form.CheckRefine1BitImage->Checked());
    EXPECT_TRUE(form.CheckSimpleControl->Checked());
    EXPECT_FALSE(form.CheckMouseDragImage->Checked());
    const TColor colors[] = {0x00010203, 0x00040506, 0x00070809, 0x000A0B0C, 0x000D0E0F,
                             static_cast<TColor>(0x80000010), 0x00131415, 0x00161718, 0x00191A1B};
    TShape* swatches[] = {form.Shape1, form.Shape2, form.Shape3, form.Shape4, form.Shape5,
                          form.Shape6, form.Shape7, form.Shape8, form.Shape9};
    for (int i = 0; i < 9; ++i) EXPECT_EQ(swatches[i]->Brush().Color(), colors[i]) << "Shape" << i + 1;
    // The focus starts on the appearance list, on the "Set" page.
    EXPECT_EQ(GetFocus(), form.ComboAppearance->Handle());
    EXPECT_EQ(form.PageControl1->ActivePage(), form.TabSheet1);
    // A swatch shows its colour.
    form.PageControl1->SetActivePage(form.TabSheet2);
    EXPECT_EQ(testwin::ClientPixel(form.Shape1->Handle(), 10, 10), RGB(0x03, 0x02, 0x01));
    design::Click(form.ButtonCancel);
  })});
  ShowDispEditor(&m_Lumora);
  EXPECT_TRUE(script.Finished());
}

TEST_F(PropertyDialog, OkWithoutChangesWritesEverySettingOnceInOrder) {
  modal::Script script({design::OnPropertyDialog([](TLumoraEditor& form) { design::Click(form.ButtonOK); })});
  ShowDispEditor(&m_Lumora);
  ASSERT_TRUE(script.Finished());
  // 22 setters of the component in the settings' order, each with the value it had. Color
  // goes through the framework's setter, which shows nothing for an unchanged colour (its
  // place in the order shows in the swatch test); MouseWheel and MouseDragImage are stored
  // without a setter.
  EXPECT_THAT(m_Lumora.SetterLog(), ElementsAreArray(design::PreparedSetterLog()));
  ExpectUnloggedSettingsKept();
  EXPECT_EQ(design::ShownPropertyDialog(), nullptr);  // destroyed before ShowDispEditor returned
}

TEST_F(PropertyDialog, CancelAndTheCloseBoxWriteNothing) {
  // Edits of every kind first, so that writing anything would show.
  const auto edit = [](TLumoraEditor& form) {
    form.ComboAppearance->SetItemIndex(0);
    form.CheckBorder->SetChecked(true);
    form.ComboMouseWheel->SetItemIndex(0);
    form.CheckMouseDragImage->SetChecked(true);
    form.EditScrollWidth->SetText(L"");
    design::Type(form.EditScrollWidth, L"77");
    form.Shape2->Brush().SetColor(clRed);
  };
  {
    modal::Script script({design::OnPropertyDialog([&edit](TLumoraEditor& form) {
      edit(form);
      design::Click(form.ButtonCancel);
    })});
    ShowDispEditor(&m_Lumora);
    EXPECT_TRUE(script.Finished());
  }
  {
    modal::Script script({design::OnPropertyDialog([&edit](TLumoraEditor& form) {
      edit(form);
      design::CloseBox(&form);
    })});
    ShowDispEditor(&m_Lumora);
    EXPECT_TRUE(script.Finished());
  }
  EXPECT_TRUE(m_Lumora.SetterLog().empty());
  EXPECT_EQ(m_Lumora.Appearance(), vlmRaised);
  EXPECT_EQ(m_Lumora.ScrollWidth(), 321);
  ExpectUnloggedSettingsKept();
}

TEST_F(PropertyDialog, NumberFieldsTakeDigitsAndBackspaceOnly) {
  modal::Script script({design::OnPropertyDialog([](TLumoraEditor& form) {
    form.EditGridSpace->SetText(L"");
    // Decimal separators, signs, letters, a double-byte and a control character: swallowed.
    design::Type(form.EditGridSpace, L"1.,-+a\x3042\x01" L"5");
    EXPECT_EQ(form.EditGridSpace->Text(), L"15");
    design::Type(form.EditGridSpace, L"9\b");
    EXPECT_EQ(form.EditGridSpace->Text(), L"15");
    form.EditScrollWidth->SetText(L"");
    design::Type(form.EditScrollWidth, L"123456");  // six digits: written as 0
    form.EditScrollHeight->SetText(L"");
    design::Type(form.EditScrollHeight, L"5x4 3-21");  // five digits: written as typed
    EXPECT_EQ(form.EditScrollHeight->Text(), L"54321");
    design::Click(form.ButtonOK);
  })});
  ShowDispEditor(&m_Lumora);
  ASSERT_TRUE(script.Finished());
  EXPECT_EQ(m_Lumora.GridSpace(), 15.0);
  EXPECT_EQ(m_Lumora.ScrollWidth(), 0);
  EXPECT_EQ(m_Lumora.ScrollHeight(), 54321);
}

TEST_F(PropertyDialog, EmptyNumberFieldsWriteZero) {
  modal::Script script({design::OnPropertyDialog([](TLumoraEditor& form) {
    form.EditGridSpace->SetText(L"");
    form.EditScrollWidth->SetText(L"");
    form.EditScrollHeight->SetText(L"  ");
    design::Click(form.ButtonOK);
  })});
  ShowDispEditor(&m_Lumora);
  ASSERT_TRUE(script.Finished());
  EXPECT_EQ(m_Lumora.GridSpace(), 0.0);
  EXPECT_EQ(m_Lumora.ScrollWidth(), 0);
  EXPECT_EQ(m_Lumora.ScrollHeight(), 0);
  EXPECT_EQ(m_Lumora.SetterCalls(), 22);
}

TEST_F(PropertyDialog, EnterMovesTheFocusToTheNextTabStopAndInsertsNothing) {
  modal::Script script({design::OnPropertyDialog([](TLumoraEditor& form) {
    design::Type(form.EditScrollWidth, L"\r");
    EXPECT_EQ(GetFocus(), form.EditScrollHeight->Handle());
    SendMessageW(form.EditScrollHeight->Handle(), WM_CHAR, L'\r', 1);
    EXPECT_EQ(GetFocus(), form.ComboHatchPattern->Handle());
    design::Type(form.EditGridSpace, L"\r");
    EXPECT_EQ(GetFocus(), form.ComboToolTip->Handle());
    EXPECT_EQ(form.EditScrollWidth->Text(), L"321");
    EXPECT_EQ(form.EditScrollHeight->Text(), L"4321");
    EXPECT_EQ(form.EditGridSpace->Text(), L"12.5");
    design::Click(form.ButtonCancel);
  })});
  ShowDispEditor(&m_Lumora);
  EXPECT_TRUE(script.Finished());
}

// Keys pressed as the keyboard delivers them, through the dialog's own message loop.
void PressKey(TWinControl* Control, WORD Key) {
  const LPARAM scan = static_cast<LPARAM>(MapVirtualKeyW(Key, MAPVK_VK_TO_VSC)) << 16;
  PostMessageW(Control->Handle(), WM_KEYDOWN, Key, scan | 1);
  PostMessageW(Control->Handle(), WM_KEYUP, Key, scan | 0xC0000001);
}

TEST_F(PropertyDialog, EnterFromTheKeyboardMovesOnAndEscapeDoesNotCloseTheDialog) {
  modal::Script script({
      design::OnPropertyDialog([](TLumoraEditor& form) {
        form.EditScrollWidth->SetFocus();
        PressKey(form.EditScrollWidth, VK_RETURN);
      }),
      design::OnPropertyDialog([](TLumoraEditor& form) {
        EXPECT_EQ(GetFocus(), form.EditScrollHeight->Handle());
        // Neither button is the cancel or the default button: Escape and Enter on a list do
        // nothing to the dialog.
        form.ComboGrid->SetFocus();
        PressKey(form.ComboGrid, VK_ESCAPE);
        PressKey(form.ComboGrid, VK_RETURN);
      }),
      design::OnPropertyDialog([](TLumoraEditor& form) {
        EXPECT_EQ(form.ModalResult(), mrNone);
        design::Click(form.ButtonCancel);
      }),
  });
  ShowDispEditor(&m_Lumora);
  EXPECT_TRUE(script.Finished());
  EXPECT_EQ(script.Done(), 3);
  EXPECT_FALSE(script.TimedOut());
}

TEST_F(PropertyDialog, AFieldThatIsNoNumberWritesNothingAndRaises) {
  struct Case {
    const wchar_t* Name;
    std::function<void(TLumoraEditor&)> Spoil;
  };
  const Case cases[] = {
      {L"12a pasted into the scroll height", [](TLumoraEditor& form) {
         form.EditScrollHeight->SetText(L"");
         design::Paste(form.EditScrollHeight, L"12a");
       }},
      {L"a lone minus in the scroll width", [](TLumoraEditor& form) {
         form.EditScrollWidth->SetText(L"-");
       }},
      {L"a lone minus in the grid space", [](TLumoraEditor& form) { form.EditGridSpace->SetText(L"-"); }},
      {L"a comma pasted into the grid space", [](TLumoraEditor& form) {
         form.EditGridSpace->SetText(L"");
         design::Paste(form.EditGridSpace, L"1,5");
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(fakes::Narrow(c.Name));
    modal::Script script({design::OnPropertyDialog([&c](TLumoraEditor& form) {
      c.Spoil(form);
      design::Click(form.ButtonOK);
    })});
    EXPECT_THROW(ShowDispEditor(&m_Lumora), EConvertError);
    EXPECT_TRUE(script.Finished());
    // Nothing was written, not even the settings before the bad field.
    EXPECT_TRUE(m_Lumora.SetterLog().empty());
    EXPECT_EQ(m_Lumora.Appearance(), vlmRaised);
    EXPECT_EQ(m_Lumora.GridSpace(), 12.5);
    ExpectUnloggedSettingsKept();
    EXPECT_EQ(design::ShownPropertyDialog(), nullptr);
  }
}

TEST_F(PropertyDialog, SwatchesOpenTheColourChooserWithAnyMouseButton) {
  std::vector<HWND> owners;
  HWND formWindow = nullptr;
  modal::Script script({
      design::OnPropertyDialog([&formWindow](TLumoraEditor& form) {
        formWindow = form.Handle();
        form.PageControl1->SetActivePage(form.TabSheet2);
        design::MouseDownOn(form.Shape2, WM_RBUTTONDOWN);
      }),
      design::OnColorChooser([&owners](HWND chooser) {
        owners.push_back(GetWindow(chooser, GW_OWNER));
        modal::PickFirstBasicColor(chooser);
        modal::PressOk(chooser);
      }),
      design::OnPropertyDialog([this](TLumoraEditor& form) {
        EXPECT_EQ(form.Shape2->Brush().Color(), static_cast<TColor>(modal::kFirstBasicColor));
        EXPECT_EQ(testwin::ClientPixel(form.Shape2->Handle(), 10, 10), modal::kFirstBasicColor);
        // Nothing reaches the component before OK.
        EXPECT_EQ(m_Lumora.Color(), 0x00040506);
        EXPECT_TRUE(m_Lumora.SetterLog().empty());
        design::MouseDownOn(form.Shape9, WM_LBUTTONDOWN);
      }),
      design::OnColorChooser([&owners](HWND chooser) {
        owners.push_back(GetWindow(chooser, GW_OWNER));
        modal::PickFirstBasicColor(chooser);  // picked, then cancelled
        modal::PressCancel(chooser);
      }),
      design::OnPropertyDialog([](TLumoraEditor& form) {
        EXPECT_EQ(form.Shape9->Brush().Color(), 0x00191A1B);
        design::MouseDownOn(form.Shape5, WM_MBUTTONDOWN);
      }),
      design::OnColorChooser([](HWND chooser) { modal::PressCancel(chooser); }),
      design::OnPropertyDialog([](TLumoraEditor& form) {
        EXPECT_EQ(form.Shape5->Brush().Color(), 0x000D0E0F);
        design::Click(form.ButtonOK);
      }),
  });
  ShowDispEditor(&m_Lumora);
  ASSERT_TRUE(script.Finished()) << "steps done: " << script.Done();
  // The chooser is modal over the property dialog.
  EXPECT_EQ(owners, (std::vector<HWND>{formWindow, formWindow}));
  // The new colour reaches the component through the framework's Color setter, in its place
  // between the border colour and the gradation background.
  std::vector<std::wstring> expected = design::PreparedSetterLog();
  expected.insert(expected.begin() + 15, L"Color(0x008080FF)");
  EXPECT_THAT(m_Lumora.SetterLog(), ElementsAreArray(expected));
  EXPECT_EQ(m_Lumora.Color(), static_cast<TColor>(modal::kFirstBasicColor));
}

TEST_F(PropertyDialog, LeavesNoWindowsOrGdiObjectsBehind) {
  const auto run = [this] {
    modal::Script script({
        design::OnPropertyDialog([](TLumoraEditor& form) {
          form.PageControl1->SetActivePage(form.TabSheet2);
          design::MouseDownOn(form.Shape4, WM_LBUTTONDOWN);
        }),
        design::OnColorChooser([](HWND chooser) {
          modal::PickFirstBasicColor(chooser);
          modal::PressOk(chooser);
        }),
        design::OnPropertyDialog([](TLumoraEditor& form) { design::Click(form.ButtonOK); }),
    });
    ShowDispEditor(&m_Lumora);
    EXPECT_TRUE(script.Finished());
  };
  run();  // the first run loads what the system keeps for later (classes, fonts, the chooser)
  const DWORD gdi = testwin::GdiObjects();
  const DWORD user = testwin::UserObjects();
  run();
  testwin::PumpMessages(100);
  EXPECT_LE(testwin::GdiObjects(), gdi);
  EXPECT_LE(testwin::UserObjects(), user);
}

}  // namespace
