// The component editor's context menu: five entries in both languages, and what each runs.

#include <gtest/gtest.h>

#include <windows.h>

#include <climits>
#include <iterator>
#include <vector>
#include <memory>
#include <string>

#include "design/LumoraReg.h"
#include "display/Lumora.h"
#include "designtime/DesignRig.h"
#include "support/ModalSteps.h"
#include "support/TestWindow.h"

namespace {

// An editor whose Edit only counts, to see ExecuteVerb reach it through the virtual slot.
class CountingEditor : public TVLmUiEditor {
public:
  using TVLmUiEditor::TVLmUiEditor;
  void Edit() override { ++Edits; }
  int Edits = 0;
};

// A step that dismisses the image library's about box.
modal::Step DismissAbout() {
  return {[] { return modal::FindThreadWindow(kLumoraAboutCaption); }, &modal::PressOk};
}

class EditorVerbs : public testing::Test {
protected:
  TVLumora m_Lumora{nullptr};
};

TEST_F(EditorVerbs, FiveEntriesWithASeparatorAndEnglishCaptions) {
  design::ScopedLanguage english(LANG_ENGLISH);
  TVLmUiEditor editor(&m_Lumora, nullptr);
  ASSERT_EQ(editor.GetVerbCount(), 5);
  EXPECT_EQ(editor.GetVerb(0), L"Lumora10 VCL Lumora Component");
  // The maker's line names the maker as the camera library's version box does.
  EXPECT_EQ(editor.GetVerb(1), L"Copyright (C) 2026 Lumora Project");
  EXPECT_EQ(editor.GetVerb(2), L"-");
  EXPECT_EQ(editor.GetVerb(3), L"Version Information...");
  EXPECT_EQ(editor.GetVerb(4), L"Edit...");
  // Other indices are the base class's: no caption.
  for (const int32_t index : {5, -1, INT_MIN, INT_MAX}) EXPECT_EQ(editor.GetVerb(index), L"") << index;
}

TEST_F(EditorVerbs, JapaneseCaptionsForEntriesThreeAndFourAskedEachTime) {
  TVLmUiEditor editor(&m_Lumora, nullptr);
  std::wstring english[5];
  {
    design::ScopedLanguage language(LANG_ENGLISH);
    for (int i = 0; i < 5; ++i) english[i] = editor.GetVerb(i);
  }
  // The same editor object answers in Japanese once the locale record says so.
  design::ScopedLanguage japanese(LANG_JAPANESE);
  EXPECT_EQ(editor.GetVerb(0), english[0]);
  EXPECT_EQ(editor.GetVerb(1), english[1]);
  EXPECT_EQ(editor.GetVerb(2), L"-");
  EXPECT_EQ(editor.GetVerb(3), L"バージョン情報...");
  EXPECT_EQ(editor.GetVerb(4), L"編集...");
  EXPECT_EQ(editor.GetVerbCount(), 5);
}

TEST_F(EditorVerbs, EntriesZeroToThreeShowTheImageLibrarysAboutBox) {
  TVLmUiEditor editor(&m_Lumora, nullptr);
  for (int32_t index = 0; index <= 3; ++index) {
    modal::Script script({DismissAbout()});
    editor.ExecuteVerb(index);  // returns once the about box is closed
    EXPECT_TRUE(script.Finished()) << "entry " << index;
  }
}

TEST_F(EditorVerbs, EntryFourRunsEditThroughItsVirtualSlot) {
  CountingEditor editor(&m_Lumora, nullptr);
  modal::Script script({DismissAbout()});
  editor.ExecuteVerb(4);
  EXPECT_EQ(editor.Edits, 1);
  EXPECT_EQ(script.Done(), 0);
}

TEST_F(EditorVerbs, OtherIndicesIncludingNegativeOnesGoToTheBaseClass) {
  auto* designer = new design::FakeDesigner;
  CountingEditor editor(&m_Lumora, designer);
  // Compared as signed numbers, the negative ones would count as "at most 3" and open the
  // about box; the script would close each and count it.
  const int32_t indices[] = {5, 6, -1, -4, INT_MIN, INT_MAX};
  modal::Script script(std::vector<modal::Step>(std::size(indices), DismissAbout()));
  for (const int32_t index : indices) editor.ExecuteVerb(index);
  testwin::PumpMessages(100);
  EXPECT_EQ(script.Done(), 0);
  EXPECT_EQ(editor.Edits, 0);
  EXPECT_EQ(designer->ModifiedCalls, 0);
  designer->Release();
}

// Run twice by ctest: as started, and with LC_ALL=ja_JP.UTF-8, where the real user locale
// and so the locale record are Japanese.
TEST(LocaleEditor, CaptionsFollowTheUserLocaleOfTheProcess) {
  const LANGID expected = design::ExpectedPrimaryLanguage();
  ASSERT_EQ(SysLocale.PriLangID, expected);
  TVLumora lumora(nullptr);
  TVLmUiEditor editor(&lumora, nullptr);
  const bool japanese = expected == LANG_JAPANESE;
  EXPECT_EQ(editor.GetVerb(0), L"Lumora10 VCL Lumora Component");
  EXPECT_EQ(editor.GetVerb(3), japanese ? L"バージョン情報..." : L"Version Information...");
  EXPECT_EQ(editor.GetVerb(4), japanese ? L"編集..." : L"Edit...");
}

}  // namespace
