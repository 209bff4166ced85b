// TVLmPreview against fake DirectShow objects: graph building and its failures, teardown,
// the state table and error codes, graph events, the connection walk, and the format list.

#include <gtest/gtest.h>

#include <control.h>
#include <dbt.h>

#include <cstdint>
#include <cstring>
#include <limits>
#include <optional>
#include <memory>
#include <string>
#include <vector>

#include "core/Lmdllprocs.h"
#include "support/FakeDeviceEnum.h"
#include "support/FakeGraph.h"
#include "support/GraphCalls.h"
#include "support/HostedFakeComTest.h"
#include "support/TestWindow.h"
#include "webcam/LmPreview.h"

using fakes::FakeCapability;
using fakes::FakeDevice;
using fakes::FakeDeviceSystem;
using fakes::FakeEvent;
using fakes::FakeFilter;
using fakes::FakeFormat;
using fakes::FakeGraphSystem;
using fakes::MarkerFileAway;

namespace {

// Opens the protected parts of the component to the tests.
class TestPreview : public TVLmPreview {
public:
  using TVLmPreview::TVLmPreview;
  using TVLmPreview::CloseInterfaces;
  using TVLmPreview::GetFormats;
  using TVLmPreview::RemoveDownstream;
  using TVLmPreview::m_GrabberSubType;
  using TVLmPreview::m_isCapture;
  using TVLmPreview::m_oldBitRate;
  using TVLmPreview::m_oldFrameRate;
  using TVLmPreview::m_oldVideoSize;
  using TVLmPreview::m_pCaptureGraphBuilder;
  using TVLmPreview::m_pDeviceFilter;
  using TVLmPreview::m_pGrabberFilter;
  using TVLmPreview::m_pGraphBuilder;
  using TVLmPreview::m_pMediaControl;
  using TVLmPreview::m_pMediaEvent;
  using TVLmPreview::m_pSampleGrabber;
  using TVLmPreview::m_PreviewFaked;
  using TVLmPreview::m_pVideoWindow;
  using TVLmPreview::m_pVSI;
  using TVLmPreview::m_pVSI_Count;
  using TVLmPreview::m_SelectedIndex;
  using TVLmPreview::m_StrVideoSubType;
  using TVLmPreview::m_vih;

  int HeldInterfaces() const {
    return !!m_pDeviceFilter + !!m_pGraphBuilder + !!m_pCaptureGraphBuilder + !!m_pMediaControl + !!m_pVideoWindow +
           !!m_pMediaEvent + !!m_pGrabberFilter + !!m_pSampleGrabber;
  }
};

// The core's image entry points replaced by counting ones while it lives.
class CoreProbe {
public:
  CoreProbe() : m_Create(LmCreateImage), m_Free(LmFreeMemory) {
    s_Creates = s_Frees = 0;
    s_BadArguments = false;
    LmCreateImage = &Create;
    LmFreeMemory = &Free;
  }
  ~CoreProbe() {
    LmCreateImage = m_Create;
    LmFreeMemory = m_Free;
  }
  static inline int s_Creates = 0;
  static inline int s_Frees = 0;
  static inline bool s_BadArguments = false;
  static constexpr UINT_PTR kImage = 0x1234;

private:
  static UINT_PTR Create(int32_t W, int32_t H, int16_t Bits, UINT_PTR Source, uint8_t Flags, uint8_t Reserved,
                         int64_t X, int64_t Y, int64_t SW, int64_t SH) {
    ++s_Creates;
    if (W != 1 || H != 1 || Bits != 1 || Source || Flags || Reserved || X || Y || SW || SH) s_BadArguments = true;
    return kImage;
  }
  static BOOL Free(UINT_PTR Image) {
    ++s_Frees;
    if (Image != kImage) s_BadArguments = true;
    return TRUE;
  }
  TLmCreateImage m_Create;
  TLmFreeMemory m_Free;
};

constexpr int kClosed = 1, kOpen = 2, kRunning = 6, kPaused = 18, kStopped = 258;

const std::string kOpenCallsText = std::string(
    "CoCreateInstance(CLSID_FilterGraph); CoCreateInstance(CLSID_CaptureGraphBuilder2); "
    "CoCreateInstance(CLSID_SampleGrabber); IBaseFilter::QueryInterface(ISampleGrabber); "
    "IFilterGraph::QueryInterface(IMediaControl); IFilterGraph::QueryInterface(IVideoWindow); "
    "IFilterGraph::QueryInterface(IMediaEventEx); "
    "ICaptureGraphBuilder2::SetFiltergraph(graph); IFilterGraph::AddFilter(Video Capture); "
    "ISampleGrabber::SetMediaType(video, RGB24, VideoInfo); IFilterGraph::AddFilter(Sample Grabber); "
    "ICaptureGraphBuilder2::FindInterface(capture, interleaved, IAMStreamConfig); "
    "ICaptureGraphBuilder2::FindInterface(capture, video, IAMStreamConfig); "
    "IAMStreamConfig::GetNumberOfCapabilities; IAMStreamConfig::GetFormat; IAMStreamConfig::GetStreamCaps(0); "
    "ICaptureGraphBuilder2::RenderStream(preview, interleaved); ") + fakes::kCaptureToGrabber + "; "
    "ISampleGrabber::GetConnectedMediaType; ISampleGrabber::SetBufferSamples(false); "
    "ISampleGrabber::SetOneShot(false); ISampleGrabber::SetCallback(null, 0); "
    "IVideoWindow::put_Owner(window); IVideoWindow::put_MessageDrain(window); "
    "IVideoWindow::put_WindowStyle(0x46000000); IVideoWindow::SetWindowPosition(1, 1, 98, 98); "
    "IVideoWindow::put_Visible(OAFALSE); IMediaEventEx::SetNotifyWindow(window, 32769, 0)";
const char* const kOpenCalls = kOpenCallsText.c_str();

// The graph's teardown; the grabber lets go of the callback before it goes.
const std::string kCloseCallsText = std::string(fakes::kGraphTeardown) + "; ISampleGrabber::SetCallback(null, 0)";
const char* const kCloseCalls = kCloseCallsText.c_str();

class PreviewTest : public fakes::HostedFakeComTest<> {
protected:
  void SetUp() override {
    HostedFakeComTest::SetUp();
    m_Devices = std::make_shared<FakeDeviceSystem>();
    AddDevice(L"Camera");
    m_DeviceRegistration = std::make_unique<fakes::FakeDeviceEnumRegistration>(m_Devices);
    ASSERT_EQ(m_DeviceRegistration->Result(), S_OK);
    NewGraphSystem();
    m_LiveBeforePreview = fakes::LiveObjects();
  }
  void TearDown() override {
    m_Preview.reset();
    m_GraphRegistration.reset();
    m_DeviceRegistration.reset();
    HostedFakeComTest::TearDown();
  }

  void AddDevice(const wchar_t* Name) {
    FakeDevice device;
    device.FriendlyName = Name;
    m_Devices->Devices.push_back(device);
  }
  // A fresh script and log for the graph fakes, scripted as a working graph.
  void NewGraphSystem() {
    m_GraphRegistration.reset();
    m_Graph = std::make_shared<FakeGraphSystem>();
    m_Graph->ScriptWorkingGraph();
    m_GraphRegistration = std::make_unique<fakes::FakeGraphRegistration>(m_Graph);
    ASSERT_TRUE(m_GraphRegistration->Registered());
    if (m_Preview) m_Graph->Window = m_Preview->Handle();
  }
  TestPreview& Preview() {
    if (!m_Preview) {
      m_Preview = std::make_unique<TestPreview>(nullptr);
      m_Preview->SetParentWindow(s_Host->Handle());
      m_Graph->Window = m_Preview->Handle();
    }
    return *m_Preview;
  }
  FakeGraphSystem& Graph() { return *m_Graph; }
  std::string Calls() const { return m_Graph->Log.Joined(); }
  // The calls logged since the log was cleared; then clears it.
  std::string TakeCalls() {
    std::string calls = m_Graph->Log.Joined();
    m_Graph->Log.Clear();
    return calls;
  }
  // Drives an opened preview into State (a value of the state table).
  void Reach(int State) {
    if (State == kClosed) return;
    ASSERT_TRUE(Preview().Open(0));
    if (State == kRunning || State == kPaused || State == kStopped) {
      ASSERT_TRUE(Preview().Start(vlmVideoStretch));
    }
    if (State == kPaused) {
      ASSERT_TRUE(Preview().Pause());
    }
    if (State == kStopped) {
      ASSERT_TRUE(Preview().Stop());
    }
    ASSERT_EQ(Preview().State().Value(), State);
    m_Graph->Log.Clear();
  }
  void DestroyPreview() { m_Preview.reset(); }

