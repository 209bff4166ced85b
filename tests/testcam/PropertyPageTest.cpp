// The camera's property pages: shown by OleCreatePropertyFrame (and closed again by a timer on
// the same thread), and the format page driven through IPropertyPage as a frame drives it.

#include <gtest/gtest.h>

#include <olectl.h>

#include <string>

#include "support/FakeComTest.h"
#include "testcam/CameraRig.h"
#include "testcam/LmTestCam.h"

namespace camtest {
namespace {

constexpr int kFormatList = 1001;
constexpr int kFrameRate = 1002;

// What the timer saw of the frame before closing it.
struct FrameVisit {
  HWND Frame = nullptr;
  bool PageFound = false;
  std::wstring PageTexts;
  int ListItems = -1;
  int Ticks = 0;
};
FrameVisit* g_Visit = nullptr;

BOOL CALLBACK CollectTexts(HWND Window, LPARAM) {
  wchar_t className[64] = {};
  GetClassNameW(Window, className, 64);
  if (std::wstring(className) == L"LmTestCamPropertyPage") g_Visit->PageFound = true;
  wchar_t text[512] = {};
  GetWindowTextW(Window, text, 512);
  g_Visit->PageTexts += text;
  g_Visit->PageTexts += L"\n";
  if (GetDlgCtrlID(Window) == kFormatList && _wcsicmp(className, L"ListBox") == 0)
    g_Visit->ListItems = static_cast<int>(SendMessageW(Window, LB_GETCOUNT, 0, 0));
  return TRUE;
}

BOOL CALLBACK FindFrame(HWND Window, LPARAM) {
  wchar_t className[16] = {};
  GetClassNameW(Window, className, 16);
  if (IsWindowVisible(Window) && std::wstring(className) == L"#32770") {
    g_Visit->Frame = Window;
    return FALSE;
  }
  return TRUE;
}

void CALLBACK CloseFrameTimer(HWND, UINT, UINT_PTR Timer, DWORD) {
  ++g_Visit->Ticks;
  g_Visit->Frame = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), FindFrame, 0);
  if (g_Visit->Frame) {
    EnumChildWindows(g_Visit->Frame, CollectTexts, 0);
    PostMessageW(g_Visit->Frame, WM_COMMAND, IDCANCEL, 0);
    PostMessageW(g_Visit->Frame, WM_CLOSE, 0, 0);
    KillTimer(nullptr, Timer);
  } else if (g_Visit->Ticks > 100) {
    KillTimer(nullptr, Timer);  // no frame after 10 s: the test fails on PageFound
  }
}

// Shows the pages of Object in a modal property frame and closes it from a timer.
FrameVisit ShowPages(IUnknown* Object) {
  FrameVisit visit;
  auto pages = As<ISpecifyPropertyPages>(Object);
  if (!pages) return visit;
  CAUUID ids{};
  if (FAILED(pages->GetPages(&ids))) return visit;
  g_Visit = &visit;
  const UINT_PTR timer = SetTimer(nullptr, 0, 100, CloseFrameTimer);
  IUnknown* objects[] = {Object};
  const HRESULT hr = OleCreatePropertyFrame(nullptr, 0, 0, L"Camera", 1, objects, ids.cElems, ids.pElems, 0, 0, nullptr);
  KillTimer(nullptr, timer);
  g_Visit = nullptr;
  CoTaskMemFree(ids.pElems);
  EXPECT_EQ(hr, S_OK);
  return visit;
}

TEST(TestCamPages, FilterAndPinNameTheirPages) {
  ComPtr<IBaseFilter> filter;
  ASSERT_EQ(CoCreateInstance(CLSID_LmTestCamera, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&filter)), S_OK);
  CAUUID ids{};
  ASSERT_EQ(As<ISpecifyPropertyPages>(filter.Get())->GetPages(&ids), S_OK);
  ASSERT_EQ(ids.cElems, 1u);
  EXPECT_TRUE(IsEqualCLSID(ids.pElems[0], CLSID_LmTestCameraPropertyPage));
  CoTaskMemFree(ids.pElems);
  ASSERT_EQ(As<ISpecifyPropertyPages>(PinOf(filter.Get(), L"Capture").Get())->GetPages(&ids), S_OK);
  ASSERT_EQ(ids.cElems, 1u);
  EXPECT_TRUE(IsEqualCLSID(ids.pElems[0], CLSID_LmTestCameraFormatPage));
  CoTaskMemFree(ids.pElems);
  EXPECT_EQ(As<ISpecifyPropertyPages>(filter.Get())->GetPages(nullptr), E_POINTER);
}

TEST(TestCamPages, PropertyFrameShowsTheFilterPage) {
  ComPtr<IBaseFilter> filter = BindCamera(kLmTestCameraPreviewName);
  ASSERT_TRUE(filter);
  const FrameVisit visit = ShowPages(filter.Get());
  EXPECT_TRUE(visit.PageFound) << "no page window in the frame";
  EXPECT_NE(visit.PageTexts.find(kLmTestCameraPreviewName), std::wstring::npos) << fakes::Narrow(visit.PageTexts);
  EXPECT_NE(visit.PageTexts.find(L"Preview: 160 x 120"), std::wstring::npos) << fakes::Narrow(visit.PageTexts);
}

TEST(TestCamPages, PropertyFrameShowsThePinPageWithEveryFormat) {
  ComPtr<IBaseFilter> filter = BindCamera(kLmTestCameraName);
  ASSERT_TRUE(filter);
  const FrameVisit visit = ShowPages(PinOf(filter.Get(), L"Capture").Get());
  EXPECT_TRUE(visit.PageFound);
  EXPECT_EQ(visit.ListItems, 6);
  EXPECT_NE(visit.PageTexts.find(L"30"), std::wstring::npos) << fakes::Narrow(visit.PageTexts);

  ComPtr<IBaseFilter> uvc = BindCamera(kLmTestCameraUvcName);
  ASSERT_TRUE(uvc);
  EXPECT_EQ(ShowPages(PinOf(uvc.Get(), L"Capture").Get()).ListItems, 9);
}

