// The design-time demo: a small form designer that loads the design-time library as a
// development environment does, shows the palette entries it registered with their icons,
// places a TVLumora on its form and offers the component editor's context menu.
//
//   LmDesignDemo.exe [--output DIR] [--scripted]
//
// Interactive: right-click the component for its context menu; double-click it for the
// property dialog. --scripted runs unattended: it prints the palette and the menu, saves a
// screenshot of the designer and one of the property dialog into DIR (named after the
// user's language, "en" or "ja"), cancels the dialog and exits.

#include <windows.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "design/LmDesigner.h"
#include "examples/DemoFiles.h"
#include "framework/Controls.h"
#include "framework/SysLocale.h"

namespace {

constexpr wchar_t kWindowClass[] = L"LmDesignDemoWindow";
constexpr wchar_t kTitle[] = L"Lumora designer";
constexpr int kPaletteHeight = 44;
constexpr LANGID kIconLanguage = MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT);

// The designer of the demo's one form: counts what the editor reports as modified.
class DemoDesigner : public IDesigner {
public:
  explicit DemoDesigner(HWND Window) : m_Window(Window) {}
  virtual ~DemoDesigner() = default;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDesigner)) ? this : nullptr;
    if (!*ppv) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++m_References; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --m_References;
    if (left == 0) delete this;
    return left;
  }
  void STDMETHODCALLTYPE Modified() override {
    ++m_Changes;
    const std::wstring title = std::wstring(kTitle) + L" - form modified (" + std::to_wstring(m_Changes) + L")";
    SetWindowTextW(m_Window, title.c_str());
  }

private:
  HWND m_Window;
  ULONG m_References = 1;
  int m_Changes = 0;
};

// Draws a palette icon: the bitmap resource named after the class in capitals.
void DrawPaletteIcon(HDC DC, HMODULE Package, const std::wstring& ClassName, int X, int Y) {
  std::wstring name;
  for (const wchar_t c : ClassName) name += static_cast<wchar_t>(towupper(c));
  const HRSRC found = FindResourceExW(Package, RT_BITMAP, name.c_str(), kIconLanguage);
  if (!found) return;
  const auto* info = static_cast<const BITMAPINFO*>(LockResource(LoadResource(Package, found)));
  if (!info) return;
  const auto* bits = reinterpret_cast<const BYTE*>(info) + info->bmiHeader.biSize + 16 * sizeof(RGBQUAD);
  const int size = info->bmiHeader.biWidth;
  StretchDIBits(DC, X, Y, size, size, 0, 0, size, size, bits, info, DIB_RGB_COLORS, SRCCOPY);
}

struct DemoState {
  HWND Window = nullptr;
  std::vector<TPaletteEntry> Palette;
};
DemoState g_State;

LRESULT CALLBACK WindowProc(HWND Window, UINT Msg, WPARAM WParam, LPARAM LParam) {
  if (Msg == WM_PAINT) {
    PAINTSTRUCT paint;
    const HDC dc = BeginPaint(Window, &paint);
    int x = 8;
    for (const TPaletteEntry& entry : g_State.Palette) {
      DrawPaletteIcon(dc, entry.Package, entry.ComponentClass.ClassName, x, 10);
      const std::wstring label = entry.Page + L": " + entry.ComponentClass.ClassName;
      SetBkMode(dc, TRANSPARENT);
      TextOutW(dc, x + 30, 14, label.c_str(), static_cast<int>(label.size()));
      x += 200;
    }
    MoveToEx(dc, 0, kPaletteHeight - 2, nullptr);
    LineTo(dc, 2000, kPaletteHeight - 2);
    EndPaint(Window, &paint);
    return 0;
  }
  if (Msg == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcW(Window, Msg, WParam, LParam);
}

// The context menu the designer builds from the editor's verbs; "-" is a separator line.
int ShowContextMenu(TComponentEditor& Editor, HWND Window) {
  const HMENU menu = CreatePopupMenu();
  for (int32_t i = 0; i < Editor.GetVerbCount(); ++i) {
    TDesignMenuItem item{Editor.GetVerb(i)};
    Editor.PrepareItem(i, item);
    if (!item.Visible) continue;
    if (item.Caption == L"-")
      AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    else
      AppendMenuW(menu, MF_STRING | (item.Enabled ? 0 : MF_GRAYED), static_cast<UINT_PTR>(i + 1), item.Caption.c_str());
  }
  POINT cursor;
  GetCursorPos(&cursor);
  const int chosen = TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, cursor.x, cursor.y, 0, Window, nullptr);
  DestroyMenu(menu);
  return chosen - 1;
}

// Prints a line in UTF-8, whatever the console's code page.
void PrintLine(const std::wstring& Line) {
  const std::wstring text = Line + L"\n";
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), utf8.data(), size, nullptr, nullptr);
  std::fwrite(utf8.data(), 1, utf8.size(), stdout);
  std::fflush(stdout);
}

