// Devices that go and come, for the preview on Wine's real capture graph with the test camera,
// made to fail by its controller: the loss stops the preview once, with error 204, in whatever
// state it was; a stalled camera leaves it running and Stop still returns; the device list
// refreshed by a device-interface broadcast, with the open device's loss when it is no longer
// listed; a camera reopened by its identity after its index moved.

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

#include "preview/PreviewProbe.h"
#include "support/DeviceLossWatch.h"
#include "support/TestWindow.h"
#include "testcam/LmTestCam.h"

namespace {

using losstest::CameraController;
using losstest::LossWatch;
using losstest::Moment;
using previewtest::DeviceIndex;
using previewtest::PreviewProbe;
using previewtest::RunsOnGuiThreadWithin;
using previewtest::SharedHost;
using losstest::AnnounceDevice;
using losstest::kKsCategoryAudio;
using losstest::kKsCategoryVideo;

using losstest::kOpen;
constexpr uint16_t kRunning = 6;

// Takes the device registration of one camera away, as removing a device takes its interface
// away, and registers the test camera's DLL again when it goes, as the prefix has it.
class CameraRegistrationGone {
public:
  explicit CameraRegistrationGone(REFCLSID Camera) {
    Microsoft::WRL::ComPtr<IFilterMapper2> mapper;
    Result = CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&mapper));
    if (SUCCEEDED(Result)) Result = mapper->UnregisterFilter(&CLSID_VideoInputDeviceCategory, nullptr, Camera);
  }
  ~CameraRegistrationGone() { EXPECT_EQ(RegisterCamerasAgain(), S_OK); }
  CameraRegistrationGone(const CameraRegistrationGone&) = delete;
  CameraRegistrationGone& operator=(const CameraRegistrationGone&) = delete;

  static HRESULT RegisterCamerasAgain() {
    wchar_t clsid[40] = {};
    StringFromGUID2(CLSID_LmTestCamera, clsid, 40);
    wchar_t path[MAX_PATH] = {};
    DWORD size = sizeof(path);
    const std::wstring key = std::wstring(L"CLSID\\") + clsid + L"\\InprocServer32";
    if (RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, path, &size) != ERROR_SUCCESS)
      return E_FAIL;
    const HMODULE dll = LoadLibraryW(path);
    if (!dll) return HRESULT_FROM_WIN32(GetLastError());
    using Register = HRESULT(__stdcall*)();
    const auto reg = reinterpret_cast<Register>(reinterpret_cast<void*>(GetProcAddress(dll, "DllRegisterServer")));
    const HRESULT hr = reg ? reg() : E_FAIL;
    FreeLibrary(dll);
    return hr;
  }

  HRESULT Result = E_FAIL;
};

void Host(PreviewProbe& Preview) {
  Preview.SetParentWindow(SharedHost());
  Preview.SetBounds(0, 0, 320, 240);
  Preview.Handle();
}

class PreviewDeviceLoss : public ::testing::TestWithParam<Moment> {};

TEST_P(PreviewDeviceLoss, StopsOnceWithError204AndTheCameraReopensByItsIdentity) {
  losstest::ReplugAtEnd replug;
  const auto controller = CameraController();
  ASSERT_TRUE(controller);
  PreviewProbe preview;
  Host(preview);
  LossWatch lost;
  lost.Watch(preview);
  int snapshots = 0;
  preview.SetOnSnapshot([&snapshots](TObject*, UINT_PTR, bool&) { ++snapshots; });
  ASSERT_TRUE(preview.Open(DeviceIndex(preview, kLmTestCameraName))) << preview.ErrorStatus();
  ASSERT_TRUE(preview.Start(vlmVideoStretch)) << preview.ErrorStatus();
  testwin::PumpMessages(300);
  if (GetParam() == Moment::Paused) {
    ASSERT_TRUE(preview.Pause());
  }
  if (GetParam() == Moment::Stopped) {
    ASSERT_TRUE(preview.Stop());
  }
  // A snapshot asked for and not yet taken is dropped with the device (the camera, hung first,
  // sends no frame that could answer it before it goes).
  if (GetParam() == Moment::Running) {
    ASSERT_EQ(controller->Stall(TRUE), S_OK);
    testwin::PumpMessages(100);
    ASSERT_TRUE(preview.TakeSnapshot());
  }

  ASSERT_EQ(controller->Unplug(), S_OK);
  ASSERT_TRUE(testwin::PumpUntil([&] { return lost.Count > 0; }, 3000));
  testwin::PumpMessages(500);
  losstest::ExpectLostOnce(lost, preview);
  const HWND video = GetWindow(preview.Handle(), GW_CHILD);
  if (video) {
    EXPECT_FALSE(IsWindowVisible(video));
  }
  const int droppedSnapshots = snapshots;

  const DWORD closing = GetTickCount();
  EXPECT_TRUE(preview.Close());
  EXPECT_LT(GetTickCount() - closing, 2000u);

  // The same camera by its identity: a new device object, which works.
  ASSERT_TRUE(preview.OpenDevice(kLmTestCameraDevicePath)) << preview.ErrorStatus();
  EXPECT_EQ(preview.ErrorStatus(), 0);
  ASSERT_TRUE(preview.Start(vlmVideoStretch)) << preview.ErrorStatus();
  ASSERT_TRUE(preview.TakeSnapshot());
  EXPECT_TRUE(testwin::PumpUntil([&] { return snapshots == droppedSnapshots + 1; }, 3000));
  EXPECT_EQ(droppedSnapshots, 0);
  EXPECT_TRUE(preview.Close());
  EXPECT_EQ(lost.Count, 1);
}

