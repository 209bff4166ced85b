// TVLmPreview's stream formats and property-page dialogs against fake DirectShow objects:
// the public format operations and their error codes, every result of SetFormat with the
// graph taken apart and rebuilt around it, Start applying the selected entry, and the filter
// and capture-pin dialogs shown in a real OLE property frame with fake pages.

#include <gtest/gtest.h>

#include <control.h>
#include <functional>
#include <olectl.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "support/FakeComTest.h"
#include "support/FakeDeviceEnum.h"
#include "support/FakeGraph.h"
#include "support/GraphCalls.h"
#include "support/TestWindow.h"
#include "webcam/LmPreview.h"

using fakes::FakeCapability;
using fakes::FakeDevice;
using fakes::FakeDeviceSystem;
using fakes::FakeFilter;
using fakes::FakeFormat;
using fakes::FakeGraphSystem;
using fakes::Join;
using Microsoft::WRL::ComPtr;

namespace {

class FormatsPreview : public TVLmPreview {
public:
  using TVLmPreview::TVLmPreview;
  using TVLmPreview::GetFormats;
  using TVLmPreview::m_BitRate;
  using TVLmPreview::m_oldBitRate;
  using TVLmPreview::m_oldFrameRate;
  using TVLmPreview::m_oldVideoSize;
  using TVLmPreview::m_pDeviceFilter;
  using TVLmPreview::m_pGraphBuilder;
  using TVLmPreview::m_pVSI;
  using TVLmPreview::m_pVSI_Count;
  using TVLmPreview::m_SelectedIndex;
  using TVLmPreview::m_StrVideoSubType;
  using TVLmPreview::m_vih;
  using TVLmPreview::SetFormat;
  using TVLmPreview::Set_StrVideoSubType;
};

constexpr int kOpen = 2, kRunning = 6, kPaused = 18, kStopped = 258;

// {5A0F3C11-8E2B-4C55-9D1E-6B7A2C4D9E01}: the fake page's class, registered only in tests.
constexpr CLSID kFakePageClsid = {0x5a0f3c11, 0x8e2b, 0x4c55, {0x9d, 0x1e, 0x6b, 0x7a, 0x2c, 0x4d, 0x9e, 0x01}};

// The system whose log the fake page writes to (the running test's).
FakeGraphSystem* g_PageLog = nullptr;

// A property page that logs which object the frame gave it; everything else succeeds.
class FakePropertyPage : public fakes::FakeComObject<IPropertyPage> {
public:
  STDMETHODIMP SetPageSite(IPropertyPageSite*) override { return S_OK; }
  STDMETHODIMP Activate(HWND, LPCRECT, BOOL) override { return S_OK; }
  STDMETHODIMP Deactivate() override { return S_OK; }
  STDMETHODIMP GetPageInfo(PROPPAGEINFO* Info) override {
    ZeroMemory(Info, sizeof(*Info));
    Info->cb = sizeof(*Info);
    Info->pszTitle = static_cast<LPOLESTR>(CoTaskMemAlloc(6 * sizeof(wchar_t)));
    if (Info->pszTitle) std::memcpy(Info->pszTitle, L"Fake", 5 * sizeof(wchar_t));
    Info->size = SIZE{200, 100};
    return S_OK;
  }
  STDMETHODIMP SetObjects(ULONG Count, IUnknown** Objects) override {
    if (g_PageLog && Count > 0) {
      std::string labels;
      for (ULONG i = 0; i < Count; ++i) labels += (i ? ", " : "") + fakes::Label(Objects[i]);
      g_PageLog->Log.Add("IPropertyPage::SetObjects(" + labels + ")");
    }
    return S_OK;
  }
  STDMETHODIMP Show(UINT) override { return S_OK; }
  STDMETHODIMP Move(LPCRECT) override { return S_OK; }
  STDMETHODIMP IsPageDirty() override { return S_FALSE; }
  STDMETHODIMP Apply() override { return S_OK; }
  STDMETHODIMP Help(LPCOLESTR) override { return E_NOTIMPL; }
  STDMETHODIMP TranslateAccelerator(MSG*) override { return S_FALSE; }
};

// A device filter that may offer property pages (its GetPages is logged and scripted like the
// stream configuration's).
class PagedFilter : public FakeFilter, public ISpecifyPropertyPages {
public:
  PagedFilter(std::shared_ptr<FakeGraphSystem> System, std::string Label)
      : FakeFilter(System, std::move(Label)), m_System(std::move(System)) {}
  bool HasPages = false;
  std::vector<void*> PageArrays;

  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override { return FakeFilter::QueryInterface(riid, ppv); }
  STDMETHODIMP_(ULONG) AddRef() override { return FakeFilter::AddRef(); }
  STDMETHODIMP_(ULONG) Release() override { return FakeFilter::Release(); }
  STDMETHODIMP GetPages(CAUUID* Pages) override {
    Pages->cElems = 0;
    Pages->pElems = nullptr;
    const HRESULT hr = m_System->Answer("ISpecifyPropertyPages::GetPages(" + Label() + ")",
                                        "ISpecifyPropertyPages::GetPages");
    if (hr != S_OK) return hr;
    Pages->pElems = static_cast<GUID*>(CoTaskMemAlloc(sizeof(GUID)));
    Pages->pElems[0] = kFakePageClsid;
    Pages->cElems = 1;
    PageArrays.push_back(Pages->pElems);
    return hr;
  }

protected:
  void* QueryInterfaceExtra(REFIID riid) override {
    if (HasPages && IsEqualIID(riid, IID_ISpecifyPropertyPages)) return static_cast<ISpecifyPropertyPages*>(this);
    return nullptr;
  }

private:
  std::shared_ptr<FakeGraphSystem> m_System;
};

// Records every block freed through the task allocator while registered. It stays alive for
// the whole program: COM keeps a spy until the blocks allocated under it are gone.
class FreeSpy : public IMallocSpy {
public:
  std::set<void*> Freed;
  bool Recording = false;

  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IMallocSpy)) {
      *ppv = static_cast<IMallocSpy*>(this);
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return 2; }
  STDMETHODIMP_(ULONG) Release() override { return 1; }
  STDMETHODIMP_(SIZE_T) PreAlloc(SIZE_T Size) override { return Size; }
  STDMETHODIMP_(void*) PostAlloc(void* Actual) override { return Actual; }
  STDMETHODIMP_(void*) PreFree(void* Request, BOOL) override {
    if (Recording && Request) Freed.insert(Request);
    return Request;
  }
  STDMETHODIMP_(void) PostFree(BOOL) override {}
  STDMETHODIMP_(SIZE_T) PreRealloc(void* Request, SIZE_T Size, void** NewRequest, BOOL) override {
    *NewRequest = Request;
    return Size;
  }
  STDMETHODIMP_(void*) PostRealloc(void* Actual, BOOL) override { return Actual; }
  STDMETHODIMP_(void*) PreGetSize(void* Request, BOOL) override { return Request; }
  STDMETHODIMP_(SIZE_T) PostGetSize(SIZE_T Size, BOOL) override { return Size; }
  STDMETHODIMP_(void*) PreDidAlloc(void* Request, BOOL) override { return Request; }
  STDMETHODIMP_(int) PostDidAlloc(void*, BOOL, int Actual) override { return Actual; }
  STDMETHODIMP_(void) PreHeapMinimize() override {}
  STDMETHODIMP_(void) PostHeapMinimize() override {}
};
FreeSpy g_Spy;

