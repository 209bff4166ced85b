// The editor's Edit: the property dialog, then the designer's modified notice after OK and
// after Cancel; a conversion error passes through and the designer is not told. The editor
// holds the designer for the length of the dialog and lets it go in every case.

#include <gtest/gtest.h>

#include <windows.h>

#include <memory>

#include "design/LmDesigner.h"
#include "design/LumoraReg.h"
#include "designtime/DesignRig.h"
#include "designtime/DialogRig.h"
#include "framework/Conversions.h"

namespace {

class EditorEdit : public testing::Test {
protected:
  void SetUp() override {
    design::PrepareComponent(m_Lumora);
    m_Designer = new design::FakeDesigner;
    m_Editor = std::make_unique<TVLmUiEditor>(&m_Lumora, m_Designer);
    m_HeldOutside = m_Designer->References();  // the test's and the editor's own
  }
  void TearDown() override {
    m_Editor.reset();
    EXPECT_EQ(m_Designer->Release(), 0u);
  }

  // A dialog step that notes the designer's references while the dialog shows, then ends it.
  modal::Step EndDialog(bool Ok) {
    return design::OnPropertyDialog([this, Ok](TLumoraEditor& form) {
      m_HeldDuringDialog = m_Designer->References();
      EXPECT_EQ(m_Designer->ModifiedCalls, 0);  // not before the dialog is over
      design::Click(Ok ? form.ButtonOK : form.ButtonCancel);
    });
  }

  design::ScopedLanguage m_English{LANG_ENGLISH};
  TVLumora m_Lumora{nullptr};
  design::FakeDesigner* m_Designer = nullptr;
  std::unique_ptr<TVLmUiEditor> m_Editor;
  ULONG m_HeldOutside = 0;
  ULONG m_HeldDuringDialog = 0;
};

TEST_F(EditorEdit, OkWritesBackAndMarksTheFormModified) {
  modal::Script script({EndDialog(true)});
  m_Editor->Edit();  // what a double-click on the component runs
  ASSERT_TRUE(script.Finished());
  EXPECT_EQ(m_Lumora.SetterCalls(), 22);
  EXPECT_EQ(m_Designer->ModifiedCalls, 1);
  EXPECT_EQ(m_HeldDuringDialog, m_HeldOutside + 1);
  EXPECT_EQ(m_Designer->References(), m_HeldOutside);
}

TEST_F(EditorEdit, CancelThroughEntryFourStillMarksTheFormModified) {
  modal::Script script({EndDialog(false)});
  m_Editor->ExecuteVerb(4);
  ASSERT_TRUE(script.Finished());
  EXPECT_TRUE(m_Lumora.SetterLog().empty());
  EXPECT_EQ(m_Designer->ModifiedCalls, 1);
  EXPECT_EQ(m_Designer->References(), m_HeldOutside);
}

TEST_F(EditorEdit, AConversionErrorPassesThroughAndTheDesignerIsNotTold) {
  modal::Script script({design::OnPropertyDialog([this](TLumoraEditor& form) {
    m_HeldDuringDialog = m_Designer->References();
    form.EditScrollWidth->SetText(L"");
    design::Paste(form.EditScrollWidth, L"12a");
    design::Click(form.ButtonOK);
  })});
  EXPECT_THROW(m_Editor->Edit(), EConvertError);
  ASSERT_TRUE(script.Finished());
  EXPECT_TRUE(m_Lumora.SetterLog().empty());
  EXPECT_EQ(m_Designer->ModifiedCalls, 0);
  EXPECT_EQ(m_HeldDuringDialog, m_HeldOutside + 1);
  EXPECT_EQ(m_Designer->References(), m_HeldOutside);  // released on the way out
}

TEST_F(EditorEdit, WithoutADesignerTheDialogStillRuns) {
  TVLmUiEditor editor(&m_Lumora, nullptr);
  modal::Script script({design::OnPropertyDialog([](TLumoraEditor& form) { design::Click(form.ButtonOK); })});
  editor.Edit();
  EXPECT_TRUE(script.Finished());
  EXPECT_EQ(m_Lumora.SetterCalls(), 22);
}

TEST_F(EditorEdit, TheHostsDoubleClickEditorOpensTheDialog) {
  // As the designer does it: the editor registered for the component's class, then Edit.
  TDesignPackage package(L"DclLm10D25.dll");
  std::unique_ptr<TComponentEditor> editor = GetComponentEditor(&m_Lumora, m_Designer);
  modal::Script script({EndDialog(false)});
  editor->Edit();
  EXPECT_TRUE(script.Finished());
  EXPECT_EQ(m_Designer->ModifiedCalls, 1);
}

}  // namespace
