// The recorder when its camera goes, on Wine's real capture graph with the test camera made to
// fail by its controller and the test capture graph builder's AVI writer: the loss stops the
// recording once with error 204, the file holds the frames written before it (read by ffprobe,
// played to its end by the player), and the camera reopens by its identity. And the writer's
// locks: questions about its state and connection are answered while a frame is written.

#include <windows.h>

#include <dshow.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "recording/FfProbe.h"
#include "recording/RecordingGraph.h"
#include "support/DeviceLossWatch.h"
#include "support/FakeCom.h"
#include "support/TestWindow.h"
#include "testcam/CameraRig.h"
#include "testcam/LmTestCam.h"
#include "webcam/LmPlay.h"
#include "webcam/LmRecord.h"

namespace {

using namespace rectest;
using losstest::CameraController;
using losstest::LossWatch;
using losstest::Moment;


class RecorderDeviceLoss : public ::testing::TestWithParam<Moment> {};

TEST_P(RecorderDeviceLoss, StopsOnceWithError204KeepsThePlayableFileAndReopensByIdentity) {
  losstest::ReplugAtEnd replug;
  const auto controller = CameraController();
  ASSERT_TRUE(controller);
  const std::string name = "device-lost-" + std::to_string(static_cast<int>(GetParam())) + ".avi";
  testwin::HostWindow host(400, 300);
  TVLmRecord recorder(nullptr);
  recorder.SetParentWindow(host.Handle());
  recorder.SetBounds(0, 0, 160, 120);
  recorder.Handle();
  LossWatch lost;
  lost.Watch(recorder);
  const int camera = recorder.VideoDevices()->IndexOf(kLmTestCameraName);
  ASSERT_TRUE(recorder.Open(RecordingWindowsPath(name), camera)) << recorder.ErrorStatus();
  ASSERT_TRUE(recorder.Start(vlmVideoStretch)) << recorder.ErrorStatus();
  testwin::PumpMessages(1500);
  if (GetParam() == Moment::Paused) {
    ASSERT_TRUE(recorder.Pause());
  }
  if (GetParam() == Moment::Stopped) {
    ASSERT_TRUE(recorder.Stop());
  }

  ASSERT_EQ(controller->Unplug(), S_OK);
  ASSERT_TRUE(testwin::PumpUntil([&] { return lost.Count > 0; }, 3000));
  testwin::PumpMessages(500);
  losstest::ExpectLostOnce(lost, recorder);

  // The recording holds what was written before the loss (30 frames per second for 1.5 s),
  // complete before Close.
  const VideoProbe written = ProbeVideo(RecordingUnixPath(name));
  ASSERT_TRUE(written.Read) << written.Output;
  EXPECT_GE(written.Frames, 30) << written.Output;
  EXPECT_LE(written.Frames, 60) << written.Output;
  const DWORD closing = GetTickCount();
  EXPECT_TRUE(recorder.Close());
  EXPECT_LT(GetTickCount() - closing, 2000u);

  if (GetParam() == Moment::Running) {
    TVLmPlay player(nullptr);
    player.SetParentWindow(host.Handle());
    player.SetBounds(200, 0, 160, 120);
    int ends = 0;
    player.SetOnEnd([&ends](TObject*) { ++ends; });
    ASSERT_TRUE(player.Open(RecordingWindowsPath(name))) << player.ErrorStatus();
    EXPECT_NEAR(player.Duration(), written.Frames / 30.0, 0.2);
    ASSERT_TRUE(player.Start(vlmVideoStretch, 1.0));
    EXPECT_TRUE(testwin::PumpUntil([&] { return ends == 1; }, 6000));
    EXPECT_TRUE(player.Close());
  }

  // The camera again, by its identity, into another file.
  const std::string again = "device-back-" + std::to_string(static_cast<int>(GetParam())) + ".avi";
  ASSERT_TRUE(recorder.OpenDevice(RecordingWindowsPath(again), kLmTestCameraDevicePath)) << recorder.ErrorStatus();
  ASSERT_TRUE(recorder.Start(vlmVideoStretch)) << recorder.ErrorStatus();
  testwin::PumpMessages(700);
  EXPECT_TRUE(recorder.Close());
  EXPECT_GT(ProbeVideo(RecordingUnixPath(again)).Frames, 5);
  EXPECT_EQ(lost.Count, 1);
}

INSTANTIATE_TEST_SUITE_P(Moments, RecorderDeviceLoss, losstest::kMoments, losstest::MomentName);

// A sample that the writer finds slow to write: it answers IsSyncPoint, which the writer asks
// while it writes the frame, only once the test opens its gate.
class SlowSample : public fakes::FakeComObject<IMediaSample> {
public:
  explicit SlowSample(size_t Bytes) : m_Data(Bytes, 0x80) {}
  ~SlowSample() override {
    CloseHandle(Inside);
    CloseHandle(Gate);
  }
  HANDLE Inside = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE Gate = CreateEventW(nullptr, TRUE, FALSE, nullptr);

