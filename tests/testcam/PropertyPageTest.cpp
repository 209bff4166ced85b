// The camera's property pages: shown by OleCreatePropertyFrame (and closed again by a timer on
// the same thread), and the format page and the filter page's settings driven through
// IPropertyPage as a frame drives them.

#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>
#include <olectl.h>

#include <string>

#include "support/FakeComTest.h"
#include "testcam/CameraRig.h"
#include "testcam/LmTestCam.h"
#include "testcam/SettingRows.h"

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
  EXPECT_NE(visit.PageTexts.find(L"Video Proc Amp\nBrightness"), std::wstring::npos) << fakes::Narrow(visit.PageTexts);
  EXPECT_EQ(visit.PageTexts.find(L"Camera Control"), std::wstring::npos) << "only the UVC camera has one";
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

// A page of class Page driven through IPropertyPage as a frame drives it, in a host window.
class PageDriver : public fakes::FakeComTest {
protected:
  // Creates the page for Object and activates it; the page window, or nullptr.
  HWND Open(REFCLSID Page, IUnknown* Object, RECT Rect) {
    if (FAILED(CoCreateInstance(Page, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&m_Page)))) return nullptr;
    m_Site = Adopt(new FakePageSite());
    IUnknown* objects[] = {Object};
    if (m_Page->SetPageSite(m_Site.Get()) != S_OK || m_Page->SetObjects(1, objects) != S_OK) return nullptr;
    PROPPAGEINFO info{};
    if (m_Page->GetPageInfo(&info) != S_OK) return nullptr;
    EXPECT_GT(info.size.cx, 0);
    CoTaskMemFree(info.pszTitle);
    CoTaskMemFree(info.pszDocString);
    CoTaskMemFree(info.pszHelpFile);
    m_Host = CreateWindowExW(0, L"STATIC", L"host", WS_OVERLAPPEDWINDOW, 0, 0, Rect.right + 100, Rect.bottom + 100,
                             nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!m_Host || m_Page->Activate(m_Host, &Rect, TRUE) != S_OK) return nullptr;
    return GetWindow(m_Host, GW_CHILD);
  }
  void TearDown() override {
    if (m_Page) {
      EXPECT_EQ(m_Page->Deactivate(), S_OK);
      EXPECT_EQ(m_Page->SetObjects(0, nullptr), S_OK);
      EXPECT_EQ(m_Page->SetPageSite(nullptr), S_OK);
    }
    if (m_Host) DestroyWindow(m_Host);
    m_Page.Reset();
    m_Site.Reset();
    FakeComTest::TearDown();
  }

  ComPtr<IPropertyPage> m_Page;
  ComPtr<FakePageSite> m_Site;
  HWND m_Host = nullptr;
};

class TestCamFormatPage : public PageDriver {};

