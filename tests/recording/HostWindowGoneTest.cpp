// A host window destroyed before the components in it, as applications and frameworks often do:
// the graphs stop and let go of the dead window, the components stay open, a recording is
// complete, and Start in a new host window shows the picture, snapshots and end-of-file events
// again. On Wine's real DirectShow with the test camera, the test capture graph builder and
// real windows.

#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "recording/FfProbe.h"
#include "support/TestWindow.h"
#include "testcam/LmTestCam.h"
#include "webcam/LmPlay.h"
#include "webcam/LmPreview.h"
#include "webcam/LmRecord.h"

namespace {

using namespace rectest;

constexpr uint16_t kOpen = 2;
constexpr uint16_t kStopped = 258;

template <typename Control>
void Place(Control& Component, HWND Host) {
  Component.SetParentWindow(Host);
  Component.SetBounds(0, 0, 160, 120);
  Component.Handle();
}

TEST(HostWindowGone, CaptureGraphsStopAndComeBackInANewHost) {
  const std::string file = "host-window-gone.avi";
  auto host = std::make_unique<testwin::HostWindow>(400, 200);
  TVLmPreview preview(nullptr);
  TVLmRecord recorder(nullptr);
  Place(preview, host->Handle());
  Place(recorder, host->Handle());
  int snapshots = 0;
  preview.SetOnSnapshot([&snapshots](TObject*, UINT_PTR, bool&) { ++snapshots; });
  const int camera = preview.VideoDevices()->IndexOf(kLmTestCameraName);
  ASSERT_GE(camera, 0);
  ASSERT_TRUE(preview.Open(camera)) << preview.ErrorStatus();
  ASSERT_TRUE(recorder.Open(RecordingWindowsPath(file), camera)) << recorder.ErrorStatus();
  ASSERT_TRUE(preview.Start(vlmVideoStretch));
  ASSERT_TRUE(recorder.Start(vlmVideoStretch));
  testwin::PumpMessages(1500);

  // The host goes with a snapshot asked for: it is dropped, not delivered to a dead window.
  ASSERT_TRUE(preview.TakeSnapshot());
  host.reset();
  testwin::PumpMessages(300);
  EXPECT_EQ(snapshots, 0);
  EXPECT_EQ(preview.State().Value(), kStopped);
  EXPECT_EQ(recorder.State().Value(), kStopped);
  EXPECT_FALSE(preview.HandleAllocated());
  // The recording is complete up to the moment the host went.
  const VideoProbe written = ProbeVideo(RecordingUnixPath(file));
  EXPECT_TRUE(written.Read) << written.Output;
  EXPECT_GT(written.Frames, 10) << written.Output;

  // No window to show the picture in: Start says so and changes nothing.
  EXPECT_FALSE(preview.Start(vlmVideoStretch));
  EXPECT_EQ(preview.ErrorStatus(), 2);
  EXPECT_EQ(preview.State().Value(), kStopped);

  // A new host: the picture, snapshots and the recording come back there.
  testwin::HostWindow next(400, 200);
  Place(preview, next.Handle());
  Place(recorder, next.Handle());
  ASSERT_TRUE(preview.Start(vlmVideoStretch)) << preview.ErrorStatus();
  ASSERT_TRUE(recorder.Start(vlmVideoStretch)) << recorder.ErrorStatus();
  const HWND video = GetWindow(preview.Handle(), GW_CHILD);
  ASSERT_NE(video, nullptr);
  EXPECT_TRUE(IsWindowVisible(video));
  ASSERT_TRUE(preview.TakeSnapshot());
  EXPECT_TRUE(testwin::PumpUntil([&] { return snapshots == 1; }, 3000));
  testwin::PumpMessages(1000);
  EXPECT_TRUE(recorder.Close());
  EXPECT_TRUE(ProbeVideo(RecordingUnixPath(file)).Frames > 5);
}

TEST(HostWindowGone, PlayerStopsAndEndsInANewHost) {
  // A clip of the test camera, recorded here.
  const std::string file = "host-window-gone-clip.avi";
  {
    testwin::HostWindow host(200, 200);
    TVLmRecord recorder(nullptr);
    Place(recorder, host.Handle());
    ASSERT_TRUE(recorder.Open(RecordingWindowsPath(file), recorder.VideoDevices()->IndexOf(kLmTestCameraName)));
    ASSERT_TRUE(recorder.Start(vlmVideoStretch));
    testwin::PumpMessages(1500);
    ASSERT_TRUE(recorder.Close());
  }
  auto host = std::make_unique<testwin::HostWindow>(200, 200);
  TVLmPlay player(nullptr);
  Place(player, host->Handle());
  int ends = 0;
  player.SetOnEnd([&ends](TObject*) { ++ends; });
  ASSERT_TRUE(player.Open(RecordingWindowsPath(file))) << player.ErrorStatus();
  ASSERT_TRUE(player.Start(vlmVideoStretch, 1.0));
  testwin::PumpMessages(300);
  host.reset();
  EXPECT_EQ(player.State().Value(), kStopped);
  testwin::PumpMessages(2000);  // past the clip's end: no event reaches anyone
  EXPECT_EQ(ends, 0);

  testwin::HostWindow next(200, 200);
  Place(player, next.Handle());
  ASSERT_TRUE(player.StartFrom(0.0));
  ASSERT_TRUE(player.Start(vlmVideoStretch, 1.0)) << player.ErrorStatus();
  EXPECT_TRUE(testwin::PumpUntil([&] { return ends == 1; }, 5000));
  EXPECT_EQ(player.State().Value(), kOpen);
}

}  // namespace