  STDMETHODIMP GetPointer(BYTE** Buffer) override {
    *Buffer = m_Data.data();
    return S_OK;
  }
  STDMETHODIMP_(long) GetSize() override { return static_cast<long>(m_Data.size()); }
  STDMETHODIMP_(long) GetActualDataLength() override { return static_cast<long>(m_Data.size()); }
  STDMETHODIMP IsSyncPoint() override {
    SetEvent(Inside);
    WaitForSingleObject(Gate, 20000);
    return S_OK;
  }
  LM_FAKE_UNEXPECTED("IMediaSample", GetTime, REFERENCE_TIME*, REFERENCE_TIME*)
  LM_FAKE_UNEXPECTED("IMediaSample", SetTime, REFERENCE_TIME*, REFERENCE_TIME*)
  LM_FAKE_UNEXPECTED("IMediaSample", SetSyncPoint, BOOL)
  LM_FAKE_UNEXPECTED("IMediaSample", IsPreroll)
  LM_FAKE_UNEXPECTED("IMediaSample", SetPreroll, BOOL)
  LM_FAKE_UNEXPECTED("IMediaSample", SetActualDataLength, long)
  LM_FAKE_UNEXPECTED("IMediaSample", GetMediaType, AM_MEDIA_TYPE**)
  LM_FAKE_UNEXPECTED("IMediaSample", SetMediaType, AM_MEDIA_TYPE*)
  LM_FAKE_UNEXPECTED("IMediaSample", IsDiscontinuity)
  LM_FAKE_UNEXPECTED("IMediaSample", SetDiscontinuity, BOOL)
  LM_FAKE_UNEXPECTED("IMediaSample", GetMediaTime, LONGLONG*, LONGLONG*)
  LM_FAKE_UNEXPECTED("IMediaSample", SetMediaTime, LONGLONG*, LONGLONG*)

private:
  std::vector<BYTE> m_Data;
};

TEST(AviWriterLocks, StateAndConnectionAreAnsweredWhileAFrameIsBeingWritten) {
  const std::string name = "writer-slow-frame.avi";
  RecordingGraph graph(RecordingWindowsPath(name), 160, 120);
  ASSERT_EQ(graph.Result, S_OK) << graph.Step;
  ComPtr<IPin> input = camtest::PinOf(graph.Writer.Get(), L"In");
  ComPtr<IMemInputPin> memInput = camtest::As<IMemInputPin>(input.Get());
  ASSERT_TRUE(memInput);
  // Paused alone (the camera stays stopped): the file is open for the test's frame.
  ASSERT_EQ(graph.Writer->Pause(), S_OK);

  const auto sample = camtest::Adopt(new SlowSample(160 * 120 * 3));
  HRESULT received = E_PENDING;
  std::thread streaming([&] { received = memInput->Receive(sample.Get()); });
  EXPECT_EQ(WaitForSingleObject(sample->Inside, 5000), WAIT_OBJECT_0);

  // The questions, on a thread of their own: in time if they come back within two seconds,
  // while the frame is still being written. Then the frame is let through, and both threads end.
  FILTER_STATE state = State_Stopped;
  HRESULT answers[4] = {E_PENDING, E_PENDING, E_PENDING, E_PENDING};
  const HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  std::thread asking([&] {
    answers[0] = graph.Writer->GetState(0, &state);
    ComPtr<IPin> upstream;
    answers[1] = input->ConnectedTo(&upstream);
    FILTER_INFO info{};
    answers[2] = graph.Writer->QueryFilterInfo(&info);
    if (info.pGraph) info.pGraph->Release();
    answers[3] = graph.Writer->Pause();
    SetEvent(done);
  });
  const bool answered = WaitForSingleObject(done, 2000) == WAIT_OBJECT_0;
  SetEvent(sample->Gate);
  streaming.join();
  asking.join();
  CloseHandle(done);
  EXPECT_TRUE(answered) << "the writer kept its state behind the frame being written";
  for (const HRESULT hr : answers) EXPECT_EQ(hr, S_OK);
  EXPECT_EQ(state, State_Paused);
  EXPECT_EQ(received, S_OK);

  ASSERT_EQ(graph.Writer->Stop(), S_OK);
  const VideoProbe probe = ProbeVideo(RecordingUnixPath(name));
  EXPECT_TRUE(probe.Read) << probe.Output;
  EXPECT_EQ(probe.Frames, 1) << probe.Output;
}

}  // namespace
