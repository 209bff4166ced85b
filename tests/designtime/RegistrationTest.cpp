// The design-time library loaded as the designer loads it: what Register puts on the palette,
// which editor a component gets, the palette icons and the version resource.

#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "design/LmDesigner.h"
#include "design/LumoraReg.h"
#include "display/Lumora.h"
#include "designtime/DesignRig.h"

namespace {

constexpr LANGID kJapanese = MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT);

// A component of a class derived from TVLumora, which gets TVLumora's editor.
class TDerivedLumora : public TVLumora {
public:
  using TVLumora::TVLumora;
};

BOOL CALLBACK CollectLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD Language, LONG_PTR Param) {
  reinterpret_cast<std::vector<WORD>*>(Param)->push_back(Language);
  return TRUE;
}

TEST(DesignRegistration, RegisterPutsTVLumoraOnTheLumoraPageWithItsEditor) {
  ASSERT_TRUE(PaletteEntries().empty());
  {
    TDesignPackage package(L"DclLm10D25.dll");
    const std::vector<TPaletteEntry> palette = PaletteEntries();
    ASSERT_EQ(palette.size(), 1u);  // TVLumora is the only class registered
    EXPECT_EQ(palette[0].Page, L"Lumora");
    EXPECT_EQ(palette[0].ComponentClass.ClassName, L"TVLumora");
    EXPECT_EQ(palette[0].Package, package.Module());

    // The palette's class makes a TVLumora for a form, and recognises it and its descendants.
    TComponent form(nullptr);
    TComponent* made = palette[0].ComponentClass.Create(&form);
    EXPECT_NE(dynamic_cast<TVLumora*>(made), nullptr);
    EXPECT_EQ(made->Owner(), &form);
    TDerivedLumora derived(nullptr);
    TComponent plain(nullptr);
    EXPECT_TRUE(palette[0].ComponentClass.IsInstance(&derived));
    EXPECT_FALSE(palette[0].ComponentClass.IsInstance(&plain));

    const std::vector<TEditorEntry> editors = EditorEntries();
    ASSERT_EQ(editors.size(), 1u);
    EXPECT_EQ(editors[0].ComponentClass.ClassName, L"TVLumora");
    EXPECT_EQ(editors[0].EditorClass.ClassName, L"TVLmUiEditor");

    // The designer finds the editor for TVLumora and its descendants, and the plain base
    // editor (no verbs) for any other component.
    auto* designer = new design::FakeDesigner;
    for (TComponent* component : {made, static_cast<TComponent*>(&derived)}) {
      std::unique_ptr<TComponentEditor> editor = GetComponentEditor(component, designer);
      EXPECT_NE(dynamic_cast<TVLmUiEditor*>(editor.get()), nullptr);
      EXPECT_EQ(editor->Component(), component);
      EXPECT_EQ(editor->GetDesigner().Get(), designer);
      EXPECT_EQ(editor->GetVerbCount(), 5);
    }
    std::unique_ptr<TComponentEditor> other = GetComponentEditor(&plain, designer);
    EXPECT_EQ(dynamic_cast<TVLmUiEditor*>(other.get()), nullptr);
    EXPECT_EQ(other->GetVerbCount(), 0);
    other.reset();
    EXPECT_EQ(designer->Release(), 0u);  // the editors released their references
  }
  // Unloading the library drops what it registered.
  EXPECT_TRUE(PaletteEntries().empty());
  EXPECT_TRUE(EditorEntries().empty());
}

TEST(DesignRegistration, ALibraryThatCannotBeLoadedOrHasNoRegisterIsRefused) {
  EXPECT_THROW(TDesignPackage(L"NoSuchDesignLibrary.dll"), EFrameworkError);
  EXPECT_THROW(TDesignPackage(L"Lumo10D25.dll"), EFrameworkError);  // exports no Register
  EXPECT_TRUE(PaletteEntries().empty());
  EXPECT_TRUE(EditorEntries().empty());
}

TEST(DesignRegistration, PaletteIconsAre16ColourBitmapsUnderTheJapaneseLanguage) {
  TDesignPackage package(L"DclLm10D25.dll");
  const struct {
    const wchar_t* Name;
    LONG Size;
  } icons[] = {{L"TVLUMORA", 24}, {L"TVLUMORA16", 16}, {L"TVLUMORA32", 32}};
  for (const auto& icon : icons) {
    SCOPED_TRACE(testing::Message() << "icon " << fakes::Narrow(icon.Name));
    const HRSRC found = FindResourceExW(package.Module(), RT_BITMAP, icon.Name, kJapanese);
    ASSERT_NE(found, nullptr);
    const auto* header = static_cast<const BITMAPINFOHEADER*>(LockResource(LoadResource(package.Module(), found)));
    ASSERT_NE(header, nullptr);
    ASSERT_GE(SizeofResource(package.Module(), found), sizeof(BITMAPINFOHEADER));
    EXPECT_EQ(header->biSize, 40u);
    EXPECT_EQ(header->biWidth, icon.Size);
    EXPECT_EQ(header->biHeight, icon.Size);
    EXPECT_EQ(header->biPlanes, 1);
    EXPECT_EQ(header->biBitCount, 4);
    EXPECT_EQ(header->biCompression, static_cast<DWORD>(BI_RGB));
    // Header, 16 palette entries and rows padded to four bytes.
    const DWORD rowBytes = ((static_cast<DWORD>(icon.Size) * 4 + 31) / 32) * 4;
    EXPECT_EQ(SizeofResource(package.Module(), found), 40u + 16u * 4u + rowBytes * static_cast<DWORD>(icon.Size));

    std::vector<WORD> languages;
    EnumResourceLanguagesW(package.Module(), RT_BITMAP, icon.Name, &CollectLanguage, reinterpret_cast<LONG_PTR>(&languages));
    EXPECT_EQ(languages, std::vector<WORD>{1041});
  }
}

TEST(DesignRegistration, LibraryCarriesItsVersionAndDescription) {
  DWORD handle = 0;
  const DWORD size = GetFileVersionInfoSizeW(L"DclLm10D25.dll", &handle);
  ASSERT_GT(size, 0u);
  std::vector<BYTE> block(size);
  ASSERT_TRUE(GetFileVersionInfoW(L"DclLm10D25.dll", 0, size, block.data()));
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
  EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
  EXPECT_EQ(fixed->dwFileVersionLS, 0x00000001u);
  wchar_t* description = nullptr;
  ASSERT_TRUE(VerQueryValueW(block.data(), L"\\StringFileInfo\\040904E4\\FileDescription",
                             reinterpret_cast<void**>(&description), &length));
  EXPECT_STREQ(description, L"Lumora10 Lumora Component");
}

}  // namespace
