#include "framework/ComCtrls.h"

#include <commctrl.h>

#include <algorithm>
#include <string>

namespace {

// Inserts a tab (Message TCM_INSERTITEMW) or renames one (TCM_SETITEMW).
void WriteTab(HWND TabControl, UINT Message, size_t Index, std::wstring Caption) {
  TCITEMW item{};
  item.mask = TCIF_TEXT;
  item.pszText = Caption.data();
  SendMessageW(TabControl, Message, Index, reinterpret_cast<LPARAM>(&item));
}

}  // namespace

TPageControl::TPageControl(TComponent* AOwner) : TWinControl(AOwner) {
  INITCOMMONCONTROLSEX classes{sizeof(classes), ICC_TAB_CLASSES};
  InitCommonControlsEx(&classes);
  SetTabStop(true);
}

TPageControl::~TPageControl() {
  for (TTabSheet* page : m_Pages) page->m_PageControl = nullptr;
}

TTabSheet* TPageControl::Pages(int Index) const {
  if (Index < 0 || Index >= PageCount()) throw EFrameworkError("page index out of bounds");
  return m_Pages[static_cast<size_t>(Index)];
}

void TPageControl::CreateParams(TCreateParams& Params) {
  TWinControl::CreateParams(Params);
  CreateSubClass(Params, WC_TABCONTROLW);
  Params.Style |= WS_CLIPCHILDREN;
}

// The tabs exist before the pages' windows, which are placed under them.
void TPageControl::WindowCreated() {
  TWinControl::WindowCreated();
  const HWND window = Handle();
  for (size_t i = 0; i < m_Pages.size(); ++i) WriteTab(window, TCM_INSERTITEMW, i, m_Pages[i]->Caption());
  SendMessageW(window, TCM_SETCURSEL, static_cast<WPARAM>(m_ActivePage ? m_ActivePage->PageIndex() : -1), 0);
}

void TPageControl::SetActivePage(TTabSheet* Page) {
  if (Page && Page->m_PageControl != this) return;
  m_ActivePage = Page;
  for (TTabSheet* page : m_Pages) page->SetVisible(page == Page);
  if (HandleAllocated()) SendMessageW(Handle(), TCM_SETCURSEL, static_cast<WPARAM>(Page ? Page->PageIndex() : -1), 0);
}

void TPageControl::InsertPage(TTabSheet* Page) {
  m_Pages.push_back(Page);
  if (HandleAllocated()) WriteTab(Handle(), TCM_INSERTITEMW, m_Pages.size() - 1, Page->Caption());
  Page->SetVisible(false);
  if (!m_ActivePage) SetActivePage(Page);
  if (HandleAllocated()) PlacePages();
}

void TPageControl::RemovePage(TTabSheet* Page) {
  const auto found = std::find(m_Pages.begin(), m_Pages.end(), Page);
  if (found == m_Pages.end()) return;
  if (HandleAllocated()) SendMessageW(Handle(), TCM_DELETEITEM, static_cast<WPARAM>(found - m_Pages.begin()), 0);
  m_Pages.erase(found);
  if (m_ActivePage == Page) SetActivePage(m_Pages.empty() ? nullptr : m_Pages.front());
}

void TPageControl::UpdateTab(TTabSheet* Page) {
  if (!HandleAllocated()) return;
  WriteTab(Handle(), TCM_SETITEMW, static_cast<size_t>(Page->PageIndex()), Page->Caption());
  PlacePages();  // the tab row may have changed height
}

RECT TPageControl::DisplayRect() {
  RECT rect = ClientRect();
  if (HandleAllocated()) SendMessageW(Handle(), TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&rect));
  return rect;
}

void TPageControl::PlacePages() {
  const RECT area = DisplayRect();
  for (TTabSheet* page : m_Pages) page->SetBounds(area.left, area.top, area.right - area.left, area.bottom - area.top);
}

void TPageControl::Dispatch(TMessage& Message) {
  if (Message.Msg == CN_NOTIFY && reinterpret_cast<NMHDR*>(Message.LParam)->code == static_cast<UINT>(TCN_SELCHANGE)) {
    const int index = static_cast<int>(SendMessageW(Handle(), TCM_GETCURSEL, 0, 0));
    if (index >= 0 && index < PageCount()) SetActivePage(m_Pages[static_cast<size_t>(index)]);
    if (OnChange) OnChange(this);
    Message.Result = 0;
    return;
  }
  TWinControl::Dispatch(Message);
  if (Message.Msg == WM_SIZE) PlacePages();
}

TTabSheet::TTabSheet(TComponent* AOwner) : TWinControl(AOwner) { SetColor(clBtnFace); }

TTabSheet::~TTabSheet() {
  if (m_PageControl) m_PageControl->RemovePage(this);
}

void TTabSheet::SetPageControl(TPageControl* PageControl) {
  if (PageControl == m_PageControl) return;
  if (m_PageControl) m_PageControl->RemovePage(this);
  m_PageControl = PageControl;
  if (PageControl) PageControl->InsertPage(this);
  SetParent(PageControl);
}

int TTabSheet::PageIndex() const {
  if (!m_PageControl) return -1;
  const auto& pages = m_PageControl->m_Pages;
  return static_cast<int>(std::find(pages.begin(), pages.end(), this) - pages.begin());
}

// A page made together with its page control takes the display area under the tabs.
void TTabSheet::CreateParams(TCreateParams& Params) {
  if (m_PageControl && m_PageControl->HandleAllocated()) {
    const RECT area = m_PageControl->DisplayRect();
    SetBounds(area.left, area.top, area.right - area.left, area.bottom - area.top);
  }
  TWinControl::CreateParams(Params);
}

void TTabSheet::Dispatch(TMessage& Message) {
  TWinControl::Dispatch(Message);
  if (Message.Msg == CM_TEXTCHANGED && m_PageControl) m_PageControl->UpdateTab(this);
}