  std::shared_ptr<FakeDeviceSystem> m_Devices;
  std::shared_ptr<FakeGraphSystem> m_Graph;
  std::unique_ptr<fakes::FakeDeviceEnumRegistration> m_DeviceRegistration;
  std::unique_ptr<fakes::FakeGraphRegistration> m_GraphRegistration;
  std::unique_ptr<TestPreview> m_Preview;
  int m_LiveBeforePreview = 0;
};

// ---- Open: the graph it builds ----

TEST_F(PreviewTest, OpenBuildsTheWholeGraphInOrderStoppedAndHidden) {
  ASSERT_TRUE(Preview().Open(0));
  EXPECT_EQ(Preview().ErrorStatus(), 0);
  EXPECT_EQ(Preview().State().Value(), kOpen);
  EXPECT_EQ(Preview().m_SelectedIndex, 0);
  EXPECT_EQ(Calls(), kOpenCalls);
  EXPECT_EQ(Preview().HeldInterfaces(), 8);
  EXPECT_TRUE(Preview().m_isCapture);
  EXPECT_FALSE(Preview().m_PreviewFaked);
  EXPECT_EQ(Graph().GraphFilters, (std::vector<std::string>{"Camera", "grabber"}));
  EXPECT_EQ(Graph().RenderStreamFilters, (std::vector<std::string>{"Camera, null, null", "Camera, null, grabber"}));
  // The formats, then the device's own format for the grabber.
  EXPECT_EQ(Graph().FindInterfaceFilters, (std::vector<std::string>{"Camera", "Camera", "Camera", "Camera"}));
  // The grabber accepts 24-bit RGB video with a video-info header and nothing else.
  ASSERT_TRUE(Graph().GrabberType.has_value());
  AM_MEDIA_TYPE expected{};
  expected.majortype = MEDIATYPE_Video;
  expected.subtype = MEDIASUBTYPE_RGB24;
  expected.formattype = FORMAT_VideoInfo;
  EXPECT_EQ(std::memcmp(&*Graph().GrabberType, &expected, sizeof(expected)), 0);
  // The grabber's connection was copied.
  EXPECT_EQ(Preview().m_vih.bmiHeader.biWidth, 320);
  EXPECT_EQ(Preview().m_vih.bmiHeader.biSizeImage, 320u * 240 * 3);
}

struct StepFailure {
  const char* Call;       // script key that fails
  HRESULT Result;
  const char* LastCall;   // the last call logged: nothing follows the failure
  int Held;               // interfaces held afterwards, the device filter included
};

// Every step of GetInterfaces, SetupGraph1, SetupGraph2 and SetupVideoWindow, failing in turn.
const StepFailure kStepFailures[] = {
    {"CoCreateInstance(CLSID_FilterGraph)", REGDB_E_CLASSNOTREG, "CoCreateInstance(CLSID_FilterGraph)", 1},
    {"CoCreateInstance(CLSID_CaptureGraphBuilder2)", E_OUTOFMEMORY, "CoCreateInstance(CLSID_CaptureGraphBuilder2)", 2},
    {"CoCreateInstance(CLSID_SampleGrabber)", REGDB_E_CLASSNOTREG, "CoCreateInstance(CLSID_SampleGrabber)", 3},
    {"IBaseFilter::QueryInterface(ISampleGrabber)", E_NOINTERFACE, "IBaseFilter::QueryInterface(ISampleGrabber)", 4},
    {"IFilterGraph::QueryInterface(IMediaControl)", E_NOINTERFACE, "IFilterGraph::QueryInterface(IMediaControl)", 5},
    {"IFilterGraph::QueryInterface(IVideoWindow)", E_NOINTERFACE, "IFilterGraph::QueryInterface(IVideoWindow)", 6},
    {"IFilterGraph::QueryInterface(IMediaEventEx)", E_NOINTERFACE, "IFilterGraph::QueryInterface(IMediaEventEx)", 7},
    {"ICaptureGraphBuilder2::SetFiltergraph", S_FALSE, "ICaptureGraphBuilder2::SetFiltergraph(graph)", 8},
    {"IFilterGraph::AddFilter(Video Capture)", S_FALSE, "IFilterGraph::AddFilter(Video Capture)", 8},
    {"ISampleGrabber::SetMediaType", E_FAIL, "ISampleGrabber::SetMediaType(video, RGB24, VideoInfo)", 8},
    {"IFilterGraph::AddFilter(Sample Grabber)", VFW_E_DUPLICATE_NAME, "IFilterGraph::AddFilter(Sample Grabber)", 8},
    // The device's own format first, then 24-bit RGB: both fail.
    {"ICaptureGraphBuilder2::RenderStream(capture, video)", S_FALSE, "ICaptureGraphBuilder2::RenderStream(capture, video)", 8},
    {"ISampleGrabber::GetConnectedMediaType", VFW_E_NOT_CONNECTED, "ISampleGrabber::GetConnectedMediaType", 8},
    {"ISampleGrabber::SetBufferSamples", S_FALSE, "ISampleGrabber::SetBufferSamples(false)", 8},
    {"ISampleGrabber::SetOneShot", S_FALSE, "ISampleGrabber::SetOneShot(false)", 8},
    {"ISampleGrabber::SetCallback", S_FALSE, "ISampleGrabber::SetCallback(null, 0)", 8},
    {"IVideoWindow::put_Owner", S_FALSE, "IVideoWindow::put_Owner(window)", 8},
    {"IVideoWindow::put_MessageDrain", E_FAIL, "IVideoWindow::put_MessageDrain(window)", 8},
    {"IVideoWindow::put_WindowStyle", S_FALSE, "IVideoWindow::put_WindowStyle(0x46000000)", 8},
    {"IVideoWindow::put_Visible", S_FALSE, "IVideoWindow::put_Visible(OAFALSE)", 8},
    {"IMediaEventEx::SetNotifyWindow", E_FAIL, "IMediaEventEx::SetNotifyWindow(window, 32769, 0)", 8},
};

// The grabber takes the camera's own format whenever the library converts it itself (its frames
// are converted per snapshot); 24-bit RGB, through a system converter, for a format it cannot
// convert, and when the camera's own format does not connect.
TEST_F(PreviewTest, CaptureStreamTakesTheDevicesOwnFormatWhenTheLibraryConvertsIt) {
  struct Case {
    const char* Name;
    GUID SubType;
    bool NativeConnects;
    int Renders;
    GUID GrabberType;
  };
  const Case cases[] = {
      {"YUY2", MEDIASUBTYPE_YUY2, true, 1, MEDIASUBTYPE_YUY2},
      {"YUY2 that does not connect as it is", MEDIASUBTYPE_YUY2, false, 2, MEDIASUBTYPE_RGB24},
      {"a format the library cannot convert", MEDIASUBTYPE_dvsd, true, 1, MEDIASUBTYPE_RGB24},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    NewGraphSystem();
    Graph().CurrentFormat = FakeFormat::Video(320, 240, 16, 333333, c.SubType);
    Graph().Capabilities[0].Format = *Graph().CurrentFormat;
    Graph().Connected = FakeFormat::Video(320, 240, 16, 333333, c.GrabberType);
    if (!c.NativeConnects) Graph().ScriptNth("ICaptureGraphBuilder2::RenderStream(capture, video)", 1, VFW_E_CANNOT_CONNECT);
    ASSERT_TRUE(Preview().Open(0)) << Preview().ErrorStatus();
    EXPECT_EQ(Graph().Log.Count("ICaptureGraphBuilder2::RenderStream(capture, video)"), c.Renders);
    ASSERT_TRUE(Graph().GrabberType.has_value());
    EXPECT_TRUE(IsEqualGUID(Graph().GrabberType->subtype, c.GrabberType));
    EXPECT_TRUE(Preview().m_isCapture);
    EXPECT_TRUE(IsEqualGUID(Preview().m_GrabberSubType, c.GrabberType));
    ASSERT_TRUE(Preview().Start(vlmVideoStretch));
    EXPECT_TRUE(Preview().TakeSnapshot()) << Preview().ErrorStatus();
    DestroyPreview();
  }
}

TEST_F(PreviewTest, EachGraphStepFailingGives203KeepsWhatWasBuiltAndCloseRefuses) {
  for (const StepFailure& step : kStepFailures) {
    SCOPED_TRACE(step.Call);
    NewGraphSystem();
    Graph().Script(step.Call, step.Result);
    EXPECT_FALSE(Preview().Open(0));
    EXPECT_EQ(Preview().ErrorStatus(), 203);
    EXPECT_EQ(Preview().State().Value(), kClosed);
    ASSERT_FALSE(Graph().Log.Calls().empty());
    EXPECT_EQ(Graph().Log.Calls().back(), step.LastCall);
    EXPECT_EQ(Preview().HeldInterfaces(), step.Held);

    Graph().Log.Clear();
    EXPECT_FALSE(Preview().Close());
    EXPECT_EQ(Preview().ErrorStatus(), 11);
    EXPECT_EQ(Calls(), "");
    EXPECT_EQ(Preview().HeldInterfaces(), step.Held);

    DestroyPreview();
    EXPECT_EQ(fakes::LiveObjects(), m_LiveBeforePreview) << "destruction left fakes alive";
  }
}

TEST_F(PreviewTest, OpenAfterAFailedOpenReplacesThePartialGraph) {
  Graph().ScriptNth("ISampleGrabber::GetConnectedMediaType", 1, E_FAIL);
  EXPECT_FALSE(Preview().Open(0));
  EXPECT_EQ(Preview().ErrorStatus(), 203);
  EXPECT_TRUE(Preview().Open(0));
  EXPECT_EQ(Preview().ErrorStatus(), 0);
  EXPECT_EQ(Graph().Log.Count("CoCreateInstance(CLSID_FilterGraph)"), 2);
  EXPECT_TRUE(Preview().Close());
  EXPECT_EQ(fakes::LiveObjects(), m_LiveBeforePreview) << "the first graph was not released";
}

TEST_F(PreviewTest, ConnectionThatIsNotVideoInfoFailsTheOpen) {
  Graph().Connected.FormatType = FORMAT_VideoInfo2;
  EXPECT_FALSE(Preview().Open(0));
  EXPECT_EQ(Preview().ErrorStatus(), 203);
  EXPECT_FALSE(Preview().m_isCapture);
  EXPECT_EQ(Graph().Log.Calls().back(), "ISampleGrabber::GetConnectedMediaType");
}

TEST_F(PreviewTest, MissingStreamConfigurationDoesNotStopTheOpen) {
  Graph().Script("ICaptureGraphBuilder2::FindInterface(capture, video, IAMStreamConfig)", E_NOINTERFACE);
  EXPECT_TRUE(Preview().Open(0));
  EXPECT_EQ(Graph().Log.Count("IAMStreamConfig::"), 0);
  EXPECT_EQ(Preview().m_pVSI_Count[1], 0);
}

// ---- the preview stream's fallback ----

struct PreviewRendering {
  HRESULT Interleaved;
  std::optional<HRESULT> Video;  // none: the second call must not happen
  bool Opens;
  bool Faked;
};

TEST_F(PreviewTest, PreviewStreamFallsBackToVideoAndRecordsAMissingPreviewPin) {
  const PreviewRendering cases[] = {
      {E_FAIL, S_OK, true, false},
      {S_FALSE, S_OK, true, false},  // a success code other than S_OK also falls back
      {VFW_S_NOPREVIEWPIN, std::nullopt, true, true},
      {E_FAIL, VFW_S_NOPREVIEWPIN, true, true},
      {VFW_E_NO_INTERFACE, S_FALSE, false, false},
      {E_FAIL, E_FAIL, false, false},
      {S_FALSE, VFW_S_PARTIAL_RENDER, false, false},
  };
  for (const PreviewRendering& c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << c.Interleaved << " then " << c.Video.value_or(0));
    NewGraphSystem();
    Graph().Script("ICaptureGraphBuilder2::RenderStream(preview, interleaved)", c.Interleaved);
    if (c.Video) Graph().Script("ICaptureGraphBuilder2::RenderStream(preview, video)", *c.Video);
    EXPECT_EQ(Preview().Open(0), c.Opens);
    EXPECT_EQ(Preview().ErrorStatus(), c.Opens ? 0 : 203);
    EXPECT_EQ(Preview().m_PreviewFaked, c.Faked);
    EXPECT_EQ(Preview().m_isCapture, c.Opens);
    EXPECT_EQ(Graph().Log.Count("ICaptureGraphBuilder2::RenderStream(preview, video)"), c.Video ? 1 : 0);
    EXPECT_EQ(Graph().Log.Count("ICaptureGraphBuilder2::RenderStream(capture, video)"), c.Opens ? 1 : 0);
    DestroyPreview();
  }
}

