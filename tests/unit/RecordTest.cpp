// TVLmRecord against fake DirectShow objects: the graph with its file branch and every step of
// it failing, AVI or ASF by Format, the preview branch's fallback, the teardown order, Open's
// checks in order, the name of a refused Open, the sizing of the ASF writer's profile, and
// what stream formats and the capture-pin dialog do differently in the recorder.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "core/Lmdllprocs.h"
#include "support/FakeDeviceEnum.h"
#include "support/FakeGraph.h"
#include "support/GraphCalls.h"
#include "support/HostedFakeComTest.h"
#include "support/TestWindow.h"
#include "webcam/LmRecord.h"
#include "webcam/LmSnapshot.h"

using fakes::FakeCapability;
using fakes::FakeDevice;
using fakes::FakeDeviceSystem;
using fakes::FakeFilter;
using fakes::FakeFormat;
using fakes::FakeGraphSystem;
using fakes::Join;
using fakes::MarkerFileAway;
using fakes::FakeProfileStream;
using Microsoft::WRL::ComPtr;

namespace {

// Opens the protected parts of the component to the tests.
class TestRecord : public TVLmRecord {
public:
  using TVLmRecord::TVLmRecord;
  using TVLmRecord::AsfSetOutputSize;
  using TVLmRecord::m_FileName;
  using TVLmRecord::m_oldBitRate;
  using TVLmRecord::m_pCaptureGraphBuilder;
  using TVLmRecord::m_pDeviceFilter;
  using TVLmRecord::m_pGraphBuilder;
  using TVLmRecord::m_pMediaControl;
  using TVLmRecord::m_pMediaEvent;
  using TVLmRecord::m_PreviewFaked;
  using TVLmRecord::m_pVideoWindow;
  using TVLmRecord::m_pVSI_Count;
  using TVLmRecord::m_SelectedIndex;

  int HeldInterfaces() const {
    return !!m_pDeviceFilter + !!m_pGraphBuilder + !!m_pCaptureGraphBuilder + !!m_pMediaControl + !!m_pVideoWindow +
           !!m_pMediaEvent;
  }
};

// The core's free function taken away while it lives.
class CoreUnbound {
public:
  CoreUnbound() : m_Free(LmFreeMemory) { LmFreeMemory = nullptr; }
  ~CoreUnbound() { LmFreeMemory = m_Free; }

private:
  TLmFreeMemory m_Free;
};

constexpr int kClosed = 1, kOpen = 2, kRunning = 6, kStopped = 258;

const char* const kGraphObjects =
    "CoCreateInstance(CLSID_FilterGraph); CoCreateInstance(CLSID_CaptureGraphBuilder2); "
    "IFilterGraph::QueryInterface(IMediaControl); IFilterGraph::QueryInterface(IVideoWindow); "
    "IFilterGraph::QueryInterface(IMediaEventEx); "
    "ICaptureGraphBuilder2::FindInterface(capture, interleaved, IAMStreamConfig); "
    "ICaptureGraphBuilder2::FindInterface(capture, video, IAMStreamConfig); "
    "IAMStreamConfig::GetNumberOfCapabilities; IAMStreamConfig::GetFormat; IAMStreamConfig::GetStreamCaps(0); "
    "IAMStreamConfig::GetStreamCaps(1); ICaptureGraphBuilder2::SetFiltergraph(graph); IFilterGraph::AddFilter(Video Capture)";
const char* const kBranches =
    "ICaptureGraphBuilder2::RenderStream(preview, interleaved); ICaptureGraphBuilder2::RenderStream(capture, video)";
const char* const kVideoWindow = fakes::kVideoWindowSetup;
const char* const kCloseCalls = fakes::kGraphTeardown;
// The ASF sizing of the working profile: an audio stream 1, the video stream 2.
const char* const kAsfProfileStart =
    "IConfigAsfWriter::ConfigureFilterUsingProfileGuid({6E2A6955-81DF-4943-BA50-68A986A708F6}); "
    "IConfigAsfWriter::GetCurrentProfile; IWMProfile::GetStreamCount";
const char* const kAsfVideoStream2 =
    "IWMProfile::GetStreamByNumber(1); IWMStreamConfig::GetStreamType(1); "
    "IWMProfile::GetStreamByNumber(2); IWMStreamConfig::GetStreamType(2); "
    "IWMStreamConfig::QueryInterface(IWMVideoMediaProps)(2); "
    "IWMVideoMediaProps::GetMediaType(size); IWMVideoMediaProps::GetMediaType(buffer); "
    "IWMVideoMediaProps::SetMediaType";
const char* const kAsfReconfigure = "IWMProfile::ReconfigStream(2); IConfigAsfWriter::ConfigureFilterUsingProfile(profile)";
const char* const kTakeApart = fakes::kRemoveRenderer;
const char* const kFindConfig = fakes::kFindStreamConfig;

// The file branch of an AVI (re)build for Name, without the ASF sizing.
std::string FileBranch(const std::string& Subtype, const std::string& Name) {
  return "ICaptureGraphBuilder2::SetOutputFileName(" + Subtype + ", " + Name + "); IFileSinkFilter2::SetMode(1)";
}

class RecordTest : public fakes::HostedFakeComTest<> {
protected:
  void SetUp() override {
    HostedFakeComTest::SetUp();
    m_Devices = std::make_shared<FakeDeviceSystem>();
    FakeDevice device;
    device.FriendlyName = L"Camera";
    m_Devices->Devices.push_back(device);
    m_DeviceRegistration = std::make_unique<fakes::FakeDeviceEnumRegistration>(m_Devices);
    ASSERT_EQ(m_DeviceRegistration->Result(), S_OK);
    NewGraphSystem();
    m_LiveBefore = fakes::LiveObjects();
  }
  void TearDown() override {
    m_Record.reset();
    m_Device.Reset();
    m_Renderer.Reset();
    m_GraphRegistration.reset();
    m_DeviceRegistration.reset();
    HostedFakeComTest::TearDown();
  }