INSTANTIATE_TEST_SUITE_P(Moments, PreviewDeviceLoss, losstest::kMoments, losstest::MomentName);

TEST(PreviewDeviceFailure, ABrokenStreamIsALossAndAStallIsNot) {
  losstest::ReplugAtEnd replug;
  bool ran = false;
  // On a thread of its own, so that a Stop that hangs behind the stalled camera fails the
  // test instead of hanging it.
  ASSERT_TRUE(RunsOnGuiThreadWithin(
      [&] {
        const auto controller = CameraController();
        PreviewProbe preview;
        LossWatch lost;
        lost.Watch(preview);
        ASSERT_TRUE(controller);
        ASSERT_TRUE(preview.Open(DeviceIndex(preview, kLmTestCameraUvcName)));
        ASSERT_TRUE(preview.Start(vlmVideoStretch));
        testwin::PumpMessages(300);
        EXPECT_EQ(controller->Stall(TRUE), S_OK);
        testwin::PumpMessages(1000);
        EXPECT_EQ(preview.State().Value(), kRunning);
        EXPECT_EQ(preview.ErrorStatus(), 0);
        EXPECT_EQ(lost.Count, 0);
        EXPECT_TRUE(preview.Stop());
        EXPECT_EQ(controller->Stall(FALSE), S_OK);

        // The stream fails: a loss as well, once.
        ASSERT_TRUE(preview.Start(vlmVideoStretch));
        testwin::PumpMessages(300);
        EXPECT_EQ(controller->Fail(HRESULT_FROM_WIN32(ERROR_GEN_FAILURE)), S_OK);
        EXPECT_TRUE(testwin::PumpUntil([&] { return lost.Count > 0; }, 3000));
        testwin::PumpMessages(300);
        EXPECT_EQ(lost.Count, 1);
        EXPECT_EQ(preview.ErrorStatus(), LMERR_DEVICE_LOST);
        EXPECT_EQ(preview.State().Value(), kOpen);
        EXPECT_TRUE(preview.Close());
        ran = true;
      },
      20000));
  EXPECT_TRUE(ran);
}