// Closes every property frame this thread shows, from a timer, and notes how many it closed
// and how long the log was when each came up.
class FrameCloser {
public:
  explicit FrameCloser(FakeGraphSystem* System) {
    s_This = this;
    m_System = System;
    m_Timer = SetTimer(nullptr, 0, 50, &Tick);
  }
  ~FrameCloser() {
    KillTimer(nullptr, m_Timer);
    s_This = nullptr;
  }
  int Frames = 0;
  std::vector<size_t> LogSizeAtFrame;
  std::vector<HWND> Owners;

private:
  static BOOL CALLBACK Find(HWND Window, LPARAM Found) {
    wchar_t name[16] = {};
    GetClassNameW(Window, name, 16);
    if (IsWindowVisible(Window) && std::wstring(name) == L"#32770") {
      *reinterpret_cast<HWND*>(Found) = Window;
      return FALSE;
    }
    return TRUE;
  }
  static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    FrameCloser* self = s_This;
    if (!self) return;
    HWND frame = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), &Find, reinterpret_cast<LPARAM>(&frame));
    if (!frame || frame == self->m_LastFrame) return;
    self->m_LastFrame = frame;
    ++self->Frames;
    self->LogSizeAtFrame.push_back(self->m_System->Log.Calls().size());
    self->Owners.push_back(GetWindow(frame, GW_OWNER));
    PostMessageW(frame, WM_COMMAND, IDCANCEL, 0);
    PostMessageW(frame, WM_CLOSE, 0, 0);
  }
  static inline FrameCloser* s_This = nullptr;
  FakeGraphSystem* m_System = nullptr;
  UINT_PTR m_Timer = 0;
  HWND m_LastFrame = nullptr;
};

// The calls of SetupGraph1(false), SetupGraph2 and SetupVideoWindow on the working fake graph.
const char* const kGrabberAgain = "ISampleGrabber::SetMediaType(video, RGB24, VideoInfo); IFilterGraph::AddFilter(Sample Grabber)";
const std::string kRebuild = fakes::Join(
    {"ICaptureGraphBuilder2::RenderStream(preview, interleaved)", fakes::kCaptureToGrabber,
     "ISampleGrabber::GetConnectedMediaType; ISampleGrabber::SetBufferSamples(false); "
     "ISampleGrabber::SetOneShot(false); ISampleGrabber::SetCallback(null, 0)",
     fakes::kVideoWindowSetup});
// The same for a device without a stream configuration: its own format cannot be read, and the
// grabber takes 24-bit RGB.
const std::string kRebuildWithoutConfig = fakes::Join(
    {"ICaptureGraphBuilder2::RenderStream(preview, interleaved)", fakes::kFindStreamConfig,
     "ISampleGrabber::SetMediaType(video, RGB24, VideoInfo); ICaptureGraphBuilder2::RenderStream(capture, video); "
     "ISampleGrabber::GetConnectedMediaType; ISampleGrabber::SetBufferSamples(false); "
     "ISampleGrabber::SetOneShot(false); ISampleGrabber::SetCallback(null, 0)",
     fakes::kVideoWindowSetup});
// The pending snapshot dropped, then RemoveDownstream of the fixture's device, whose capture
// pin feeds "renderer".
const std::string kTakeApart = fakes::Join({"ISampleGrabber::SetCallback(null, 0)", fakes::kRemoveRenderer});
const char* const kFindConfig = fakes::kFindStreamConfig;

class FormatsTest : public fakes::FakeComTest {
protected:
  static void SetUpTestSuite() {
    s_Host = new testwin::HostWindow(320, 240);
    s_SpyRegistered = CoRegisterMallocSpy(&g_Spy) == S_OK;
    // Wine's allocator looks a block up in the spy's table on every size query, but creates
    // that table only with the first spied allocation: make one, so that freeing a string the
    // string cache kept from before the spy (SysFreeString asks for its size) finds a table.
    if (s_SpyRegistered) CoTaskMemFree(CoTaskMemAlloc(1));
  }
  static void TearDownTestSuite() {
    if (s_SpyRegistered) CoRevokeMallocSpy();  // may stay until blocks allocated under it go
    delete s_Host;
    s_Host = nullptr;
  }
  static inline testwin::HostWindow* s_Host = nullptr;
  static inline bool s_SpyRegistered = false;

  void SetUp() override {
    FakeComTest::SetUp();
    ASSERT_TRUE(s_SpyRegistered) << "the allocator spy that sees page arrays freed";
    m_Devices = std::make_shared<FakeDeviceSystem>();
    FakeDevice device;
    device.FriendlyName = L"Camera";
    m_Devices->Devices.push_back(device);
    m_DeviceRegistration = std::make_unique<fakes::FakeDeviceEnumRegistration>(m_Devices);
    ASSERT_EQ(m_DeviceRegistration->Result(), S_OK);
    m_Graph = std::make_shared<FakeGraphSystem>();
    m_Graph->ScriptWorkingGraph();
    m_Graph->Script("IFilterGraph::AddFilter", S_OK);
    m_Graph->Script("IAMStreamConfig::SetFormat", S_OK);
    m_Graph->Script("ISpecifyPropertyPages::GetPages", S_OK);
    // Capability 1 is not a video-info format; the list is 320x240, 640x480, 1280x720, 640x480
    // (a second subtype), from capabilities 0, 2, 3, 4.
    m_Graph->Capabilities = {FakeCapability::Video(320, 240), FakeCapability::Video(640, 480),
                             FakeCapability::Video(640, 480, 666666, 166666, 2000000),
                             FakeCapability::Video(1280, 720, 333333), FakeCapability::Video(640, 480)};
    m_Graph->Capabilities[1].Format.FormatType = FORMAT_VideoInfo2;
    m_Graph->Capabilities[4].Format.SubType = MEDIASUBTYPE_YUY2;
    m_Graph->Capabilities[4].Format.Header.bmiHeader.biBitCount = 16;
    m_Graph->Capabilities[4].Format.Header.bmiHeader.biCompression = MAKEFOURCC('Y', 'U', 'Y', '2');
    m_GraphRegistration = std::make_unique<fakes::FakeGraphRegistration>(m_Graph);
    ASSERT_TRUE(m_GraphRegistration->Registered());
    m_PageRegistration = std::make_unique<fakes::ScopedClassRegistration>(
        kFakePageClsid, [](REFIID riid, void** ppv) { return fakes::HandOut(new FakePropertyPage(), riid, ppv); });
    ASSERT_EQ(m_PageRegistration->Result(), S_OK);
    g_PageLog = m_Graph.get();
    m_Graph->ConfigPages = {kFakePageClsid};
  }
  void TearDown() override {
    m_Preview.reset();
    m_Device.Reset();
    m_Renderer.Reset();
    g_PageLog = nullptr;
    m_PageRegistration.reset();
    m_GraphRegistration.reset();
    m_DeviceRegistration.reset();
    FakeComTest::TearDown();
  }

