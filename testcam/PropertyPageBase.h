#pragma once

// What the camera's property pages share: the IPropertyPage protocol with the frame (site,
// objects, activation, dirty state) and a page window built in code. A page adds its controls,
// reads its objects and applies its changes.

#include <windows.h>

#include <ocidl.h>
#include <wrl/client.h>

#include <string>
#include <vector>

namespace lmcam {

// Answers ISpecifyPropertyPages::GetPages with the one page Page, in a CoTaskMemAlloc'd array.
HRESULT OnePropertyPage(CAUUID* Pages, REFCLSID Page);

// A visible child control of the page window Page, with the pages' font; nullptr on failure.
HWND CreatePageControl(HWND Page, const wchar_t* Class, const wchar_t* Text, DWORD Style, int X, int Y, int Width,
                       int Height, int Id);

class PropertyPageBase : public IPropertyPage {
public:
  using PrimaryInterface = IPropertyPage;

  // IUnknown (AddRef and Release come from ComObject)
  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
  STDMETHODIMP_(ULONG) AddRef() override = 0;
  STDMETHODIMP_(ULONG) Release() override = 0;

  // IPropertyPage
  STDMETHODIMP SetPageSite(IPropertyPageSite* pPageSite) override;
  STDMETHODIMP Activate(HWND hWndParent, LPCRECT pRect, BOOL bModal) override;
  STDMETHODIMP Deactivate() override;
  STDMETHODIMP GetPageInfo(PROPPAGEINFO* pPageInfo) override;
  STDMETHODIMP SetObjects(ULONG cObjects, IUnknown** ppUnk) override;
  STDMETHODIMP Show(UINT nCmdShow) override;
  STDMETHODIMP Move(LPCRECT pRect) override;
  STDMETHODIMP IsPageDirty() override;
  STDMETHODIMP Apply() override;
  STDMETHODIMP Help(LPCOLESTR pszHelpDir) override;
  STDMETHODIMP TranslateAccelerator(MSG* pMsg) override;

protected:
  PropertyPageBase(std::wstring Title, SIZE Size);
  virtual ~PropertyPageBase();

  // Takes the objects the page edits; E_NOINTERFACE when they are not what the page needs.
  virtual HRESULT OnSetObjects(const std::vector<Microsoft::WRL::ComPtr<IUnknown>>& Objects) = 0;
  virtual void OnClearObjects() = 0;
  // Creates the controls in the page window and fills them from the objects.
  virtual void OnCreateControls(HWND Page) = 0;
  virtual void OnCommand(WORD Id, WORD Code) = 0;
  // A slider (trackbar) of the page moved.
  virtual void OnScroll(HWND) {}
  virtual HRESULT OnApply() = 0;

  // Marks the page changed and tells the frame, which enables its Apply button.
  void SetDirty();
  // A child control of the page, with the page's font.
  HWND AddControl(const wchar_t* Class, const wchar_t* Text, DWORD Style, int X, int Y, int Width, int Height,
                  int Id);
  HWND PageWindow() const { return m_Window; }

private:
  static LRESULT CALLBACK WindowProc(HWND Window, UINT Message, WPARAM wParam, LPARAM lParam);

  // All fields belong to the thread of the property frame (pages are apartment objects).
  const std::wstring m_Title;
  const SIZE m_Size;
  Microsoft::WRL::ComPtr<IPropertyPageSite> m_Site;
  HWND m_Window = nullptr;
  bool m_Dirty = false;
  bool m_HasObjects = false;
};

}  // namespace lmcam