// ---- Close and teardown ----

TEST_F(PreviewTest, CloseTearsDownInOrderAndReleasesEverything) {
  Reach(kRunning);
  Graph().LogReleases = true;
  ASSERT_TRUE(Preview().Close());
  Graph().LogReleases = false;
  EXPECT_EQ(Calls(),
            "IMediaControl::Stop; Release(graph); "
            "IMediaEventEx::SetNotifyWindow(0, 32769, 0); Release(graph); "
            "IVideoWindow::put_Visible(OAFALSE); IVideoWindow::put_Owner(0); Release(graph); "
            // the grabber lets go of the callback before it goes
            "ISampleGrabber::SetCallback(null, 0); Release(grabber); Release(grabber); "
            // the builder goes first and lets go of the graph it held, then the component's graph goes
            // and with it the filters it held
            "Release(builder); Release(graph); Release(graph); Release(grabber)");
  EXPECT_EQ(Preview().HeldInterfaces(), 0);
  EXPECT_EQ(fakes::LiveObjects(), m_LiveBeforePreview);
  EXPECT_EQ(Preview().ErrorStatus(), 0);
  EXPECT_EQ(Preview().State().Value(), kClosed);
  EXPECT_EQ(Preview().VideoSize().cx, 0);
  EXPECT_EQ(Preview().VideoSize().cy, 0);
  EXPECT_EQ(Preview().FrameRate(), 0);
  EXPECT_EQ(Preview().BitCount(), 0);
  EXPECT_EQ(Preview().Compression(), 0u);
  EXPECT_TRUE(IsEqualGUID(Preview().VideoSubType(), GUID_NULL));
  EXPECT_TRUE(Preview().m_StrVideoSubType.empty());
  EXPECT_FALSE(Preview().m_isCapture);
  EXPECT_EQ(Preview().m_SelectedIndex, -1);
  EXPECT_EQ(Preview().m_oldFrameRate, 0);
  EXPECT_EQ(Preview().m_oldBitRate, 0u);
  // The format list stays until the next enumeration.
  EXPECT_EQ(Preview().m_pVSI_Count[1], 1);
}

TEST_F(PreviewTest, TeardownStepsRunOnlyForHeldInterfaces) {
  Graph().Script("IFilterGraph::QueryInterface(IVideoWindow)", E_NOINTERFACE);
  EXPECT_FALSE(Preview().Open(0));
  Graph().Log.Clear();
  Preview().CloseInterfaces();
  // No video window and no event interface: only the graph is stopped, and the grabber lets
  // go of the callback.
  EXPECT_EQ(Calls(), "IMediaControl::Stop; ISampleGrabber::SetCallback(null, 0)");
  EXPECT_EQ(Preview().HeldInterfaces(), 1);  // the device filter is not CloseInterfaces' to release
}

TEST_F(PreviewTest, DestructionOfAnOpenPreviewTearsDownAndReleasesEverything) {
  Reach(kPaused);
  DestroyPreview();
  EXPECT_EQ(Calls(), kCloseCalls);
  EXPECT_EQ(fakes::LiveObjects(), m_LiveBeforePreview);
}