  FormatsPreview& Preview() {
    if (!m_Preview) {
      m_Preview = std::make_unique<FormatsPreview>(nullptr);
      m_Preview->SetParentWindow(s_Host->Handle());
      m_Graph->Window = m_Preview->Handle();
    }
    return *m_Preview;
  }
  FakeGraphSystem& Graph() { return *m_Graph; }
  std::string TakeCalls() {
    std::string calls = m_Graph->Log.Joined();
    m_Graph->Log.Clear();
    return calls;
  }

  // Opens the preview and drives it into State; the device filter is then replaced by one whose
  // capture pin feeds a filter "renderer" in the graph, so that taking the graph apart shows.
  void Reach(int State) {
    ASSERT_TRUE(Preview().Open(0));
    m_Device = new PagedFilter(m_Graph, "device");
    m_Device->Release();  // the ComPtr took its own reference
    Preview().m_pDeviceFilter = m_Device;
    ConnectRenderer();
    if (State != kOpen) {
      ASSERT_TRUE(Preview().Start(vlmVideoStretch));
    }
    if (State == kPaused) {
      ASSERT_TRUE(Preview().Pause());
    }
    if (State == kStopped) {
      ASSERT_TRUE(Preview().Stop());
    }
    ASSERT_EQ(Preview().State().Value(), State);
    Graph().Log.Clear();
  }
  void ConnectRenderer() {
    if (!m_Renderer) {
      m_Renderer = new FakeFilter(m_Graph, "renderer");
      m_Renderer->Release();
      m_Renderer->AddPin("in", PINDIR_INPUT);
      m_Device->AddPin("capture", PINDIR_OUTPUT);
    }
    fakes::Link(m_Device->Pins()[0].Get(), m_Renderer->Pins()[0].Get());
    Preview().m_pGraphBuilder->AddFilter(m_Renderer.Get(), L"renderer");
    Graph().Log.Clear();
  }

  std::shared_ptr<FakeDeviceSystem> m_Devices;
  std::shared_ptr<FakeGraphSystem> m_Graph;
  std::unique_ptr<fakes::FakeDeviceEnumRegistration> m_DeviceRegistration;
  std::unique_ptr<fakes::FakeGraphRegistration> m_GraphRegistration;
  std::unique_ptr<fakes::ScopedClassRegistration> m_PageRegistration;
  std::unique_ptr<FormatsPreview> m_Preview;
  ComPtr<PagedFilter> m_Device;
  ComPtr<FakeFilter> m_Renderer;
};

// ---- GetStreamFormats, GetStreamFormat ----

TEST_F(FormatsTest, GetStreamFormatsCountsTheFilledEntriesOrReports11And2) {
  EXPECT_EQ(Preview().GetStreamFormats(), 0);
  EXPECT_EQ(Preview().ErrorStatus(), 11);

  // Ten capabilities, two of them not video-info: eight entries with the device's numbers.
  std::vector<FakeCapability> caps;
  for (int j = 0; j < 10; ++j) caps.push_back(FakeCapability::Video(100 + j, 100));
  caps[2].Format.FormatType = FORMAT_VideoInfo2;
  caps[7].Format.FormatType = FORMAT_MPEG2Video;
  Graph().Capabilities = caps;
  Reach(kOpen);
  EXPECT_EQ(Preview().GetStreamFormats(), 8);
  EXPECT_EQ(Preview().ErrorStatus(), 0);
  std::vector<int> indices;
  for (int i = 0; i < 8; ++i) indices.push_back(Preview().m_pVSI[static_cast<size_t>(i)].Index);
  EXPECT_EQ(indices, (std::vector<int>{0, 1, 3, 4, 5, 6, 8, 9}));
  for (int state : {kRunning, kPaused}) {
    if (state == kRunning) {
      ASSERT_TRUE(Preview().Start(vlmVideoStretch));
    }
    if (state == kPaused) {
      ASSERT_TRUE(Preview().Pause());
    }
    EXPECT_EQ(Preview().GetStreamFormats(), 8);
    EXPECT_EQ(Preview().ErrorStatus(), 0);
  }
  Graph().Log.Clear();

  // Only other format types: the array has its length and no entry: 0 with error 0.
  for (auto& cap : Graph().Capabilities) cap.Format.FormatType = FORMAT_VideoInfo2;
  Preview().GetFormats(m_Device.Get());
  EXPECT_EQ(Preview().GetStreamFormats(), 0);
  EXPECT_EQ(Preview().ErrorStatus(), 0);
  // No stream configuration: the array is empty: 0 with error 2.
  Graph().Script("ICaptureGraphBuilder2::FindInterface(capture, video, IAMStreamConfig)", E_NOINTERFACE);
  Preview().GetFormats(m_Device.Get());
  EXPECT_EQ(Preview().GetStreamFormats(), 0);
  EXPECT_EQ(Preview().ErrorStatus(), 2);
  // A structure size other than 128 empties it too.
  Graph().Script("ICaptureGraphBuilder2::FindInterface(capture, video, IAMStreamConfig)", S_OK);
  Graph().Capabilities = caps;
  Preview().GetFormats(m_Device.Get());
  ASSERT_EQ(Preview().GetStreamFormats(), 8);
  Graph().CapabilitySize = 127;
  Preview().GetFormats(m_Device.Get());
  EXPECT_EQ(Preview().GetStreamFormats(), 0);
  EXPECT_EQ(Preview().ErrorStatus(), 2);
}

TEST_F(FormatsTest, CurrentFormatWithoutTimePerFrameLeavesTheFrameRate) {
  FakeFormat current = FakeFormat::Video(640, 480, 24, 0);
  Graph().CurrentFormat = current;
  Preview().SetFrameRate(12.5);
  ASSERT_TRUE(Preview().Open(0));
  EXPECT_EQ(Preview().VideoSize().cx, 640);  // the rest is loaded
  EXPECT_EQ(Preview().FrameRate(), 12.5);
  EXPECT_EQ(Preview().m_pVSI_Count[1], 4);
}

