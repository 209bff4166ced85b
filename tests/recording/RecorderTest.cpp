// The recorder on Wine's real DirectShow with the test camera and the test capture graph
// builder: what it writes, judged by ffprobe and played back by the player.

#include <windows.h>

#include <dshow.h>
#include <uuids.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "recording/FfProbe.h"
#include "recording/RecordingGraph.h"
#include "support/TestWindow.h"
#include "testbuilder/LmTestCaptureBuilder.h"
#include "testcam/CameraRig.h"
#include "testcam/LmTestCam.h"
#include "webcam/LmPlay.h"
#include "webcam/LmRecord.h"

namespace {

using namespace rectest;

// The camera's formats as the recorder lists them.
constexpr int32_t k160x120 = 0;
constexpr int32_t k320x240 = 1;
constexpr int32_t k640x480 = 2;

class RecorderProbe : public TVLmRecord {
public:
  RecorderProbe() : TVLmRecord(nullptr) {}
  using TVLmRecord::m_pGraphBuilder;
};

HWND SharedHost() {
  // Left to the end of the program: its windows go with the process.
  static testwin::HostWindow* host = new testwin::HostWindow(400, 300);
  return host->Handle();
}

std::unique_ptr<RecorderProbe> HostedRecorder() {
  auto recorder = std::make_unique<RecorderProbe>();
  recorder->SetParentWindow(SharedHost());
  recorder->SetBounds(10, 10, 320, 240);
  recorder->Handle();
  return recorder;
}

int Camera(TVLmRecord& Recorder) { return Recorder.VideoDevices()->IndexOf(kLmTestCameraName); }

// Starts, keeps the picture running for Milliseconds (pumping the host's messages), stops.
::testing::AssertionResult Records(TVLmRecord& Recorder, DWORD Milliseconds) {
  if (!Recorder.Start(vlmVideoStretch))
    return ::testing::AssertionFailure() << "Start failed with " << Recorder.ErrorStatus();
  testwin::PumpMessages(Milliseconds);
  if (!Recorder.Stop()) return ::testing::AssertionFailure() << "Stop failed with " << Recorder.ErrorStatus();
  return ::testing::AssertionSuccess();
}

::testing::AssertionResult IsVideo(const VideoProbe& Probe, int Width, int Height, double FramesPerSecond) {
  if (!Probe.Read || Probe.VideoStreams != 1 || Probe.Width != Width || Probe.Height != Height ||
      Probe.FrameRate < FramesPerSecond - 0.01 || Probe.FrameRate > FramesPerSecond + 0.01)
    return ::testing::AssertionFailure() << "ffprobe says:\n" << Probe.Output;
  return ::testing::AssertionSuccess();
}

// The file writer in the recorder's graph (kept alive by the result, so that a new one cannot
// take its address).
Microsoft::WRL::ComPtr<IBaseFilter> FileWriter(RecorderProbe& Recorder) {
  Microsoft::WRL::ComPtr<IBaseFilter> writer;
  if (Recorder.m_pGraphBuilder) Recorder.m_pGraphBuilder->FindFilterByName(kLmAviFileWriterName, &writer);
  return writer;
}

TEST(RecorderOnWine, RecordsThreeSecondsAt320x240And15FpsThatThePlayerOpens) {
  const std::string name = "recorder-three-seconds.avi";
  {
    auto recorder = HostedRecorder();
    ASSERT_TRUE(recorder->Open(RecordingWindowsPath(name), Camera(*recorder))) << recorder->ErrorStatus();
    ASSERT_TRUE(recorder->SetStreamFormat(k320x240)) << recorder->ErrorStatus();
    recorder->SetFrameRate(15.0);
    ASSERT_TRUE(Records(*recorder, 3000));
    EXPECT_TRUE(recorder->Close());
    // Close lets go of the builder, the writer and everything else of the graph.
    EXPECT_EQ(BuilderCanUnloadNow(), S_OK);
  }
  const VideoProbe probe = ProbeVideo(RecordingUnixPath(name));
  ASSERT_TRUE(IsVideo(probe, 320, 240, 15.0));
  EXPECT_NEAR(probe.Frames, 45, 6) << probe.Output;

  TVLmPlay player(nullptr);
  player.SetParentWindow(SharedHost());
  player.SetBounds(10, 10, 320, 240);
  ASSERT_TRUE(player.Open(RecordingWindowsPath(name))) << player.ErrorStatus();
  EXPECT_NEAR(player.Duration(), 3.0, 0.4);
  EXPECT_EQ(player.VideoSize().cx, 320);
  EXPECT_EQ(player.VideoSize().cy, 240);
  EXPECT_TRUE(player.Close());
}

TEST(RecorderOnWine, StartAfterStopWritesTheFileAnewAndCloseWhileRunningCompletesIt) {
  const std::string name = "recorder-again.avi";
  const std::wstring path = RecordingWindowsPath(name);
  DeleteFileW(path.c_str());
  auto recorder = HostedRecorder();
  ASSERT_TRUE(recorder->Open(path, Camera(*recorder))) << recorder->ErrorStatus();
  // Open builds the file branch but writes nothing.
  EXPECT_EQ(FileSize(path), -1);
  ASSERT_TRUE(Records(*recorder, 2000));
  const VideoProbe first = ProbeVideo(RecordingUnixPath(name));
  ASSERT_TRUE(IsVideo(first, 160, 120, 30.0));
  EXPECT_NEAR(first.Frames, 60, 8) << first.Output;

  ASSERT_TRUE(recorder->Start(vlmVideoStretch)) << recorder->ErrorStatus();
  testwin::PumpMessages(700);
  ASSERT_TRUE(recorder->Close()) << recorder->ErrorStatus();
  EXPECT_TRUE(recorder->State().Contains(vlmVideoClosed));
  const VideoProbe second = ProbeVideo(RecordingUnixPath(name));
  ASSERT_TRUE(IsVideo(second, 160, 120, 30.0));
  EXPECT_NEAR(second.Frames, 21, 8) << second.Output;
  EXPECT_LT(second.Frames, first.Frames - 20);
}

TEST(RecorderOnWine, NewFormatFrameRateAndBitRateRebuildTheGraphForTheNextRecording) {
  const std::string name = "recorder-rebuilt.avi";
  auto recorder = HostedRecorder();
  ASSERT_TRUE(recorder->Open(RecordingWindowsPath(name), Camera(*recorder))) << recorder->ErrorStatus();

  ASSERT_TRUE(recorder->SetStreamFormat(k640x480)) << recorder->ErrorStatus();
  ASSERT_TRUE(Records(*recorder, 700));
  EXPECT_TRUE(IsVideo(ProbeVideo(RecordingUnixPath(name)), 640, 480, 30.0));

  // Nothing changed: the same graph runs again.
  auto writer = FileWriter(*recorder);
  ASSERT_TRUE(writer);
  ASSERT_TRUE(Records(*recorder, 300));
  EXPECT_EQ(FileWriter(*recorder).Get(), writer.Get());

  recorder->SetFrameRate(10.0);
  ASSERT_TRUE(Records(*recorder, 1000));
  EXPECT_NE(FileWriter(*recorder).Get(), writer.Get()) << "a new frame rate rebuilds the file branch";
  const VideoProbe slower = ProbeVideo(RecordingUnixPath(name));
  EXPECT_TRUE(IsVideo(slower, 640, 480, 10.0));
  EXPECT_NEAR(slower.Frames, 10, 4) << slower.Output;

  writer = FileWriter(*recorder);
  recorder->SetBitRate(recorder->BitRate() / 2);
  ASSERT_TRUE(Records(*recorder, 500));
  EXPECT_NE(FileWriter(*recorder).Get(), writer.Get()) << "a new bit rate rebuilds the file branch";
  EXPECT_TRUE(IsVideo(ProbeVideo(RecordingUnixPath(name)), 640, 480, 10.0));

  // A new format keeps the frame rate asked for.
  ASSERT_TRUE(recorder->SetStreamFormat(k160x120)) << recorder->ErrorStatus();
  ASSERT_TRUE(Records(*recorder, 500));
  EXPECT_TRUE(IsVideo(ProbeVideo(RecordingUnixPath(name)), 160, 120, 10.0));
  EXPECT_TRUE(recorder->Close());
}

// A camera of the formats USB cameras send: the recorder writes what it sends, YUY2, MJPG or
// NV12, and the player shows the YUY2 and MJPG files again, with snapshots of the camera's
// picture.
TEST(RecorderOnWine, RecordsAUsbCamerasFormatsThatThePlayerPlays) {
  struct Case {
    const char* File;
    GUID SubType;
    const char* Codec;
    bool Play;
  };
  for (const Case& c : {Case{"recorder-uvc-yuy2.avi", MEDIASUBTYPE_YUY2, "rawvideo", true},
                        Case{"recorder-uvc-mjpg.avi", MEDIASUBTYPE_MJPG, "mjpeg", true},
                        Case{"recorder-uvc-nv12.avi", MEDIASUBTYPE_NV12, "rawvideo", false}}) {
    SCOPED_TRACE(c.File);
    {
      auto recorder = HostedRecorder();
      ASSERT_TRUE(recorder->Open(RecordingWindowsPath(c.File), recorder->VideoDevices()->IndexOf(kLmTestCameraUvcName)))
          << recorder->ErrorStatus();
      int entry = -1;
      for (int i = 0; i < recorder->GetStreamFormats() && entry < 0; ++i) {
        ASSERT_TRUE(recorder->GetStreamFormat(i));
        if (IsEqualGUID(recorder->VideoSubType(), c.SubType) && recorder->VideoSize().cx == 640) entry = i;
      }
      ASSERT_GE(entry, 0);
      ASSERT_TRUE(recorder->SetStreamFormat(entry)) << recorder->ErrorStatus();
      ASSERT_TRUE(Records(*recorder, 1500));
      EXPECT_TRUE(recorder->Close());
    }
    const VideoProbe probe = ProbeVideo(RecordingUnixPath(c.File));
    ASSERT_TRUE(IsVideo(probe, 640, 480, 30.0));
    EXPECT_EQ(probe.Codec, c.Codec) << probe.Output;
    EXPECT_GT(probe.Frames, 20) << probe.Output;
    if (!c.Play) continue;

    TVLmPlay player(nullptr);
    player.SetParentWindow(SharedHost());
    player.SetBounds(10, 10, 320, 240);
    ASSERT_TRUE(player.Open(RecordingWindowsPath(c.File))) << player.ErrorStatus();
    EXPECT_EQ(player.VideoSize().cx, 640);
    bool shot = false;
    player.SetOnSnapshot([&](TObject*, UINT_PTR Image, bool&) {
      const auto* bytes = static_cast<const BYTE*>(GlobalLock(reinterpret_cast<HGLOBAL>(Image)));
      const auto* header = reinterpret_cast<const BITMAPINFOHEADER*>(bytes);
      EXPECT_EQ(header->biWidth, 640);
      EXPECT_GE(camtest::DecodeCounter(bytes + sizeof(BITMAPINFOHEADER), 640, 480), 0) << "not the camera's picture";
      GlobalUnlock(reinterpret_cast<HGLOBAL>(Image));
      shot = true;
    });
    ASSERT_TRUE(player.Start(vlmVideoStretch, 1.0));
    testwin::PumpMessages(300);
    ASSERT_TRUE(player.TakeSnapshot()) << player.ErrorStatus();
    EXPECT_TRUE(testwin::PumpUntil([&] { return shot; }, 5000));
    EXPECT_TRUE(player.Close());
  }
}

TEST(RecorderOnWine, OpenTakesNamesUpTo259CharactersAndRefuses260) {
  // A file in the recordings folder whose full Windows name has exactly Length characters.
  const std::wstring folder = RecordingWindowsPath("");
  const auto nameOfLength = [&](size_t Length) {
    const size_t stem = Length - folder.size() - 4;
    return std::string(stem, 'n') + ".avi";
  };
  ASSERT_LT(folder.size() + 4, 259u - 8) << "the build folder is too deep for this test";
  const std::string longest = nameOfLength(259);
  ASSERT_EQ(RecordingWindowsPath(longest).size(), 259u);
  ASSERT_LE(longest.size(), 255u) << "a Unix file name has at most 255 bytes";

  auto recorder = HostedRecorder();
  EXPECT_FALSE(recorder->Open(RecordingWindowsPath(nameOfLength(260)), Camera(*recorder)));
  EXPECT_EQ(recorder->ErrorStatus(), 5);
  EXPECT_TRUE(recorder->State().Contains(vlmVideoClosed));

  ASSERT_TRUE(recorder->Open(RecordingWindowsPath(longest), Camera(*recorder))) << recorder->ErrorStatus();
  ASSERT_TRUE(Records(*recorder, 500));
  EXPECT_TRUE(recorder->Close());
  EXPECT_TRUE(IsVideo(ProbeVideo(RecordingUnixPath(longest)), 160, 120, 30.0));
  DeleteFileW(RecordingWindowsPath(longest).c_str());
}

TEST(RecorderOnWine, AsfAndNamesTheWriterRefusesFailOpenWith203) {
  auto recorder = HostedRecorder();
  recorder->SetFormat(vlmAsf);
  EXPECT_FALSE(recorder->Open(RecordingWindowsPath("recorder.asf"), Camera(*recorder)));
  EXPECT_EQ(recorder->ErrorStatus(), 203);
  EXPECT_TRUE(recorder->State().Contains(vlmVideoClosed));
  EXPECT_EQ(recorder->Format(), vlmAsf);
  EXPECT_EQ(FileSize(RecordingWindowsPath("recorder.asf")), -1);
  recorder->SetFormat(vlmAvi);
  EXPECT_FALSE(recorder->Open(RecordingWindowsPath("no-such-folder\\recorder.avi"), Camera(*recorder)));
  EXPECT_EQ(recorder->ErrorStatus(), 203);
  // The same recorder records once the name and format suit the platform.
  ASSERT_TRUE(recorder->Open(RecordingWindowsPath("recorder-after-asf.avi"), Camera(*recorder)))
      << recorder->ErrorStatus();
  ASSERT_TRUE(Records(*recorder, 300));
  EXPECT_TRUE(recorder->Close());
  EXPECT_TRUE(IsVideo(ProbeVideo(RecordingUnixPath("recorder-after-asf.avi")), 160, 120, 30.0));
}

}  // namespace
