// The version-information box on real windows, driven from inside its modal loop: form,
// controls, fonts and texts in the locale the process runs in (English, or Japanese when the
// program runs a second time under LC_ALL=ja_JP.UTF-8), the versions read from the library,
// OK, the components' About, and the web address handed to the shell.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "framework/SysLocale.h"
#include "support/ModalScript.h"
#include "support/TestWindow.h"
#include "webcam/LmPlay.h"
#include "webcam/LmPreview.h"
#include "webcam/LmRecord.h"
#include "webcam/LmWebCamAbout.h"

namespace {

using testwin::ModalScript;

constexpr wchar_t kEnglishAddress[] = L"https://example.com/lm/";
constexpr wchar_t kJapaneseAddress[] = L"https://example.com/lm/ja/";
constexpr wchar_t kJapaneseFont[] = L"\uFF2D\uFF33 \uFF30\u30B4\u30B7\u30C3\u30AF";

// The run under LC_ALL=ja_JP.UTF-8 says so through LM_EXPECT_PRIMARY_LANGUAGE=17; the
// locale record must agree, or the run proves nothing.
bool JapaneseRun() {
  const char* expected = std::getenv("LM_EXPECT_PRIMARY_LANGUAGE");
  return expected && std::atoi(expected) == LANG_JAPANESE;
}

bool SameRect(const RECT& A, const RECT& B) {
  return A.left == B.left && A.top == B.top && A.right == B.right && A.bottom == B.bottom;
}

// The box on the screen right now, through its window.
TLmWebCameraAboutForm* ShownBox() {
  for (HWND window : testwin::VisibleFormWindows())
    if (auto* box = dynamic_cast<TLmWebCameraAboutForm*>(TWinControl::FindControl(window))) return box;
  return nullptr;
}

struct ControlFacts {
  HWND Window;
  HWND Parent;
  RECT Rect;
  std::wstring Text;
  testwin::FontFacts Font;
};

ControlFacts Facts(TWinControl* Control) {
  HWND window = Control->Handle();
  return {window, GetParent(window), testwin::RectInParent(window), testwin::WindowText(window),
          testwin::WindowFont(window)};
}

class AboutBoxTest : public ::testing::Test {
protected:
  // The system makes some GDI objects of its own the first time a dialog like this shows;
  // one showing first keeps them out of the leak counts.
  static void SetUpTestSuite() {
    ModalScript script({[] {
      if (TLmWebCameraAboutForm* box = ShownBox()) box->ButtonOKClick(box->ButtonOK);
    }});
    LmShowWebCameraAbout();
  }

