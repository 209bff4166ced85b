#include "testcam/PropertyPageBase.h"

#include <cstring>

#include "testcam/ComBoundary.h"
#include "testcam/ComObject.h"
#include "testcam/Module.h"

namespace lmcam {

HRESULT OnePropertyPage(CAUUID* Pages, REFCLSID Page) {
  if (!Pages) return E_POINTER;
  Pages->pElems = static_cast<GUID*>(CoTaskMemAlloc(sizeof(GUID)));
  if (!Pages->pElems) {
    Pages->cElems = 0;
    return E_OUTOFMEMORY;
  }
  Pages->cElems = 1;
  Pages->pElems[0] = Page;
  return S_OK;
}

namespace {

constexpr wchar_t kPageClass[] = L"LmTestCamPropertyPage";

bool RegisterPageClass() {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  if (GetClassInfoExW(ModuleInstance(), kPageClass, &wc)) return true;
  wc.lpfnWndProc = DefWindowProcW;  // replaced per window, see Activate
  wc.hInstance = ModuleInstance();
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = kPageClass;
  return RegisterClassExW(&wc) != 0;
}

}  // namespace

PropertyPageBase::PropertyPageBase(std::wstring Title, SIZE Size) : m_Title(std::move(Title)), m_Size(Size) {}

PropertyPageBase::~PropertyPageBase() {
  if (m_Window) DestroyWindow(m_Window);
}

STDMETHODIMP PropertyPageBase::QueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IPropertyPage)) {
    *ppv = static_cast<IPropertyPage*>(this);
    AddRef();
    return S_OK;
  }
  return E_NOINTERFACE;
}

STDMETHODIMP PropertyPageBase::SetPageSite(IPropertyPageSite* pPageSite) {
  // A site is set once and cleared once.
  if (pPageSite && m_Site) return E_UNEXPECTED;
  m_Site = pPageSite;
  return S_OK;
}

STDMETHODIMP PropertyPageBase::Activate(HWND hWndParent, LPCRECT pRect, BOOL) {
  return ComBoundary([&]() -> HRESULT {
    if (!pRect) return E_POINTER;
    if (m_Window) return E_UNEXPECTED;
    if (!RegisterPageClass()) return HRESULT_FROM_WIN32(GetLastError());
    m_Window = CreateWindowExW(WS_EX_CONTROLPARENT, kPageClass, m_Title.c_str(), WS_CHILD | WS_CLIPCHILDREN,
                               pRect->left, pRect->top, pRect->right - pRect->left, pRect->bottom - pRect->top,
                               hWndParent, nullptr, ModuleInstance(), nullptr);
    if (!m_Window) return HRESULT_FROM_WIN32(GetLastError());
    SetWindowLongPtrW(m_Window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetWindowLongPtrW(m_Window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&PropertyPageBase::WindowProc));
    OnCreateControls(m_Window);
    return S_OK;
  });
}

STDMETHODIMP PropertyPageBase::Deactivate() {
  if (!m_Window) return E_UNEXPECTED;
  DestroyWindow(m_Window);
  m_Window = nullptr;
  return S_OK;
}

STDMETHODIMP PropertyPageBase::GetPageInfo(PROPPAGEINFO* pPageInfo) {
  if (!pPageInfo) return E_POINTER;
  const size_t bytes = (m_Title.size() + 1) * sizeof(wchar_t);
  auto* title = static_cast<LPOLESTR>(CoTaskMemAlloc(bytes));
  if (!title) return E_OUTOFMEMORY;
  std::memcpy(title, m_Title.c_str(), bytes);
  pPageInfo->cb = sizeof(PROPPAGEINFO);
  pPageInfo->pszTitle = title;
  pPageInfo->size = m_Size;
  pPageInfo->pszDocString = nullptr;
  pPageInfo->pszHelpFile = nullptr;
  pPageInfo->dwHelpContext = 0;
  return S_OK;
}

STDMETHODIMP PropertyPageBase::SetObjects(ULONG cObjects, IUnknown** ppUnk) {
  return ComBoundary([&]() -> HRESULT {
    if (cObjects == 0) {
      if (m_HasObjects) OnClearObjects();
      m_HasObjects = false;
      return S_OK;
    }
    if (!ppUnk) return E_POINTER;
    std::vector<Microsoft::WRL::ComPtr<IUnknown>> objects(ppUnk, ppUnk + cObjects);
    const HRESULT hr = OnSetObjects(objects);
    m_HasObjects = SUCCEEDED(hr);
    return hr;
  });
}

STDMETHODIMP PropertyPageBase::Show(UINT nCmdShow) {
  if (!m_Window) return E_UNEXPECTED;
  ShowWindow(m_Window, static_cast<int>(nCmdShow));
  return S_OK;
}

STDMETHODIMP PropertyPageBase::Move(LPCRECT pRect) {
  if (!pRect) return E_POINTER;
  if (!m_Window) return E_UNEXPECTED;
  MoveWindow(m_Window, pRect->left, pRect->top, pRect->right - pRect->left, pRect->bottom - pRect->top, TRUE);
  return S_OK;
}

STDMETHODIMP PropertyPageBase::IsPageDirty() { return m_Dirty ? S_OK : S_FALSE; }

STDMETHODIMP PropertyPageBase::Apply() {
  return ComBoundary([&]() -> HRESULT {
    if (!m_Dirty) return S_OK;
    const HRESULT hr = OnApply();
    if (SUCCEEDED(hr)) m_Dirty = false;
    return hr;
  });
}

STDMETHODIMP PropertyPageBase::Help(LPCOLESTR) { return E_NOTIMPL; }

STDMETHODIMP PropertyPageBase::TranslateAccelerator(MSG*) { return S_FALSE; }

void PropertyPageBase::SetDirty() {
  m_Dirty = true;
  if (m_Site) m_Site->OnStatusChange(PROPPAGESTATUS_DIRTY);
}

HWND CreatePageControl(HWND Page, const wchar_t* Class, const wchar_t* Text, DWORD Style, int X, int Y, int Width,
                       int Height, int Id) {
  HWND control = CreateWindowExW(0, Class, Text, WS_CHILD | WS_VISIBLE | Style, X, Y, Width, Height, Page,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(Id)), ModuleInstance(), nullptr);
  if (control) SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
  return control;
}

HWND PropertyPageBase::AddControl(const wchar_t* Class, const wchar_t* Text, DWORD Style, int X, int Y, int Width,
                                  int Height, int Id) {
  return CreatePageControl(m_Window, Class, Text, Style, X, Y, Width, Height, Id);
}

LRESULT CALLBACK PropertyPageBase::WindowProc(HWND Window, UINT Message, WPARAM wParam, LPARAM lParam) {
  auto* page = reinterpret_cast<PropertyPageBase*>(GetWindowLongPtrW(Window, GWLP_USERDATA));
  if (page && (Message == WM_COMMAND || (Message == WM_HSCROLL && lParam))) {
    // A window procedure is a boundary as well: a failed command leaves the page as it was.
    return CallAtBoundary<LRESULT>([&]() -> LRESULT {
      if (Message == WM_COMMAND)
        page->OnCommand(LOWORD(wParam), HIWORD(wParam));
      else
        page->OnScroll(reinterpret_cast<HWND>(lParam));
      return 0;
    }, 0, 0);
  }
  return DefWindowProcW(Window, Message, wParam, lParam);
}

}  // namespace lmcam