// ---- the state table ----

enum class Operation { Start, Pause, Stop, Close, TakeSnapshot };

struct Transition {
  int From;
  Operation Op;
  bool Result;
  int Error;
  int To;
  const char* Calls;
};

TEST_F(PreviewTest, StateTable) {
  const Transition table[] = {
      {kClosed, Operation::Start, false, 11, kClosed, ""},
      {kOpen, Operation::Start, true, 0, kRunning, "IVideoWindow::put_Visible(OATRUE); IMediaControl::Run"},
      {kRunning, Operation::Start, false, 11, kRunning, ""},
      {kPaused, Operation::Start, true, 0, kRunning, "IVideoWindow::put_Visible(OATRUE); IMediaControl::Run"},
      {kStopped, Operation::Start, true, 0, kRunning, "IVideoWindow::put_Visible(OATRUE); IMediaControl::Run"},

      {kClosed, Operation::Pause, false, 11, kClosed, ""},
      {kOpen, Operation::Pause, false, 11, kOpen, ""},
      {kRunning, Operation::Pause, true, 0, kPaused, "IMediaControl::Pause"},
      {kPaused, Operation::Pause, true, 0, kRunning, "IMediaControl::Run"},
      {kStopped, Operation::Pause, false, 11, kStopped, ""},

      {kClosed, Operation::Stop, false, 11, kClosed, ""},
      {kOpen, Operation::Stop, false, 11, kOpen, ""},
      {kRunning, Operation::Stop, true, 0, kStopped, "IMediaControl::Stop; IVideoWindow::put_Visible(OAFALSE)"},
      {kPaused, Operation::Stop, true, 0, kStopped, "IMediaControl::Stop; IVideoWindow::put_Visible(OAFALSE)"},
      {kStopped, Operation::Stop, false, 11, kStopped, ""},

      {kClosed, Operation::Close, false, 11, kClosed, ""},
      {kOpen, Operation::Close, true, 0, kClosed, kCloseCalls},
      {kRunning, Operation::Close, true, 0, kClosed, kCloseCalls},
      {kPaused, Operation::Close, true, 0, kClosed, kCloseCalls},
      {kStopped, Operation::Close, true, 0, kClosed, kCloseCalls},

      {kClosed, Operation::TakeSnapshot, false, 11, kClosed, ""},
      {kOpen, Operation::TakeSnapshot, false, 11, kOpen, ""},
      {kRunning, Operation::TakeSnapshot, true, 0, kRunning, "ISampleGrabber::SetCallback(callback, 1)"},
      {kPaused, Operation::TakeSnapshot, false, 11, kPaused, ""},
      {kStopped, Operation::TakeSnapshot, false, 11, kStopped, ""},
  };
  for (const Transition& t : table) {
    SCOPED_TRACE(testing::Message() << "from " << t.From << ", operation " << static_cast<int>(t.Op));
    NewGraphSystem();
    Reach(t.From);
    TestPreview& preview = Preview();
    bool result = false;
    switch (t.Op) {
      case Operation::Start: result = preview.Start(vlmVideoStretch); break;
      case Operation::Pause: result = preview.Pause(); break;
      case Operation::Stop: result = preview.Stop(); break;
      case Operation::Close: result = preview.Close(); break;
      case Operation::TakeSnapshot: result = preview.TakeSnapshot(); break;
    }
    EXPECT_EQ(result, t.Result);
    EXPECT_EQ(preview.ErrorStatus(), t.Error);
    EXPECT_EQ(preview.State().Value(), t.To);
    EXPECT_EQ(Calls(), t.Calls);
    DestroyPreview();
  }
}

TEST_F(PreviewTest, FreshPreviewIsClosedWithoutError) {
  EXPECT_EQ(Preview().State().Value(), kClosed);
  EXPECT_EQ(Preview().ErrorStatus(), 0);
  EXPECT_EQ(Preview().m_SelectedIndex, -1);
  ASSERT_EQ(Preview().VideoDevices()->Count(), 1);
  EXPECT_EQ((*Preview().VideoDevices())[0], L"Camera");
  EXPECT_EQ(Calls(), "");
}

// ---- Start, Pause: what the graph answers ----

TEST_F(PreviewTest, StartFailsWith2WhenTheVideoWindowCannotBeShown) {
  for (int from : {kOpen, kPaused, kStopped}) {
    SCOPED_TRACE(from);
    NewGraphSystem();
    Reach(from);
    Graph().Script("IVideoWindow::put_Visible(OATRUE)", S_FALSE);
    EXPECT_FALSE(Preview().Start(vlmVideoStretch));
    EXPECT_EQ(Preview().ErrorStatus(), 2);
    EXPECT_EQ(Preview().State().Value(), from);
    EXPECT_EQ(Calls(), "IVideoWindow::put_Visible(OATRUE)");  // the graph is not run
    DestroyPreview();
  }
}

TEST_F(PreviewTest, StartStopsTheGraphWhenRunFails) {
  Reach(kOpen);
  Graph().Script("IMediaControl::Run", E_FAIL);
  EXPECT_FALSE(Preview().Start(vlmVideoStretch));
  EXPECT_EQ(Preview().ErrorStatus(), 2);
  EXPECT_EQ(Preview().State().Value(), kOpen);
  EXPECT_EQ(Calls(), "IVideoWindow::put_Visible(OATRUE); IMediaControl::Run; IMediaControl::Stop");
}

TEST_F(PreviewTest, RunOrPauseStillInTransitionCountsAsSuccess) {
  Reach(kOpen);
  Graph().Script("IMediaControl::Run", S_FALSE);
  Graph().Script("IMediaControl::Pause", S_FALSE);
  EXPECT_TRUE(Preview().Start(vlmVideoStretch));
  EXPECT_EQ(Preview().State().Value(), kRunning);
  EXPECT_TRUE(Preview().Pause());
  EXPECT_EQ(Preview().State().Value(), kPaused);
  EXPECT_TRUE(Preview().Pause());
  EXPECT_EQ(Preview().State().Value(), kRunning);
  EXPECT_EQ(Preview().ErrorStatus(), 0);
  EXPECT_EQ(Graph().Log.Count("IMediaControl::Stop"), 0);
}

TEST_F(PreviewTest, PauseRefusedByTheGraphReports2AndKeepsTheState) {
  // The graph refusing a pause or a resume is reported, not hidden behind a success.
  Reach(kRunning);
  Graph().Script("IMediaControl::Pause", E_FAIL);
  EXPECT_FALSE(Preview().Pause());
  EXPECT_EQ(Preview().ErrorStatus(), 2);
  EXPECT_EQ(Preview().State().Value(), kRunning);

  Graph().Script("IMediaControl::Pause", S_OK);
  ASSERT_TRUE(Preview().Pause());
  Graph().Script("IMediaControl::Run", VFW_E_NOT_CONNECTED);
  EXPECT_FALSE(Preview().Pause());
  EXPECT_EQ(Preview().ErrorStatus(), 2);
  EXPECT_EQ(Preview().State().Value(), kPaused);
}

TEST_F(PreviewTest, StopIgnoresTheGraphsAnswers) {
  Reach(kRunning);
  Graph().Script("IMediaControl::Stop", E_FAIL);
  Graph().Script("IVideoWindow::put_Visible(OAFALSE)", E_FAIL);
  EXPECT_TRUE(Preview().Stop());
  EXPECT_EQ(Preview().ErrorStatus(), 0);
  EXPECT_EQ(Preview().State().Value(), kStopped);
}

TEST_F(PreviewTest, StartInScaleModePlacesTheVideoBeforeShowingIt) {
  Reach(kOpen);
  EXPECT_TRUE(Preview().Start(vlmVideoScale));
  // 320 x 240 shrunk into the 98 x 98 area inside the frame, aspect kept and centred.
  EXPECT_EQ(Calls(), "IVideoWindow::SetWindowPosition(1, 13, 98, 73); IVideoWindow::put_Visible(OATRUE); "
                     "IMediaControl::Run");
}

// ---- Open's refusals ----