TEST_F(TestCamFormatPage, ApplySetsTheChosenFormatAndRate) {
  ComPtr<IBaseFilter> filter;
  ASSERT_EQ(CoCreateInstance(CLSID_LmTestCamera, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&filter)), S_OK);
  ComPtr<IPin> pin = PinOf(filter.Get(), L"Capture");
  HWND pageWindow = Open(CLSID_LmTestCameraFormatPage, pin.Get(), RECT{0, 0, 300, 200});
  ASSERT_TRUE(pageWindow);
  EXPECT_EQ(m_Page->IsPageDirty(), S_FALSE);
  HWND list = GetDlgItem(pageWindow, kFormatList);
  HWND rate = GetDlgItem(pageWindow, kFrameRate);
  ASSERT_TRUE(list && rate);
  EXPECT_EQ(SendMessageW(list, LB_GETCOUNT, 0, 0), 6);
  EXPECT_EQ(SendMessageW(list, LB_GETCURSEL, 0, 0), 0) << "the current format is selected";

  // Choose 640 x 480 at 15 frames per second, as a user would.
  SendMessageW(list, LB_SETCURSEL, 2, 0);
  SendMessageW(pageWindow, WM_COMMAND, MAKEWPARAM(kFormatList, LBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
  SetWindowTextW(rate, L"15");
  EXPECT_EQ(m_Page->IsPageDirty(), S_OK);
  EXPECT_FALSE(m_Site->Changes.empty()) << "the frame was not told the page changed";
  if (!m_Site->Changes.empty()) {
    EXPECT_TRUE(m_Site->Changes.back() & PROPPAGESTATUS_DIRTY);
  }

  ASSERT_EQ(m_Page->Apply(), S_OK);
  EXPECT_EQ(m_Page->IsPageDirty(), S_FALSE);
  TypeHolder format;
  ASSERT_EQ(As<IAMStreamConfig>(pin.Get())->GetFormat(format.Put()), S_OK);
  EXPECT_EQ(BitmapOf(*format.Type)->biWidth, 640);
  EXPECT_EQ(BitmapOf(*format.Type)->biHeight, 480);
  EXPECT_EQ(FrameIntervalOf(*format.Type), 666666);

  // A format the pin refuses now (not stopped) fails Apply and leaves the page dirty.
  ASSERT_EQ(filter->Pause(), S_OK);
  SendMessageW(list, LB_SETCURSEL, 1, 0);
  SendMessageW(pageWindow, WM_COMMAND, MAKEWPARAM(kFormatList, LBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
  EXPECT_EQ(m_Page->Apply(), VFW_E_NOT_STOPPED);
  EXPECT_EQ(m_Page->IsPageDirty(), S_OK);
  ASSERT_EQ(filter->Stop(), S_OK);
}

class TestCamFilterPage : public PageDriver {};

// The settings rows, driven as a user drives them, and read back through the filter's own
// interfaces.
TEST_F(TestCamFilterPage, ChangesTheSettingsThatGetReadsBack) {
  using lmcam::SettingGroup;
  using lmcam::SettingRows;
  ComPtr<IBaseFilter> filter;
  ASSERT_EQ(CoCreateInstance(CLSID_LmTestCameraUvc, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&filter)), S_OK);
  HWND pageWindow = Open(CLSID_LmTestCameraPropertyPage, filter.Get(), RECT{0, 0, 400, 520});
  ASSERT_TRUE(pageWindow);
  auto control = [&](int Id) { return GetDlgItem(pageWindow, Id); };
  const int brightness = SettingRows::SliderId(SettingGroup::VideoProcAmp, VideoProcAmp_Brightness);
  const int exposure = SettingRows::SliderId(SettingGroup::CameraControl, CameraControl_Exposure);
  const int exposureAuto = SettingRows::AutoId(SettingGroup::CameraControl, CameraControl_Exposure);
  // One row per setting; an Auto box only where the setting can be auto, checked as it starts.
  for (const auto& setting : kLmTestCameraUvcVideoProcAmp)
    EXPECT_TRUE(control(SettingRows::SliderId(SettingGroup::VideoProcAmp, setting.Property))) << setting.Property;
  for (const auto& setting : kLmTestCameraUvcCameraControl)
    EXPECT_TRUE(control(SettingRows::SliderId(SettingGroup::CameraControl, setting.Property))) << setting.Property;
  EXPECT_FALSE(control(SettingRows::SliderId(SettingGroup::CameraControl, CameraControl_Roll)));
  EXPECT_FALSE(control(SettingRows::AutoId(SettingGroup::VideoProcAmp, VideoProcAmp_Brightness)));
  ASSERT_TRUE(control(exposureAuto));
  EXPECT_EQ(SendMessageW(control(exposureAuto), BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_FALSE(IsWindowEnabled(control(exposure))) << "no slider while auto";

  // Brightness to 20 on its slider, exposure to manual -8, as a user does.
  auto slide = [&](int Id, LONG Position) {
    SendMessageW(control(Id), TBM_SETPOS, TRUE, Position);
    SendMessageW(pageWindow, WM_HSCROLL, MAKEWPARAM(TB_THUMBPOSITION, Position), reinterpret_cast<LPARAM>(control(Id)));
  };
  auto click = [&](int Id, bool Checked) {
    SendMessageW(control(Id), BM_SETCHECK, Checked ? BST_CHECKED : BST_UNCHECKED, 0);
    SendMessageW(pageWindow, WM_COMMAND, MAKEWPARAM(Id, BN_CLICKED), reinterpret_cast<LPARAM>(control(Id)));
  };
  slide(brightness, 20 - kLmTestCameraBrightness.Min);
  click(exposureAuto, false);
  EXPECT_TRUE(IsWindowEnabled(control(exposure)));
  slide(exposure, -8 - kLmTestCameraExposure.Min);
  EXPECT_EQ(m_Page->IsPageDirty(), S_OK);
  wchar_t text[16] = {};
  GetWindowTextW(control(SettingRows::ValueId(SettingGroup::CameraControl, CameraControl_Exposure)), text, 16);
  EXPECT_STREQ(text, L"-8");
  LONG value = 0, flags = 0;
  ASSERT_EQ(As<IAMVideoProcAmp>(filter.Get())->Get(VideoProcAmp_Brightness, &value, &flags), S_OK);
  EXPECT_EQ(value, 0) << "nothing changes before Apply";

  ASSERT_EQ(m_Page->Apply(), S_OK);
  EXPECT_EQ(m_Page->IsPageDirty(), S_FALSE);
  ASSERT_EQ(As<IAMVideoProcAmp>(filter.Get())->Get(VideoProcAmp_Brightness, &value, &flags), S_OK);
  EXPECT_EQ(value, 20);
  EXPECT_EQ(flags, VideoProcAmp_Flags_Manual);
  ASSERT_EQ(As<IAMCameraControl>(filter.Get())->Get(CameraControl_Exposure, &value, &flags), S_OK);
  EXPECT_EQ(value, -8);
  EXPECT_EQ(flags, CameraControl_Flags_Manual);

  // Back to auto: the camera's own value comes back onto the page.
  click(exposureAuto, true);
  ASSERT_EQ(m_Page->Apply(), S_OK);
  ASSERT_EQ(As<IAMCameraControl>(filter.Get())->Get(CameraControl_Exposure, &value, &flags), S_OK);
  EXPECT_EQ(value, kLmTestCameraExposure.AutoValue);
  EXPECT_EQ(flags, CameraControl_Flags_Auto);
  GetWindowTextW(control(SettingRows::ValueId(SettingGroup::CameraControl, CameraControl_Exposure)), text, 16);
  EXPECT_STREQ(text, L"-6");
  EXPECT_FALSE(IsWindowEnabled(control(exposure)));
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
