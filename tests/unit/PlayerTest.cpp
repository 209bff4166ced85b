// TVLmPlay against fake DirectShow objects: the playback graph and each of its failures, the
// media information when the graph cannot tell, teardown, the state table and error codes,
// seeking, the end of the file, and snapshot refusals.

#include <gtest/gtest.h>

#include <control.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "core/Lmdllprocs.h"
#include "support/FakeGraph.h"
#include "support/GraphCalls.h"
#include "support/HostedFakeComTest.h"
#include "support/TestWindow.h"
#include "webcam/LmPlay.h"

using fakes::FakeEvent;
using fakes::FakeGraphSystem;
using fakes::Join;

namespace {

// Opens the protected parts of the component to the tests.
class TestPlay : public TVLmPlay {
public:
  using TVLmPlay::TVLmPlay;
  using TVLmPlay::CloseInterfaces;
  using TVLmPlay::m_Active;
  using TVLmPlay::m_BitRate;
  using TVLmPlay::m_FrameRate;
  using TVLmPlay::m_isSampleGrabber;
  using TVLmPlay::m_pGrabberFilter;
  using TVLmPlay::m_pGraphBuilder;
  using TVLmPlay::m_pMediaControl;
  using TVLmPlay::m_pMediaEvent;
  using TVLmPlay::m_pMediaSeeking;
  using TVLmPlay::m_pSampleGrabber;
  using TVLmPlay::m_pVideoWindow;
  using TVLmPlay::m_vih;

  int HeldInterfaces() const {
    return !!m_pGraphBuilder + !!m_pMediaControl + !!m_pVideoWindow + !!m_pMediaEvent + !!m_pGrabberFilter +
           !!m_pSampleGrabber + !!m_pMediaSeeking;
  }
};

constexpr int kClosed = 1, kOpen = 2, kRunning = 6, kPaused = 18, kStopped = 258;

const char* const kGetInterfacesCalls =
    "CoCreateInstance(CLSID_FilterGraph); CoCreateInstance(CLSID_SampleGrabber); "
    "IBaseFilter::QueryInterface(ISampleGrabber); IFilterGraph::QueryInterface(IMediaControl); "
    "IFilterGraph::QueryInterface(IVideoWindow); IFilterGraph::QueryInterface(IMediaEventEx); "
    "IFilterGraph::QueryInterface(IMediaSeeking)";
const char* const kSetupGraphCalls =
    "ISampleGrabber::SetMediaType(video, RGB24, VideoInfo); IFilterGraph::AddFilter(Sample Grabber); "
    "IGraphBuilder::RenderFile; ISampleGrabber::GetConnectedMediaType; ISampleGrabber::SetBufferSamples(false); "
    "ISampleGrabber::SetOneShot(false); ISampleGrabber::SetCallback(null, 0)";
const char* const kMediaInformationCalls =
    "IFilterGraph::QueryInterface(IBasicVideo2); IBasicVideo::GetVideoSize; IBasicVideo::get_AvgTimePerFrame; "
    "IBasicVideo::get_BitRate; IMediaSeeking::GetTimeFormat; IMediaSeeking::GetDuration";
const char* const kVideoWindowCalls = fakes::kVideoWindowSetup;

class PlayerTest : public fakes::HostedFakeComTest<> {
protected:
  void SetUp() override {
    HostedFakeComTest::SetUp();
    NewGraphSystem();
    m_LiveBeforePlayer = fakes::LiveObjects();
  }
  void TearDown() override {
    m_Player.reset();
    m_GraphRegistration.reset();
    HostedFakeComTest::TearDown();
  }

  // A fresh script and log for the graph fakes, scripted as a working playback graph.
  void NewGraphSystem() {
    m_GraphRegistration.reset();
    m_Graph = std::make_shared<FakeGraphSystem>();
    m_Graph->ScriptWorkingPlayback();
    m_GraphRegistration = std::make_unique<fakes::FakeGraphRegistration>(m_Graph);
    ASSERT_TRUE(m_GraphRegistration->Registered());
    if (m_Player) m_Graph->Window = m_Player->Handle();
  }
  TestPlay& Player() {
    if (!m_Player) {
      m_Player = std::make_unique<TestPlay>(nullptr);
      m_Player->SetParentWindow(s_Host->Handle());
      m_Graph->Window = m_Player->Handle();
    }
    return *m_Player;
  }
  FakeGraphSystem& Graph() { return *m_Graph; }
  std::string Calls() const { return m_Graph->Log.Joined(); }
  // Drives a fresh player into State (a value of the state table).
  void Reach(int State) {
    if (State == kClosed) return;
    ASSERT_TRUE(Player().Open(L"clip.avi"));
    if (State == kRunning || State == kPaused || State == kStopped) {
      ASSERT_TRUE(Player().Start(vlmVideoStretch, 1.0));
    }
    if (State == kPaused) {
      ASSERT_TRUE(Player().Pause());
    }
    if (State == kStopped) {
      ASSERT_TRUE(Player().Stop());
    }
    ASSERT_EQ(Player().State().Value(), State);
    m_Graph->Log.Clear();
  }
  void DestroyPlayer() { m_Player.reset(); }

