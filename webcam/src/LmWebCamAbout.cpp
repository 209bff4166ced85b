#include "webcam/LmWebCamAbout.h"

#include <shellapi.h>
#include <winver.h>

#include <cstdio>
#include <memory>
#include <vector>

#include "framework/SysLocale.h"

namespace {

constexpr wchar_t kWebAddress[] = L"https://example.com/lm/";
constexpr wchar_t kJapaneseWebAddress[] = L"https://example.com/lm/ja/";

// Releases a module reference taken with LoadLibraryW when it goes out of scope.
class LoadedModule {
public:
  explicit LoadedModule(const std::wstring& FileName) : m_Module(LoadLibraryW(FileName.c_str())) {}
  LoadedModule(const LoadedModule&) = delete;
  LoadedModule& operator=(const LoadedModule&) = delete;
  ~LoadedModule() {
    if (m_Module) FreeLibrary(m_Module);
  }
  HMODULE Handle() const { return m_Module; }

private:
  HMODULE m_Module;
};

// This library's own module.
HMODULE ThisModule() {
  HMODULE module = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCWSTR>(&ThisModule), &module);
  return module;
}

template <typename T>
T* Place(TLmWebCameraAboutForm* Form, TWinControl* Parent, int Left, int Top, int Width, int Height) {
  auto* control = new T(Form);  // owned by the form
  control->SetParent(Parent);
  control->SetBounds(Left, Top, Width, Height);
  return control;
}

// A label with a fixed size.
TLabel* PlaceLabel(TLmWebCameraAboutForm* Form, TWinControl* Parent, int Left, int Top, int Width, int Height,
                   const wchar_t* Caption) {
  auto* label = Place<TLabel>(Form, Parent, Left, Top, Width, Height);
  label->SetAutoSize(false);
  label->SetBounds(Left, Top, Width, Height);
  label->SetCaption(Caption);
  return label;
}

void SetDialogFont(TFont& Font) {
  Font.SetName(L"MS Sans Serif");
  Font.SetHeight(-11);
  Font.SetCharset(ANSI_CHARSET);
  Font.SetColor(clWindowText);
  Font.SetStyle({});
}

// The Japanese texts, in the order the box applies them.
void AdaptToJapanese(TLmWebCameraAboutForm& Form) {
  Form.Font().SetCharset(SHIFTJIS_CHARSET);
  Form.Font().SetName(L"\uFF2D\uFF33 \uFF30\u30B4\u30B7\u30C3\u30AF");  // MS P Gothic, full-width letters
  Form.Font().SetSize(9);
  Form.SetCaption(L"バージョン情報");
  Form.LabelURL->SetCaption(kJapaneseWebAddress);
  Form.GroupBox1->SetCaption(L"バージョン");
  Form.LabelProductVer->SetCaption(L"製品バージョン");
  Form.LabelFileVer->SetCaption(L"ファイルバージョン");
}

}  // namespace

TLmWebCameraAboutForm::TLmWebCameraAboutForm(TComponent* AOwner) : TForm(AOwner) {
  SetCaption(L"Version Information");
  SetBorderStyle(bsDialog);
  SetBorderIcons({});
  SetPosition(poScreenCenter);
  SetColor(clBtnFace);
  SetDialogFont(Font());
  SetScaled(false);
  SetClientWidth(440);
  SetClientHeight(224);
  OnShow = [this](TObject* Sender) { FormShow(Sender); };

  LabelProduct = PlaceLabel(this, this, 40, 8, 200, 13, L"Lumora10 VCL WebCamera Components");
  LabelCopy = PlaceLabel(this, this, 40, 32, 190, 13, L"Copyright (C) 2026 Lumora Project");
  ButtonOK = Place<TButton>(this, this, 328, 8, 89, 33);
  ButtonOK->SetCaption(L"OK");
  ButtonOK->SetTabOrder(0);
  ButtonOK->OnClick = [this](TObject* Sender) { ButtonOKClick(Sender); };
  GroupBox1 = Place<TGroupBox>(this, this, 16, 104, 273, 105);
  GroupBox1->SetCaption(L"Version");
  GroupBox1->SetTabOrder(1);
  LabelProductVer = PlaceLabel(this, GroupBox1, 16, 20, 75, 13, L"Product Version");
  PanelProductVer = Place<TPanel>(this, GroupBox1, 148, 18, 97, 20);
  PanelProductVer->SetBevelOuter(bvLowered);
  PanelProductVer->SetTabOrder(0);
  LabelFileVer = PlaceLabel(this, GroupBox1, 16, 48, 54, 13, L"File Version");
  LabelPack = Place<TLabel>(this, GroupBox1, 16, 76, 3, 13);  // sizes itself to its text
  PanelPackVer = Place<TPanel>(this, GroupBox1, 148, 46, 97, 20);
  PanelPackVer->SetBevelOuter(bvLowered);
  PanelPackVer->SetTabOrder(1);
  LabelURL = PlaceLabel(this, this, 72, 64, 125, 13, kWebAddress);
  LabelURL->SetCursor(crHandPoint);
  LabelURL->SetParentFont(false);
  SetDialogFont(LabelURL->Font());  // a font of its own, which the form's font does not reach
  LabelURL->Font().SetColor(clBlue);
  LabelURL->Font().SetStyle({fsUnderline});
  LabelURL->OnClick = [this](TObject* Sender) { LabelURLClick(Sender); };
}