  void SetUp() override {
    ASSERT_EQ(SysLocale.PriLangID, JapaneseRun() ? LANG_JAPANESE : LANG_ENGLISH);
  }
};

TEST_F(AboutBoxTest, ShowsTheVersionBoxWithItsLayoutTextsAndFontsAndOkDestroysIt) {
  const bool japanese = JapaneseRun();
  HWND dialog = nullptr;
  bool inspected = false;

  ModalScript script({[&] {
                        TLmWebCameraAboutForm* box = ShownBox();
                        ASSERT_NE(box, nullptr) << "no box on the screen";
                        dialog = box->Handle();
                        EXPECT_EQ(testwin::VisibleFormWindows().size(), 1u);

                        // The form: caption, dialog frame without icons, client area, centred.
                        EXPECT_EQ(testwin::WindowText(dialog), japanese ? L"バージョン情報" : L"Version Information");
                        const LONG_PTR style = GetWindowLongPtrW(dialog, GWL_STYLE);
                        EXPECT_EQ(style & WS_CAPTION, WS_CAPTION);
                        EXPECT_FALSE(style & (WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX));
                        EXPECT_TRUE(GetWindowLongPtrW(dialog, GWL_EXSTYLE) & WS_EX_DLGMODALFRAME);
                        RECT client;
                        GetClientRect(dialog, &client);
                        EXPECT_TRUE(SameRect(client, RECT{0, 0, 440, 224}));
                        RECT outer;
                        GetWindowRect(dialog, &outer);
                        EXPECT_NEAR(outer.left, GetSystemMetrics(SM_CXSCREEN) - outer.right, 1);
                        EXPECT_NEAR(outer.top, GetSystemMetrics(SM_CYSCREEN) - outer.bottom, 1);
                        EXPECT_EQ(box->Color(), clBtnFace);
                        EXPECT_FALSE(box->Scaled());

                        // The form's font, in the process's language.
                        const testwin::FontFacts formFont = testwin::WindowFont(dialog);
                        const std::wstring fontName = japanese ? kJapaneseFont : L"MS Sans Serif";
                        const LONG fontHeight = japanese ? -12 : -11;
                        const BYTE charset = japanese ? SHIFTJIS_CHARSET : ANSI_CHARSET;
                        EXPECT_EQ(formFont.Name, fontName);
                        EXPECT_EQ(formFont.Height, fontHeight);
                        EXPECT_EQ(formFont.Charset, charset);
                        EXPECT_EQ(box->Font().Size(), japanese ? 9 : 8);
                        EXPECT_EQ(box->Font().Color(), clWindowText);
                        EXPECT_TRUE(box->Font().Style().Empty());

                        // Every control: its window, parent, position, text and font.
                        HWND group = box->GroupBox1->Handle();
                        struct Row {
                          TWinControl* Control;
                          HWND Parent;
                          RECT Rect;
                          std::wstring Text;
                        };
                        const std::vector<Row> rows{
                            {box->LabelProduct, dialog, {40, 8, 240, 21}, L"Lumora10 VCL WebCamera Components"},
                            {box->LabelCopy, dialog, {40, 32, 230, 45}, L"Copyright (C) 2026 Lumora Project"},
                            {box->ButtonOK, dialog, {328, 8, 417, 41}, L"OK"},
                            {box->GroupBox1, dialog, {16, 104, 289, 209}, japanese ? L"バージョン" : L"Version"},
                            {box->LabelProductVer, group, {16, 20, 91, 33}, japanese ? L"製品バージョン" : L"Product Version"},
                            {box->PanelProductVer, group, {148, 18, 245, 38}, L"1.0.0.1"},
                            {box->LabelFileVer, group, {16, 48, 70, 61}, japanese ? L"ファイルバージョン" : L"File Version"},
                            {box->PanelPackVer, group, {148, 46, 245, 66}, L"1.0.0.1"},
                            {box->LabelURL, dialog, {72, 64, 197, 77}, japanese ? kJapaneseAddress : kEnglishAddress},
                        };
                        for (const Row& row : rows) {
                          const ControlFacts facts = Facts(row.Control);
                          SCOPED_TRACE(testing::Message() << "control " << row.Text);
                          EXPECT_EQ(facts.Parent, row.Parent);
                          EXPECT_TRUE(SameRect(facts.Rect, row.Rect))
                              << facts.Rect.left << "," << facts.Rect.top << "," << facts.Rect.right << "," << facts.Rect.bottom;
                          EXPECT_EQ(facts.Text, row.Text);
                          if (row.Control != box->LabelURL && row.Control != box->PanelProductVer &&
                              row.Control != box->PanelPackVer) {
                            EXPECT_EQ(facts.Font.Name, fontName) << "the form's font reaches it";
                            EXPECT_EQ(facts.Font.Height, fontHeight);
                            EXPECT_EQ(facts.Font.Charset, charset);
                          }
                        }
                        EXPECT_EQ(box->PanelProductVer->Font().Name(), fontName);
                        EXPECT_EQ(box->PanelProductVer->BevelOuter(), bvLowered);
                        EXPECT_EQ(box->PanelPackVer->BevelOuter(), bvLowered);

                        // The library's file name, without directory, in a label as wide as it.
                        const ControlFacts pack = Facts(box->LabelPack);
                        EXPECT_EQ(pack.Parent, group);
                        EXPECT_EQ(pack.Text, L"Lumo10WebCamD25.dll");
                        EXPECT_EQ(pack.Font.Name, fontName);
                        HDC dc = GetDC(pack.Window);
                        HGDIOBJ previous = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(pack.Window, WM_GETFONT, 0, 0)));
                        SIZE extent{};
                        GetTextExtentPoint32W(dc, pack.Text.c_str(), static_cast<int>(pack.Text.size()), &extent);
                        SelectObject(dc, previous);
                        ReleaseDC(pack.Window, dc);
                        EXPECT_TRUE(SameRect(pack.Rect, RECT{16, 76, 16 + extent.cx, 76 + extent.cy}));

                        // The address keeps its own font: blue, underlined, hand cursor.
                        const ControlFacts url = Facts(box->LabelURL);
                        EXPECT_EQ(url.Font.Name, L"MS Sans Serif");
                        EXPECT_EQ(url.Font.Height, -11);
                        EXPECT_EQ(url.Font.Charset, ANSI_CHARSET);
                        EXPECT_TRUE(url.Font.Underline);
                        EXPECT_FALSE(box->LabelURL->ParentFont());
                        EXPECT_EQ(box->LabelURL->Font().Color(), clBlue);
                        const testwin::ClientImage image(url.Window);
                        int blue = 0;
                        for (int y = 0; y < image.Height(); ++y)
                          for (int x = 0; x < image.Width(); ++x) blue += image.Pixel(x, y) == RGB(0, 0, 255);
                        EXPECT_GT(blue, 20) << "the address is drawn in blue";
                        SetCursor(LoadCursorW(nullptr, IDC_ARROW));
                        SendMessageW(url.Window, WM_SETCURSOR, reinterpret_cast<WPARAM>(url.Window),
                                     MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
                        EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_HAND));

                        // The tab order, and the focus on the first control in it.
                        EXPECT_EQ(box->ButtonOK->TabOrder(), 0);
                        EXPECT_EQ(box->GroupBox1->TabOrder(), 1);
                        EXPECT_EQ(box->PanelProductVer->TabOrder(), 0);
                        EXPECT_EQ(box->PanelPackVer->TabOrder(), 1);
                        EXPECT_EQ(GetFocus(), box->ButtonOK->Handle());
                        EXPECT_EQ(box->ButtonOK->ModalResult(), mrNone);
                        inspected = true;
                      },
                      [&] {
                        ASSERT_NE(dialog, nullptr);
                        TLmWebCameraAboutForm* box = ShownBox();
                        ASSERT_NE(box, nullptr);
                        SendMessageW(box->ButtonOK->Handle(), BM_CLICK, 0, 0);
                      }});
  LmShowWebCameraAbout();

  EXPECT_TRUE(inspected);
  EXPECT_TRUE(script.Finished());
  EXPECT_FALSE(script.TimedOut()) << "OK did not close the box";
  EXPECT_FALSE(IsWindow(dialog)) << "the box was not destroyed";
  EXPECT_TRUE(testwin::VisibleFormWindows().empty());
}