  // A fresh script and log for the graph fakes, scripted as a working recorder graph whose
  // device lists 320 x 240 and 640 x 480 and runs at 320 x 240.
  void NewGraphSystem() {
    m_GraphRegistration.reset();
    m_Graph = std::make_shared<FakeGraphSystem>();
    m_Graph->ScriptWorkingRecorder();
    m_Graph->Script("IFilterGraph::AddFilter", S_OK);
    m_Graph->Script("IAMStreamConfig::SetFormat", S_OK);
    m_Graph->Capabilities = {FakeCapability::Video(320, 240), FakeCapability::Video(640, 480, 666666)};
    m_Graph->Capabilities[1].Caps.MinBitsPerSecond = 5000;
    m_Graph->Capabilities[1].Caps.MaxBitsPerSecond = 9000000;
    m_GraphRegistration = std::make_unique<fakes::FakeGraphRegistration>(m_Graph);
    ASSERT_TRUE(m_GraphRegistration->Registered());
    if (m_Record) m_Graph->Window = m_Record->Handle();
  }
  TestRecord& Record() {
    if (!m_Record) {
      m_Record = std::make_unique<TestRecord>(nullptr);
      m_Record->SetParentWindow(s_Host->Handle());
      m_Graph->Window = m_Record->Handle();
    }
    return *m_Record;
  }
  void DestroyRecord() {
    m_Record.reset();
    m_Device.Reset();
    m_Renderer.Reset();
  }
  FakeGraphSystem& Graph() { return *m_Graph; }
  std::string Calls() const { return m_Graph->Log.Joined(); }
  std::string TakeCalls() {
    std::string calls = m_Graph->Log.Joined();
    m_Graph->Log.Clear();
    return calls;
  }

  // Opens "take.avi" (in Format) and drives the recorder into State; the device filter is
  // then replaced by one whose capture pin feeds a filter "renderer" in the graph, so that
  // taking the graph apart shows.
  void Reach(int State, TVLmVideoFormat Format = vlmAvi) {
    Record().SetFormat(Format);
    ASSERT_TRUE(Record().Open(L"take.avi", 0)) << Record().ErrorStatus();
    m_Device = new FakeFilter(m_Graph, "device");
    m_Device->Release();  // the ComPtr took its own reference
    m_Device->AddPin("capture", PINDIR_OUTPUT);
    Record().m_pDeviceFilter = m_Device;
    ConnectRenderer();
    if (State == kRunning || State == kStopped) {
      ASSERT_TRUE(Record().Start(vlmVideoStretch));
    }
    if (State == kStopped) {
      ASSERT_TRUE(Record().Stop());
    }
    ASSERT_EQ(Record().State().Value(), State);
    Graph().Log.Clear();
    Graph().File = fakes::FakeFileBranch{};
  }
  void ConnectRenderer() {
    if (!m_Renderer) {
      m_Renderer = new FakeFilter(m_Graph, "renderer");
      m_Renderer->Release();
      m_Renderer->AddPin("in", PINDIR_INPUT);
    }
    fakes::Link(m_Device->Pins()[0].Get(), m_Renderer->Pins()[0].Get());
    Record().m_pGraphBuilder->AddFilter(m_Renderer.Get(), L"renderer");
    Graph().Log.Clear();
  }