TEST_F(PreviewTest, OpenWhileOpenGives11AndLeavesTheGraphAlone) {
  Reach(kRunning);
  const int live = fakes::LiveObjects();
  m_Devices->Log.Clear();
  EXPECT_FALSE(Preview().Open(0));
  EXPECT_EQ(Preview().ErrorStatus(), 11);
  EXPECT_EQ(Preview().State().Value(), kRunning);
  EXPECT_EQ(Calls(), "");
  EXPECT_EQ(m_Devices->Log.Joined(), "");
  EXPECT_EQ(fakes::LiveObjects(), live);
  EXPECT_EQ(Preview().HeldInterfaces(), 8);
}

TEST_F(PreviewTest, OpenWithAnIndexOutsideTheListGives202WithoutBinding) {
  AddDevice(L"Second");
  ASSERT_EQ(Preview().GetVideoDevices(), 2);
  for (int index : {-1, 2, 1000}) {
    SCOPED_TRACE(index);
    m_Devices->Log.Clear();
    EXPECT_FALSE(Preview().Open(index));
    EXPECT_EQ(Preview().ErrorStatus(), 202);
    EXPECT_EQ(m_Devices->Log.Joined(), "");  // the list was not enumerated again, nothing bound
    EXPECT_EQ(Calls(), "");
  }
  EXPECT_TRUE(Preview().Open(1));
  EXPECT_EQ(Graph().GraphFilters.front(), "Second");
}

TEST_F(PreviewTest, OpenWithoutDevicesEnumeratesAgainAndGives202) {
  m_Devices->Devices.clear();
  EXPECT_EQ(Preview().VideoDevices()->Count(), 0);
  m_Devices->Log.Clear();
  EXPECT_FALSE(Preview().Open(0));
  EXPECT_EQ(Preview().ErrorStatus(), 202);
  EXPECT_EQ(m_Devices->Log.Count("ICreateDevEnum::CreateClassEnumerator"), 1);
  EXPECT_EQ(Calls(), "");

  // A device plugged in meanwhile is found by that enumeration.
  AddDevice(L"Late");
  EXPECT_TRUE(Preview().Open(0));
  EXPECT_EQ(Preview().VideoDevices()->Count(), 1);
}

TEST_F(PreviewTest, OpenGives202WhenTheDeviceCannotBeBound) {
  m_Devices->Devices[0].BindToObjectResult = E_FAIL;
  EXPECT_FALSE(Preview().Open(0));
  EXPECT_EQ(Preview().ErrorStatus(), 202);
  EXPECT_EQ(Calls(), "");
  EXPECT_EQ(Preview().HeldInterfaces(), 0);
}

TEST_F(PreviewTest, GetVideoDevicesCountsAndReports202ForNone) {
  AddDevice(L"Second");
  EXPECT_EQ(Preview().GetVideoDevices(), 2);
  EXPECT_EQ(Preview().ErrorStatus(), 0);
  EXPECT_EQ(Preview().VideoDevices()->Count(), 2);
  m_Devices->Devices.clear();
  EXPECT_EQ(Preview().GetVideoDevices(), 0);
  EXPECT_EQ(Preview().ErrorStatus(), 202);
  EXPECT_EQ(Preview().VideoDevices()->Count(), 0);
}

TEST_F(PreviewTest, OpenProbesTheCoreOnceBeforeAnyOtherCheck) {
  CoreProbe probe;
  EXPECT_TRUE(Preview().Open(0));
  EXPECT_EQ(CoreProbe::s_Creates, 1);
  EXPECT_EQ(CoreProbe::s_Frees, 1);
  EXPECT_FALSE(Preview().Open(0));  // refused with 11, probed all the same
  EXPECT_EQ(Preview().ErrorStatus(), 11);
  EXPECT_EQ(CoreProbe::s_Creates, 2);
  EXPECT_EQ(CoreProbe::s_Frees, 2);
  ASSERT_TRUE(Preview().Close());
  EXPECT_FALSE(Preview().Open(5));  // refused with 202
  EXPECT_EQ(CoreProbe::s_Creates, 3);
  EXPECT_EQ(CoreProbe::s_Frees, 3);
  EXPECT_FALSE(CoreProbe::s_BadArguments);
}

TEST_F(PreviewTest, OpenWithoutTheCoresFreeFunctionGives14AndDoesNothingElse) {
  CoreProbe probe;
  LmFreeMemory = nullptr;  // the probe restores it
  Preview();
  m_Devices->Log.Clear();
  EXPECT_FALSE(Preview().Open(0));
  EXPECT_EQ(Preview().ErrorStatus(), 14);
  EXPECT_EQ(CoreProbe::s_Creates, 0);
  EXPECT_EQ(Calls(), "");
  EXPECT_EQ(m_Devices->Log.Joined(), "");
}

TEST_F(PreviewTest, InactiveComponentRefusesWith201AndListsNoDevices) {
  CoreProbe probe;
  std::unique_ptr<TestPreview> preview;
  {
    MarkerFileAway away;
    ASSERT_TRUE(away.Moved()) << "the runtime marker file could not be moved";
    m_Devices->Log.Clear();
    preview = std::make_unique<TestPreview>(nullptr);
    preview->SetParentWindow(s_Host->Handle());
  }
  EXPECT_EQ(m_Devices->Log.Joined(), "");
  EXPECT_EQ(preview->VideoDevices()->Count(), 0);
  EXPECT_EQ(preview->GetVideoDevices(), 0);
  EXPECT_EQ(preview->ErrorStatus(), 201);
  EXPECT_EQ(preview->VideoDevices()->Count(), 0);
  EXPECT_FALSE(preview->Open(0));
  EXPECT_EQ(preview->ErrorStatus(), 201);
  EXPECT_EQ(CoreProbe::s_Creates, 1);  // the core is probed before the activity test
  EXPECT_EQ(m_Devices->Log.Joined(), "");
  EXPECT_EQ(Calls(), "");
  // Everything that needs an open device refuses with 11.
  EXPECT_FALSE(preview->Start(vlmVideoStretch));
  EXPECT_EQ(preview->ErrorStatus(), 11);
  EXPECT_FALSE(preview->Close());
  EXPECT_EQ(preview->ErrorStatus(), 11);
}

// ---- graph events ----

TEST_F(PreviewTest, OneGraphNotificationDrainsTheWholeQueue) {
  Reach(kRunning);
  const std::vector<FakeEvent> burst = {{EC_COMPLETE, 1, 2}, {EC_PAUSED, 3, 4}, {EC_CLOCK_CHANGED, 5, 6}};
  for (const FakeEvent& event : burst) Graph().Events.push_back(event);
  for (int n = 1; n <= 3; ++n) Graph().ScriptNth("IMediaEventEx::GetEvent", n, S_OK);

  EXPECT_EQ(SendMessageW(Preview().Handle(), WM_GRAPHNOTIFY, 7, 8), 0);
  EXPECT_EQ(Calls(),
            "IMediaEventEx::GetEvent(0); IMediaEventEx::FreeEventParams(1); "
            "IMediaEventEx::GetEvent(0); IMediaEventEx::FreeEventParams(14); "
            "IMediaEventEx::GetEvent(0); IMediaEventEx::FreeEventParams(13); "
            "IMediaEventEx::GetEvent(0)");
  ASSERT_EQ(Graph().FreedEvents.size(), 3u);
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(Graph().FreedEvents[i].Code, burst[i].Code);
    EXPECT_EQ(Graph().FreedEvents[i].Param1, burst[i].Param1);
    EXPECT_EQ(Graph().FreedEvents[i].Param2, burst[i].Param2);
  }
  EXPECT_EQ(Preview().State().Value(), kRunning);  // the preview acts on no event
}

TEST_F(PreviewTest, DrainStopsWhenFreeingAnEventFails) {
  Reach(kOpen);
  for (int n = 1; n <= 3; ++n) Graph().ScriptNth("IMediaEventEx::GetEvent", n, S_OK);
  Graph().ScriptNth("IMediaEventEx::FreeEventParams", 2, E_FAIL);
  SendMessageW(Preview().Handle(), WM_GRAPHNOTIFY, 0, 0);
  EXPECT_EQ(Graph().Log.Count("IMediaEventEx::GetEvent"), 2);
  EXPECT_EQ(Graph().Log.Count("IMediaEventEx::FreeEventParams"), 2);
}