// The characters of Text that the font Font has no glyph for (without a font of the language
// installed, or the requested face resolved to one without it, they show as boxes).
std::wstring MissingGlyphs(HFONT Font, const std::wstring& Text) {
  std::wstring missing;
  const HDC dc = GetDC(nullptr);
  const HGDIOBJ old = SelectObject(dc, Font ? Font : GetStockObject(SYSTEM_FONT));
  std::vector<WORD> glyphs(Text.size());
  if (GetGlyphIndicesW(dc, Text.c_str(), static_cast<int>(Text.size()), glyphs.data(), GGI_MARK_NONEXISTING_GLYPHS) ==
      GDI_ERROR)
    missing = Text;
  for (size_t i = 0; i < glyphs.size() && missing != Text; ++i)
    if (glyphs[i] == 0xFFFF) missing += Text[i];
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  return missing;
}

BOOL CALLBACK AddWindow(HWND Window, LPARAM Windows) {
  reinterpret_cast<std::vector<HWND>*>(Windows)->push_back(Window);
  return TRUE;
}

TEST_F(AboutBoxTest, EveryTextOfTheBoxHasItsGlyphsInTheFontItIsDrawnWith) {
  int texts = 0;
  ModalScript script({[&] {
    TLmWebCameraAboutForm* box = ShownBox();
    ASSERT_NE(box, nullptr);
    std::vector<HWND> windows;
    EnumChildWindows(box->Handle(), &AddWindow, reinterpret_cast<LPARAM>(&windows));
    for (HWND window : windows) {
      const std::wstring text = testwin::WindowText(window);
      if (text.empty()) continue;
      ++texts;
      const auto font = reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0));
      EXPECT_EQ(MissingGlyphs(font, text), L"") << "in " << testing::PrintToString(text);
    }
    SendMessageW(box->ButtonOK->Handle(), BM_CLICK, 0, 0);
  }});
  LmShowWebCameraAbout();
  EXPECT_TRUE(script.Finished());
  // Product, copyright, address, the group's caption, two versions with their labels, OK.
  EXPECT_GE(texts, 8);
}