  std::shared_ptr<FakeDeviceSystem> m_Devices;
  std::shared_ptr<FakeGraphSystem> m_Graph;
  std::unique_ptr<fakes::FakeDeviceEnumRegistration> m_DeviceRegistration;
  std::unique_ptr<fakes::FakeGraphRegistration> m_GraphRegistration;
  std::unique_ptr<TestRecord> m_Record;
  ComPtr<FakeFilter> m_Device;
  ComPtr<FakeFilter> m_Renderer;
  int m_LiveBefore = 0;
};

// ---- the graph Open builds ----

TEST_F(RecordTest, OpenBuildsThePreviewAndTheAviFileBranchStoppedAndHidden) {
  static_assert(!std::is_base_of_v<TLmSnapshotPipeline, TVLmRecord>, "the recorder takes no snapshots");
  EXPECT_EQ(sizeof(TVLmVideoFormat), 1u);
  EXPECT_EQ(Record().Format(), vlmAvi);
  EXPECT_EQ(Record().m_SelectedIndex, -1);
  ASSERT_TRUE(Record().Open(L"take.avi", 0));
  EXPECT_EQ(Record().ErrorStatus(), 0);
  EXPECT_EQ(Record().State().Value(), kOpen);
  EXPECT_EQ(Record().m_SelectedIndex, 0);
  EXPECT_EQ(Record().m_FileName, L"take.avi");
  EXPECT_EQ(Calls(), Join({kGraphObjects, FileBranch("AVI", "take.avi"), kBranches, kVideoWindow}));
  EXPECT_EQ(Graph().RenderStreamFilters, (std::vector<std::string>{"Camera, null, null", "Camera, null, writer"}));
  EXPECT_EQ(Graph().GraphFilters, (std::vector<std::string>{"Camera", "writer"}));
  EXPECT_EQ(Graph().Log.Count("CoCreateInstance(CLSID_SampleGrabber)"), 0) << "the recorder has no grabber";
  EXPECT_EQ(Record().HeldInterfaces(), 6);
  // The local references to the writer and its sink are gone: the graph holds the writer,
  // the writer its sink.
  EXPECT_EQ(fakes::FileBranchReferences(Graph().File.Writer), 1u);
  EXPECT_EQ(fakes::FileBranchReferences(Graph().File.Sink), 1u);
  EXPECT_FALSE(Record().m_PreviewFaked);
}

TEST_F(RecordTest, FormatChoosesTheOutputSubtypeAndOnlyAsfIsSized) {
  for (TVLmVideoFormat format : {vlmAvi, vlmAsf}) {
    SCOPED_TRACE(static_cast<int>(format));
    NewGraphSystem();
    Record().SetFormat(format);
    ASSERT_TRUE(Record().Open(L"clip.wmv", 0));
    EXPECT_EQ(Record().Format(), format);
    const std::string subtype = format == vlmAsf ? "ASF" : "AVI";
    // The extension of the name is never looked at.
    EXPECT_EQ(Graph().File.OutputFiles, std::vector<std::string>{subtype + ", clip.wmv"});
    const std::string sizing =
        format == vlmAsf
            ? Join({kAsfProfileStart, kAsfVideoStream2, "IWMStreamConfig::SetBitrate(" +
                                                            std::to_string(Graph().CurrentFormat->Header.dwBitRate) + ")",
                    kAsfReconfigure})
            : "";
    EXPECT_EQ(Calls(), Join({kGraphObjects, FileBranch(subtype, "clip.wmv"), sizing, kBranches, kVideoWindow}));
    // Changing Format while open changes nothing until the next build.
    Record().SetFormat(format == vlmAsf ? vlmAvi : vlmAsf);
    EXPECT_EQ(Graph().File.OutputFiles.size(), 1u);
    ASSERT_TRUE(Record().Close());
    EXPECT_NE(Record().Format(), format) << "Close keeps Format";
    DestroyRecord();
    EXPECT_EQ(fakes::LiveObjects(), m_LiveBefore);
  }
}

struct StepFailure {
  const char* Name;
  std::function<void(FakeGraphSystem&)> Arrange;
  const char* LastCall;  // the last call logged: nothing follows the failure
  int Held;              // interfaces held afterwards, the device filter included
};

TEST_F(RecordTest, EachGraphStepFailingGives203KeepsWhatWasBuiltAndCloseRefuses) {
  const auto fail = [](const char* Call, HRESULT Result) {
    return [Call, Result](FakeGraphSystem& G) { G.Script(Call, Result); };
  };
  const StepFailure steps[] = {
      {"graph", fail("CoCreateInstance(CLSID_FilterGraph)", REGDB_E_CLASSNOTREG), "CoCreateInstance(CLSID_FilterGraph)", 1},
      {"builder", fail("CoCreateInstance(CLSID_CaptureGraphBuilder2)", E_OUTOFMEMORY),
       "CoCreateInstance(CLSID_CaptureGraphBuilder2)", 2},
      {"media control", fail("IFilterGraph::QueryInterface(IMediaControl)", E_NOINTERFACE),
       "IFilterGraph::QueryInterface(IMediaControl)", 3},
      {"video window", fail("IFilterGraph::QueryInterface(IVideoWindow)", E_NOINTERFACE),
       "IFilterGraph::QueryInterface(IVideoWindow)", 4},
      {"media event", fail("IFilterGraph::QueryInterface(IMediaEventEx)", E_NOINTERFACE),
       "IFilterGraph::QueryInterface(IMediaEventEx)", 5},
      {"SetFiltergraph", fail("ICaptureGraphBuilder2::SetFiltergraph", S_FALSE),
       "ICaptureGraphBuilder2::SetFiltergraph(graph)", 6},
      {"AddFilter", fail("IFilterGraph::AddFilter(Video Capture)", VFW_E_DUPLICATE_NAME),
       "IFilterGraph::AddFilter(Video Capture)", 6},
      {"SetOutputFileName", fail("ICaptureGraphBuilder2::SetOutputFileName", E_NOTIMPL),
       "ICaptureGraphBuilder2::SetOutputFileName(AVI, take.avi)", 6},
      {"SetOutputFileName S_FALSE", fail("ICaptureGraphBuilder2::SetOutputFileName", S_FALSE),
       "ICaptureGraphBuilder2::SetOutputFileName(AVI, take.avi)", 6},
      {"sink without IFileSinkFilter2", [](FakeGraphSystem& G) { G.File.SinkHasMode2 = false; },
       "ICaptureGraphBuilder2::SetOutputFileName(AVI, take.avi)", 6},
      {"SetMode refused", fail("IFileSinkFilter2::SetMode", E_INVALIDARG), "IFileSinkFilter2::SetMode(1)", 6},
      {"SetMode S_FALSE", fail("IFileSinkFilter2::SetMode", S_FALSE), "IFileSinkFilter2::SetMode(1)", 6},
      {"preview stream",
       [](FakeGraphSystem& G) {
         G.Script("ICaptureGraphBuilder2::RenderStream(preview, interleaved)", E_FAIL);
         G.Script("ICaptureGraphBuilder2::RenderStream(preview, video)", VFW_E_CANNOT_RENDER);
       },
       "ICaptureGraphBuilder2::RenderStream(preview, video)", 6},
      {"capture stream", fail("ICaptureGraphBuilder2::RenderStream(capture, video)", S_FALSE),
       "ICaptureGraphBuilder2::RenderStream(capture, video)", 6},
      {"video window owner", fail("IVideoWindow::put_Owner", E_FAIL), "IVideoWindow::put_Owner(window)", 6},
      {"notify window", fail("IMediaEventEx::SetNotifyWindow", E_FAIL),
       "IMediaEventEx::SetNotifyWindow(window, 32769, 0)", 6},
  };
  for (const StepFailure& step : steps) {
    SCOPED_TRACE(step.Name);
    NewGraphSystem();
    step.Arrange(Graph());
    EXPECT_FALSE(Record().Open(L"take.avi", 0));
    EXPECT_EQ(Record().ErrorStatus(), 203);
    EXPECT_EQ(Record().State().Value(), kClosed);
    ASSERT_FALSE(Graph().Log.Calls().empty());
    EXPECT_EQ(Graph().Log.Calls().back(), step.LastCall);
    EXPECT_EQ(Record().HeldInterfaces(), step.Held);
    EXPECT_EQ(Record().m_FileName, L"") << "only a successful Open names the file";

    Graph().Log.Clear();
    EXPECT_FALSE(Record().Close());
    EXPECT_EQ(Record().ErrorStatus(), 11);
    EXPECT_EQ(Calls(), "");
    EXPECT_EQ(Record().HeldInterfaces(), step.Held);

    DestroyRecord();
    EXPECT_EQ(fakes::LiveObjects(), m_LiveBefore) << "destruction left fakes alive";
  }
}

struct PreviewRendering {
  HRESULT Interleaved;
  HRESULT Video;  // S_OK when not reached
  bool VideoTried;
  bool Opens;
  bool Faked;
};

TEST_F(RecordTest, PreviewBranchFallsBackToVideoAndAcceptsAMissingPreviewPin) {
  const PreviewRendering cases[] = {
      {E_FAIL, S_OK, true, true, false},
      {S_FALSE, S_OK, true, true, false},  // a success code other than S_OK also falls back
      {VFW_S_NOPREVIEWPIN, S_OK, false, true, true},
      {E_FAIL, VFW_S_NOPREVIEWPIN, true, true, true},
      {E_FAIL, S_FALSE, true, false, false},
      {S_FALSE, VFW_S_PARTIAL_RENDER, true, false, false},
  };
  for (const PreviewRendering& c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << c.Interleaved << " then " << c.Video);
    NewGraphSystem();
    Graph().Script("ICaptureGraphBuilder2::RenderStream(preview, interleaved)", c.Interleaved);
    Graph().Script("ICaptureGraphBuilder2::RenderStream(preview, video)", c.Video);
    EXPECT_EQ(Record().Open(L"take.avi", 0), c.Opens);
    EXPECT_EQ(Record().ErrorStatus(), c.Opens ? 0 : 203);
    EXPECT_EQ(Record().m_PreviewFaked, c.Faked);
    EXPECT_EQ(Graph().Log.Count("ICaptureGraphBuilder2::RenderStream(preview, video)"), c.VideoTried ? 1 : 0);
    EXPECT_EQ(Graph().Log.Count("ICaptureGraphBuilder2::RenderStream(capture, video)"), c.Opens ? 1 : 0);
    DestroyRecord();
  }
}