TEST_F(PreviewTest, GetEventOtherThanOkEndsTheDrain) {
  Reach(kOpen);
  Graph().ScriptNth("IMediaEventEx::GetEvent", 1, S_FALSE);
  SendMessageW(Preview().Handle(), WM_GRAPHNOTIFY, 0, 0);
  EXPECT_EQ(Calls(), "IMediaEventEx::GetEvent(0)");
}

TEST_F(PreviewTest, GraphNotificationWithoutAGraphDoesNothing) {
  EXPECT_EQ(SendMessageW(Preview().Handle(), WM_GRAPHNOTIFY, 0, 0), 0);
  EXPECT_EQ(Calls(), "");
}

// ---- devices that go and come ----

// The IUnknown that identifies the preview's device in EC_DEVICE_LOST.
LONG_PTR DeviceIdentity(TestPreview& Preview) {
  Microsoft::WRL::ComPtr<IUnknown> unknown;
  Preview.m_pDeviceFilter->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(unknown.GetAddressOf()));
  return reinterpret_cast<LONG_PTR>(unknown.Get());
}

TEST_F(PreviewTest, DeviceLossStopsTheGraphOnceAndReports204) {
  for (const int state : {kRunning, kPaused, kStopped}) {
    SCOPED_TRACE(state);
    NewGraphSystem();
    Reach(state);
    int lost = 0;
    Preview().SetOnDeviceLost([&](TObject* Sender) {
      EXPECT_EQ(Sender, &Preview());
      EXPECT_EQ(Preview().State().Value(), kOpen);
      ++lost;
    });
    const LONG_PTR device = DeviceIdentity(Preview());
    Graph().Events = {{EC_DEVICE_LOST, device + 16, 0},  // another device
                      {EC_DEVICE_LOST, device, 0},
                      {EC_ERRORABORT, E_FAIL, 0},  // the same loss, told again
                      {EC_STREAM_ERROR_STOPPED, E_FAIL, 0}};
    for (int n = 1; n <= 4; ++n) Graph().ScriptNth("IMediaEventEx::GetEvent", n, S_OK);
    SendMessageW(Preview().Handle(), WM_GRAPHNOTIFY, 0, 0);
    EXPECT_EQ(lost, 1);
    EXPECT_EQ(Preview().State().Value(), kOpen);
    EXPECT_EQ(Preview().ErrorStatus(), LMERR_DEVICE_LOST);
    EXPECT_EQ(Graph().Log.Count("IMediaControl::Stop"), 1);
    EXPECT_EQ(Graph().Log.Count("IVideoWindow::put_Visible(OAFALSE)"), 1);
    EXPECT_TRUE(Preview().Close());
    DestroyPreview();
  }
}

TEST_F(PreviewTest, DeviceListChangesRefreshTheListsAndTellTheLossOfTheOpenDevice) {
  m_Devices->Devices[0].DevicePath = L"\\\\?\\usb#cam1";
  AddDevice(L"Second");  // no path: its moniker's display name stands in
  ASSERT_EQ(Preview().VideoDevicePaths()->Count(), 2);
  EXPECT_EQ((*Preview().VideoDevicePaths())[1], L"@device:fake:Second");
  int changes = 0, lost = 0;
  Preview().SetOnVideoDevicesChange([&](TObject*) { ++changes; });
  Preview().SetOnDeviceLost([&](TObject*) { ++lost; });
  ASSERT_TRUE(Preview().OpenDevice(L"\\\\?\\usb#cam1"));
  const auto announce = [&](WPARAM Event, const GUID& Class) {
    DEV_BROADCAST_DEVICEINTERFACE_W broadcast{};
    broadcast.dbcc_size = sizeof(broadcast);
    broadcast.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    broadcast.dbcc_classguid = Class;
    SendMessageW(Preview().Handle(), WM_DEVICECHANGE, Event, reinterpret_cast<LPARAM>(&broadcast));
  };
  // {6994AD05-93EF-11D0-A3CC-00A0C9223196} and {65E8773D-8F56-11D0-A3B9-00A0C9223196}
  const GUID video = {0x6994AD05, 0x93EF, 0x11D0, {0xA3, 0xCC, 0x00, 0xA0, 0xC9, 0x22, 0x31, 0x96}};
  const GUID capture = {0x65E8773D, 0x8F56, 0x11D0, {0xA3, 0xB9, 0x00, 0xA0, 0xC9, 0x22, 0x31, 0x96}};

  // A device arrives in front: announced once per interface class, refreshed once.
  m_Devices->Devices.insert(m_Devices->Devices.begin(), FakeDevice{L"Other", L"\\\\?\\usb#cam2"});
  announce(DBT_DEVICEARRIVAL, video);
  announce(DBT_DEVICEARRIVAL, capture);
  announce(DBT_DEVICEARRIVAL, IID_IUnknown);  // not a video capture device
  testwin::PumpMessages(30);
  EXPECT_EQ(changes, 1);
  EXPECT_EQ((*Preview().VideoDevices())[0], L"Other");
  EXPECT_EQ(Preview().VideoDevicePaths()->IndexOf(L"\\\\?\\usb#cam1"), 1);
  EXPECT_EQ(lost, 0);

  // The open device goes: the list says so, and that is its loss.
  m_Devices->Devices.erase(m_Devices->Devices.begin() + 1);
  announce(DBT_DEVICEREMOVECOMPLETE, video);
  testwin::PumpMessages(30);
  EXPECT_EQ(changes, 2);
  EXPECT_EQ(lost, 1);
  EXPECT_EQ(Preview().ErrorStatus(), LMERR_DEVICE_LOST);
  EXPECT_TRUE(Preview().Close());
  EXPECT_FALSE(Preview().OpenDevice(L"\\\\?\\usb#cam1"));
  EXPECT_EQ(Preview().ErrorStatus(), 202);
  EXPECT_TRUE(Preview().OpenDevice(L"\\\\?\\usb#cam2"));
}

// ---- RemoveDownstream ----

class RemoveDownstreamTest : public PreviewTest {
protected:
  void SetUp() override {
    PreviewTest::SetUp();
    Reach(kOpen);
    Graph().Script("IFilterGraph::AddFilter", S_OK);
    // device.capture -> A.in, A.out -> B.in; device.preview -> C.in; U.out -> device.in
    m_DeviceFilter = Make("device");
    m_A = Make("A");
    m_B = Make("B");
    m_C = Make("C");
    m_U = Make("U");
    auto* capture = m_DeviceFilter->AddPin("capture", PINDIR_OUTPUT);
    auto* preview = m_DeviceFilter->AddPin("preview", PINDIR_OUTPUT);
    auto* input = m_DeviceFilter->AddPin("in", PINDIR_INPUT);
    fakes::Link(capture, m_A->AddPin("in", PINDIR_INPUT));
    fakes::Link(m_A->AddPin("out", PINDIR_OUTPUT), m_B->AddPin("in", PINDIR_INPUT));
    fakes::Link(preview, m_C->AddPin("in", PINDIR_INPUT));
    fakes::Link(m_U->AddPin("out", PINDIR_OUTPUT), input);
    for (const auto& filter : {m_A, m_B, m_C, m_U})
      Preview().m_pGraphBuilder->AddFilter(filter.Get(), std::wstring(filter->Label().begin(), filter->Label().end()).c_str());
    Graph().Log.Clear();
  }
  void TearDown() override {
    m_DeviceFilter.Reset();
    m_A.Reset();
    m_B.Reset();
    m_C.Reset();
    m_U.Reset();
    PreviewTest::TearDown();
  }
  Microsoft::WRL::ComPtr<FakeFilter> Make(const char* Label) {
    Microsoft::WRL::ComPtr<FakeFilter> filter = new FakeFilter(m_Graph, Label);
    filter->Release();  // the ComPtr took its own reference
    return filter;
  }

  Microsoft::WRL::ComPtr<FakeFilter> m_DeviceFilter, m_A, m_B, m_C, m_U;
};