TEST_F(AboutBoxTest, TheBoxLeavesNoWindowsOrGdiObjectsBehind) {
  const DWORD usersBefore = testwin::UserObjects();
  const DWORD gdiBefore = testwin::GdiObjects();
  for (int i = 0; i < 2; ++i) {
    ModalScript script({[] {
      TLmWebCameraAboutForm* box = ShownBox();
      ASSERT_NE(box, nullptr);
      SendMessageW(box->ButtonOK->Handle(), BM_CLICK, 0, 0);
    }});
    LmShowWebCameraAbout();
    EXPECT_TRUE(script.Finished());
    EXPECT_FALSE(script.TimedOut());
  }
  testwin::PumpMessages(20);
  EXPECT_EQ(testwin::UserObjects(), usersBefore);
  EXPECT_EQ(testwin::GdiObjects(), gdiBefore);
}

TEST_F(AboutBoxTest, TheComponentsAboutShowsTheBox) {
  TVLmPreview preview(nullptr);
  TVLmRecord recorder(nullptr);
  TVLmPlay player(nullptr);
  for (const std::function<void()>& about : std::vector<std::function<void()>>{
           [&] { preview.About(); }, [&] { recorder.About(); }, [&] { player.About(); }}) {
    HWND dialog = nullptr;
    ModalScript script({[&] {
      TLmWebCameraAboutForm* box = ShownBox();
      ASSERT_NE(box, nullptr);
      dialog = box->Handle();
      box->ButtonOKClick(box->ButtonOK);
    }});
    about();
    EXPECT_NE(dialog, nullptr) << "no box was shown";
    EXPECT_FALSE(script.TimedOut());
    EXPECT_FALSE(IsWindow(dialog));
  }
}

// Makes the test program's web-address handler the one the shell starts for "https"
// addresses, and puts the previous handler back afterwards. Wine's classes root is the
// machine's Software\Classes key alone (it does not merge the user's), so that is where the
// shell looks; the test prefix is private to the build tree.
class HttpsHandler {
public:
  explicit HttpsHandler(const std::wstring& Command) {
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, &m_Key, nullptr) !=
        ERROR_SUCCESS)
      throw std::runtime_error("cannot open the https handler key");
    wchar_t saved[1024] = {};
    DWORD size = sizeof(saved);
    m_HadValue = RegQueryValueExW(m_Key, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(saved), &size) == ERROR_SUCCESS;
    m_Saved = saved;
    Set(Command);
  }
  HttpsHandler(const HttpsHandler&) = delete;
  HttpsHandler& operator=(const HttpsHandler&) = delete;
  ~HttpsHandler() {
    if (m_HadValue)
      Set(m_Saved);
    else
      RegDeleteValueW(m_Key, nullptr);
    RegCloseKey(m_Key);
  }

