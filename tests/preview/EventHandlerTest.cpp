// What an event handler of the preview may do, on Wine's real capture graph with the test
// cameras: every event (the device lost, the device list changed, a snapshot) with a handler
// that closes the control, reopens the same camera, opens another, restarts or stops it. The
// handler runs once, after the library has finished with the message that caused it, and the
// control goes on working. And an event that comes while a property frame is up waits until
// the dialog call has returned.

#include <windows.h>

#include <dbt.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "preview/PreviewProbe.h"
#include "support/DeviceLossWatch.h"
#include "support/TestWindow.h"
#include "testcam/LmTestCam.h"

namespace {

using previewtest::DeviceIndex;
using previewtest::PreviewProbe;
using previewtest::SharedHost;

enum class Trigger { DeviceLost, DevicesChange, Snapshot };
enum class Action { Close, ReopenSame, OpenOther, Restart, Stop };
constexpr Action kActions[] = {Action::Close, Action::ReopenSame, Action::OpenOther, Action::Restart, Action::Stop};

const char* ActionName(Action What) {
  const char* names[] = {"Close", "ReopenSame", "OpenOther", "Restart", "Stop"};
  return names[static_cast<int>(What)];
}

// What the handler does, and whether each call it makes should succeed. Stopping a control
// that the loss left Open is refused (11); restarting a lost camera runs the graph as far as
// the platform lets it (nothing comes from the camera until it is opened anew).
bool Act(PreviewProbe& Preview, Action What, Trigger Why) {
  const bool lost = Why == Trigger::DeviceLost;
  switch (What) {
    case Action::Close:
      return Preview.Close();
    case Action::ReopenSame:
      return Preview.Close() && Preview.OpenDevice(kLmTestCameraDevicePath) && Preview.Start(vlmVideoStretch);
    case Action::OpenOther:
      return Preview.Close() && Preview.OpenDevice(kLmTestCameraUvcDevicePath) && Preview.Start(vlmVideoStretch);
    case Action::Restart:
      if (lost) return Preview.Start(vlmVideoStretch) == (Preview.ErrorStatus() == LMERR_NONE);
      return Preview.Stop() && Preview.Start(vlmVideoScale);
    case Action::Stop:
      if (lost) return !Preview.Stop() && Preview.ErrorStatus() == LMERR_WRONG_STATE;
      return Preview.Stop();
  }
  return false;
}

// The state an action leaves.
TVLmVideoStates StateAfter(Action What, Trigger Why) {
  switch (What) {
    case Action::Close:
      return vlmStateClosed;
    case Action::ReopenSame:
    case Action::OpenOther:
      return vlmStateRunning;
    case Action::Restart:
      return vlmStateRunning;
    case Action::Stop:
      return Why == Trigger::DeviceLost ? vlmStateOpen : vlmStateStopped;
  }
  return vlmStateClosed;
}

// Makes the event come.
void Cause(PreviewProbe& Preview, Trigger Why) {
  switch (Why) {
    case Trigger::DeviceLost:
      ASSERT_EQ(losstest::CameraController()->Unplug(), S_OK);
      break;
    case Trigger::DevicesChange:
      losstest::AnnounceDevice(Preview.Handle(), DBT_DEVICEARRIVAL, losstest::kKsCategoryVideo);
      break;
    case Trigger::Snapshot:
      ASSERT_TRUE(Preview.TakeSnapshot());
      break;
  }
}

void SetHandler(PreviewProbe& Preview, Trigger Why, std::function<void()> Handler) {
  switch (Why) {
    case Trigger::DeviceLost:
      Preview.SetOnDeviceLost([Handler](TObject*) { Handler(); });
      break;
    case Trigger::DevicesChange:
      Preview.SetOnVideoDevicesChange([Handler](TObject*) { Handler(); });
      break;
    case Trigger::Snapshot:
      Preview.SetOnSnapshot([Handler](TObject*, UINT_PTR, bool&) { Handler(); });
      break;
  }
}

class PreviewEventHandler : public ::testing::TestWithParam<Trigger> {};

TEST_P(PreviewEventHandler, MayCloseReopenRestartOrStopTheControl) {
  losstest::ReplugAtEnd replug;
  for (const Action what : kActions) {
    SCOPED_TRACE(ActionName(what));
    PreviewProbe preview;
    preview.SetParentWindow(SharedHost());
    preview.SetBounds(0, 0, 320, 240);
    int calls = 0;
    bool acted = false;
    SetHandler(preview, GetParam(), [&] {
      ++calls;
      acted = Act(preview, what, GetParam());
    });
    ASSERT_TRUE(preview.OpenDevice(kLmTestCameraDevicePath)) << preview.ErrorStatus();
    ASSERT_TRUE(preview.Start(vlmVideoStretch));
    testwin::PumpMessages(200);

    Cause(preview, GetParam());
    ASSERT_TRUE(testwin::PumpUntil([&] { return calls > 0; }, 5000));
    testwin::PumpMessages(500);  // whatever else the graph had queued
    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(acted) << "error " << preview.ErrorStatus();
    const bool lostRestart = GetParam() == Trigger::DeviceLost && what == Action::Restart;
    if (!lostRestart || preview.ErrorStatus() == LMERR_NONE) {
      EXPECT_EQ(preview.State(), StateAfter(what, GetParam()));
    } else {
      EXPECT_EQ(preview.State(), vlmStateOpen);
    }

    // A control that runs again delivers a snapshot from its new graph.
    if (preview.State() == vlmStateRunning && !lostRestart) {
      bool delivered = false;
      preview.SetOnSnapshot([&](TObject*, UINT_PTR, bool&) { delivered = true; });
      ASSERT_TRUE(preview.TakeSnapshot());
      EXPECT_TRUE(testwin::PumpUntil([&] { return delivered; }, 3000));
    }
    losstest::CameraController()->Replug();
    if (preview.State() != vlmStateClosed) {
      EXPECT_TRUE(preview.Close());
    }
  }
}

const char* TriggerName(const ::testing::TestParamInfo<Trigger>& Info) {
  const char* names[] = {"DeviceLost", "DevicesChange", "Snapshot"};
  return names[static_cast<int>(Info.param)];
}

INSTANTIATE_TEST_SUITE_P(Events, PreviewEventHandler,
                         ::testing::Values(Trigger::DeviceLost, Trigger::DevicesChange, Trigger::Snapshot),
                         [](const auto& Info) { return std::string(TriggerName(Info)); });

TEST(PreviewEventsDuringDialogs, WaitUntilThePinDialogHasReturnedAndMayCloseTheControl) {
  losstest::ReplugAtEnd replug;
  PreviewProbe preview;
  preview.SetParentWindow(SharedHost());
  preview.SetBounds(0, 0, 320, 240);
  int lost = 0, changes = 0;
  preview.SetOnDeviceLost([&](TObject*) {
    ++lost;
    EXPECT_TRUE(preview.Close());
  });
  preview.SetOnVideoDevicesChange([&](TObject*) { ++changes; });
  ASSERT_TRUE(preview.OpenDevice(kLmTestCameraDevicePath));
  ASSERT_TRUE(preview.Start(vlmVideoStretch));
  ASSERT_TRUE(preview.Stop());  // the dialog takes the stopped graph apart and builds it again

  int lostInside = -1, changesInside = -1;
  previewtest::FrameVisitor inside([&](HWND) {
    // The camera goes and the system says so while the frame's modal loop runs; its loop
    // dispatches the window's messages meanwhile.
    losstest::CameraController()->Unplug();
    losstest::AnnounceDevice(preview.Handle(), DBT_DEVICEREMOVECOMPLETE, losstest::kKsCategoryVideo);
    testwin::PumpMessages(700);
    lostInside = lost;
    changesInside = changes;
  });
  EXPECT_TRUE(preview.ShowCapturePinDialog()) << preview.ErrorStatus();
  EXPECT_EQ(inside.Frames, 1);
  EXPECT_EQ(lostInside, 0) << "no handler runs inside the dialog call";
  EXPECT_EQ(changesInside, 0);
  EXPECT_EQ(lost, 0) << "nor while it returns";

  ASSERT_TRUE(testwin::PumpUntil([&] { return lost > 0 && changes > 0; }, 5000));
  testwin::PumpMessages(300);
  EXPECT_EQ(lost, 1);
  EXPECT_EQ(changes, 1);
  // Closed by the handler, with nothing of the dialog's format written into it afterwards.
  EXPECT_EQ(preview.State(), vlmStateClosed);
  EXPECT_EQ(preview.VideoSize().cx, 0);
  EXPECT_FALSE(preview.m_pMediaControl);
}

}  // namespace