TEST_F(FormatsTest, GetStreamFormatLoadsOneEntryAndChecksItsIndex) {
  EXPECT_FALSE(Preview().GetStreamFormat(0));
  EXPECT_EQ(Preview().ErrorStatus(), 11);
  EXPECT_FALSE(Preview().GetStreamFormat(-1));
  EXPECT_EQ(Preview().ErrorStatus(), 11);

  Reach(kOpen);
  Preview().m_BitRate = 4321;
  const double oldRate = Preview().m_oldFrameRate;
  const uint32_t oldBitRate = Preview().m_oldBitRate;
  for (int index : {4, 5, -2, std::numeric_limits<int32_t>::min()}) {
    SCOPED_TRACE(index);
    EXPECT_FALSE(Preview().GetStreamFormat(index));
    EXPECT_EQ(Preview().ErrorStatus(), 5);
    EXPECT_EQ(Preview().VideoSize().cx, 320);
  }

  // Entry 3 is capability 4: 640 x 480 YUY2.
  ASSERT_TRUE(Preview().GetStreamFormat(3));
  EXPECT_EQ(Preview().ErrorStatus(), 0);
  EXPECT_EQ(Preview().VideoSize().cx, 640);
  EXPECT_EQ(Preview().VideoSize().cy, 480);
  EXPECT_TRUE(IsEqualGUID(Preview().VideoSubType(), MEDIASUBTYPE_YUY2));
  EXPECT_EQ(Preview().m_StrVideoSubType, L"{32595559-0000-0010-8000-00AA00389B71}");
  EXPECT_EQ(Preview().BitCount(), 16);
  EXPECT_EQ(Preview().Compression(), static_cast<uint32_t>(MAKEFOURCC('Y', 'U', 'Y', '2')));
  EXPECT_DOUBLE_EQ(Preview().FrameRate(), 10000000.0 / 333333);
  EXPECT_DOUBLE_EQ(Preview().MinimumFrameRate(), 1.0);
  EXPECT_DOUBLE_EQ(Preview().MaximumFrameRate(), 10000000.0 / 333333);
  // Left alone: the bit rate, the last-applied values, the selection.
  EXPECT_EQ(Preview().m_BitRate, 4321u);
  EXPECT_EQ(Preview().m_oldFrameRate, oldRate);
  EXPECT_EQ(Preview().m_oldBitRate, oldBitRate);
  EXPECT_EQ(Preview().m_oldVideoSize.cx, 320);
  EXPECT_EQ(Preview().m_SelectedIndex, 0);

  // -1 loads the selected entry.
  Preview().m_SelectedIndex = 1;
  ASSERT_TRUE(Preview().GetStreamFormat(-1));
  EXPECT_EQ(Preview().VideoSize().cx, 640);
  EXPECT_TRUE(IsEqualGUID(Preview().VideoSubType(), MEDIASUBTYPE_RGB24));
  EXPECT_DOUBLE_EQ(Preview().FrameRate(), 15.000015000015);
  EXPECT_DOUBLE_EQ(Preview().MinimumFrameRate(), 5.0);
  EXPECT_DOUBLE_EQ(Preview().MaximumFrameRate(), 10000000.0 / 166666);
  EXPECT_EQ(Preview().m_SelectedIndex, 1);
  // -1 with a selection outside the list is out of range.
  Preview().m_SelectedIndex = 9;
  EXPECT_FALSE(Preview().GetStreamFormat(-1));
  EXPECT_EQ(Preview().ErrorStatus(), 5);
  EXPECT_EQ(TakeCalls(), "") << "the device is not asked";
}

TEST_F(FormatsTest, SubtypeTextIsTheRegistryForm) {
  Preview().Set_StrVideoSubType(MEDIATYPE_Video);
  EXPECT_EQ(Preview().m_StrVideoSubType, L"{73646976-0000-0010-8000-00AA00389B71}");
  Preview().Set_StrVideoSubType(GUID_NULL);
  EXPECT_EQ(Preview().m_StrVideoSubType, L"{00000000-0000-0000-0000-000000000000}");
}

// ---- SetFormat ----

TEST_F(FormatsTest, SetFormatAppliesTheEntryWithTheRateInsideARebuiltGraph) {
  Reach(kOpen);
  struct Case {
    double Rate;
    REFERENCE_TIME Expected;
  };
  for (const Case c : {Case{30.0, 333333}, Case{15.0, 666666}, Case{7.0, 1428571}, Case{60.0, 166666}}) {
    SCOPED_TRACE(c.Rate);
    ConnectRenderer();
    Graph().AppliedFormats.clear();
    Preview().SetFrameRate(c.Rate);
    // Entry 1 is capability 2, asked for by the device's number.
    EXPECT_EQ(Preview().SetFormat(m_Device.Get(), 1), 1);
    EXPECT_EQ(TakeCalls(), Join({kTakeApart, kGrabberAgain, kFindConfig, "IAMStreamConfig::GetNumberOfCapabilities",
                                 "IAMStreamConfig::GetStreamCaps(2)", "IAMStreamConfig::SetFormat", kRebuild}));
    ASSERT_EQ(Graph().AppliedFormats.size(), 1u);
    const FakeFormat& applied = Graph().AppliedFormats[0];
    EXPECT_EQ(applied.Header.AvgTimePerFrame, c.Expected);
    EXPECT_TRUE(IsEqualGUID(applied.MajorType, MEDIATYPE_Video));
    EXPECT_TRUE(IsEqualGUID(applied.SubType, MEDIASUBTYPE_RGB24));
    EXPECT_TRUE(IsEqualGUID(applied.FormatType, FORMAT_VideoInfo));
    EXPECT_EQ(applied.Header.bmiHeader.biWidth, 640);
    EXPECT_EQ(applied.Header.bmiHeader.biHeight, 480);
    // SetFormat writes none of the component's fields.
    EXPECT_EQ(Preview().VideoSize().cx, 320);
    EXPECT_EQ(Preview().m_SelectedIndex, 0);
    EXPECT_EQ(Preview().FrameRate(), c.Rate);
  }
}

TEST_F(FormatsTest, SetFormatSkipsWhenNothingChangedAndRefusesIndicesOutsideTheList) {
  Reach(kOpen);
  // The device's current format is entry 0 at the rate last applied.
  EXPECT_EQ(Preview().SetFormat(m_Device.Get(), 0), 0);
  for (int index : {-1, 4, 5, -100}) {
    SCOPED_TRACE(index);
    EXPECT_EQ(Preview().SetFormat(m_Device.Get(), index), -1);
  }
  EXPECT_EQ(TakeCalls(), "") << "nothing is taken apart";
  EXPECT_TRUE(Graph().AppliedFormats.empty());

  // Same subtype and size, another entry: skipped too (the list position does not matter).
  Graph().Capabilities[3] = FakeCapability::Video(320, 240);
  Preview().GetFormats(m_Device.Get());
  Graph().Log.Clear();
  EXPECT_EQ(Preview().SetFormat(m_Device.Get(), 2), 0);
  EXPECT_EQ(TakeCalls(), "");
  // Any difference applies: the subtype, the width or height, the rate.
  const double rate = Preview().FrameRate();
  Preview().m_oldFrameRate = rate + 0.001;
  EXPECT_EQ(Preview().SetFormat(m_Device.Get(), 0), 1);
  Preview().m_oldFrameRate = rate;
  EXPECT_EQ(Preview().SetFormat(m_Device.Get(), 3), 1);  // YUY2, 640 x 480
  EXPECT_EQ(Preview().SetFormat(m_Device.Get(), 1), 1);  // RGB24, 640 x 480
  Graph().Capabilities[2] = FakeCapability::Video(320, 480);
  Graph().Capabilities[3] = FakeCapability::Video(640, 240);
  Preview().GetFormats(m_Device.Get());
  EXPECT_EQ(Preview().SetFormat(m_Device.Get(), 1), 1);
  EXPECT_EQ(Preview().SetFormat(m_Device.Get(), 2), 1);
  EXPECT_EQ(Graph().AppliedFormats.size(), 5u);
}