  std::shared_ptr<FakeGraphSystem> m_Graph;
  std::unique_ptr<fakes::FakeGraphRegistration> m_GraphRegistration;
  std::unique_ptr<TestPlay> m_Player;
  int m_LiveBeforePlayer = 0;
};

// ---- Open: the graph it builds ----

TEST_F(PlayerTest, OpenBuildsThePlaybackGraphInOrderAndReadsTheMediaInformation) {
  ASSERT_TRUE(Player().Open(L"clip.avi"));
  EXPECT_EQ(Player().ErrorStatus(), 0);
  EXPECT_EQ(Player().State().Value(), kOpen);
  EXPECT_EQ(Calls(), Join({kGetInterfacesCalls, kSetupGraphCalls, kMediaInformationCalls, kVideoWindowCalls}));
  EXPECT_EQ(Graph().RenderedFiles, (std::vector<std::string>{"clip.avi, null"}));
  EXPECT_EQ(Graph().GraphFilters, (std::vector<std::string>{"grabber"}));
  EXPECT_EQ(Player().HeldInterfaces(), 7);
  // The grabber accepts 24-bit RGB video with a video-info header and nothing else.
  ASSERT_TRUE(Graph().GrabberType.has_value());
  AM_MEDIA_TYPE expected{};
  expected.majortype = MEDIATYPE_Video;
  expected.subtype = MEDIASUBTYPE_RGB24;
  expected.formattype = FORMAT_VideoInfo;
  EXPECT_EQ(std::memcmp(&*Graph().GrabberType, &expected, sizeof(expected)), 0);
  EXPECT_TRUE(Player().m_isSampleGrabber);
  EXPECT_EQ(Player().m_vih.bmiHeader.biWidth, 320);
  EXPECT_EQ(Player().m_vih.bmiHeader.biSizeImage, 320u * 240 * 3);
  // The media information comes from the graph, not from the grabber's connection.
  EXPECT_EQ(Player().VideoSize().cx, 640);
  EXPECT_EQ(Player().VideoSize().cy, 480);
  EXPECT_EQ(Player().FrameRate(), 25.0);
  EXPECT_EQ(Player().m_BitRate, 1234567u);
  EXPECT_EQ(Player().Duration(), 2.0);
}

struct StepFailure {
  const char* Call;  // script key that fails
  HRESULT Result;
  const char* LastCall;  // the last call logged: nothing follows the failure
  int Error;
};

// Every step of GetInterfaces, SetupGraph and SetupVideoWindow, failing in turn: creating the
// graph objects or the video window gives 203, building the graph from the file gives 20.
const StepFailure kStepFailures[] = {
    {"CoCreateInstance(CLSID_FilterGraph)", REGDB_E_CLASSNOTREG, "CoCreateInstance(CLSID_FilterGraph)", 203},
    {"CoCreateInstance(CLSID_SampleGrabber)", REGDB_E_CLASSNOTREG, "CoCreateInstance(CLSID_SampleGrabber)", 203},
    {"IBaseFilter::QueryInterface(ISampleGrabber)", E_NOINTERFACE, "IBaseFilter::QueryInterface(ISampleGrabber)", 203},
    {"IFilterGraph::QueryInterface(IMediaControl)", E_NOINTERFACE, "IFilterGraph::QueryInterface(IMediaControl)", 203},
    {"IFilterGraph::QueryInterface(IVideoWindow)", E_NOINTERFACE, "IFilterGraph::QueryInterface(IVideoWindow)", 203},
    {"IFilterGraph::QueryInterface(IMediaEventEx)", E_NOINTERFACE, "IFilterGraph::QueryInterface(IMediaEventEx)", 203},
    {"IFilterGraph::QueryInterface(IMediaSeeking)", E_NOINTERFACE, "IFilterGraph::QueryInterface(IMediaSeeking)", 203},
    {"ISampleGrabber::SetMediaType", E_FAIL, "ISampleGrabber::SetMediaType(video, RGB24, VideoInfo)", 20},
    {"IFilterGraph::AddFilter(Sample Grabber)", S_FALSE, "IFilterGraph::AddFilter(Sample Grabber)", 20},
    {"IGraphBuilder::RenderFile", VFW_E_NOT_FOUND, "IGraphBuilder::RenderFile", 20},
    // A partly rendered file (a stream left out) is not S_OK either.
    {"IGraphBuilder::RenderFile", VFW_S_PARTIAL_RENDER, "IGraphBuilder::RenderFile", 20},
    {"ISampleGrabber::SetBufferSamples", S_FALSE, "ISampleGrabber::SetBufferSamples(false)", 20},
    {"ISampleGrabber::SetOneShot", E_FAIL, "ISampleGrabber::SetOneShot(false)", 20},
    {"ISampleGrabber::SetCallback", S_FALSE, "ISampleGrabber::SetCallback(null, 0)", 20},
    {"IVideoWindow::put_Owner", S_FALSE, "IVideoWindow::put_Owner(window)", 203},
    {"IVideoWindow::put_MessageDrain", E_FAIL, "IVideoWindow::put_MessageDrain(window)", 203},
    {"IVideoWindow::put_WindowStyle", S_FALSE, "IVideoWindow::put_WindowStyle(0x46000000)", 203},
    {"IVideoWindow::put_Visible", S_FALSE, "IVideoWindow::put_Visible(OAFALSE)", 203},
    {"IMediaEventEx::SetNotifyWindow", E_FAIL, "IMediaEventEx::SetNotifyWindow(window, 32769, 0)", 203},
};

TEST_F(PlayerTest, EachGraphStepFailingGivesItsCodeStaysClosedAndReleasesOnDestruction) {
  for (const StepFailure& step : kStepFailures) {
    SCOPED_TRACE(std::string(step.Call) + " " + std::to_string(step.Result));
    NewGraphSystem();
    Graph().Script(step.Call, step.Result);
    EXPECT_FALSE(Player().Open(L"clip.avi"));
    EXPECT_EQ(Player().ErrorStatus(), step.Error);
    EXPECT_EQ(Player().State().Value(), kClosed);
    ASSERT_FALSE(Graph().Log.Calls().empty());
    EXPECT_EQ(Graph().Log.Calls().back(), step.LastCall);

    Graph().Log.Clear();
    EXPECT_FALSE(Player().Close());
    EXPECT_EQ(Player().ErrorStatus(), 11);
    EXPECT_EQ(Calls(), "");
    EXPECT_FALSE(Player().Start(vlmVideoStretch, 1.0));
    EXPECT_EQ(Player().ErrorStatus(), 11);

    DestroyPlayer();
    EXPECT_EQ(fakes::LiveObjects(), m_LiveBeforePlayer) << "destruction left fakes alive";
  }
}

TEST_F(PlayerTest, OpenAfterAFailedOpenReplacesThePartialGraph) {
  Graph().ScriptNth("IGraphBuilder::RenderFile", 1, E_FAIL);
  EXPECT_FALSE(Player().Open(L"clip.avi"));
  EXPECT_EQ(Player().ErrorStatus(), 20);
  EXPECT_TRUE(Player().Open(L"clip.avi"));
  EXPECT_EQ(Player().ErrorStatus(), 0);
  EXPECT_EQ(Graph().Log.Count("CoCreateInstance(CLSID_FilterGraph)"), 2);
  EXPECT_TRUE(Player().Close());
  EXPECT_EQ(fakes::LiveObjects(), m_LiveBeforePlayer) << "the first graph was not released";
}

TEST_F(PlayerTest, GrabberLeftUnconnectedPlaysWithoutSnapshots) {
  Graph().Script("ISampleGrabber::GetConnectedMediaType", VFW_E_NOT_CONNECTED);
  ASSERT_TRUE(Player().Open(L"audio-and-video.avi"));
  EXPECT_FALSE(Player().m_isSampleGrabber);
  EXPECT_EQ(Graph().Log.Count("ISampleGrabber::SetBufferSamples"), 0);
  EXPECT_EQ(Graph().Log.Count("ISampleGrabber::SetCallback"), 0);
  ASSERT_TRUE(Player().Start(vlmVideoStretch, 1.0));
  Graph().Log.Clear();
  EXPECT_FALSE(Player().TakeSnapshot());
  EXPECT_EQ(Player().ErrorStatus(), 4);
  EXPECT_EQ(Calls(), "");
}

TEST_F(PlayerTest, ConnectionWithoutAVideoInfoFormatPlaysWithoutSnapshots) {
  struct Connection {
    const char* Name;
    GUID FormatType;
    ULONG FormatBytes;
  };
  for (const Connection& c : {Connection{"VideoInfo2", FORMAT_VideoInfo2, sizeof(VIDEOINFOHEADER)},
                              Connection{"no format block", FORMAT_VideoInfo, 0},
                              Connection{"short format block", FORMAT_VideoInfo, 40}}) {
    SCOPED_TRACE(c.Name);
    NewGraphSystem();
    Graph().Connected.FormatType = c.FormatType;
    Graph().Connected.FormatBytes = c.FormatBytes;
    ASSERT_TRUE(Player().Open(L"clip.avi"));
    EXPECT_EQ(Player().ErrorStatus(), 0);
    EXPECT_FALSE(Player().m_isSampleGrabber);
    EXPECT_EQ(Graph().Log.Count("ISampleGrabber::SetBufferSamples"), 0);
    EXPECT_EQ(Graph().Log.Count("ISampleGrabber::SetCallback"), 0);
    EXPECT_EQ(Player().m_vih.bmiHeader.biWidth, 0) << "a format that is not video-info was copied";
    ASSERT_TRUE(Player().Start(vlmVideoStretch, 1.0));
    EXPECT_FALSE(Player().TakeSnapshot());
    EXPECT_EQ(Player().ErrorStatus(), 4);
    DestroyPlayer();
  }
}

TEST_F(PlayerTest, OpenChecksInOrderBeforeBuildingAnything) {
  // Not bound core entry points: 14.
  {
    const TLmFreeMemory saved = LmFreeMemory;
    LmFreeMemory = nullptr;
    EXPECT_FALSE(Player().Open(L"clip.avi"));
    LmFreeMemory = saved;
    EXPECT_EQ(Player().ErrorStatus(), 14);
    EXPECT_EQ(Calls(), "");
  }
  // No runtime: 201, before the length of the name is looked at.
  Player().m_Active = false;
  EXPECT_FALSE(Player().Open(std::wstring(300, L'a')));
  EXPECT_EQ(Player().ErrorStatus(), 201);
  Player().m_Active = true;
  // 260 characters: 5; 259 go on to the graph.
  EXPECT_FALSE(Player().Open(std::wstring(260, L'a')));
  EXPECT_EQ(Player().ErrorStatus(), 5);
  EXPECT_EQ(Calls(), "");
  EXPECT_EQ(Player().State().Value(), kClosed);
  ASSERT_TRUE(Player().Open(std::wstring(259, L'b')));
  ASSERT_EQ(Graph().RenderedFiles.size(), 1u);
  EXPECT_EQ(Graph().RenderedFiles[0], std::string(259, 'b') + ", null");
  // Open while open: 11, the graph left alone.
  Graph().Log.Clear();
  EXPECT_FALSE(Player().Open(L"clip.avi"));
  EXPECT_EQ(Player().ErrorStatus(), 11);
  EXPECT_EQ(Calls(), "");
  EXPECT_EQ(Player().State().Value(), kOpen);
}

// ---- media information ----

struct InformationCase {
  const char* Name;
  const char* FailingCall;  // nullptr: none fails
  double AvgTimePerFrame;
  GUID TimeFormat;
  LONGLONG Duration;
  long Width, Height;  // VideoSize expected
  double FrameRate;  // expected; 12.5 is the value set before Open ("unchanged")
  uint32_t BitRate;  // expected; 777 is the value set before Open
  double DurationSeconds;
  const char* Calls;  // the media-information calls expected
};

const InformationCase kInformationCases[] = {
    {"no IBasicVideo2", "IFilterGraph::QueryInterface(IBasicVideo2)", 0.04, TIME_FORMAT_MEDIA_TIME, 20000000, 0, 0,
     12.5, 777, 2.0,
     "IFilterGraph::QueryInterface(IBasicVideo2); IMediaSeeking::GetTimeFormat; IMediaSeeking::GetDuration"},
    {"failing GetVideoSize", "IBasicVideo::GetVideoSize", 0.04, TIME_FORMAT_MEDIA_TIME, 20000000, 0, 0, 25.0,
     1234567, 2.0, kMediaInformationCalls},
    {"failing get_AvgTimePerFrame", "IBasicVideo::get_AvgTimePerFrame", 0.04, TIME_FORMAT_MEDIA_TIME, 20000000, 640,
     480, 12.5, 1234567, 2.0, kMediaInformationCalls},
    {"time per frame 0", nullptr, 0.0, TIME_FORMAT_MEDIA_TIME, 20000000, 640, 480, 12.5, 1234567, 2.0,
     kMediaInformationCalls},
    {"failing get_BitRate", "IBasicVideo::get_BitRate", 0.04, TIME_FORMAT_MEDIA_TIME, 20000000, 640, 480, 25.0, 777,
     2.0, kMediaInformationCalls},
    {"failing GetDuration", "IMediaSeeking::GetDuration", 0.04, TIME_FORMAT_MEDIA_TIME, 20000000, 640, 480, 25.0,
     1234567, 0.0, kMediaInformationCalls},
    {"frame time format", nullptr, 0.04, TIME_FORMAT_FRAME, 20000000, 640, 480, 25.0, 1234567, 2.0,
     "IFilterGraph::QueryInterface(IBasicVideo2); IBasicVideo::GetVideoSize; IBasicVideo::get_AvgTimePerFrame; "
     "IBasicVideo::get_BitRate; IMediaSeeking::GetTimeFormat; IMediaSeeking::SetTimeFormat(media time); "
     "IMediaSeeking::GetDuration"},
    {"failing GetTimeFormat", "IMediaSeeking::GetTimeFormat", 0.04, TIME_FORMAT_FRAME, 20000000, 640, 480, 25.0,
     1234567, 2.0, kMediaInformationCalls},
    {"NTSC rate and odd length", nullptr, 1001.0 / 30000.0, TIME_FORMAT_MEDIA_TIME, 123456789, 640, 480, 29.97,
     1234567, 12.3456789, kMediaInformationCalls},
    {"0.0333667 s per frame", nullptr, 0.0333667, TIME_FORMAT_MEDIA_TIME, 900000000, 640, 480, 29.97, 1234567, 90.0,
     kMediaInformationCalls},
    {"7.5 frames per second", nullptr, 1.0 / 7.5, TIME_FORMAT_MEDIA_TIME, 20000000, 640, 480, 7.5, 1234567, 2.0,
     kMediaInformationCalls},
    {"rate truncated, not rounded", nullptr, 1.0 / 23.999, TIME_FORMAT_MEDIA_TIME, 20000000, 640, 480, 23.99, 1234567,
     2.0, kMediaInformationCalls},
};

TEST_F(PlayerTest, MediaInformationWhenTheGraphCanOrCannotTell) {
  // A call fails with an error, or answers S_FALSE, which is no answer either.
  for (const HRESULT failure : {E_FAIL, S_FALSE})
  for (const InformationCase& c : kInformationCases) {
    if (failure == S_FALSE && !c.FailingCall) continue;
    SCOPED_TRACE(c.Name);
    SCOPED_TRACE(failure == S_FALSE ? "S_FALSE" : "E_FAIL");
    NewGraphSystem();
    if (c.FailingCall) Graph().Script(c.FailingCall, failure);
    Graph().AvgTimePerFrame = c.AvgTimePerFrame;
    Graph().TimeFormat = c.TimeFormat;
    Graph().Duration = c.Duration;
    Player().m_FrameRate = 12.5;
    Player().m_BitRate = 777;
    ASSERT_TRUE(Player().Open(L"clip.avi"));
    EXPECT_EQ(Player().ErrorStatus(), 0);
    EXPECT_EQ(Player().VideoSize().cx, c.Width);
    EXPECT_EQ(Player().VideoSize().cy, c.Height);
    EXPECT_DOUBLE_EQ(Player().FrameRate(), c.FrameRate);
    EXPECT_EQ(Player().m_BitRate, c.BitRate);
    EXPECT_DOUBLE_EQ(Player().Duration(), c.DurationSeconds);
    const std::string calls = Calls();
    EXPECT_NE(calls.find(std::string("ISampleGrabber::SetCallback(null, 0); ") + c.Calls + "; IVideoWindow::put_Owner"),
              std::string::npos)
        << calls;

    EXPECT_TRUE(Player().Close());
    EXPECT_EQ(Player().VideoSize().cx, 0);
    EXPECT_EQ(Player().VideoSize().cy, 0);
    EXPECT_EQ(Player().FrameRate(), 0);
    EXPECT_EQ(Player().m_BitRate, 0u);
    EXPECT_EQ(Player().Duration(), 0);
    DestroyPlayer();
  }
}

// ---- Close and teardown ----

TEST_F(PlayerTest, CloseTearsDownInOrderAndReleasesEverything) {
  Reach(kRunning);
  Graph().LogReleases = true;
  ASSERT_TRUE(Player().Close());
  Graph().LogReleases = false;
  EXPECT_EQ(Calls(),
            "IMediaControl::Stop; Release(graph); "
            "IMediaEventEx::SetNotifyWindow(0, 32769, 0); Release(graph); "
            "IVideoWindow::put_Visible(OAFALSE); IVideoWindow::put_Owner(0); Release(graph); "
            // the grabber lets go of the callback; the grabber's two interfaces, then the seeking
            // interface, then the graph itself, which goes and lets go of the grabber it held
            "ISampleGrabber::SetCallback(null, 0); Release(grabber); Release(grabber); Release(graph); Release(graph); "
            "Release(grabber)");
  EXPECT_EQ(Player().HeldInterfaces(), 0);
  EXPECT_EQ(fakes::LiveObjects(), m_LiveBeforePlayer);
  EXPECT_EQ(Player().ErrorStatus(), 0);
  EXPECT_EQ(Player().State().Value(), kClosed);
  EXPECT_EQ(Player().VideoSize().cx, 0);
  EXPECT_EQ(Player().FrameRate(), 0);
  EXPECT_EQ(Player().Duration(), 0);
  EXPECT_EQ(Player().m_BitRate, 0u);
  EXPECT_FALSE(Player().m_isSampleGrabber);
  // Closed again: refused.
  EXPECT_FALSE(Player().Close());
  EXPECT_EQ(Player().ErrorStatus(), 11);
}

TEST_F(PlayerTest, TeardownStepsRunOnlyForHeldInterfaces) {
  Graph().Script("IFilterGraph::QueryInterface(IVideoWindow)", E_NOINTERFACE);
  EXPECT_FALSE(Player().Open(L"clip.avi"));
  Graph().Log.Clear();
  Player().CloseInterfaces();
  // No video window and no event interface: only the graph is stopped, and the grabber lets
  // go of the callback.
  EXPECT_EQ(Calls(), "IMediaControl::Stop; ISampleGrabber::SetCallback(null, 0)");
  EXPECT_EQ(Player().HeldInterfaces(), 0);
  EXPECT_EQ(fakes::LiveObjects(), m_LiveBeforePlayer);
}

TEST_F(PlayerTest, DestructionOfAnOpenPlayerTearsDownAndReleasesEverything) {
  Reach(kPaused);
  DestroyPlayer();
  EXPECT_EQ(Calls(),
            "IMediaControl::Stop; IMediaEventEx::SetNotifyWindow(0, 32769, 0); IVideoWindow::put_Visible(OAFALSE); "
            "IVideoWindow::put_Owner(0); ISampleGrabber::SetCallback(null, 0)");
  EXPECT_EQ(fakes::LiveObjects(), m_LiveBeforePlayer);
}

// ---- the state table ----

enum class Operation { Start, Pause, Stop, Close, TakeSnapshot, StartFrom };

struct Transition {
  int From;
  Operation Op;
  bool Result;
  int Error;
  int To;
  const char* Calls;
};

TEST_F(PlayerTest, StateTable) {
  const Transition table[] = {
      {kClosed, Operation::Start, false, 11, kClosed, ""},
      {kClosed, Operation::Pause, false, 11, kClosed, ""},
      {kClosed, Operation::Stop, false, 11, kClosed, ""},
      {kClosed, Operation::Close, false, 11, kClosed, ""},
      {kClosed, Operation::TakeSnapshot, false, 11, kClosed, ""},
      {kClosed, Operation::StartFrom, false, 11, kClosed, ""},
      {kOpen, Operation::Start, true, 0, kRunning,
       "IMediaSeeking::SetRate(1); IVideoWindow::put_Visible(OATRUE); IMediaControl::Run"},
      {kOpen, Operation::Pause, false, 11, kOpen, ""},
      {kOpen, Operation::Stop, false, 11, kOpen, ""},
      {kOpen, Operation::TakeSnapshot, false, 11, kOpen, ""},
      {kOpen, Operation::StartFrom, true, 0, kOpen,
       "IMediaSeeking::GetTimeFormat; IMediaSeeking::SetPositions(15000000, absolute, 0, none)"},
      {kRunning, Operation::Start, false, 11, kRunning, ""},
      {kRunning, Operation::Pause, true, 0, kPaused, "IMediaControl::Pause"},
      {kRunning, Operation::Stop, true, 0, kStopped, "IMediaControl::Stop; IVideoWindow::put_Visible(OAFALSE)"},
      {kRunning, Operation::TakeSnapshot, true, 0, kRunning, "ISampleGrabber::SetCallback(callback, 1)"},
      {kRunning, Operation::StartFrom, false, 11, kRunning, ""},
      {kPaused, Operation::Start, true, 0, kRunning,
       "IMediaSeeking::SetRate(1); IVideoWindow::put_Visible(OATRUE); IMediaControl::Run"},
      {kPaused, Operation::Pause, true, 0, kRunning, "IMediaControl::Run"},
      {kPaused, Operation::Stop, true, 0, kStopped, "IMediaControl::Stop; IVideoWindow::put_Visible(OAFALSE)"},
      {kPaused, Operation::TakeSnapshot, false, 11, kPaused, ""},
      {kPaused, Operation::StartFrom, true, 0, kPaused,
       "IMediaSeeking::GetTimeFormat; IMediaSeeking::SetPositions(15000000, absolute, 0, none)"},
      {kStopped, Operation::Start, true, 0, kRunning,
       "IMediaSeeking::SetRate(1); IVideoWindow::put_Visible(OATRUE); IMediaControl::Run"},
      {kStopped, Operation::Pause, false, 11, kStopped, ""},
      {kStopped, Operation::Stop, false, 11, kStopped, ""},
      {kStopped, Operation::TakeSnapshot, false, 11, kStopped, ""},
      {kStopped, Operation::StartFrom, true, 0, kStopped,
       "IMediaSeeking::GetTimeFormat; IMediaSeeking::SetPositions(15000000, absolute, 0, none)"},
  };
  for (const Transition& t : table) {
    SCOPED_TRACE("from " + std::to_string(t.From) + ", operation " + std::to_string(static_cast<int>(t.Op)));
    NewGraphSystem();
    Reach(t.From);
    bool result = false;
    switch (t.Op) {
      case Operation::Start: result = Player().Start(vlmVideoStretch, 1.0); break;
      case Operation::Pause: result = Player().Pause(); break;
      case Operation::Stop: result = Player().Stop(); break;
      case Operation::Close: result = Player().Close(); break;
      case Operation::TakeSnapshot: result = Player().TakeSnapshot(); break;
      case Operation::StartFrom: result = Player().StartFrom(1.5); break;
    }
    EXPECT_EQ(result, t.Result);
    EXPECT_EQ(Player().ErrorStatus(), t.Error);
    EXPECT_EQ(Player().State().Value(), t.To);
    EXPECT_EQ(Calls(), t.Calls);
    DestroyPlayer();
  }
}

TEST_F(PlayerTest, FreshPlayerIsClosedWithoutErrorOrInformation) {
  EXPECT_EQ(Player().State().Value(), kClosed);
  EXPECT_EQ(Player().ErrorStatus(), 0);
  EXPECT_EQ(Player().VideoSize().cx, 0);
  EXPECT_EQ(Player().VideoSize().cy, 0);
  EXPECT_EQ(Player().Duration(), 0);
  EXPECT_EQ(Player().FrameRate(), 0);
  EXPECT_EQ(Player().m_BitRate, 0u);
  EXPECT_FALSE(Player().m_isSampleGrabber);
  EXPECT_TRUE(Player().m_Active);
  EXPECT_EQ(Calls(), "");
}

// ---- Start ----

TEST_F(PlayerTest, StartRefusesRatesNotAboveZeroAndPassesTheRateOn) {
  Reach(kOpen);
  for (double rate : {0.0, -1.0, -0.0, std::numeric_limits<double>::quiet_NaN()}) {
    SCOPED_TRACE(rate);
    EXPECT_FALSE(Player().Start(vlmVideoStretch, rate));
    EXPECT_EQ(Player().ErrorStatus(), 5);
    EXPECT_EQ(Player().State().Value(), kOpen);
  }
  EXPECT_EQ(Calls(), "");
  ASSERT_TRUE(Player().Start(vlmVideoStretch, 2.0));
  EXPECT_EQ(Calls(), "IMediaSeeking::SetRate(2); IVideoWindow::put_Visible(OATRUE); IMediaControl::Run");
}

TEST_F(PlayerTest, StartPlacesTheVideoOnlyWhenTheModeChanges) {
  Reach(kOpen);
  ASSERT_TRUE(Player().Start(vlmVideoScale, 1.0));
  // Scale mode: the 640 x 480 video shrunk into the 98 x 98 display area, centred.
  EXPECT_EQ(Graph().Log.Calls().front().rfind("IVideoWindow::SetWindowPosition(", 0), 0u) << Calls();
  EXPECT_EQ(Graph().Log.Count("IVideoWindow::SetWindowPosition"), 1);
  ASSERT_TRUE(Player().Stop());
  Graph().Log.Clear();
  ASSERT_TRUE(Player().Start(vlmVideoScale, 1.0));
  EXPECT_EQ(Calls(), "IMediaSeeking::SetRate(1); IVideoWindow::put_Visible(OATRUE); IMediaControl::Run");
  ASSERT_TRUE(Player().Stop());
  Graph().Log.Clear();
  ASSERT_TRUE(Player().Start(vlmVideoStretch, 1.0));
  EXPECT_EQ(Calls(),
            "IVideoWindow::SetWindowPosition(1, 1, 98, 98); IMediaSeeking::SetRate(1); "
            "IVideoWindow::put_Visible(OATRUE); IMediaControl::Run");
}

TEST_F(PlayerTest, StartFailures) {
  // A refused rate is not reported.
  NewGraphSystem();
  Graph().Script("IMediaSeeking::SetRate", E_INVALIDARG);
  Reach(kOpen);
  EXPECT_TRUE(Player().Start(vlmVideoStretch, 3.0));
  EXPECT_EQ(Player().ErrorStatus(), 0);
  DestroyPlayer();

  // The video window cannot be shown: 2, state unchanged, the graph not run.
  NewGraphSystem();
  Reach(kStopped);
  Graph().Script("IVideoWindow::put_Visible(OATRUE)", S_FALSE);
  EXPECT_FALSE(Player().Start(vlmVideoStretch, 1.0));
  EXPECT_EQ(Player().ErrorStatus(), 2);
  EXPECT_EQ(Player().State().Value(), kStopped);
  EXPECT_EQ(Graph().Log.Count("IMediaControl::Run"), 0);
  DestroyPlayer();

  // Run fails: the graph is stopped again, 2.
  NewGraphSystem();
  Reach(kOpen);
  Graph().Script("IMediaControl::Run", E_FAIL);
  EXPECT_FALSE(Player().Start(vlmVideoStretch, 1.0));
  EXPECT_EQ(Player().ErrorStatus(), 2);
  EXPECT_EQ(Player().State().Value(), kOpen);
  EXPECT_EQ(Calls(), "IMediaSeeking::SetRate(1); IVideoWindow::put_Visible(OATRUE); IMediaControl::Run; "
                     "IMediaControl::Stop");
  DestroyPlayer();

  // Run still in transition counts as success.
  NewGraphSystem();
  Reach(kOpen);
  Graph().Script("IMediaControl::Run", S_FALSE);
  EXPECT_TRUE(Player().Start(vlmVideoStretch, 1.0));
  EXPECT_EQ(Player().State().Value(), kRunning);
}

TEST_F(PlayerTest, PauseRefusedByTheGraphReports2AndKeepsTheState) {
  Reach(kRunning);
  Graph().Script("IMediaControl::Pause", E_FAIL);
  EXPECT_FALSE(Player().Pause());
  EXPECT_EQ(Player().ErrorStatus(), 2);
  EXPECT_EQ(Player().State().Value(), kRunning);
  Graph().Script("IMediaControl::Pause", S_FALSE);  // still in transition: accepted
  EXPECT_TRUE(Player().Pause());
  EXPECT_EQ(Player().State().Value(), kPaused);
  Graph().Script("IMediaControl::Run", E_FAIL);
  EXPECT_FALSE(Player().Pause());
  EXPECT_EQ(Player().ErrorStatus(), 2);
  EXPECT_EQ(Player().State().Value(), kPaused);
}

// ---- StartFrom ----

TEST_F(PlayerTest, StartFromSetsOnlyTheCurrentPositionInMediaTime) {
  struct Seek {
    const char* Name;
    std::function<bool(TVLmPlay&)> Call;
    const char* Calls;
  };
  const Seek seeks[] = {
      {"1.5 s", [](TVLmPlay& p) { return p.StartFrom(1.5); },
       "IMediaSeeking::GetTimeFormat; IMediaSeeking::SetPositions(15000000, absolute, 0, none)"},
      {"15000000 units", [](TVLmPlay& p) { return p.StartFrom(int64_t{15000000}); },
       "IMediaSeeking::GetTimeFormat; IMediaSeeking::SetPositions(15000000, absolute, 0, none)"},
      {"0 s", [](TVLmPlay& p) { return p.StartFrom(0.0); },
       "IMediaSeeking::GetTimeFormat; IMediaSeeking::SetPositions(0, absolute, 0, none)"},
      // Truncated towards zero: 0.29999999 units.
      {"2.9999999e-8 s", [](TVLmPlay& p) { return p.StartFrom(2.9999999e-8); },
       "IMediaSeeking::GetTimeFormat; IMediaSeeking::SetPositions(0, absolute, 0, none)"},
      {"1.23456789 s", [](TVLmPlay& p) { return p.StartFrom(1.23456789); },
       "IMediaSeeking::GetTimeFormat; IMediaSeeking::SetPositions(12345678, absolute, 0, none)"},
      {"largest 64-bit count", [](TVLmPlay& p) { return p.StartFrom(std::numeric_limits<int64_t>::max()); },
       "IMediaSeeking::GetTimeFormat; IMediaSeeking::SetPositions(9223372036854775807, absolute, 0, none)"},
      // A plain integer is a count of 100 ns units; StartFrom(0) rewinds.
      {"int 0", [](TVLmPlay& p) { return p.StartFrom(0); },
       "IMediaSeeking::GetTimeFormat; IMediaSeeking::SetPositions(0, absolute, 0, none)"},
      {"unsigned 7", [](TVLmPlay& p) { return p.StartFrom(7u); },
       "IMediaSeeking::GetTimeFormat; IMediaSeeking::SetPositions(7, absolute, 0, none)"},
  };
  Reach(kOpen);
  for (const Seek& seek : seeks) {
    SCOPED_TRACE(seek.Name);
    Graph().Log.Clear();
    EXPECT_TRUE(seek.Call(Player()));
    EXPECT_EQ(Player().ErrorStatus(), 0);
    EXPECT_EQ(Calls(), seek.Calls);
    EXPECT_EQ(Player().State().Value(), kOpen);
  }
}

TEST_F(PlayerTest, StartFromSwitchesToMediaTimeAndIgnoresTheGraphsAnswer) {
  Reach(kOpen);
  Graph().TimeFormat = TIME_FORMAT_FRAME;
  Graph().Script("IMediaSeeking::SetPositions", E_INVALIDARG);
  EXPECT_TRUE(Player().StartFrom(int64_t{5}));
  EXPECT_EQ(Player().ErrorStatus(), 0);
  EXPECT_EQ(Calls(),
            "IMediaSeeking::GetTimeFormat; IMediaSeeking::SetTimeFormat(media time); "
            "IMediaSeeking::SetPositions(5, absolute, 0, none)");
  // A failing GetTimeFormat changes nothing.
  Graph().Log.Clear();
  Graph().Script("IMediaSeeking::GetTimeFormat", E_FAIL);
  Graph().TimeFormat = TIME_FORMAT_FRAME;
  EXPECT_TRUE(Player().StartFrom(1.0));
  EXPECT_EQ(Calls(), "IMediaSeeking::GetTimeFormat; IMediaSeeking::SetPositions(10000000, absolute, 0, none)");
}

TEST_F(PlayerTest, StartFromRefusesNegativeNotANumberAndTooFarPositions) {
  Reach(kStopped);
  const double badSeconds[] = {-0.001, -1e-300, -std::numeric_limits<double>::infinity(),
                               std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
                               1e12};
  for (double seconds : badSeconds) {
    SCOPED_TRACE(seconds);
    EXPECT_FALSE(Player().StartFrom(seconds));
    EXPECT_EQ(Player().ErrorStatus(), 5);
  }
  for (int64_t units : {int64_t{-1}, std::numeric_limits<int64_t>::min()}) {
    SCOPED_TRACE(units);
    EXPECT_FALSE(Player().StartFrom(units));
    EXPECT_EQ(Player().ErrorStatus(), 5);
  }
  EXPECT_EQ(Calls(), "");
  EXPECT_EQ(Player().State().Value(), kStopped);
}

// ---- graph events ----

TEST_F(PlayerTest, EndOfFileStopsHidesFiresOnEndOnceAndLeavesTheRestForTheNextNotification) {
  Reach(kRunning);
  int ends = 0;
  TObject* sender = nullptr;
  Player().SetOnEnd([&](TObject* Sender) {
    ++ends;
    sender = Sender;
  });
  Graph().Events = {{EC_PAUSED, 3, 4}, {EC_COMPLETE, 1, 2}, {EC_USERABORT, 5, 6}};
  for (int n = 1; n <= 3; ++n) Graph().ScriptNth("IMediaEventEx::GetEvent", n, S_OK);

  EXPECT_EQ(SendMessageW(Player().Handle(), WM_GRAPHNOTIFY, 7, 8), 0);
  EXPECT_EQ(Calls(),
            "IMediaEventEx::GetEvent(0); IMediaEventEx::FreeEventParams(14); "
            "IMediaEventEx::GetEvent(0); IMediaEventEx::FreeEventParams(1); "
            "IMediaControl::Stop; IVideoWindow::put_Visible(OAFALSE)");
  EXPECT_EQ(ends, 1);
  EXPECT_EQ(sender, static_cast<TObject*>(&Player()));
  EXPECT_EQ(Player().State().Value(), kOpen);
  ASSERT_EQ(Graph().Events.size(), 1u);

  // The event behind it is taken at the next notification, and dropped.
  Graph().Log.Clear();
  SendMessageW(Player().Handle(), WM_GRAPHNOTIFY, 0, 0);
  EXPECT_EQ(Calls(), "IMediaEventEx::GetEvent(0); IMediaEventEx::FreeEventParams(2); IMediaEventEx::GetEvent(0)");
  EXPECT_EQ(ends, 1);
  EXPECT_EQ(Player().State().Value(), kOpen);

  // After the end: Stop is refused, Start plays on without seeking.
  Graph().Log.Clear();
  EXPECT_FALSE(Player().Stop());
  EXPECT_EQ(Player().ErrorStatus(), 11);
  EXPECT_TRUE(Player().Start(vlmVideoStretch, 1.0));
  EXPECT_EQ(Graph().Log.Count("IMediaSeeking::SetPositions"), 0);
}

TEST_F(PlayerTest, EndOfFileIsHandledEvenWhenFreeingItsParametersFailsAndWithoutAHandler) {
  Reach(kRunning);
  Graph().Events = {{EC_COMPLETE, 0, 0}};
  Graph().ScriptNth("IMediaEventEx::GetEvent", 1, S_OK);
  Graph().Script("IMediaEventEx::FreeEventParams", E_FAIL);
  SendMessageW(Player().Handle(), WM_GRAPHNOTIFY, 0, 0);
  EXPECT_EQ(Calls(),
            "IMediaEventEx::GetEvent(0); IMediaEventEx::FreeEventParams(1); IMediaControl::Stop; "
            "IVideoWindow::put_Visible(OAFALSE)");
  EXPECT_EQ(Player().State().Value(), kOpen);
}

TEST_F(PlayerTest, OtherEventsAreDrainedUntilTheQueueIsEmptyOrFreeingFails) {
  Reach(kRunning);
  int ends = 0;
  Player().SetOnEnd([&](TObject*) { ++ends; });
  Graph().Events = {{EC_ERRORABORT, 0, 0}, {EC_USERABORT, 0, 0}, {EC_PAUSED, 0, 0}};
  for (int n = 1; n <= 3; ++n) Graph().ScriptNth("IMediaEventEx::GetEvent", n, S_OK);
  Graph().ScriptNth("IMediaEventEx::FreeEventParams", 2, E_FAIL);
  SendMessageW(Player().Handle(), WM_GRAPHNOTIFY, 0, 0);
  EXPECT_EQ(Calls(),
            "IMediaEventEx::GetEvent(0); IMediaEventEx::FreeEventParams(3); "
            "IMediaEventEx::GetEvent(0); IMediaEventEx::FreeEventParams(2)");
  Graph().Log.Clear();
  SendMessageW(Player().Handle(), WM_GRAPHNOTIFY, 0, 0);
  EXPECT_EQ(Calls(), "IMediaEventEx::GetEvent(0); IMediaEventEx::FreeEventParams(14); IMediaEventEx::GetEvent(0)");
  EXPECT_EQ(ends, 0);
  EXPECT_EQ(Player().State().Value(), kRunning);
}

TEST_F(PlayerTest, GraphNotificationWithoutAGraphDoesNothing) {
  int ends = 0;
  Player().SetOnEnd([&](TObject*) { ++ends; });
  EXPECT_EQ(SendMessageW(Player().Handle(), WM_GRAPHNOTIFY, 0, 0), 0);
  EXPECT_EQ(Calls(), "");
  EXPECT_EQ(ends, 0);
}

// ---- snapshots ----

TEST_F(PlayerTest, SnapshotImageSizeLimits) {
  struct Limit {
    DWORD ImageSize;
    bool Armed;
  };
  for (const Limit& limit : {Limit{999, false}, Limit{1000, true}, Limit{16000000, true}, Limit{16000001, false}}) {
    SCOPED_TRACE(limit.ImageSize);
    NewGraphSystem();
    Graph().Connected.Header.bmiHeader.biSizeImage = limit.ImageSize;
    Reach(kRunning);
    EXPECT_EQ(Player().TakeSnapshot(), limit.Armed);
    EXPECT_EQ(Player().ErrorStatus(), limit.Armed ? 0 : 2);
    EXPECT_EQ(Calls(), limit.Armed ? "ISampleGrabber::SetCallback(callback, 1)" : "");
    DestroyPlayer();
  }
}

}  // namespace