// ---- teardown ----

TEST_F(RecordTest, CloseStopsTheGraphBeforeReleasingItAndKeepsFormatNameAndList) {
  Reach(kRunning);
  Record().SetFormat(vlmAsf);
  ASSERT_TRUE(Record().GetStreamFormat(1));
  Graph().LogReleases = true;
  ASSERT_TRUE(Record().Close());
  Graph().LogReleases = false;
  // The graph stops (the writer completes the file) before anything is released; the builder
  // goes before the graph, and there is no grabber.
  EXPECT_EQ(Calls(),
            "IMediaControl::Stop; Release(graph); "
            "IMediaEventEx::SetNotifyWindow(0, 32769, 0); Release(graph); "
            "IVideoWindow::put_Visible(OAFALSE); IVideoWindow::put_Owner(0); Release(graph); "
            "Release(builder); Release(graph); Release(graph)");
  m_Device.Reset();
  m_Renderer.Reset();
  EXPECT_EQ(Record().HeldInterfaces(), 0);
  EXPECT_EQ(fakes::LiveObjects(), m_LiveBefore);
  EXPECT_EQ(Record().State().Value(), kClosed);
  EXPECT_EQ(Record().ErrorStatus(), 0);
  EXPECT_EQ(Record().BitRate(), 0u);
  EXPECT_EQ(Record().m_oldBitRate, 0u);
  EXPECT_EQ(Record().m_SelectedIndex, -1);
  EXPECT_EQ(Record().Format(), vlmAsf);
  EXPECT_EQ(Record().m_FileName, L"take.avi");
  EXPECT_EQ(Record().m_pVSI_Count[1], 2);
  EXPECT_EQ(Record().MinimumBitRate(), 5000u);
  EXPECT_EQ(Record().MaximumBitRate(), 9000000u);
}

TEST_F(RecordTest, DestructionWhileRunningStopsTheGraphFirstAndReleasesEverything) {
  Reach(kRunning);
  m_Device.Reset();
  m_Renderer.Reset();
  m_Record.reset();
  EXPECT_EQ(Calls(), kCloseCalls);
  EXPECT_EQ(fakes::LiveObjects(), m_LiveBefore);
}

TEST_F(RecordTest, StartAfterStopRunsTheSameGraphWithoutARebuild) {
  Reach(kStopped);
  ASSERT_TRUE(Record().Start(vlmVideoStretch));
  EXPECT_EQ(Calls(), "IVideoWindow::put_Visible(OATRUE); IMediaControl::Run");
  EXPECT_EQ(Record().State().Value(), kRunning);
}

// ---- Open's checks ----

