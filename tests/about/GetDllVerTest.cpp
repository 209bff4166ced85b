// GetDllVer against the camera library itself and small DLLs built for it: a missing version
// resource, a missing translation table, a missing FileVersion entry, two translations, a
// name no module answers to, a path too long for its buffer; and the module's load count.

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "webcam/LmWebCamAbout.h"

namespace {

// The folder of the test program, where the build puts every DLL.
std::wstring ProgramFolder() {
  wchar_t path[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder(path, length);
  return folder.substr(0, folder.find_last_of(L'\\') + 1);
}

bool Loaded(const wchar_t* Name) { return GetModuleHandleW(Name) != nullptr; }

class GetDllVerTest : public ::testing::Test {
protected:
  TLmWebCameraAboutForm m_Form{nullptr};  // no window: GetDllVer needs none
};

TEST_F(GetDllVerTest, TheCameraLibraryReadsItsOwnVersions) {
  EXPECT_EQ(m_Form.GetDllVer(L"Lumo10WebCamD25.dll", false), L"1.0.0.1");
  EXPECT_EQ(m_Form.GetDllVer(L"Lumo10WebCamD25.dll", true), L"1.0.0.1");
  EXPECT_TRUE(Loaded(L"Lumo10WebCamD25.dll")) << "still loaded by the test program";
}

TEST_F(GetDllVerTest, EveryFailureGivesTheEmptyStringAndReleasesTheModuleItLoaded) {
  for (const wchar_t* name : {L"LmVerNone.dll", L"LmVerNoTranslation.dll"}) {
    SCOPED_TRACE(testing::Message() << name);
    ASSERT_FALSE(Loaded(name));
    EXPECT_EQ(m_Form.GetDllVer(name, false), L"");
    EXPECT_EQ(m_Form.GetDllVer(name, true), L"");
    EXPECT_FALSE(Loaded(name)) << "the module was not released";
  }
  // ProductVersion without FileVersion: one answer, one empty string.
  EXPECT_EQ(m_Form.GetDllVer(L"LmVerProductOnly.dll", false), L"2.3.4.5");
  EXPECT_EQ(m_Form.GetDllVer(L"LmVerProductOnly.dll", true), L"");
  EXPECT_FALSE(Loaded(L"LmVerProductOnly.dll"));
  EXPECT_EQ(m_Form.GetDllVer(L"LmNoSuchModule.dll", false), L"");
  EXPECT_EQ(m_Form.GetDllVer(L"LmNoSuchModule.dll", true), L"");
}

TEST_F(GetDllVerTest, AModuleLoadedBeforeKeepsExactlyItsOwnReference) {
  HMODULE module = LoadLibraryW(L"LmVerNoTranslation.dll");
  ASSERT_NE(module, nullptr);
  EXPECT_EQ(m_Form.GetDllVer(L"LmVerNoTranslation.dll", true), L"");
  EXPECT_EQ(m_Form.GetDllVer(L"LmVerNoTranslation.dll", false), L"");
  EXPECT_TRUE(Loaded(L"LmVerNoTranslation.dll")) << "released once too often";
  FreeLibrary(module);
  EXPECT_FALSE(Loaded(L"LmVerNoTranslation.dll")) << "a reference was kept";

  module = LoadLibraryW(L"LmVerProductOnly.dll");
  ASSERT_NE(module, nullptr);
  EXPECT_EQ(m_Form.GetDllVer(L"LmVerProductOnly.dll", false), L"2.3.4.5");
  EXPECT_EQ(m_Form.GetDllVer(L"LmVerProductOnly.dll", true), L"");
  EXPECT_TRUE(Loaded(L"LmVerProductOnly.dll"));
  FreeLibrary(module);
  EXPECT_FALSE(Loaded(L"LmVerProductOnly.dll"));
}

TEST_F(GetDllVerTest, TheFirstTranslationNamesTheStringTableLanguageFirst) {
  EXPECT_EQ(m_Form.GetDllVer(L"LmVerTwoLanguages.dll", true), L"4.1.1.3");
  EXPECT_EQ(m_Form.GetDllVer(L"LmVerTwoLanguages.dll", false), L"4.1.1.4");
  EXPECT_FALSE(Loaded(L"LmVerTwoLanguages.dll"));
}

TEST_F(GetDllVerTest, APathLongerThanItsBufferGivesTheEmptyString) {
  // A copy of a DLL whose full path is 258 characters: loadable, but longer than the 255
  // characters the module path buffer holds.
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  std::wstring folder = std::wstring(temp) + L"lm-long-";
  const std::wstring file = L"LmVerProductOnly.dll";
  folder.append(258 - folder.size() - 1 - file.size(), L'x');
  folder += L'\\';
  const std::wstring path = folder + file;
  ASSERT_EQ(path.size(), 258u);
  ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
  ASSERT_TRUE(CopyFileW((ProgramFolder() + file).c_str(), path.c_str(), FALSE));

  EXPECT_EQ(m_Form.GetDllVer(path, false), L"");
  EXPECT_EQ(GetModuleHandleW(path.c_str()), nullptr);

  // The same file at a short path answers.
  const std::wstring shortPath = std::wstring(temp) + L"lm-short-" + file;
  ASSERT_TRUE(CopyFileW((ProgramFolder() + file).c_str(), shortPath.c_str(), FALSE));
  EXPECT_EQ(m_Form.GetDllVer(shortPath, false), L"2.3.4.5");
  EXPECT_EQ(GetModuleHandleW(shortPath.c_str()), nullptr);
  EXPECT_TRUE(DeleteFileW(shortPath.c_str()));
  EXPECT_TRUE(DeleteFileW(path.c_str()));
  RemoveDirectoryW(folder.c_str());
}

}  // namespace