// A page site that records what the page tells its frame.
class FakePageSite : public fakes::FakeComObject<IPropertyPageSite> {
public:
  STDMETHODIMP OnStatusChange(DWORD dwFlags) override {
    Changes.push_back(dwFlags);
    return S_OK;
  }
  STDMETHODIMP GetLocaleID(LCID* pLocaleID) override {
    *pLocaleID = 0x0409;
    return S_OK;
  }
  STDMETHODIMP GetPageContainer(IUnknown**) override { return E_NOTIMPL; }
  STDMETHODIMP TranslateAccelerator(MSG*) override { return E_NOTIMPL; }
  std::vector<DWORD> Changes;
};

class TestCamFormatPage : public fakes::FakeComTest {};

TEST_F(TestCamFormatPage, ApplySetsTheChosenFormatAndRate) {
  ComPtr<IBaseFilter> filter;
  ASSERT_EQ(CoCreateInstance(CLSID_LmTestCamera, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&filter)), S_OK);
  ComPtr<IPin> pin = PinOf(filter.Get(), L"Capture");
  ComPtr<IPropertyPage> page;
  ASSERT_EQ(CoCreateInstance(CLSID_LmTestCameraFormatPage, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&page)), S_OK);
  ComPtr<FakePageSite> site;
  site = Adopt(new FakePageSite());
  ASSERT_EQ(page->SetPageSite(site.Get()), S_OK);
  IUnknown* objects[] = {pin.Get()};
  ASSERT_EQ(page->SetObjects(1, objects), S_OK);
  PROPPAGEINFO info{};
  ASSERT_EQ(page->GetPageInfo(&info), S_OK);
  EXPECT_GT(info.size.cx, 0);
  CoTaskMemFree(info.pszTitle);
  CoTaskMemFree(info.pszDocString);
  CoTaskMemFree(info.pszHelpFile);

  HWND host = CreateWindowExW(0, L"STATIC", L"host", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300, nullptr, nullptr,
                              GetModuleHandleW(nullptr), nullptr);
  ASSERT_TRUE(host);
  RECT rect{0, 0, 300, 200};
  ASSERT_EQ(page->Activate(host, &rect, TRUE), S_OK);
  EXPECT_EQ(page->IsPageDirty(), S_FALSE);
  HWND pageWindow = GetWindow(host, GW_CHILD);
  ASSERT_TRUE(pageWindow);
  HWND list = GetDlgItem(pageWindow, kFormatList);
  HWND rate = GetDlgItem(pageWindow, kFrameRate);
  ASSERT_TRUE(list && rate);
  EXPECT_EQ(SendMessageW(list, LB_GETCOUNT, 0, 0), 6);
  EXPECT_EQ(SendMessageW(list, LB_GETCURSEL, 0, 0), 0) << "the current format is selected";

  // Choose 640 x 480 at 15 frames per second, as a user would.
  SendMessageW(list, LB_SETCURSEL, 2, 0);
  SendMessageW(pageWindow, WM_COMMAND, MAKEWPARAM(kFormatList, LBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
  SetWindowTextW(rate, L"15");
  EXPECT_EQ(page->IsPageDirty(), S_OK);
  EXPECT_FALSE(site->Changes.empty()) << "the frame was not told the page changed";
  if (!site->Changes.empty()) {
    EXPECT_TRUE(site->Changes.back() & PROPPAGESTATUS_DIRTY);
  }

  ASSERT_EQ(page->Apply(), S_OK);
  EXPECT_EQ(page->IsPageDirty(), S_FALSE);
  TypeHolder format;
  ASSERT_EQ(As<IAMStreamConfig>(pin.Get())->GetFormat(format.Put()), S_OK);
  EXPECT_EQ(BitmapOf(*format.Type)->biWidth, 640);
  EXPECT_EQ(BitmapOf(*format.Type)->biHeight, 480);
  EXPECT_EQ(FrameIntervalOf(*format.Type), 666666);

  // A format the pin refuses now (not stopped) fails Apply and leaves the page dirty.
  ASSERT_EQ(filter->Pause(), S_OK);
  SendMessageW(list, LB_SETCURSEL, 1, 0);
  SendMessageW(pageWindow, WM_COMMAND, MAKEWPARAM(kFormatList, LBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
  EXPECT_EQ(page->Apply(), VFW_E_NOT_STOPPED);
  EXPECT_EQ(page->IsPageDirty(), S_OK);
  ASSERT_EQ(filter->Stop(), S_OK);

  EXPECT_EQ(page->Deactivate(), S_OK);
  EXPECT_EQ(page->SetObjects(0, nullptr), S_OK);
  EXPECT_EQ(page->SetPageSite(nullptr), S_OK);
  DestroyWindow(host);
  page.Reset();
  site.Reset();
}

TEST_F(TestCamFormatPage, RefusesObjectsWithoutStreamConfiguration) {
  ComPtr<IPropertyPage> page;
  ASSERT_EQ(CoCreateInstance(CLSID_LmTestCameraFormatPage, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&page)), S_OK);
  ComPtr<IBaseFilter> filter;
  ASSERT_EQ(CoCreateInstance(CLSID_LmTestCamera, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&filter)), S_OK);
  IUnknown* objects[] = {filter.Get()};
  EXPECT_EQ(page->SetObjects(1, objects), E_NOINTERFACE);
}

}  // namespace
}  // namespace camtest
