#pragma once

// A set of pages behind tabs: the page control is the system's tab control
// ("SysTabControl32"); each page is a framework window inside its display area that holds the
// page's controls. Only the active page is visible.

#include <windows.h>

#include <vector>

#include "framework/Controls.h"

class TTabSheet;

class FRAMEWORK_API TPageControl : public TWinControl {
public:
  explicit TPageControl(TComponent* AOwner);
  ~TPageControl() override;

  int PageCount() const { return static_cast<int>(m_Pages.size()); }
  TTabSheet* Pages(int Index) const;
  // The visible page; the first page added becomes active.
  TTabSheet* ActivePage() const { return m_ActivePage; }
  void SetActivePage(TTabSheet* Page);

  // Raised when the user selects another tab.
  TNotifyEvent OnChange;

protected:
  void CreateParams(TCreateParams& Params) override;
  void WindowCreated() override;
  void Dispatch(TMessage& Message) override;

private:
  friend class TTabSheet;
  void InsertPage(TTabSheet* Page);
  void RemovePage(TTabSheet* Page);
  void UpdateTab(TTabSheet* Page);
  // The area under the tabs, in the page control's client coordinates.
  RECT DisplayRect();
  void PlacePages();

  std::vector<TTabSheet*> m_Pages;  // not owned: the pages' owner destroys them
  TTabSheet* m_ActivePage = nullptr;
};

class FRAMEWORK_API TTabSheet : public TWinControl {
public:
  explicit TTabSheet(TComponent* AOwner);
  ~TTabSheet() override;

  TPageControl* PageControl() const { return m_PageControl; }
  // Adds the page at the end of PageControl's pages (which also becomes its parent).
  void SetPageControl(TPageControl* PageControl);
  int PageIndex() const;

protected:
  void CreateParams(TCreateParams& Params) override;
  void Dispatch(TMessage& Message) override;

private:
  friend class TPageControl;
  TPageControl* m_PageControl = nullptr;  // not owned
};
