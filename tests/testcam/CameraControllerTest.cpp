// The controller of the test cameras (LmTestCam.h) in Wine's real capture graph: an unplugged,
// stalled or failed camera stops its frames, says what a device says through the graph's event
// sink, refuses or resumes streaming as documented, and the controller reaches the cameras
// alive when it is called, while other threads create and destroy cameras.

#include <gtest/gtest.h>

#include <atomic>
#include <new>
#include <ostream>
#include <stdexcept>
#include <thread>
#include <vector>

#include "testcam/CameraRig.h"
#include "testcam/ComBoundary.h"
#include "testcam/LmTestCam.h"

namespace camtest {
namespace {

const HRESULT kDeviceGone = HRESULT_FROM_WIN32(ERROR_DEVICE_NOT_CONNECTED);

ComPtr<ILmTestCameraController> Controller() {
  ComPtr<ILmTestCameraController> controller;
  CoCreateInstance(CLSID_LmTestCameraController, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&controller));
  return controller;
}

struct Event {
  long Code;
  LONG_PTR Param1, Param2;
};
void PrintTo(const Event& E, std::ostream* Out) {
  *Out << "{code 0x" << std::hex << E.Code << ", " << E.Param1 << ", " << E.Param2 << std::dec << "}";
}

// The events the graph has queued, waiting up to TimeoutMs for the first.
std::vector<Event> TakeEvents(IMediaEventEx* Events, DWORD TimeoutMs) {
  std::vector<Event> taken;
  long code = 0;
  LONG_PTR param1 = 0, param2 = 0;
  while (Events->GetEvent(&code, &param1, &param2, taken.empty() ? TimeoutMs : 0) == S_OK) {
    taken.push_back({code, param1, param2});
    Events->FreeEventParams(code, param1, param2);
  }
  return taken;
}

LONG_PTR Identity(IBaseFilter* Filter) {
  ComPtr<IUnknown> unknown;
  Filter->QueryInterface(IID_PPV_ARGS(&unknown));
  return reinterpret_cast<LONG_PTR>(unknown.Get());
}

// A rig streaming the first camera's frames into its collector.
::testing::AssertionResult Streams(CaptureRig& Rig) {
  if (!Rig.Ready()) return ::testing::AssertionFailure() << "the rig was not built";
  if (FAILED(Rig.Control->Run())) return ::testing::AssertionFailure() << "Run failed";
  if (!Rig.Collector->WaitForCount(Rig.Collector->Count() + 3, 5000))
    return ::testing::AssertionFailure() << "no frames arrived";
  // What the graph said while starting is not the camera's doing.
  TakeEvents(Rig.Events.Get(), 0);
  return ::testing::AssertionSuccess();
}

// Whether no frame arrives for Milliseconds (after one in flight, if any, has landed).
bool FramesStayAway(CaptureRig& Rig, DWORD Milliseconds) {
  Sleep(150);
  const int before = Rig.Collector->Count();
  Sleep(Milliseconds);
  return Rig.Collector->Count() == before;
}

class TestCamController : public ::testing::Test {
protected:
  void SetUp() override { ASSERT_TRUE(m_Controller = Controller()); }
  // Whatever a test left unplugged or stalled is plugged back.
  void TearDown() override {
    if (m_Controller) m_Controller->Replug();
  }
  ComPtr<ILmTestCameraController> m_Controller;
};

TEST_F(TestCamController, UnplugStopsTheFramesSaysDeviceLostAndRefusesToRunUntilReplugged) {
  CaptureRig rig(kLmTestCameraName);
  ASSERT_EQ(rig.RenderCapture(), S_OK);
  ASSERT_TRUE(Streams(rig));

  EXPECT_EQ(m_Controller->Unplug(), S_OK);
  EXPECT_TRUE(FramesStayAway(rig, 500));
  const std::vector<Event> lost = TakeEvents(rig.Events.Get(), 1000);
  ASSERT_EQ(lost.size(), 1u) << ::testing::PrintToString(lost);
  EXPECT_EQ(lost[0].Code, EC_DEVICE_LOST);
  EXPECT_EQ(lost[0].Param1, Identity(rig.Camera.Get()));
  EXPECT_EQ(lost[0].Param2, 0);

  // Stop works; streaming again does not, at the filter or through the graph.
  ASSERT_EQ(rig.Control->Stop(), S_OK);
  EXPECT_EQ(rig.Camera->Pause(), kDeviceGone);
  EXPECT_EQ(rig.Camera->Run(0), kDeviceGone);
  FILTER_STATE state = State_Running;
  EXPECT_EQ(rig.Camera->GetState(0, &state), S_OK);
  EXPECT_EQ(state, State_Stopped);

  EXPECT_EQ(m_Controller->Replug(), S_OK);
  const std::vector<Event> back = TakeEvents(rig.Events.Get(), 1000);
  ASSERT_EQ(back.size(), 1u) << ::testing::PrintToString(back);
  EXPECT_EQ(back[0].Code, EC_DEVICE_LOST);
  EXPECT_EQ(back[0].Param1, Identity(rig.Camera.Get()));
  EXPECT_EQ(back[0].Param2, 1);
  EXPECT_TRUE(Streams(rig));
  rig.Control->Stop();
}

TEST_F(TestCamController, FailSaysErrorAbortWithItsCodeAndTheNextStreamDeliversAgain) {
  EXPECT_EQ(m_Controller->Fail(S_OK), E_INVALIDARG);
  CaptureRig rig(kLmTestCameraUvcName);
  ASSERT_EQ(rig.RenderCapture(), S_OK);
  ASSERT_TRUE(Streams(rig));

  const HRESULT error = HRESULT_FROM_WIN32(ERROR_GEN_FAILURE);
  EXPECT_EQ(m_Controller->Fail(error), S_OK);
  EXPECT_TRUE(FramesStayAway(rig, 500));
  const std::vector<Event> events = TakeEvents(rig.Events.Get(), 1000);
  ASSERT_EQ(events.size(), 1u) << ::testing::PrintToString(events);
  EXPECT_EQ(events[0].Code, EC_ERRORABORT);
  EXPECT_EQ(events[0].Param1, error);

  ASSERT_EQ(rig.Control->Stop(), S_OK);
  EXPECT_TRUE(Streams(rig));
  rig.Control->Stop();
}

TEST_F(TestCamController, StallStopsTheFramesSilentlyAndStopStillReturns) {
  CaptureRig rig(kLmTestCameraPreviewName);
  ASSERT_EQ(rig.RenderPreview(), S_OK);
  ASSERT_EQ(rig.RenderCapture(), S_OK);
  ASSERT_TRUE(Streams(rig));

  EXPECT_EQ(m_Controller->Stall(TRUE), S_OK);
  EXPECT_TRUE(FramesStayAway(rig, 500));
  EXPECT_TRUE(TakeEvents(rig.Events.Get(), 0).empty());
  EXPECT_EQ(m_Controller->Stall(FALSE), S_OK);
  EXPECT_TRUE(rig.Collector->WaitForCount(rig.Collector->Count() + 3, 3000));

  EXPECT_EQ(m_Controller->Stall(TRUE), S_OK);
  EXPECT_TRUE(FinishesWithin([&] { EXPECT_EQ(rig.Control->Stop(), S_OK); }, 5000));
  EXPECT_TRUE(TakeEvents(rig.Events.Get(), 0).empty());
}

TEST_F(TestCamController, ActsOnTheCamerasAliveWhenCalledOnly) {
  // None alive: nothing to act on.
  EXPECT_EQ(m_Controller->Unplug(), S_FALSE);
  EXPECT_EQ(m_Controller->Stall(TRUE), S_FALSE);
  EXPECT_EQ(m_Controller->Replug(), S_FALSE);

  // A camera without a graph is unplugged all the same; one made afterwards works.
  const ComPtr<IBaseFilter> before = BindCamera(kLmTestCameraName);
  ASSERT_TRUE(before);
  EXPECT_EQ(m_Controller->Unplug(), S_OK);
  EXPECT_EQ(before->Run(0), kDeviceGone);
  CaptureRig rig(kLmTestCameraName);
  ASSERT_EQ(rig.RenderCapture(), S_OK);
  EXPECT_TRUE(Streams(rig));
  rig.Control->Stop();
}

TEST_F(TestCamController, CamerasComingAndGoingOnOtherThreadsMeanwhileAreSafe) {
  std::atomic<bool> done{false};
  std::atomic<int> made{0};
  std::atomic<int> calls{0};
  const bool finished = FinishesWithin(
      [&] {
        std::thread churn([&] {
          CoInitializeEx(nullptr, COINIT_MULTITHREADED);
          while (!done)
            if (BindCamera(made % 2 ? kLmTestCameraUvcName : kLmTestCameraName)) ++made;
          CoUninitialize();
        });
        const ComPtr<ILmTestCameraController> controller = Controller();
        // While cameras come and go: at least 30 of them, within ten seconds.
        const DWORD start = GetTickCount();
        for (int i = 0; controller && made < 30 && GetTickCount() - start < 10000; ++i) {
          if (SUCCEEDED(i % 2 ? controller->Stall(FALSE) : controller->Unplug())) ++calls;
          if (i % 3 == 0) controller->Replug();
        }
        done = true;
        churn.join();
      },
      30000);
  ASSERT_TRUE(finished);
  EXPECT_GE(made, 30);
  EXPECT_GT(calls, 30);
}

// The boundary every COM method of the test servers runs its body through.
TEST(ComBoundary, TurnsExceptionsIntoResultsAndPassesResultsThrough) {
  EXPECT_EQ(lmcam::ComBoundary([]() -> HRESULT { return VFW_E_NOT_STOPPED; }), VFW_E_NOT_STOPPED);
  EXPECT_EQ(lmcam::ComBoundary([]() -> HRESULT { throw std::bad_alloc(); }), E_OUTOFMEMORY);
  EXPECT_EQ(lmcam::ComBoundary([]() -> HRESULT { std::vector<char>(1ull << 62); return S_OK; }), E_OUTOFMEMORY);
  EXPECT_EQ(lmcam::ComBoundary([]() -> HRESULT { throw std::runtime_error("x"); }), E_FAIL);
  EXPECT_EQ(lmcam::ComBoundary([]() -> HRESULT { throw 7; }), E_FAIL);
  EXPECT_EQ(lmcam::CallAtBoundary<LRESULT>([]() -> LRESULT { throw std::bad_alloc(); }, -3, -100), -3);
}

}  // namespace
}  // namespace camtest