void TLmWebCameraAboutForm::FormShow(TObject*) {
  wchar_t path[261] = {};
  const DWORD length = GetModuleFileNameW(ThisModule(), path, 261);
  std::wstring name;
  // A path that does not fit the buffer comes back cut short: no name rather than a wrong one.
  if (length > 0 && length < 261) {
    const std::wstring full(path, length);
    const size_t delimiter = full.find_last_of(L"\\/:");
    name = delimiter == std::wstring::npos ? full : full.substr(delimiter + 1);
  }
  if (name.empty()) {
    LabelProductVer->SetCaption(L"");
    return;
  }
  PanelProductVer->SetCaption(GetDllVer(name, false));
  LabelPack->SetCaption(name);
  PanelPackVer->SetCaption(GetDllVer(name, true));
}

std::wstring TLmWebCameraAboutForm::GetDllVer(const std::wstring& FileName, bool FileVersion) {
  const LoadedModule module(FileName);  // released on every way out
  if (!module.Handle()) return L"";

  wchar_t path[256] = {};
  const DWORD length = GetModuleFileNameW(module.Handle(), path, 256);
  // A longer path is cut short and would name another file.
  if (length == 0 || length >= 256) return L"";

  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(path, &ignored);
  if (size == 0) return L"";
  std::vector<BYTE> block(size);
  if (!GetFileVersionInfoW(path, 0, size, block.data())) return L"";

  void* translation = nullptr;
  UINT translationSize = 0;
  if (!VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", &translation, &translationSize) || !translation ||
      translationSize < sizeof(DWORD))
    return L"";
  const DWORD first = *static_cast<const DWORD*>(translation);
  const unsigned language = LOWORD(first);
  const unsigned codePage = HIWORD(first);

  wchar_t subBlock[64] = {};
  std::swprintf(subBlock, 64,
                FileVersion ? L"\\\\StringFileInfo\\%4.4x%4.4x\\FileVersion"
                            : L"\\\\StringFileInfo\\%4.4x%4.4x\\ProductVersion",
                language, codePage);
  void* value = nullptr;
  UINT valueLength = 0;
  if (!VerQueryValueW(block.data(), subBlock, &value, &valueLength) || !value) return L"";
  // The length counts characters; the value ends at its terminating zero within it.
  const auto* text = static_cast<const wchar_t*>(value);
  return std::wstring(text, wcsnlen(text, valueLength));
}

void TLmWebCameraAboutForm::LabelURLClick(TObject*) {
  ShellExecuteW(Handle(), L"open", LabelURL->Caption().c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void TLmWebCameraAboutForm::ButtonOKClick(TObject*) { Close(); }

void LmShowWebCameraAbout() {
  try {
    const std::unique_ptr<TLmWebCameraAboutForm> form = std::make_unique<TLmWebCameraAboutForm>(nullptr);
    if (SysLocale.PriLangID == LANG_JAPANESE) AdaptToJapanese(*form);
    form->ShowModal();  // the result does not matter
  } catch (...) {
    // The box has no result to report a failure through; the form is gone either way.
  }
}
