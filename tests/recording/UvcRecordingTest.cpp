// Recordings of the UVC test camera in its own formats through the test capture graph builder:
// ffprobe reads the streams as YUY2, MJPG and NV12 video, and Wine's graph plays the YUY2 and
// MJPG files back (RenderFile into an RGB24 Sample Grabber) with the camera's picture intact.

#include <windows.h>

#include <dshow.h>

#include <gtest/gtest.h>

#include <string>

#include "recording/FfProbe.h"
#include "recording/RecordingGraph.h"
#include "testcam/CameraRig.h"
#include "testcam/LmTestCam.h"

namespace {

using namespace rectest;

// Plays File through an RGB24 Sample Grabber (the graph renders the grabber's output too),
// reading every frame.
struct Playback {
  HRESULT Rendered = E_FAIL;
  int Frames = 0;
  std::vector<int> Counters;
  int BadBars = 0;
};

Playback Play(const std::wstring& File) {
  Playback result;
  camtest::CaptureRig rig(kLmTestCameraUvcName);  // its graph and grabber; nothing else
  if (!rig.Ready()) return result;
  for (IBaseFilter* other : {rig.Camera.Get(), rig.Sink.Get(), rig.PreviewSink.Get()}) rig.Graph->RemoveFilter(other);
  ComPtr<IVideoWindow> window;
  if (SUCCEEDED(rig.Graph->QueryInterface(IID_IVideoWindow, reinterpret_cast<void**>(window.GetAddressOf()))))
    window->put_AutoShow(OAFALSE);
  result.Rendered = rig.Graph->RenderFile(File.c_str(), nullptr);
  if (FAILED(result.Rendered)) return result;
  AM_MEDIA_TYPE type{};
  if (SUCCEEDED(rig.Grab->GetConnectedMediaType(&type))) {
    lm::FrameFormat format;
    if (lm::FrameFormatOf(type, format)) rig.Collector->SetFrameFormat(format);
    CoTaskMemFree(type.pbFormat);
    if (type.pUnk) type.pUnk->Release();
  }
  if (FAILED(rig.Control->Run())) return result;
  long code = 0;
  rig.Events->WaitForCompletion(10000, &code);
  rig.Control->Stop();
  result.Frames = rig.Collector->Count();
  result.Counters = rig.Collector->Counters();
  result.BadBars = rig.Collector->BadBars();
  return result;
}

TEST(UvcRecording, EverySubtypeIsRecordedAsTheCameraSendsItAndPlaysBack) {
  const struct {
    GUID SubType;
    LONG Width, Height;
    REFERENCE_TIME Interval;
    const char* Codec;
    const char* PixelFormat;
    bool PlayBack;
  } cases[] = {
      {MEDIASUBTYPE_YUY2, 640, 480, 666666, "rawvideo", "yuyv422", true},
      {MEDIASUBTYPE_MJPG, 1280, 720, 333333, "mjpeg", "yuvj422p", true},
      {MEDIASUBTYPE_NV12, 640, 480, 333333, "rawvideo", "nv12", false},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.Codec + std::string(" ") + test.PixelFormat);
    const std::string name = std::string("uvc-") + test.PixelFormat + ".avi";
    const double rate = 10000000.0 / static_cast<double>(test.Interval);
    {
      RecordingGraph graph(RecordingWindowsPath(name), test.Width, test.Height, test.Interval, test.SubType,
                           kLmTestCameraUvcName);
      ASSERT_EQ(graph.Result, S_OK) << graph.Step;
      ASSERT_TRUE(graph.Record(2000));
    }
    const VideoProbe probe = ProbeVideo(RecordingUnixPath(name));
    ASSERT_TRUE(probe.Read) << probe.Output;
    EXPECT_EQ(probe.VideoStreams, 1) << probe.Output;
    EXPECT_EQ(probe.Codec, test.Codec) << probe.Output;
    EXPECT_EQ(probe.PixelFormat, test.PixelFormat) << probe.Output;
    EXPECT_EQ(probe.Width, test.Width);
    EXPECT_EQ(probe.Height, test.Height);
    EXPECT_NEAR(probe.FrameRate, rate, 0.01) << probe.Output;
    EXPECT_NEAR(probe.Frames, 2 * rate, 0.3 * 2 * rate) << probe.Output;
    if (!test.PlayBack) continue;

    const Playback played = Play(RecordingWindowsPath(name));
    ASSERT_EQ(played.Rendered, S_OK);
    EXPECT_EQ(played.Frames, probe.Frames);
    ASSERT_FALSE(played.Counters.empty());
    EXPECT_EQ(played.Counters.front(), 0);
    for (size_t i = 1; i < played.Counters.size(); ++i) EXPECT_GT(played.Counters[i], played.Counters[i - 1]) << i;
    EXPECT_EQ(played.BadBars, 0);
  }
}

}  // namespace