TEST_F(FormatsTest, SetFormatFailuresGiveMinus2WithTheGraphRebuilt) {
  struct Failure {
    const char* Name;
    std::function<void(FakeGraphSystem&, FormatsPreview&)> Arrange;
    const char* ConfigCalls;  // what happens between taking apart and rebuilding
  };
  const std::string caps2 = std::string(kFindConfig) + "; IAMStreamConfig::GetNumberOfCapabilities; "
                                                       "IAMStreamConfig::GetStreamCaps(2)";
  const std::string refused = caps2 + "; IAMStreamConfig::SetFormat";
  const std::string counted = std::string(kFindConfig) + "; IAMStreamConfig::GetNumberOfCapabilities";
  const auto mismatch = [](std::function<void(FakeFormat&)> Change) {
    return [Change](FakeGraphSystem& G, FormatsPreview&) { Change(G.Capabilities[2].Format); };
  };
  const auto rate = [](double Rate) { return [Rate](FakeGraphSystem&, FormatsPreview& P) { P.SetFrameRate(Rate); }; };
  const Failure failures[] = {
      {"no stream configuration",
       [](FakeGraphSystem& G, FormatsPreview&) {
         G.Script("ICaptureGraphBuilder2::FindInterface(capture, video, IAMStreamConfig)", E_NOINTERFACE);
       },
       kFindConfig},
      {"capability count fails",
       [](FakeGraphSystem& G, FormatsPreview&) { G.Script("IAMStreamConfig::GetNumberOfCapabilities", E_FAIL); },
       counted.c_str()},
      {"capability count gives S_FALSE",
       [](FakeGraphSystem& G, FormatsPreview&) { G.Script("IAMStreamConfig::GetNumberOfCapabilities", S_FALSE); },
       counted.c_str()},
      {"structure size 64", [](FakeGraphSystem& G, FormatsPreview&) { G.CapabilitySize = 64; }, counted.c_str()},
      {"capability fails",
       [](FakeGraphSystem& G, FormatsPreview&) { G.Script("IAMStreamConfig::GetStreamCaps", E_FAIL); }, caps2.c_str()},
      {"capability gives S_FALSE",
       [](FakeGraphSystem& G, FormatsPreview&) { G.Script("IAMStreamConfig::GetStreamCaps", S_FALSE); },
       caps2.c_str()},
      {"other major type", mismatch([](FakeFormat& F) { F.MajorType = MEDIATYPE_Audio; }), caps2.c_str()},
      {"other format type", mismatch([](FakeFormat& F) { F.FormatType = FORMAT_VideoInfo2; }), caps2.c_str()},
      {"other subtype", mismatch([](FakeFormat& F) { F.SubType = MEDIASUBTYPE_RGB32; }), caps2.c_str()},
      {"other width", mismatch([](FakeFormat& F) { F.Header.bmiHeader.biWidth = 641; }), caps2.c_str()},
      {"other height", mismatch([](FakeFormat& F) { F.Header.bmiHeader.biHeight = -480; }), caps2.c_str()},
      {"SetFormat refused",
       [](FakeGraphSystem& G, FormatsPreview&) { G.Script("IAMStreamConfig::SetFormat", E_INVALIDARG); },
       refused.c_str()},
      {"SetFormat gives S_FALSE",
       [](FakeGraphSystem& G, FormatsPreview&) { G.Script("IAMStreamConfig::SetFormat", S_FALSE); }, refused.c_str()},
      {"rate 0", rate(0.0), caps2.c_str()},
      {"negative rate", rate(-30.0), caps2.c_str()},
      {"NaN rate", rate(std::nan("")), caps2.c_str()},
      {"infinite rate", rate(std::numeric_limits<double>::infinity()), caps2.c_str()},
      {"minus infinite rate", rate(-std::numeric_limits<double>::infinity()), caps2.c_str()},
      {"rate whose time per frame exceeds 64 bits", rate(1e-12), caps2.c_str()},
      {"smallest positive rate", rate(std::numeric_limits<double>::denorm_min()), caps2.c_str()},
  };
  for (const Failure& failure : failures) {
    SCOPED_TRACE(failure.Name);
    m_Preview.reset();
    m_Device.Reset();
    m_Renderer.Reset();
    Graph().CapabilitySize = sizeof(VIDEO_STREAM_CONFIG_CAPS);
    Graph().AppliedFormats.clear();
    Reach(kOpen);
    failure.Arrange(Graph(), Preview());
    EXPECT_EQ(Preview().SetFormat(m_Device.Get(), 1), -2);
    const bool withoutConfig = std::string(failure.Name) == "no stream configuration";
    EXPECT_EQ(TakeCalls(), Join({kTakeApart, kGrabberAgain, failure.ConfigCalls, withoutConfig ? kRebuildWithoutConfig : kRebuild}));
    EXPECT_EQ(Graph().AppliedFormats.size(), std::string(failure.ConfigCalls).find("SetFormat") != std::string::npos ? 1u : 0u);
    // The public operation reports 2 and keeps the selection and the properties.
    ConnectRenderer();
    EXPECT_FALSE(Preview().SetStreamFormat(1));
    EXPECT_EQ(Preview().ErrorStatus(), 2);
    EXPECT_EQ(Preview().m_SelectedIndex, 0);
    EXPECT_EQ(Preview().VideoSize().cx, 320);
    // Undo the scripts of this case.
    Graph().Script("ICaptureGraphBuilder2::FindInterface(capture, video, IAMStreamConfig)", S_OK);
    Graph().Script("IAMStreamConfig::GetNumberOfCapabilities", S_OK);
    Graph().Script("IAMStreamConfig::GetStreamCaps", S_OK);
    Graph().Script("IAMStreamConfig::SetFormat", S_OK);
    Graph().Capabilities[2] = FakeCapability::Video(640, 480, 666666, 166666, 2000000);
    Preview().SetFrameRate(30.0);
  }
}

// ---- SetStreamFormat, Start ----