TEST_F(RecordTest, OpenChecksRunInOrderAndTheNameLimitComesBeforeTheDevices) {
  const std::wstring longest(259, L'a');
  const std::wstring tooLong(260, L'a');
  {
    CoreUnbound unbound;
    EXPECT_FALSE(Record().Open(tooLong, -1));
    EXPECT_EQ(Record().ErrorStatus(), 14);
  }
  {
    MarkerFileAway away;
    ASSERT_TRUE(away.Moved());
    TestRecord inactive(nullptr);
    EXPECT_FALSE(inactive.Open(tooLong, -1));
    EXPECT_EQ(inactive.ErrorStatus(), 201);
  }
  // 260 characters: refused before the device list is enumerated again or a device bound.
  m_Devices->Devices.clear();
  Record().VideoDevices()->Clear();
  m_Devices->Log.Clear();
  EXPECT_FALSE(Record().Open(tooLong, 0));
  EXPECT_EQ(Record().ErrorStatus(), 5);
  EXPECT_EQ(m_Devices->Log.Joined(), "");
  EXPECT_EQ(Calls(), "");
  // 259 characters go on to the device checks.
  EXPECT_FALSE(Record().Open(longest, 0));
  EXPECT_EQ(Record().ErrorStatus(), 202);
  EXPECT_EQ(m_Devices->Log.Count("ICreateDevEnum::CreateClassEnumerator"), 1);

  FakeDevice device;
  device.FriendlyName = L"Camera";
  m_Devices->Devices.push_back(device);
  ASSERT_EQ(Record().GetVideoDevices(), 1);
  EXPECT_FALSE(Record().Open(longest, 1));
  EXPECT_EQ(Record().ErrorStatus(), 202);
  m_Devices->Devices[0].BindToObjectResult = E_FAIL;
  EXPECT_FALSE(Record().Open(longest, 0));
  EXPECT_EQ(Record().ErrorStatus(), 202);
  EXPECT_EQ(Calls(), "");
  m_Devices->Devices[0].BindToObjectResult = S_OK;
  ASSERT_TRUE(Record().Open(longest, 0));
  EXPECT_EQ(Graph().File.OutputFiles, std::vector<std::string>{"AVI, " + std::string(259, 'a')});
  EXPECT_EQ(Record().m_FileName, longest);
}

TEST_F(RecordTest, RefusedOpenKeepsTheOpenGraphsNameForItsRebuilds) {
  Reach(kRunning);
  for (const std::wstring& name : {std::wstring(L"other.avi"), std::wstring(300, L'b')}) {
    EXPECT_FALSE(Record().Open(name, 0));
    EXPECT_EQ(Record().ErrorStatus(), 11);
    EXPECT_EQ(Record().State().Value(), kRunning);
    EXPECT_EQ(Calls(), "") << "the running graph is left alone";
    EXPECT_EQ(Record().m_FileName, L"take.avi");
  }
  // A rebuild of the open graph writes the name it was opened with.
  ASSERT_TRUE(Record().Stop());
  Graph().Log.Clear();
  Record().SetBitRate(Record().BitRate() + 1);
  ASSERT_TRUE(Record().SetStreamFormat(0));
  EXPECT_EQ(Graph().File.OutputFiles, std::vector<std::string>{"AVI, take.avi"});
}

// ---- ASF sizing ----

class AsfSizingTest : public RecordTest {
protected:
  // Opens an ASF recording; the device's current format is 320 x 240 and its first list
  // entry 640 x 480.
  bool OpenAsf() {
    Graph().Capabilities = {FakeCapability::Video(640, 480), FakeCapability::Video(320, 240)};
    Record().SetFormat(vlmAsf);
    return Record().Open(L"take.asf", 0);
  }
};

TEST_F(AsfSizingTest, StartWithNewRatesResizesTheWritersVideoStreamExactly) {
  ASSERT_TRUE(OpenAsf());
  // Open sized the stream with the first entry's size and the device's rates.
  ASSERT_TRUE(Graph().File.WrittenHeader.has_value());
  EXPECT_EQ(Graph().File.WrittenHeader->bmiHeader.biWidth, 640);
  EXPECT_EQ(Graph().File.WrittenHeader->bmiHeader.biHeight, 480);
  EXPECT_NEAR(static_cast<double>(Graph().File.WrittenHeader->AvgTimePerFrame), 333333, 1);

  m_Device = new FakeFilter(m_Graph, "device");
  m_Device->Release();
  m_Device->AddPin("capture", PINDIR_OUTPUT);
  Record().m_pDeviceFilter = m_Device;
  ConnectRenderer();
  Graph().File = fakes::FakeFileBranch{};
  Record().SetFrameRate(15);
  Record().SetBitRate(300000);
  ASSERT_TRUE(Record().Start(vlmVideoStretch));
  ASSERT_TRUE(Graph().File.WrittenHeader.has_value());
  const VIDEOINFOHEADER& vih = *Graph().File.WrittenHeader;
  EXPECT_EQ(vih.AvgTimePerFrame, 666666);
  EXPECT_EQ(vih.dwBitRate, 300000u);
  EXPECT_EQ(Graph().File.Bitrates, std::vector<DWORD>{300000});
  EXPECT_EQ(vih.bmiHeader.biWidth, 640);
  EXPECT_EQ(vih.bmiHeader.biHeight, 480);
  // Right and bottom emptied, left and top as the profile had them.
  EXPECT_EQ(vih.rcSource.left, 2);
  EXPECT_EQ(vih.rcSource.top, 3);
  EXPECT_EQ(vih.rcSource.right, 0);
  EXPECT_EQ(vih.rcSource.bottom, 0);
  EXPECT_EQ(vih.rcTarget.left, 4);
  EXPECT_EQ(vih.rcTarget.top, 5);
  EXPECT_EQ(vih.rcTarget.right, 0);
  EXPECT_EQ(vih.rcTarget.bottom, 0);
  // The rest of the bitmap header is the profile's.
  EXPECT_EQ(vih.bmiHeader.biSizeImage, 4321u);
  EXPECT_EQ(vih.bmiHeader.biCompression, static_cast<DWORD>(MAKEFOURCC('W', 'M', 'V', '2')));
  // The rebuilt graph writes the ASF file under the same name; the profile is applied after.
  const std::string calls = Calls();
  EXPECT_NE(calls.find(FileBranch("ASF", "take.asf")), std::string::npos) << calls;
  EXPECT_LT(calls.find("IConfigAsfWriter::ConfigureFilterUsingProfile(profile)"),
            calls.find("ICaptureGraphBuilder2::RenderStream(preview")) << calls;
}