private:
  static constexpr wchar_t kKey[] = L"Software\\Classes\\https\\shell\\open\\command";
  void Set(const std::wstring& Value) {
    RegSetValueExW(m_Key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(Value.c_str()),
                   static_cast<DWORD>((Value.size() + 1) * sizeof(wchar_t)));
  }

  HKEY m_Key = nullptr;
  bool m_HadValue = false;
  std::wstring m_Saved;
};

// Waits for the stand-in browser's file and takes its text.
std::wstring TakeSinkText(const std::wstring& File, DWORD TimeoutMs = 15000) {
  const DWORD start = GetTickCount();
  while (GetFileAttributesW(File.c_str()) == INVALID_FILE_ATTRIBUTES) {
    if (GetTickCount() - start > TimeoutMs) return L"<nothing opened>";
    Sleep(20);
  }
  HANDLE file = CreateFileW(File.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  std::wstring text(4096, L'\0');
  DWORD read = 0;
  ReadFile(file, text.data(), static_cast<DWORD>(text.size() * sizeof(wchar_t)), &read, nullptr);
  CloseHandle(file);
  DeleteFileW(File.c_str());
  text.resize(read / sizeof(wchar_t));
  return text;
}

TEST_F(AboutBoxTest, ClickingTheAddressOpensExactlyItsCurrentTextWithTheShell) {
  wchar_t program[MAX_PATH] = {};
  std::wstring folder(program, GetModuleFileNameW(nullptr, program, MAX_PATH));
  folder.resize(folder.find_last_of(L'\\') + 1);
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  const std::wstring sinkFile = std::wstring(temp) + L"lm-url-sink.txt";
  DeleteFileW(sinkFile.c_str());
  ASSERT_TRUE(SetEnvironmentVariableW(L"LM_URL_SINK_FILE", sinkFile.c_str()));
  HttpsHandler handler(L"\"" + folder + L"LmUrlSink.exe\" \"%1\"");

  std::vector<std::wstring> opened;
  std::wstring shown;
  ModalScript script({[&] {
                        TLmWebCameraAboutForm* box = ShownBox();
                        ASSERT_NE(box, nullptr);
                        HWND label = box->LabelURL->Handle();
                        shown = testwin::WindowText(label);
                        // A click as the mouse makes it: press and release over the label.
                        SendMessageW(label, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
                        SendMessageW(label, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
                        opened.push_back(TakeSinkText(sinkFile));
                      },
                      [&] {
                        // The caption as it is now, not as it was built.
                        TLmWebCameraAboutForm* box = ShownBox();
                        ASSERT_NE(box, nullptr);
                        box->LabelURL->SetCaption(L"https://www.example.com/lumora/changed/?a=1&b=2");
                        SendMessageW(box->LabelURL->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
                        SendMessageW(box->LabelURL->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
                        opened.push_back(TakeSinkText(sinkFile));
                        EXPECT_TRUE(IsWindowVisible(box->Handle())) << "the box stays open";
                        SendMessageW(box->ButtonOK->Handle(), BM_CLICK, 0, 0);
                      }});
  LmShowWebCameraAbout();
  SetEnvironmentVariableW(L"LM_URL_SINK_FILE", nullptr);

  EXPECT_EQ(shown, JapaneseRun() ? kJapaneseAddress : kEnglishAddress);
  EXPECT_THAT(opened, ::testing::ElementsAre(shown, L"https://www.example.com/lumora/changed/?a=1&b=2"));
  EXPECT_FALSE(script.TimedOut());
}

}  // namespace