TEST_F(FormatsTest, SetStreamFormatRefusesWhileClosedOrRunningAndOutsideTheList) {
  EXPECT_FALSE(Preview().SetStreamFormat(0));
  EXPECT_EQ(Preview().ErrorStatus(), 11);
  Reach(kRunning);
  Preview().SetFrameRate(15);
  EXPECT_FALSE(Preview().SetStreamFormat(1));
  EXPECT_EQ(Preview().ErrorStatus(), 11);
  EXPECT_EQ(TakeCalls(), "");
  ASSERT_TRUE(Preview().Stop());
  Graph().Log.Clear();
  for (int index : {-1, 4}) {
    SCOPED_TRACE(index);
    EXPECT_FALSE(Preview().SetStreamFormat(index));
    EXPECT_EQ(Preview().ErrorStatus(), 5);
    EXPECT_EQ(TakeCalls(), "");
    EXPECT_EQ(Preview().m_SelectedIndex, 0);
  }
  EXPECT_TRUE(Graph().AppliedFormats.empty());
}

TEST_F(FormatsTest, SetStreamFormatAppliedCopiesTheEntryAndSelectsIt) {
  for (int state : {kOpen, kPaused, kStopped}) {
    SCOPED_TRACE(state);
    m_Preview.reset();
    m_Device.Reset();
    m_Renderer.Reset();
    Graph().AppliedFormats.clear();
    Reach(state);
    Preview().m_BitRate = 777;
    Preview().SetFrameRate(20.0);
    const double minRate = Preview().MinimumFrameRate();
    ASSERT_TRUE(Preview().SetStreamFormat(3)) << Preview().ErrorStatus();
    EXPECT_EQ(Preview().ErrorStatus(), 0);
    ASSERT_EQ(Graph().AppliedFormats.size(), 1u);
    EXPECT_EQ(Graph().AppliedFormats[0].Header.AvgTimePerFrame, 500000);
    EXPECT_TRUE(IsEqualGUID(Graph().AppliedFormats[0].SubType, MEDIASUBTYPE_YUY2));
    EXPECT_EQ(Preview().m_SelectedIndex, 3);
    EXPECT_EQ(Preview().m_oldVideoSize.cx, 320);
    EXPECT_EQ(Preview().m_oldVideoSize.cy, 240);
    EXPECT_EQ(Preview().VideoSize().cx, 640);
    EXPECT_EQ(Preview().VideoSize().cy, 480);
    EXPECT_TRUE(IsEqualGUID(Preview().VideoSubType(), MEDIASUBTYPE_YUY2));
    EXPECT_EQ(Preview().m_StrVideoSubType, L"{32595559-0000-0010-8000-00AA00389B71}");
    EXPECT_EQ(Preview().BitCount(), 16);
    EXPECT_EQ(Preview().Compression(), static_cast<uint32_t>(MAKEFOURCC('Y', 'U', 'Y', '2')));
    // The rate applied was FrameRate's: it stays, and becomes the last-applied one.
    EXPECT_EQ(Preview().FrameRate(), 20.0);
    EXPECT_EQ(Preview().m_oldFrameRate, 20.0);
    EXPECT_EQ(Preview().m_oldBitRate, 777u);
    EXPECT_EQ(Preview().MinimumFrameRate(), minRate);
    EXPECT_EQ(Preview().State().Value(), state);

    // Looking at an entry and then selecting it applies it: the device runs entry 3, whatever
    // GetStreamFormat loaded into the format properties.
    ASSERT_TRUE(Preview().GetStreamFormat(0));
    Preview().m_oldFrameRate = Preview().FrameRate();
    EXPECT_TRUE(Preview().SetStreamFormat(0));
    EXPECT_EQ(Preview().ErrorStatus(), 0);
    EXPECT_EQ(Preview().m_SelectedIndex, 0);
    ASSERT_EQ(Graph().AppliedFormats.size(), 2u);
    EXPECT_TRUE(IsEqualGUID(Graph().AppliedFormats[1].SubType, MEDIASUBTYPE_RGB24));

    // Selecting the entry the device already runs changes nothing on the device, and the
    // selection holds for the next Start.
    Preview().m_SelectedIndex = 3;
    Graph().Log.Clear();
    EXPECT_TRUE(Preview().SetStreamFormat(0));
    EXPECT_EQ(Preview().m_SelectedIndex, 0);
    EXPECT_EQ(TakeCalls(), "");
  }
}

TEST_F(FormatsTest, StartAppliesTheSelectedEntryAndCopiesTheLastAppliedValues) {
  Reach(kOpen);
  // Nothing changed since Open: Start applies nothing.
  ASSERT_TRUE(Preview().Start(vlmVideoStretch));
  EXPECT_EQ(Graph().Log.Count("IBaseFilter::EnumPins"), 0);
  EXPECT_TRUE(Graph().AppliedFormats.empty());
  ASSERT_TRUE(Preview().Stop());

  // A new rate: Start applies the selected entry with it, then runs the rebuilt graph.
  ConnectRenderer();
  Preview().SetFrameRate(15.0);
  Preview().m_BitRate = 999;
  ASSERT_TRUE(Preview().Start(vlmVideoStretch));
  ASSERT_EQ(Graph().AppliedFormats.size(), 1u);
  EXPECT_EQ(Graph().AppliedFormats[0].Header.AvgTimePerFrame, 666666);
  EXPECT_EQ(Graph().AppliedFormats[0].Header.bmiHeader.biWidth, 320);
  EXPECT_EQ(Preview().m_oldFrameRate, 15.0);
  EXPECT_EQ(Preview().m_oldBitRate, 999u);
  const std::string calls = TakeCalls();
  EXPECT_LT(calls.find("IAMStreamConfig::SetFormat"), calls.find("IMediaControl::Run")) << calls;
  EXPECT_EQ(Preview().State().Value(), kRunning);
  ASSERT_TRUE(Preview().Stop());

  // Applying fails: the preview still starts, and the last-applied values stay.
  ConnectRenderer();
  Graph().Script("IAMStreamConfig::SetFormat", E_FAIL);
  Preview().SetFrameRate(10.0);
  ASSERT_TRUE(Preview().Start(vlmVideoStretch));
  EXPECT_EQ(Preview().m_oldFrameRate, 15.0);
  EXPECT_EQ(Graph().AppliedFormats.size(), 2u);
}

// ---- the property-page dialogs ----

TEST_F(FormatsTest, DialogsRefuseWhileClosedOrWithoutDevices) {
  FrameCloser closer(&Graph());
  EXPECT_FALSE(Preview().ShowFilterDialog());
  EXPECT_EQ(Preview().ErrorStatus(), 11);
  EXPECT_FALSE(Preview().ShowCapturePinDialog());
  EXPECT_EQ(Preview().ErrorStatus(), 11);
  Reach(kOpen);
  m_Device->HasPages = true;
  Graph().ConfigHasPages = true;
  Preview().VideoDevices()->Clear();
  EXPECT_FALSE(Preview().ShowFilterDialog());
  EXPECT_EQ(Preview().ErrorStatus(), 202);
  EXPECT_FALSE(Preview().ShowCapturePinDialog());
  EXPECT_EQ(Preview().ErrorStatus(), 202);
  testwin::PumpMessages(150);
  EXPECT_EQ(closer.Frames, 0);
  EXPECT_EQ(TakeCalls(), "");
}

