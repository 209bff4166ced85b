#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// The version block of a DLL beside the test program.
std::vector<BYTE> VersionBlock(const wchar_t* file) {
  DWORD handle = 0;
  const DWORD size = GetFileVersionInfoSizeW(file, &handle);
  std::vector<BYTE> block(size);
  if (size == 0 || !GetFileVersionInfoW(file, 0, size, block.data())) block.clear();
  return block;
}

std::wstring StringValue(std::vector<BYTE>& block, const wchar_t* path) {
  wchar_t* value = nullptr;
  UINT length = 0;
  if (!VerQueryValueW(block.data(), path, reinterpret_cast<void**>(&value), &length) || !value) return L"<missing>";
  return value;
}

}  // namespace

TEST(VersionResource, CameraLibraryCarriesItsVersion) {
  std::vector<BYTE> block = VersionBlock(L"Lumo10WebCamD25.dll");
  ASSERT_FALSE(block.empty());

  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
  EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
  EXPECT_EQ(fixed->dwFileVersionLS, 0x00000001u);
  EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000u);
  EXPECT_EQ(fixed->dwProductVersionLS, 0x00000001u);

  struct Translation {
    WORD Language;
    WORD CodePage;
  }* translations = nullptr;
  ASSERT_TRUE(VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translations), &length));
  ASSERT_EQ(length, sizeof(Translation));  // exactly one translation
  EXPECT_EQ(translations[0].Language, 0x0409);
  EXPECT_EQ(translations[0].CodePage, 0x04E4);

  EXPECT_EQ(StringValue(block, L"\\StringFileInfo\\040904E4\\FileVersion"), L"1.0.0.1");
  EXPECT_EQ(StringValue(block, L"\\StringFileInfo\\040904E4\\ProductVersion"), L"1.0.0.1");
  EXPECT_EQ(StringValue(block, L"\\StringFileInfo\\040904E4\\FileDescription"), L"Lumora10 WebCamera Components");
}