TEST_F(AsfSizingTest, ProfileVariantsAndFailuresLeaveTheOpenAloneAndReleaseEverything) {
  struct Variant {
    const char* Name;
    std::function<void(FakeGraphSystem&)> Arrange;
    std::string Calls;  // the sizing calls between SetMode and the preview branch
    bool Written;       // SetMediaType got a header
  };
  const auto fail = [](const char* Call, HRESULT Result) {
    return [Call, Result](FakeGraphSystem& G) { G.Script(Call, Result); };
  };
  const std::string bitrate = "IWMStreamConfig::SetBitrate(" +
                              std::to_string(FakeFormat::Video(320, 240).Header.dwBitRate) + ")";
  const std::string stream1Video =
      "IWMProfile::GetStreamByNumber(1); IWMStreamConfig::GetStreamType(1); "
      "IWMStreamConfig::QueryInterface(IWMVideoMediaProps)(1); "
      "IWMVideoMediaProps::GetMediaType(size); IWMVideoMediaProps::GetMediaType(buffer); "
      "IWMVideoMediaProps::SetMediaType; " + bitrate + "; IWMProfile::ReconfigStream(1); "
      "IConfigAsfWriter::ConfigureFilterUsingProfile(profile)";
  const std::string upToStream2 =
      std::string(kAsfProfileStart) + "; IWMProfile::GetStreamByNumber(1); IWMStreamConfig::GetStreamType(1); "
      "IWMProfile::GetStreamByNumber(2); IWMStreamConfig::GetStreamType(2); "
      "IWMStreamConfig::QueryInterface(IWMVideoMediaProps)(2)";
  const Variant variants[] = {
      {"video first, two video streams: only the first is changed",
       [](FakeGraphSystem& G) { G.File.Profile = {FakeProfileStream::Video(), FakeProfileStream::Video()}; },
       Join({kAsfProfileStart, stream1Video}), true},
      {"no video stream",
       [](FakeGraphSystem& G) { G.File.Profile = {FakeProfileStream::Audio(), FakeProfileStream::Audio()}; },
       Join({kAsfProfileStart, "IWMProfile::GetStreamByNumber(1); IWMStreamConfig::GetStreamType(1); "
                               "IWMProfile::GetStreamByNumber(2); IWMStreamConfig::GetStreamType(2)"}),
       false},
      {"empty profile", [](FakeGraphSystem& G) { G.File.Profile.clear(); }, kAsfProfileStart, false},
      {"media type size refused", fail("IWMVideoMediaProps::GetMediaType(size)", E_FAIL),
       upToStream2 + "; IWMVideoMediaProps::GetMediaType(size)", false},
      {"format not video-info",
       [](FakeGraphSystem& G) { G.File.Profile[1].FormatType = FORMAT_VideoInfo2; },
       Join({upToStream2, "IWMVideoMediaProps::GetMediaType(size); IWMVideoMediaProps::GetMediaType(buffer)",
             kAsfReconfigure}),
       false},
      {"no format block", [](FakeGraphSystem& G) { G.File.Profile[1].FormatBytes = 0; },
       Join({upToStream2, "IWMVideoMediaProps::GetMediaType(size); IWMVideoMediaProps::GetMediaType(buffer)",
             kAsfReconfigure}),
       false},
      {"format block shorter than a video-info header", [](FakeGraphSystem& G) { G.File.Profile[1].FormatBytes = 40; },
       Join({upToStream2, "IWMVideoMediaProps::GetMediaType(size); IWMVideoMediaProps::GetMediaType(buffer)",
             kAsfReconfigure}),
       false},
      {"stream 1 cannot be fetched: skipped", fail("IWMProfile::GetStreamByNumber(1)", E_INVALIDARG),
       Join({kAsfProfileStart,
             "IWMProfile::GetStreamByNumber(1); IWMProfile::GetStreamByNumber(2); IWMStreamConfig::GetStreamType(2); "
             "IWMStreamConfig::QueryInterface(IWMVideoMediaProps)(2); IWMVideoMediaProps::GetMediaType(size); "
             "IWMVideoMediaProps::GetMediaType(buffer); IWMVideoMediaProps::SetMediaType",
             bitrate, kAsfReconfigure}),
       true},
      {"video stream without media properties: the search stops",
       fail("IWMStreamConfig::QueryInterface(IWMVideoMediaProps)", E_NOINTERFACE), upToStream2, false},
      {"results after the size query are not acted upon",
       [](FakeGraphSystem& G) {
         for (const char* call : {"IWMVideoMediaProps::SetMediaType", "IWMStreamConfig::SetBitrate",
                                  "IWMProfile::ReconfigStream", "IConfigAsfWriter::ConfigureFilterUsingProfile"})
           G.Script(call, E_FAIL);
       },
       Join({kAsfProfileStart, kAsfVideoStream2, bitrate, kAsfReconfigure}), true},
      {"profile GUID refused", fail("IConfigAsfWriter::ConfigureFilterUsingProfileGuid", E_FAIL),
       "IConfigAsfWriter::ConfigureFilterUsingProfileGuid({6E2A6955-81DF-4943-BA50-68A986A708F6})", false},
      {"no current profile", fail("IConfigAsfWriter::GetCurrentProfile", E_FAIL),
       "IConfigAsfWriter::ConfigureFilterUsingProfileGuid({6E2A6955-81DF-4943-BA50-68A986A708F6}); "
       "IConfigAsfWriter::GetCurrentProfile",
       false},
      {"stream count refused", fail("IWMProfile::GetStreamCount", E_FAIL), kAsfProfileStart, false},
      {"writer without IConfigAsfWriter", [](FakeGraphSystem& G) { G.File.AsfConfig = false; }, "", false},
  };
  for (const Variant& variant : variants) {
    SCOPED_TRACE(variant.Name);
    NewGraphSystem();
    variant.Arrange(Graph());
    Record().SetFormat(vlmAsf);
    ASSERT_TRUE(Record().Open(L"take.asf", 0));
    EXPECT_EQ(Record().ErrorStatus(), 0);
    EXPECT_EQ(Calls(), Join({kGraphObjects, FileBranch("ASF", "take.asf"), variant.Calls, kBranches, kVideoWindow}));
    EXPECT_EQ(Graph().File.WrittenHeader.has_value(), variant.Written);
    DestroyRecord();
    EXPECT_EQ(fakes::LiveObjects(), m_LiveBefore) << "an interface of the sizing was not released";
  }
}