TEST_F(FormatsTest, FilterDialogShowsTheFiltersPagesAndNeverTouchesTheGraph) {
  FrameCloser closer(&Graph());
  for (int state : {kOpen, kRunning}) {
    SCOPED_TRACE(state);
    m_Preview.reset();
    m_Device.Reset();
    m_Renderer.Reset();
    Reach(state);
    // A filter without pages: 2.
    EXPECT_FALSE(Preview().ShowFilterDialog());
    EXPECT_EQ(Preview().ErrorStatus(), 2);
    EXPECT_EQ(TakeCalls(), "");

    m_Device->HasPages = true;
    g_Spy.Freed.clear();
    g_Spy.Recording = true;
    const bool shown = Preview().ShowFilterDialog();
    g_Spy.Recording = false;
    EXPECT_TRUE(shown);
    EXPECT_EQ(Preview().ErrorStatus(), 0);
    EXPECT_EQ(TakeCalls(), "ISpecifyPropertyPages::GetPages(device); IPropertyPage::SetObjects(device)");
    ASSERT_EQ(m_Device->PageArrays.size(), 1u);
    EXPECT_EQ(g_Spy.Freed.count(m_Device->PageArrays[0]), 1u) << "the page array is freed with CoTaskMemFree";
    EXPECT_EQ(Preview().State().Value(), state);
    EXPECT_NE(m_Device->Pins()[0]->Peer(), nullptr) << "the graph stays connected";

    // GetPages failing: no frame, still true.
    Graph().Script("ISpecifyPropertyPages::GetPages", E_FAIL);
    const int frames = closer.Frames;
    EXPECT_TRUE(Preview().ShowFilterDialog());
    EXPECT_EQ(Preview().ErrorStatus(), 0);
    EXPECT_EQ(TakeCalls(), "ISpecifyPropertyPages::GetPages(device)");
    testwin::PumpMessages(150);
    EXPECT_EQ(closer.Frames, frames);
    Graph().Script("ISpecifyPropertyPages::GetPages", S_OK);
  }
  EXPECT_EQ(closer.Frames, 2);
}

TEST_F(FormatsTest, PinDialogTakesTheGraphApartWhenNotRunningAndLoadsTheFormat) {
  FrameCloser closer(&Graph());
  for (int state : {kOpen, kPaused, kStopped}) {
    SCOPED_TRACE(state);
    m_Preview.reset();
    m_Device.Reset();
    m_Renderer.Reset();
    Graph().PageArrays.clear();
    Graph().CurrentFormat = FakeFormat::Video(320, 240);
    Reach(state);
    Graph().ConfigHasPages = true;
    FakeFormat chosen = FakeFormat::Video(640, 480, 16, 500000, MEDIASUBTYPE_YUY2);
    chosen.Header.bmiHeader.biCompression = MAKEFOURCC('Y', 'U', 'Y', '2');
    chosen.Header.dwBitRate = 5555;
    Graph().CurrentFormat = chosen;
    const int frames = closer.Frames;
    g_Spy.Freed.clear();
    g_Spy.Recording = true;
    const bool shown = Preview().ShowCapturePinDialog();
    g_Spy.Recording = false;
    ASSERT_TRUE(shown);
    EXPECT_EQ(Preview().ErrorStatus(), 0);
    EXPECT_EQ(closer.Frames, frames + 1);
    const std::vector<std::string> calls = Graph().Log.Calls();
    // Rebuilt for the chosen format: the grabber takes YUY2 as it comes.
    std::string rebuild = kRebuild;
    const std::string rgb24 = "ISampleGrabber::SetMediaType(video, RGB24, VideoInfo); ICaptureGraphBuilder2::RenderStream";
    rebuild.replace(rebuild.find(rgb24), rgb24.size(),
                    "ISampleGrabber::SetMediaType(video, {32595559-0000-0010-8000-00AA00389B71}, VideoInfo); "
                    "ICaptureGraphBuilder2::RenderStream");
    EXPECT_EQ(TakeCalls(), Join({kTakeApart, kGrabberAgain, kFindConfig, "ISpecifyPropertyPages::GetPages(config)",
                                 "IPropertyPage::SetObjects(config)", "IAMStreamConfig::GetFormat", rebuild}));
    // The frame came up after the graph was taken apart and before it was rebuilt.
    ASSERT_EQ(closer.LogSizeAtFrame.size(), static_cast<size_t>(closer.Frames));
    const size_t atFrame = closer.LogSizeAtFrame.back();
    ASSERT_GT(atFrame, 0u);
    ASSERT_LE(atFrame, calls.size());
    EXPECT_EQ(calls[atFrame - 1], "IPropertyPage::SetObjects(config)");
    ASSERT_EQ(Graph().PageArrays.size(), 1u);
    EXPECT_EQ(g_Spy.Freed.count(Graph().PageArrays[0]), 1u) << "the page array is freed with CoTaskMemFree";

    EXPECT_EQ(Preview().m_oldVideoSize.cx, 320);
    EXPECT_EQ(Preview().VideoSize().cx, 640);
    EXPECT_EQ(Preview().VideoSize().cy, 480);
    EXPECT_TRUE(IsEqualGUID(Preview().VideoSubType(), MEDIASUBTYPE_YUY2));
    EXPECT_EQ(Preview().m_StrVideoSubType, L"{32595559-0000-0010-8000-00AA00389B71}");
    EXPECT_DOUBLE_EQ(Preview().FrameRate(), 20.0);
    EXPECT_EQ(Preview().BitCount(), 16);
    EXPECT_EQ(Preview().Compression(), static_cast<uint32_t>(MAKEFOURCC('Y', 'U', 'Y', '2')));
    EXPECT_EQ(Preview().m_BitRate, 5555u);
    EXPECT_EQ(Preview().m_oldFrameRate, Preview().FrameRate());
    EXPECT_EQ(Preview().m_oldBitRate, 5555u);
    // 640 x 480 YUY2 is entry 3.
    EXPECT_EQ(Preview().m_SelectedIndex, 3);
    EXPECT_EQ(Preview().State().Value(), state);
  }
}

TEST_F(FormatsTest, PinDialogWhileRunningUsesTheLiveGraph) {
  FrameCloser closer(&Graph());
  Reach(kRunning);
  Graph().ConfigHasPages = true;
  Graph().CurrentFormat = FakeFormat::Video(1280, 720);
  ASSERT_TRUE(Preview().ShowCapturePinDialog());
  EXPECT_EQ(Preview().ErrorStatus(), 0);
  EXPECT_EQ(closer.Frames, 1);
  EXPECT_EQ(TakeCalls(), Join({kFindConfig, "ISpecifyPropertyPages::GetPages(config)",
                               "IPropertyPage::SetObjects(config)", "IAMStreamConfig::GetFormat"}));
  EXPECT_NE(m_Device->Pins()[0]->Peer(), nullptr);
  EXPECT_EQ(Preview().State().Value(), kRunning);
  EXPECT_EQ(Preview().VideoSize().cx, 1280);
  EXPECT_EQ(Preview().m_SelectedIndex, 2);
}