TEST_F(RemoveDownstreamTest, RemovesEveryDownstreamFilterDepthFirst) {
  Preview().RemoveDownstream(m_DeviceFilter.Get());
  EXPECT_EQ(Calls(),
            "IBaseFilter::EnumPins(device); IEnumPins::Reset(device); "
            "IEnumPins::Next(device); IPin::ConnectedTo(device.capture); IPin::QueryPinInfo(A.in); "
            "IBaseFilter::EnumPins(A); IEnumPins::Reset(A); "
            "IEnumPins::Next(A); IPin::ConnectedTo(A.in); IPin::QueryPinInfo(device.capture); "
            "IEnumPins::Next(A); IPin::ConnectedTo(A.out); IPin::QueryPinInfo(B.in); "
            "IBaseFilter::EnumPins(B); IEnumPins::Reset(B); "
            "IEnumPins::Next(B); IPin::ConnectedTo(B.in); IPin::QueryPinInfo(A.out); IEnumPins::Next(B); "
            "IFilterGraph::Disconnect(B.in); IFilterGraph::Disconnect(A.out); IFilterGraph::RemoveFilter(B); "
            "IEnumPins::Next(A); "
            "IFilterGraph::Disconnect(A.in); IFilterGraph::Disconnect(device.capture); IFilterGraph::RemoveFilter(A); "
            "IEnumPins::Next(device); IPin::ConnectedTo(device.preview); IPin::QueryPinInfo(C.in); "
            "IBaseFilter::EnumPins(C); IEnumPins::Reset(C); "
            "IEnumPins::Next(C); IPin::ConnectedTo(C.in); IPin::QueryPinInfo(device.preview); IEnumPins::Next(C); "
            "IFilterGraph::Disconnect(C.in); IFilterGraph::Disconnect(device.preview); IFilterGraph::RemoveFilter(C); "
            "IEnumPins::Next(device); IPin::ConnectedTo(device.in); IPin::QueryPinInfo(U.out); "
            "IEnumPins::Next(device)");
  // The upstream filter stays, connected.
  EXPECT_EQ(Graph().GraphFilters, (std::vector<std::string>{"Camera", "grabber", "U"}));
  EXPECT_NE(m_U->Pins()[0]->Peer(), nullptr);
  for (const auto& filter : {m_A, m_B, m_C})
    for (const auto& pin : filter->Pins()) EXPECT_EQ(pin->Peer(), nullptr) << pin->Label();
}

TEST_F(RemoveDownstreamTest, ResultsOfDisconnectAndRemoveAreNotExamined) {
  Graph().Script("IFilterGraph::Disconnect", E_FAIL);
  Graph().Script("IFilterGraph::RemoveFilter", E_FAIL);
  Preview().RemoveDownstream(m_DeviceFilter.Get());
  EXPECT_EQ(Graph().Log.Count("IFilterGraph::RemoveFilter"), 3);
  EXPECT_EQ(Graph().Log.Count("IFilterGraph::Disconnect"), 6);
}

TEST_F(RemoveDownstreamTest, PinInformationFailureEndsTheWalk) {
  Graph().Script("IPin::QueryPinInfo(B.in)", E_FAIL);
  Preview().RemoveDownstream(m_DeviceFilter.Get());
  // A's walk ends at B; the device's walk goes on: A is still removed, and C.
  EXPECT_EQ(Graph().Log.Count("IFilterGraph::RemoveFilter(B)"), 0);
  EXPECT_EQ(Graph().Log.Count("IFilterGraph::RemoveFilter(A)"), 1);
  EXPECT_EQ(Graph().Log.Count("IEnumPins::Next(A)"), 2);

  Graph().Log.Clear();
  Graph().Script("IPin::QueryPinInfo(A.in)", E_FAIL);
  fakes::Link(m_DeviceFilter->Pins()[0].Get(), m_A->Pins()[0].Get());
  Preview().RemoveDownstream(m_DeviceFilter.Get());
  EXPECT_EQ(Calls(), "IBaseFilter::EnumPins(device); IEnumPins::Reset(device); IEnumPins::Next(device); "
                     "IPin::ConnectedTo(device.capture); IPin::QueryPinInfo(A.in)");
}

TEST_F(RemoveDownstreamTest, NoEnumeratorOrNoFilterEndsAtOnce) {
  Preview().RemoveDownstream(nullptr);
  EXPECT_EQ(Calls(), "");
  Graph().ScriptNth("IBaseFilter::EnumPins(device)", 1, E_FAIL);
  Preview().RemoveDownstream(m_DeviceFilter.Get());
  EXPECT_EQ(Calls(), "IBaseFilter::EnumPins(device)");
  Graph().Log.Clear();
  m_DeviceFilter->EnumPinsGivesNull = true;
  Preview().RemoveDownstream(m_DeviceFilter.Get());
  EXPECT_EQ(Calls(), "IBaseFilter::EnumPins(device)");
}

TEST_F(RemoveDownstreamTest, FailingNextEndsTheWalk) {
  Graph().ScriptNth("IEnumPins::Next(device)", 2, E_FAIL);
  Preview().RemoveDownstream(m_DeviceFilter.Get());
  EXPECT_EQ(Graph().Log.Count("IFilterGraph::RemoveFilter(A)"), 1);
  EXPECT_EQ(Graph().Log.Count("IPin::ConnectedTo(device.preview)"), 0);
  EXPECT_EQ(Graph().Log.Calls().back(), "IEnumPins::Next(device)");
}

// ---- the format list ----

TEST_F(PreviewTest, FormatListSkipsOtherCapabilitiesAndKeepsTheDevicesIndices) {
  std::vector<FakeCapability> caps;
  for (int j = 0; j < 10; ++j) caps.push_back(FakeCapability::Video(160 + 16 * j, 120 + 8 * j, 333333 + j));
  caps[3].Format.FormatType = FORMAT_VideoInfo2;
  caps[6].Format.MajorType = MEDIATYPE_Audio;
  caps[1].Caps.MinFrameInterval = 10000000;  // reversed intervals
  caps[1].Caps.MaxFrameInterval = 333333;
  caps[2].Caps.MinFrameInterval = 500000;
  caps[2].Caps.MaxFrameInterval = 2000000;
  caps[9].Caps.MaxFrameInterval = std::numeric_limits<LONGLONG>::max();
  caps[9].Caps.MinFrameInterval = 333333;
  caps[5].Format.SubType = MEDIASUBTYPE_YUY2;
  caps[5].Format.Header.bmiHeader.biCompression = MAKEFOURCC('Y', 'U', 'Y', '2');
  caps[5].Format.Header.bmiHeader.biBitCount = 16;
  Graph().Capabilities = caps;
  Graph().ScriptNth("IAMStreamConfig::GetStreamCaps(8)", 1, E_FAIL);

  ASSERT_TRUE(Preview().Open(0));
  const auto& list = Preview().m_pVSI;
  EXPECT_EQ(Preview().m_pVSI_Count[0], 10);
  ASSERT_EQ(Preview().m_pVSI_Count[1], 7);
  const std::vector<int> indices = {0, 1, 2, 4, 5, 7, 9};
  for (size_t i = 0; i < indices.size(); ++i) {
    SCOPED_TRACE(i);
    const int j = indices[i];
    const FakeCapability& cap = caps[static_cast<size_t>(j)];
    EXPECT_EQ(list[i].Index, j);
    EXPECT_TRUE(IsEqualGUID(list[i].MajorType, MEDIATYPE_Video));
    EXPECT_TRUE(IsEqualGUID(list[i].SubType, cap.Format.SubType));
    EXPECT_EQ(list[i].VideoSize.cx, 160 + 16 * j);
    EXPECT_EQ(list[i].VideoSize.cy, 120 + 8 * j);
    EXPECT_EQ(list[i].BitCount, cap.Format.Header.bmiHeader.biBitCount);
    EXPECT_EQ(list[i].Compression, cap.Format.Header.bmiHeader.biCompression);
    EXPECT_EQ(list[i].BitRate, cap.Format.Header.dwBitRate);
    EXPECT_DOUBLE_EQ(list[i].FrameRate, 10000000.0 / (333333 + j));
    EXPECT_EQ(list[i].MinimumBitRate, 1000);
    EXPECT_EQ(list[i].MaximumBitRate, 2000000);
  }
  // Rates from the intervals: the smaller one is the minimum, whichever interval gave it.
  EXPECT_DOUBLE_EQ(list[0].MinimumFrameRate, 1.0);
  EXPECT_DOUBLE_EQ(list[0].MaximumFrameRate, 10000000.0 / 333333);
  EXPECT_DOUBLE_EQ(list[1].MinimumFrameRate, 1.0);
  EXPECT_DOUBLE_EQ(list[1].MaximumFrameRate, 10000000.0 / 333333);
  EXPECT_DOUBLE_EQ(list[2].MinimumFrameRate, 5.0);
  EXPECT_DOUBLE_EQ(list[2].MaximumFrameRate, 20.0);
  // The largest 64-bit maximum interval means 1 frame per second.
  EXPECT_DOUBLE_EQ(list[6].MinimumFrameRate, 1.0);
  EXPECT_DOUBLE_EQ(list[6].MaximumFrameRate, 10000000.0 / 333333);
}