TEST(PreviewDeviceList, ABroadcastRefreshesTheListAndTheOpenDeviceGoneFromItIsLost) {
  PreviewProbe preview;
  Host(preview);
  // Every camera with its own identity, line for line with the names.
  const int first = DeviceIndex(preview, kLmTestCameraName);
  const int uvc = DeviceIndex(preview, kLmTestCameraUvcName);
  ASSERT_GE(first, 0);
  ASSERT_GT(uvc, first);
  ASSERT_EQ(preview.VideoDevicePaths()->Count(), preview.VideoDevices()->Count());
  EXPECT_EQ((*preview.VideoDevicePaths())[first], kLmTestCameraDevicePath);
  EXPECT_EQ((*preview.VideoDevicePaths())[uvc], kLmTestCameraUvcDevicePath);
  EXPECT_EQ((*preview.VideoDevicePaths())[DeviceIndex(preview, kLmTestCameraPreviewName)],
            kLmTestCameraPreviewDevicePath);

  int changes = 0;
  std::vector<std::wstring> listed;
  // What the handlers saw, in order: "lost", and "change" with whether the control still ran.
  std::vector<std::string> order;
  preview.SetOnVideoDevicesChange([&](TObject*) {
    ++changes;
    order.push_back(preview.State() == vlmStateRunning ? "change while running" : "change");
    listed.clear();
    for (int i = 0; i < preview.VideoDevices()->Count(); ++i) listed.push_back((*preview.VideoDevices())[i]);
  });
  LossWatch lost;
  lost.Watch(preview);
  const TNotifyEvent watchLoss = preview.OnDeviceLost();
  preview.SetOnDeviceLost([&](TObject* Sender) {
    order.push_back("lost");
    watchLoss(Sender);
  });
  ASSERT_TRUE(preview.Open(first));
  ASSERT_TRUE(preview.Start(vlmVideoStretch));

  // Another kind of device: nothing to refresh.
  AnnounceDevice(preview.Handle(), DBT_DEVICEARRIVAL, kKsCategoryAudio);
  testwin::PumpMessages(200);
  EXPECT_EQ(changes, 0);
  {
    // The open camera goes, and the system says so.
    CameraRegistrationGone gone(CLSID_LmTestCamera);
    ASSERT_EQ(gone.Result, S_OK);
    AnnounceDevice(preview.Handle(), DBT_DEVICEREMOVECOMPLETE, kKsCategoryVideo);
    ASSERT_TRUE(testwin::PumpUntil([&] { return changes > 0; }, 3000));
    testwin::PumpMessages(200);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(std::count(listed.begin(), listed.end(), std::wstring(kLmTestCameraName)), 0);
    EXPECT_EQ(lost.Count, 1);
    EXPECT_EQ(preview.ErrorStatus(), LMERR_DEVICE_LOST);
    // The loss first: no handler sees the camera gone from the list while the control runs it.
    EXPECT_EQ(order, (std::vector<std::string>{"lost", "change"}));

    // Every index after it moved; the identity finds the camera all the same.
    EXPECT_EQ(DeviceIndex(preview, kLmTestCameraUvcName), uvc - 1);
    EXPECT_TRUE(preview.Close());
    ASSERT_TRUE(preview.OpenDevice(kLmTestCameraUvcDevicePath)) << preview.ErrorStatus();
    CLSID opened{};
    ASSERT_TRUE(preview.m_pDeviceFilter);
    preview.m_pDeviceFilter->GetClassID(&opened);
    EXPECT_TRUE(IsEqualCLSID(opened, CLSID_LmTestCameraUvc));
    EXPECT_TRUE(preview.Close());
    EXPECT_FALSE(preview.OpenDevice(kLmTestCameraDevicePath));
    EXPECT_EQ(preview.ErrorStatus(), LMERR_NO_DEVICE);
  }
  // Back: the system announces its arrival.
  AnnounceDevice(preview.Handle(), DBT_DEVICEARRIVAL, kKsCategoryVideo);
  ASSERT_TRUE(testwin::PumpUntil([&] { return changes > 1; }, 3000));
  EXPECT_EQ(std::count(listed.begin(), listed.end(), std::wstring(kLmTestCameraName)), 1);
  EXPECT_EQ(DeviceIndex(preview, kLmTestCameraUvcName), uvc);
  EXPECT_TRUE(preview.OpenDevice(kLmTestCameraDevicePath)) << preview.ErrorStatus();
  EXPECT_TRUE(preview.Close());
}

TEST(PreviewDeviceList, AWindowDestroyedWithARefreshOnItsWayLeavesTheNextWindowListening) {
  PreviewProbe preview;
  Host(preview);
  int changes = 0;
  preview.SetOnVideoDevicesChange([&](TObject*) { ++changes; });
  // A change announced, and the window gone before the refresh it posted was handled.
  AnnounceDevice(preview.Handle(), DBT_DEVICEARRIVAL, kKsCategoryVideo);
  preview.DestroyHandle();
  testwin::PumpMessages(100);
  EXPECT_EQ(changes, 0);
  // The control's next window hears of the next change.
  AnnounceDevice(preview.Handle(), DBT_DEVICEARRIVAL, kKsCategoryVideo);
  EXPECT_TRUE(testwin::PumpUntil([&] { return changes > 0; }, 3000));
}

}  // namespace