TEST_F(AsfSizingTest, IndexOutsideTheFormatTableKeepsTheProfilesSizeAndSizesTheRest) {
  // A device without a stream configuration reports no formats: Open sizes with index 0 of
  // an empty table, at the rate set before Open.
  Graph().Script("ICaptureGraphBuilder2::FindInterface(capture, video, IAMStreamConfig)", E_NOINTERFACE);
  Graph().File.Profile = {FakeProfileStream::Video(176, 144)};
  Record().SetFrameRate(25);
  Record().SetBitRate(64000);
  Record().SetFormat(vlmAsf);
  ASSERT_TRUE(Record().Open(L"take.asf", 0));
  EXPECT_EQ(Record().m_pVSI_Count[1], 0);
  ASSERT_TRUE(Graph().File.WrittenHeader.has_value());
  EXPECT_EQ(Graph().File.WrittenHeader->bmiHeader.biWidth, 176);
  EXPECT_EQ(Graph().File.WrittenHeader->bmiHeader.biHeight, 144);
  EXPECT_EQ(Graph().File.WrittenHeader->AvgTimePerFrame, 400000);
  EXPECT_EQ(Graph().File.WrittenHeader->dwBitRate, 64000u);
  EXPECT_EQ(Graph().File.WrittenHeader->rcSource.right, 0);

  // With a table, indices on either side of it keep the size too; a valid one sets it.
  Graph().Script("ICaptureGraphBuilder2::FindInterface(capture, video, IAMStreamConfig)", S_OK);
  DestroyRecord();
  ASSERT_TRUE(OpenAsf());
  ASSERT_EQ(Record().m_pVSI_Count[1], 2);
  struct Case {
    int32_t Index;
    LONG Width;
  };
  for (const Case c : {Case{2, 176}, Case{-1, 176}, Case{std::numeric_limits<int32_t>::max(), 176}, Case{1, 320}}) {
    SCOPED_TRACE(c.Index);
    Graph().File.WrittenHeader.reset();
    ComPtr<IBaseFilter> writer;
    ComPtr<IFileSinkFilter> sink;
    ASSERT_EQ(Record().m_pCaptureGraphBuilder->SetOutputFileName(&MEDIASUBTYPE_Asf, L"x.asf", writer.GetAddressOf(),
                                                                  sink.GetAddressOf()),
              S_OK);
    Record().AsfSetOutputSize(writer.Get(), c.Index);
    ASSERT_TRUE(Graph().File.WrittenHeader.has_value());
    EXPECT_EQ(Graph().File.WrittenHeader->bmiHeader.biWidth, c.Width);
  }
}

TEST_F(AsfSizingTest, FrameRateWithoutATimePerFrameFailsTheBuildWith203) {
  const double rates[] = {0.0, -15.0, std::nan(""), std::numeric_limits<double>::infinity(),
                          -std::numeric_limits<double>::infinity()};
  for (const double rate : rates) {
    SCOPED_TRACE(rate);
    NewGraphSystem();
    // The device's current format has no time per frame: the rate set before Open stays.
    Graph().CurrentFormat = FakeFormat::Video(320, 240, 24, 0);
    Record().SetFrameRate(rate);
    Record().SetFormat(vlmAsf);
    EXPECT_FALSE(Record().Open(L"take.asf", 0));
    EXPECT_EQ(Record().ErrorStatus(), 203);
    EXPECT_EQ(Graph().Log.Calls().back(), "IWMVideoMediaProps::GetMediaType(buffer)");
    EXPECT_FALSE(Graph().File.WrittenHeader.has_value());
    DestroyRecord();
    EXPECT_EQ(fakes::LiveObjects(), m_LiveBefore) << "the raised error leaked an interface";
  }
  // An AVI file is not sized: the same rate opens.
  NewGraphSystem();
  Graph().CurrentFormat = FakeFormat::Video(320, 240, 24, 0);
  Record().SetFrameRate(0);
  EXPECT_TRUE(Record().Open(L"take.avi", 0));
}

// ---- stream formats and the pin dialog in the recorder ----

TEST_F(RecordTest, BitRateAloneReappliesTheFormatWithItAndRebuildsTheFileBranch) {
  Reach(kOpen);
  // Nothing changed: nothing is applied.
  EXPECT_TRUE(Record().SetStreamFormat(0));
  EXPECT_EQ(TakeCalls(), "");
  Record().SetBitRate(Record().BitRate() + 1000);
  const uint32_t bitRate = Record().BitRate();
  ASSERT_TRUE(Record().SetStreamFormat(0));
  EXPECT_EQ(Record().ErrorStatus(), 0);
  EXPECT_EQ(TakeCalls(), Join({kTakeApart, kFindConfig, "IAMStreamConfig::GetNumberOfCapabilities",
                               "IAMStreamConfig::GetStreamCaps(0); IAMStreamConfig::SetFormat",
                               FileBranch("AVI", "take.avi"), kBranches, kVideoWindow}));
  ASSERT_EQ(Graph().AppliedFormats.size(), 1u);
  EXPECT_EQ(Graph().AppliedFormats[0].Header.dwBitRate, bitRate);
  EXPECT_EQ(Record().m_oldBitRate, bitRate);
  EXPECT_EQ(Graph().RenderStreamFilters.back(), "device, null, writer");
}