TEST_F(PreviewTest, OpenLoadsTheCurrentFormat) {
  FakeFormat current = FakeFormat::Video(640, 480, 16, 666666, MEDIASUBTYPE_YUY2);
  current.Header.bmiHeader.biCompression = MAKEFOURCC('Y', 'U', 'Y', '2');
  current.Header.dwBitRate = 12345678;
  Graph().CurrentFormat = current;
  ASSERT_TRUE(Preview().Open(0));
  EXPECT_EQ(Preview().VideoSize().cx, 640);
  EXPECT_EQ(Preview().VideoSize().cy, 480);
  EXPECT_TRUE(IsEqualGUID(Preview().VideoSubType(), MEDIASUBTYPE_YUY2));
  EXPECT_EQ(Preview().m_StrVideoSubType, L"{32595559-0000-0010-8000-00AA00389B71}");
  EXPECT_DOUBLE_EQ(Preview().FrameRate(), 10000000.0 / 666666);
  EXPECT_EQ(Preview().BitCount(), 16);
  EXPECT_EQ(Preview().Compression(), static_cast<uint32_t>(MAKEFOURCC('Y', 'U', 'Y', '2')));
  // The first Start sees no change of rate or size.
  EXPECT_DOUBLE_EQ(Preview().m_oldFrameRate, Preview().FrameRate());
  EXPECT_EQ(Preview().m_oldBitRate, 12345678u);
  EXPECT_EQ(Preview().m_oldVideoSize.cx, 640);
  EXPECT_EQ(Preview().m_oldVideoSize.cy, 480);
}

TEST_F(PreviewTest, CurrentFormatOfAnotherTypeOrFailingLeavesTheFields) {
  for (bool failing : {false, true}) {
    SCOPED_TRACE(failing);
    NewGraphSystem();
    FakeFormat current = FakeFormat::Video(640, 480);
    current.FormatType = FORMAT_VideoInfo2;
    Graph().CurrentFormat = current;
    if (failing) Graph().Script("IAMStreamConfig::GetFormat", E_FAIL);
    ASSERT_TRUE(Preview().Open(0));
    EXPECT_EQ(Preview().VideoSize().cx, 0);
    EXPECT_EQ(Preview().FrameRate(), 0);
    EXPECT_EQ(Preview().m_pVSI_Count[1], 1);  // the list is built all the same
    DestroyPreview();
  }
}

TEST_F(PreviewTest, StreamConfigurationFoundOnTheInterleavedStreamIsUsed) {
  Graph().Script("ICaptureGraphBuilder2::FindInterface(capture, interleaved, IAMStreamConfig)", S_OK);
  ASSERT_TRUE(Preview().Open(0));
  EXPECT_EQ(Graph().Log.Count("ICaptureGraphBuilder2::FindInterface(capture, video"), 0);
  EXPECT_EQ(Preview().m_pVSI_Count[1], 1);
}

TEST_F(PreviewTest, FormatListFailures) {
  Reach(kOpen);
  IBaseFilter* device = Preview().m_pDeviceFilter.Get();

  Graph().CapabilitySize = 64;  // not a video configuration structure
  EXPECT_FALSE(Preview().GetFormats(device));
  EXPECT_TRUE(Preview().m_pVSI.empty());
  EXPECT_EQ(Preview().m_pVSI_Count[0], 0);

  Graph().CapabilitySize = sizeof(VIDEO_STREAM_CONFIG_CAPS);
  Graph().Script("IAMStreamConfig::GetNumberOfCapabilities", E_FAIL);
  EXPECT_FALSE(Preview().GetFormats(device));
  EXPECT_TRUE(Preview().m_pVSI.empty());
  Graph().Script("IAMStreamConfig::GetNumberOfCapabilities", S_OK);

  // Only capabilities of other types: the array has its length, no entry is filled.
  Graph().Capabilities = {FakeCapability::Video(320, 240), FakeCapability::Video(640, 480)};
  for (auto& cap : Graph().Capabilities) cap.Format.FormatType = FORMAT_MPEG2Video;
  EXPECT_FALSE(Preview().GetFormats(device));
  EXPECT_EQ(Preview().m_pVSI_Count[0], 2);
  EXPECT_EQ(Preview().m_pVSI_Count[1], 0);

  Graph().Script("ICaptureGraphBuilder2::FindInterface(capture, video, IAMStreamConfig)", E_NOINTERFACE);
  EXPECT_FALSE(Preview().GetFormats(device));
  EXPECT_TRUE(Preview().m_pVSI.empty());
}

// A frame interval of 0 has no rate; the enumeration ends there with both counts 0.
TEST_F(PreviewTest, CapabilityWithoutAFrameRateIsSkippedAndTheRestKept) {
  // One capability whose time per frame or frame interval is 0 has no rate; it must not cost
  // the application every other format.
  Reach(kOpen);
  IBaseFilter* device = Preview().m_pDeviceFilter.Get();
  struct Zero {
    REFERENCE_TIME TimePerFrame, MinInterval, MaxInterval;
  };
  for (const Zero& zero : {Zero{0, 333333, 10000000}, Zero{333333, 0, 10000000}, Zero{333333, 333333, 0}}) {
    Graph().Capabilities = {FakeCapability::Video(320, 240),
                            FakeCapability::Video(640, 480, zero.TimePerFrame, zero.MinInterval, zero.MaxInterval),
                            FakeCapability::Video(800, 600)};
    Graph().Log.Clear();
    EXPECT_TRUE(Preview().GetFormats(device));
    EXPECT_EQ(Preview().m_pVSI_Count[0], 3);
    ASSERT_EQ(Preview().m_pVSI_Count[1], 2);
    EXPECT_EQ(Preview().m_pVSI[0].VideoSize.cx, 320);
    EXPECT_EQ(Preview().m_pVSI[0].Index, 0);
    EXPECT_EQ(Preview().m_pVSI[1].VideoSize.cx, 800);
    EXPECT_EQ(Preview().m_pVSI[1].Index, 2);
    EXPECT_EQ(Graph().Log.Count("IAMStreamConfig::GetStreamCaps(2)"), 1);
  }
}

// ---- snapshots ----

TEST_F(PreviewTest, SnapshotRefusals) {
  // Closed or not running: 11 (the state table); no capture stream: 4.
  Reach(kRunning);
  Preview().m_isCapture = false;
  EXPECT_FALSE(Preview().TakeSnapshot());
  EXPECT_EQ(Preview().ErrorStatus(), 4);
  EXPECT_EQ(Calls(), "");
}

TEST_F(PreviewTest, SnapshotImageSizeLimits) {
  struct Limit {
    DWORD ImageSize;
    bool Armed;
  };
  for (const Limit& limit : {Limit{999, false}, Limit{1000, true}, Limit{16000000, true}, Limit{16000001, false},
                             Limit{0, false}}) {
    SCOPED_TRACE(limit.ImageSize);
    NewGraphSystem();
    Graph().Connected.Header.bmiHeader.biSizeImage = limit.ImageSize;
    Reach(kRunning);
    EXPECT_EQ(Preview().TakeSnapshot(), limit.Armed);
    EXPECT_EQ(Preview().ErrorStatus(), limit.Armed ? 0 : 2);
    EXPECT_EQ(Calls(), limit.Armed ? "ISampleGrabber::SetCallback(callback, 1)" : "");
    DestroyPreview();
  }
}

}  // namespace