// Runs an editor operation as the designer does: an error it raises is reported, not fatal.
template <class Operation>
void RunEditor(HWND Window, Operation Run) {
  try {
    Run();
  } catch (const std::exception& error) {
    MessageBoxA(Window, error.what(), "Lumora designer", MB_OK | MB_ICONERROR);
  }
}

// Scripted session: the visible property dialog, once it shows, is photographed and closed.
std::wstring g_DialogShot;
bool g_DialogSaved = false;

BOOL CALLBACK FindDialog(HWND Window, LPARAM Param) {
  if (Window != g_State.Window && IsWindowVisible(Window) && IsWindowEnabled(Window)) {
    *reinterpret_cast<HWND*>(Param) = Window;
    return FALSE;
  }
  return TRUE;
}

void CALLBACK ScriptTick(HWND, UINT, UINT_PTR Timer, DWORD) {
  HWND dialog = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), &FindDialog, reinterpret_cast<LPARAM>(&dialog));
  if (!dialog) return;
  KillTimer(nullptr, Timer);
  RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  Sleep(200);
  g_DialogSaved = demo::SaveScreenshot(dialog, g_DialogShot);
  PostMessageW(dialog, WM_CLOSE, 0, 0);  // the close box: nothing is written
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::wstring output = L".";
  bool scripted = false;
  for (int i = 1; i < argc; ++i) {
    const std::wstring arg = argv[i];
    if (arg == L"--output" && i + 1 < argc) output = argv[++i];
    if (arg == L"--scripted") scripted = true;
  }
  const std::wstring language = SysLocale.PriLangID == LANG_JAPANESE ? L"ja" : L"en";

  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = &WindowProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = kWindowClass;
  RegisterClassExW(&wc);
  g_State.Window = CreateWindowExW(0, kWindowClass, kTitle, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 40, 40, 480, 320,
                                   nullptr, nullptr, wc.hInstance, nullptr);

  try {
    TDesignPackage package(L"DclLm10D25.dll");
    // The entries hold code of the library: they go before it is unloaded.
    struct PaletteCopy {
      ~PaletteCopy() { g_State.Palette.clear(); }
    } paletteCopy;
    g_State.Palette = PaletteEntries();
    if (g_State.Palette.empty()) throw EFrameworkError("the library registered nothing");
    for (const TPaletteEntry& entry : g_State.Palette)
      PrintLine(L"Palette: page \"" + entry.Page + L"\", class " + entry.ComponentClass.ClassName);

    // The form: the designer drops the first palette class on it.
    TComponent form(nullptr);
    auto* control = dynamic_cast<TWinControl*>(g_State.Palette[0].ComponentClass.Create(&form));
    if (!control) throw EFrameworkError("the palette class is no control");
    control->SetDesigning(true);
    control->SetBounds(20, kPaletteHeight + 20, 200, 150);
    control->SetParentWindow(g_State.Window);
    control->Handle();

    auto* designer = new DemoDesigner(g_State.Window);
    std::unique_ptr<TComponentEditor> editor = GetComponentEditor(control, designer);
    designer->Release();  // the editor holds its own reference
    for (int32_t i = 0; i < editor->GetVerbCount(); ++i) PrintLine(L"Menu " + std::to_wstring(i) + L": " + editor->GetVerb(i));

    control->OnDblClick = [&](TObject*) { RunEditor(g_State.Window, [&] { editor->Edit(); }); };
    control->OnMouseDown = [&](TObject*, TMouseButton Button, TShiftState, int, int) {
      if (Button != mbRight) return;
      const int verb = ShowContextMenu(*editor, g_State.Window);
      if (verb >= 0) RunEditor(g_State.Window, [&] { editor->ExecuteVerb(verb); });
    };

    ShowWindow(g_State.Window, SW_SHOW);
    UpdateWindow(g_State.Window);
    MSG msg;
    if (scripted) {
      const DWORD start = GetTickCount();
      while (GetTickCount() - start < 500) {
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
        Sleep(10);
      }
      const std::wstring hostShot = output + L"\\design-host-" + language + L".bmp";
      if (demo::SaveScreenshot(g_State.Window, hostShot)) PrintLine(L"Designer: " + hostShot);
      g_DialogShot = output + L"\\design-dialog-" + language + L".bmp";
      SetTimer(nullptr, 0, 100, &ScriptTick);
      editor->Edit();  // the double-click's operation; returns when the tick has closed the dialog
      if (g_DialogSaved) PrintLine(L"Property dialog: " + g_DialogShot);
      editor.reset();
      DestroyWindow(g_State.Window);
      return g_DialogSaved ? 0 : 1;
    }
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    editor.reset();
  } catch (const std::exception& error) {
    std::fprintf(stderr, "LmDesignDemo: %s\n", error.what());
    return 1;
  }
  return 0;
}