TEST_F(RecordTest, RebuildSizesTheAppliedEntryOrElseTheSelectedOne) {
  Reach(kStopped, vlmAsf);
  // Applied: the writer gets entry 1's size.
  ASSERT_TRUE(Record().SetStreamFormat(1));
  EXPECT_EQ(Record().m_SelectedIndex, 1);
  ASSERT_TRUE(Graph().File.WrittenHeader.has_value());
  EXPECT_EQ(Graph().File.WrittenHeader->bmiHeader.biWidth, 640);
  // Refused by the device: still rebuilt, with the selected entry's size.
  ConnectRenderer();
  Graph().File.WrittenHeader.reset();
  Graph().Script("IAMStreamConfig::SetFormat", E_FAIL);
  EXPECT_FALSE(Record().SetStreamFormat(0));
  EXPECT_EQ(Record().ErrorStatus(), 2);
  EXPECT_EQ(Record().m_SelectedIndex, 1);
  ASSERT_TRUE(Graph().File.WrittenHeader.has_value());
  EXPECT_EQ(Graph().File.WrittenHeader->bmiHeader.biWidth, 640);
  // A rebuild whose sizing raises (no time per frame) ends before the streams are wired, is
  // not undone, and reports 2; the video window is set up again all the same.
  ConnectRenderer();
  Graph().Script("IAMStreamConfig::SetFormat", S_OK);
  Record().SetFrameRate(std::nan(""));
  EXPECT_FALSE(Record().SetStreamFormat(0));
  EXPECT_EQ(Record().ErrorStatus(), 2);
  const std::string calls = TakeCalls();
  EXPECT_EQ(calls.find("RenderStream"), std::string::npos) << calls;
  EXPECT_NE(calls.find(Join({"IWMVideoMediaProps::GetMediaType(buffer)", kVideoWindow})), std::string::npos) << calls;
}

TEST_F(RecordTest, GetStreamFormatAlsoLoadsTheBitRateRange) {
  Reach(kOpen);
  ASSERT_TRUE(Record().GetStreamFormat(1));
  EXPECT_EQ(Record().MinimumBitRate(), 5000u);
  EXPECT_EQ(Record().MaximumBitRate(), 9000000u);
  EXPECT_EQ(Record().VideoSize().cx, 640);
  ASSERT_TRUE(Record().GetStreamFormat(0));
  EXPECT_EQ(Record().MinimumBitRate(), 1000u);
  EXPECT_EQ(Record().MaximumBitRate(), 2000000u);
  EXPECT_FALSE(Record().GetStreamFormat(2));
  EXPECT_EQ(Record().ErrorStatus(), 5);
  EXPECT_EQ(Record().MinimumBitRate(), 1000u);
}

TEST_F(RecordTest, PinDialogRebuildsAtTheVeryEndAlsoWhenThePinHasNoConfiguration) {
  Reach(kOpen, vlmAsf);
  // No stream configuration: 2, and the graph is rebuilt all the same, after the search.
  Graph().Script("ICaptureGraphBuilder2::FindInterface(capture, video, IAMStreamConfig)", E_NOINTERFACE);
  EXPECT_FALSE(Record().ShowCapturePinDialog());
  EXPECT_EQ(Record().ErrorStatus(), 2);
  const std::string calls = TakeCalls();
  EXPECT_EQ(calls.rfind(Join({kTakeApart, kFindConfig, FileBranch("ASF", "take.avi")}), 0), 0u) << calls;
  EXPECT_EQ(calls.substr(calls.size() - std::string(kVideoWindow).size()), kVideoWindow);

  // The pin reports entry 1's format (its pages cannot be had, so no frame is shown): the
  // rebuild comes after the selection moved there and sizes the writer with it.
  ConnectRenderer();
  Graph().Script("ICaptureGraphBuilder2::FindInterface(capture, video, IAMStreamConfig)", S_OK);
  Graph().ConfigHasPages = true;
  Graph().Script("ISpecifyPropertyPages::GetPages", E_FAIL);
  Graph().CurrentFormat = FakeFormat::Video(640, 480, 24, 666666);
  Graph().File.WrittenHeader.reset();
  ASSERT_TRUE(Record().ShowCapturePinDialog());
  EXPECT_EQ(Record().ErrorStatus(), 0);
  EXPECT_EQ(Record().m_SelectedIndex, 1);
  EXPECT_EQ(TakeCalls().rfind(Join({kTakeApart, kFindConfig, "ISpecifyPropertyPages::GetPages(config)",
                                    "IAMStreamConfig::GetFormat", FileBranch("ASF", "take.avi")}),
                              0),
            0u);
  ASSERT_TRUE(Graph().File.WrittenHeader.has_value());
  EXPECT_EQ(Graph().File.WrittenHeader->bmiHeader.biWidth, 640);
  EXPECT_EQ(Graph().File.WrittenHeader->AvgTimePerFrame, 666666);

  // While running the live graph is used and nothing is rebuilt.
  ConnectRenderer();
  ASSERT_TRUE(Record().Start(vlmVideoStretch));
  Graph().Log.Clear();
  EXPECT_TRUE(Record().ShowCapturePinDialog());
  EXPECT_EQ(Calls(), Join({kFindConfig, "ISpecifyPropertyPages::GetPages(config)", "IAMStreamConfig::GetFormat"}));
}

}  // namespace