TEST_F(FormatsTest, PinDialogSelectsTheFirstMatchingEntryOrKeepsTheSelection) {
  // Capabilities 0 and 3 are both 320 x 240 RGB24: entries 0 and 2.
  Graph().Capabilities[3] = FakeCapability::Video(320, 240, 1000000);
  FrameCloser closer(&Graph());
  Reach(kOpen);
  Graph().ConfigHasPages = true;
  Preview().m_SelectedIndex = 2;
  Graph().CurrentFormat = FakeFormat::Video(320, 240, 24, 1000000);
  ASSERT_TRUE(Preview().ShowCapturePinDialog());
  EXPECT_EQ(Preview().m_SelectedIndex, 0);
  // A format that no entry has (another size, then another subtype): the selection stays.
  for (const FakeFormat& format :
       {FakeFormat::Video(800, 600), FakeFormat::Video(1280, 720, 24, 333333, MEDIASUBTYPE_RGB32)}) {
    ConnectRenderer();
    Preview().m_SelectedIndex = 2;
    Graph().CurrentFormat = format;
    ASSERT_TRUE(Preview().ShowCapturePinDialog());
    EXPECT_EQ(Preview().m_SelectedIndex, 2);
    EXPECT_EQ(Preview().VideoSize().cx, format.Header.bmiHeader.biWidth);
  }
  EXPECT_EQ(closer.Frames, 3);

  // The next Start applies that earlier entry again, with the rate read back from the pin.
  ConnectRenderer();
  Graph().AppliedFormats.clear();
  ASSERT_TRUE(Preview().Start(vlmVideoStretch));
  ASSERT_EQ(Graph().AppliedFormats.size(), 1u);
  EXPECT_EQ(Graph().AppliedFormats[0].Header.bmiHeader.biWidth, 320);
  // The rate went through 10000000 / 333333 and back: within one unit.
  EXPECT_NEAR(static_cast<double>(Graph().AppliedFormats[0].Header.AvgTimePerFrame), 333333, 1);
}

TEST_F(FormatsTest, PinDialogReadsTheFormatWithoutPagesAndGivesTheInitialValuesWhenItCannot) {
  FrameCloser closer(&Graph());
  Reach(kOpen);
  Preview().m_SelectedIndex = 1;
  // No pages: no frame, but the pin's format is read back all the same (the pin knows it; zeros
  // would be a plainly wrong answer).
  Graph().CurrentFormat = FakeFormat::Video(1280, 720);
  ASSERT_TRUE(Preview().ShowCapturePinDialog());
  EXPECT_EQ(Preview().ErrorStatus(), 0);
  EXPECT_EQ(TakeCalls(), Join({kTakeApart, kGrabberAgain, kFindConfig, "IAMStreamConfig::GetFormat", kRebuild}));
  EXPECT_EQ(Preview().VideoSize().cx, 1280);
  EXPECT_EQ(Preview().VideoSize().cy, 720);
  EXPECT_EQ(Preview().FrameRate(), 10000000.0 / 333333);
  EXPECT_TRUE(IsEqualGUID(Preview().VideoSubType(), MEDIASUBTYPE_RGB24));
  EXPECT_EQ(Preview().BitCount(), 24);
  EXPECT_EQ(Preview().m_oldVideoSize.cx, 320);
  EXPECT_EQ(Preview().m_SelectedIndex, 2);
  Preview().m_SelectedIndex = 1;

  // Pages, but the format cannot be read (fails, or is not video-info): the initial values.
  Graph().ConfigHasPages = true;
  for (bool fails : {true, false}) {
    SCOPED_TRACE(fails);
    ConnectRenderer();
    Preview().SetFrameRate(30);
    FakeFormat other = FakeFormat::Video(640, 480);
    other.FormatType = FORMAT_VideoInfo2;
    Graph().CurrentFormat = other;
    Graph().Script("IAMStreamConfig::GetFormat", fails ? E_FAIL : S_OK);
    ASSERT_TRUE(Preview().ShowCapturePinDialog());
    EXPECT_EQ(Preview().ErrorStatus(), 0);
    EXPECT_EQ(Preview().VideoSize().cx, 0);
    EXPECT_EQ(Preview().FrameRate(), 0);
  }
  Graph().Script("IAMStreamConfig::GetFormat", S_OK);

  // GetPages fails: no frame, but the format is still read back.
  ConnectRenderer();
  Graph().Script("ISpecifyPropertyPages::GetPages", E_FAIL);
  Graph().CurrentFormat = FakeFormat::Video(1280, 720);
  const int frames = closer.Frames;
  ASSERT_TRUE(Preview().ShowCapturePinDialog());
  testwin::PumpMessages(150);
  EXPECT_EQ(closer.Frames, frames);
  EXPECT_EQ(Preview().VideoSize().cx, 1280);
  EXPECT_EQ(Preview().m_SelectedIndex, 2);
  Graph().Script("ISpecifyPropertyPages::GetPages", S_OK);

  // A time per frame of 0: the rate output keeps its initial 0, the rest is loaded.
  ConnectRenderer();
  Preview().SetFrameRate(30);
  Graph().CurrentFormat = FakeFormat::Video(640, 480, 24, 0);
  ASSERT_TRUE(Preview().ShowCapturePinDialog());
  EXPECT_EQ(Preview().VideoSize().cx, 640);
  EXPECT_EQ(Preview().FrameRate(), 0);
  EXPECT_EQ(Preview().m_SelectedIndex, 1);
}

TEST_F(FormatsTest, PinDialogWithoutStreamConfigurationGives2AndKeepsTheProperties) {
  FrameCloser closer(&Graph());
  for (int state : {kOpen, kRunning}) {
    SCOPED_TRACE(state);
    m_Preview.reset();
    m_Device.Reset();
    m_Renderer.Reset();
    Graph().Script("ICaptureGraphBuilder2::FindInterface(capture, video, IAMStreamConfig)", S_OK);
    Reach(state);
    Graph().Script("ICaptureGraphBuilder2::FindInterface(capture, video, IAMStreamConfig)", E_NOINTERFACE);
    Preview().SetFrameRate(12.0);
    EXPECT_FALSE(Preview().ShowCapturePinDialog());
    EXPECT_EQ(Preview().ErrorStatus(), 2);
    EXPECT_EQ(TakeCalls(), state == kOpen ? Join({kTakeApart, kGrabberAgain, kFindConfig, kRebuildWithoutConfig})
                                          : std::string(kFindConfig));
    EXPECT_EQ(Preview().VideoSize().cx, 320);
    EXPECT_EQ(Preview().FrameRate(), 12.0);
    EXPECT_EQ(Preview().m_SelectedIndex, 0);
  }
  EXPECT_EQ(closer.Frames, 0);
}

}  // namespace
