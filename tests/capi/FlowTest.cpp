// The C interface on Wine's real DirectShow with the test camera: the device list without a
// control, a preview through its states with snapshots, dialogs and events, a lost and returned
// camera, and a recording that ffprobe reads and the player plays to its end.

#include <windows.h>

#include <dshow.h>
#include <gtest/gtest.h>
#include <uuids.h>
#include <wrl/client.h>

#include <atomic>
#include <string>
#include <vector>

#include "capi/CApiRig.h"
#include "lumora10.h"
#include "recording/FfProbe.h"
#include "support/TestWindow.h"
#include "testcam/LmTestCam.h"

namespace capitest {
namespace {

using Microsoft::WRL::ComPtr;

const GUID kCameras = CLSID_VideoInputDeviceCategory;

// What the callbacks saw. Each callback's context is one of these.
struct Seen {
  int Count = 0;
  DWORD Thread = 0;
  Lm10Control Sender = nullptr;
  INT32 State = 0, Status = 0;
  Lm10Result DestroyInside = -1;  // Lm10Destroy of the sender from inside the callback
  BITMAPINFOHEADER Header{};
  bool Keep = false;  // keep the snapshot block
  HGLOBAL Kept = nullptr;
};

void LM10_CALL Noticed(Lm10Control control, void* context) {
  auto& seen = *static_cast<Seen*>(context);
  ++seen.Count;
  seen.Thread = GetCurrentThreadId();
  seen.Sender = control;
  Lm10GetState(control, &seen.State);
  Lm10GetErrorStatus(control, &seen.Status);
  seen.DestroyInside = Lm10Destroy(control);
}

void LM10_CALL Snapshot(Lm10Control control, HGLOBAL image, BOOL* freeMemory, void* context) {
  auto& seen = *static_cast<Seen*>(context);
  Noticed(control, context);
  if (const void* dib = GlobalLock(image)) {
    seen.Header = *static_cast<const BITMAPINFOHEADER*>(dib);
    GlobalUnlock(image);
  }
  if (seen.Keep) {
    *freeMemory = FALSE;
    seen.Kept = image;
  }
}

TEST(CApiDevices, TheTestCameraIsListedWithItsIdentityAndBinds) {
  const CameraLine camera = FindTestCamera();
  ASSERT_GE(camera.Index, 0);
  EXPECT_EQ(camera.Name, kLmTestCameraName);

  // Sizes are asked with no buffer; a buffer one short is refused and left as it was.
  UINT32 nameNeeded = 0, pathNeeded = 0;
  EXPECT_EQ(Lm10GetDevice(&kCameras, camera.Index, nullptr, 0, &nameNeeded, nullptr, 0, &pathNeeded), LM10_OK);
  EXPECT_EQ(nameNeeded, camera.Name.size() + 1);
  EXPECT_EQ(pathNeeded, camera.Path.size() + 1);
  std::wstring shortName(nameNeeded - 1, L'#');
  wchar_t path[512] = {};
  EXPECT_EQ(Lm10GetDevice(&kCameras, camera.Index, shortName.data(), nameNeeded - 1, nullptr, path, 512, nullptr),
            LM10_ERR_BUFFER_TOO_SMALL);
  EXPECT_EQ(shortName, std::wstring(nameNeeded - 1, L'#'));
  EXPECT_EQ(path[0], L'\0') << "neither string is written when one does not fit";
  INT32 count = 0;
  ASSERT_EQ(Lm10GetDeviceCount(&kCameras, &count), LM10_OK);
  EXPECT_EQ(Lm10GetDevice(&kCameras, count, nullptr, 0, nullptr, nullptr, 0, nullptr), LM10_ERR_NO_DEVICE);

  // By position and by identity: the same camera, a filter of the test camera's class.
  for (int byPath = 0; byPath < 2; ++byPath) {
    IUnknown* unknown = nullptr;
    ASSERT_EQ(byPath ? Lm10BindDevicePath(&kCameras, camera.Path.c_str(), &unknown)
                     : Lm10BindDevice(&kCameras, camera.Index, &unknown),
              LM10_OK);
    ComPtr<IUnknown> owned;
    owned.Attach(unknown);
    ComPtr<IBaseFilter> filter;
    ASSERT_EQ(owned.As(&filter), S_OK);
    CLSID clsid{};
    EXPECT_EQ(filter->GetClassID(&clsid), S_OK);
    EXPECT_EQ(clsid, CLSID_LmTestCamera);
  }
  IUnknown* none = reinterpret_cast<IUnknown*>(0x1);
  EXPECT_EQ(Lm10BindDevicePath(&kCameras, L"no such camera", &none), LM10_ERR_NO_DEVICE);
  EXPECT_EQ(none, reinterpret_cast<IUnknown*>(0x1)) << "a refused call leaves the output alone";

  // The filter's pages, shown and closed.
  testwin::HostWindow host(200, 100);
  IUnknown* unknown = nullptr;
  ASSERT_EQ(Lm10BindDevicePath(&kCameras, camera.Path.c_str(), &unknown), LM10_OK);
  ComPtr<IUnknown> owned;
  owned.Attach(unknown);
  ModalCloser closer(host.Handle());
  EXPECT_EQ(Lm10ShowFilterPages(owned.Get(), host.Handle()), LM10_OK);
  EXPECT_EQ(closer.Closed(), 1);
}

TEST(CApiLibrary, VersionTextsAndNames) {
  INT32 major = 0, minor = -1, patch = -1;
  ASSERT_EQ(Lm10GetVersion(&major, &minor, &patch), LM10_OK);
  EXPECT_EQ(major, LM10_VERSION_MAJOR);
  EXPECT_EQ(minor, LM10_VERSION_MINOR);
  EXPECT_EQ(patch, LM10_VERSION_PATCH);
  wchar_t text[128] = {};
  ASSERT_EQ(Lm10GetErrorText(LM10_ERR_FILE_WRITE, text, 128, nullptr), LM10_OK);
  EXPECT_STREQ(text, L"the output file could not be written");
  UINT32 needed = 0;
  EXPECT_EQ(Lm10GetErrorText(LM10_ERR_WRONG_STATE, text, 4, &needed), LM10_ERR_BUFFER_TOO_SMALL);
  EXPECT_EQ(needed, wcslen(L"not allowed in the current state") + 1);
  ASSERT_EQ(Lm10VideoSubTypeName(&MEDIASUBTYPE_YUY2, text, 128, nullptr), LM10_OK);
  EXPECT_STREQ(text, L"YUY2");
}

class CApiPreview : public ::testing::Test {
protected:
  void SetUp() override {
    const CameraLine camera = FindTestCamera();
    ASSERT_GE(camera.Index, 0);
    ASSERT_EQ(Lm10SetBounds(m_Preview.Handle(), 10, 10, 320, 240), LM10_OK);
    ASSERT_EQ(Lm10PreviewOpenDevice(m_Preview.Handle(), kLmTestCameraDevicePath), LM10_OK);
    ASSERT_EQ(m_Preview.State(), LM10_STATE_OPEN);
  }

  testwin::HostWindow m_Host{400, 300};
  Control m_Preview{&Lm10PreviewCreate, m_Host.Handle()};
};

TEST_F(CApiPreview, FormatsStatesAndSnapshots) {
  const Lm10Control preview = m_Preview.Handle();
  INT32 formats = 0;
  ASSERT_EQ(Lm10GetStreamFormats(preview, &formats), LM10_OK);
  ASSERT_GT(formats, 1);
  EXPECT_EQ(Lm10GetStreamFormat(preview, formats), LM10_ERR_OUT_OF_RANGE);
  ASSERT_EQ(Lm10GetStreamFormat(preview, 1), LM10_OK);
  Lm10VideoFormat format{sizeof(format)};
  ASSERT_EQ(Lm10GetVideoFormat(preview, &format), LM10_OK);
  EXPECT_EQ(format.Size, sizeof(format));
  EXPECT_EQ(format.SubType, MEDIASUBTYPE_RGB24);
  EXPECT_EQ(format.BitCount, 24u);
  ASSERT_EQ(Lm10SetFrameRate(preview, 15.0), LM10_OK);
  ASSERT_EQ(Lm10SetStreamFormat(preview, 1), LM10_OK);
  SIZE size{};
  ASSERT_EQ(Lm10GetVideoSize(preview, &size), LM10_OK);
  EXPECT_EQ(size.cx, format.VideoSize.cx);
  EXPECT_EQ(size.cy, format.VideoSize.cy);

  Seen shot;
  shot.Keep = true;
  ASSERT_EQ(Lm10SetOnSnapshot(preview, &Snapshot, &shot), LM10_OK);
  EXPECT_EQ(Lm10TakeSnapshot(preview), LM10_ERR_WRONG_STATE) << "not running yet";
  ASSERT_EQ(Lm10Start(preview, LM10_MODE_SCALE), LM10_OK);
  EXPECT_EQ(m_Preview.State(), LM10_STATE_RUNNING);
  ASSERT_EQ(Lm10TakeSnapshot(preview), LM10_OK);
  ASSERT_TRUE(testwin::PumpUntil([&] { return shot.Count == 1; }, 5000));
  EXPECT_EQ(shot.Sender, preview);
  EXPECT_EQ(shot.Thread, GetCurrentThreadId());
  EXPECT_EQ(shot.DestroyInside, LM10_ERR_WRONG_STATE) << "a handler cannot destroy its control";
  EXPECT_EQ(shot.Header.biWidth, size.cx);
  EXPECT_EQ(shot.Header.biHeight, size.cy);
  EXPECT_EQ(shot.Header.biBitCount, 24);
  ASSERT_NE(shot.Kept, nullptr);
  EXPECT_EQ(Lm10FreeSnapshot(shot.Kept), LM10_OK);
  EXPECT_EQ(Lm10FreeSnapshot(shot.Kept), LM10_ERR_INVALID_ARGUMENT) << "freed once only";

  ASSERT_EQ(Lm10Pause(preview), LM10_OK);
  EXPECT_EQ(m_Preview.State(), LM10_STATE_PAUSED);
  ASSERT_EQ(Lm10Pause(preview), LM10_OK);
  EXPECT_EQ(m_Preview.State(), LM10_STATE_RUNNING);
  EXPECT_EQ(Lm10SetStreamFormat(preview, 0), LM10_ERR_WRONG_STATE) << "not while running";
  ASSERT_EQ(Lm10Stop(preview), LM10_OK);
  EXPECT_EQ(m_Preview.State(), LM10_STATE_STOPPED);
  EXPECT_EQ(Lm10Stop(preview), LM10_ERR_WRONG_STATE);
  EXPECT_EQ(m_Preview.Status(), LM10_ERR_WRONG_STATE);
  ASSERT_EQ(Lm10Close(preview), LM10_OK);
  EXPECT_EQ(m_Preview.State(), LM10_STATE_CLOSED);
  EXPECT_EQ(Lm10Close(preview), LM10_ERR_WRONG_STATE);
}

// The test camera "Lumora Test Camera" offers no focus, zoom or exposure: the device's answer
// comes through as "not supported", a text names none of them, and lines for them are skipped.
TEST_F(CApiPreview, CameraSettingsTheCameraLacksAreNotSupported) {
  const Lm10Control preview = m_Preview.Handle();
  Lm10CameraSettingRange range{sizeof(range)};
  EXPECT_EQ(Lm10GetCameraSettingRange(preview, LM10_SETTING_FOCUS, &range), LM10_ERR_NOT_SUPPORTED);
  INT32 value = 0;
  BOOL automatic = FALSE;
  EXPECT_EQ(Lm10GetCameraSetting(preview, LM10_SETTING_ZOOM, &value, &automatic), LM10_ERR_NOT_SUPPORTED);
  EXPECT_EQ(Lm10SetCameraSetting(preview, LM10_SETTING_ZOOM, 100), LM10_ERR_NOT_SUPPORTED);
  EXPECT_EQ(Lm10SetCameraSettingAuto(preview, LM10_SETTING_EXPOSURE), LM10_ERR_NOT_SUPPORTED);
  EXPECT_EQ(m_Preview.Status(), LM10_ERR_NOT_SUPPORTED);
  UINT32 needed = 0;
  ASSERT_EQ(Lm10GetCameraSettings(preview, nullptr, 0, &needed), LM10_OK);
  std::wstring text(needed, L'#');
  ASSERT_EQ(Lm10GetCameraSettings(preview, text.data(), needed, nullptr), LM10_OK);
  EXPECT_EQ(text.find(L"Focus"), std::wstring::npos);
  EXPECT_EQ(Lm10SetCameraSettings(preview, L"Focus=120\r\nZoom=auto\r\n"), LM10_OK);
  EXPECT_EQ(Lm10SetCameraSettings(preview, L"Focus=120\r\nSharpen=3\r\n"), LM10_ERR_OUT_OF_RANGE);
  ASSERT_EQ(Lm10Close(preview), LM10_OK);
  EXPECT_EQ(Lm10GetCameraSettingRange(preview, LM10_SETTING_FOCUS, &range), LM10_ERR_WRONG_STATE);
}

// What a frame callback saw: how many frames, on which thread, and the last frame's fields.
struct Frames {
  std::atomic<int> Count{0};  // read by the test while the streaming thread counts
  DWORD Thread = 0;
  bool NumbersRise = true;
  Lm10Frame Last{};
  Lm10Result DestroyInside = -1;
};

void LM10_CALL FrameSeen(Lm10Control control, const Lm10Frame* frame, void* context) {
  auto& frames = *static_cast<Frames*>(context);
  if (frames.Count > 0 && frame->Number <= frames.Last.Number) frames.NumbersRise = false;
  frames.Last = *frame;
  frames.Thread = GetCurrentThreadId();
  if (frames.Count++ == 0) frames.DestroyInside = Lm10Destroy(control);
}

// Latest delivery comes on the control's thread as every event; direct delivery on DirectShow's
// streaming thread, every frame, in the format asked for.
TEST_F(CApiPreview, FramesComeLatestOnTheControlsThreadAndDirectOnTheStreamingThread) {
  const Lm10Control preview = m_Preview.Handle();
  Frames latest;
  ASSERT_EQ(Lm10SetOnFrame(preview, &FrameSeen, &latest), LM10_OK);
  ASSERT_EQ(Lm10Start(preview, LM10_MODE_STRETCH), LM10_OK);
  ASSERT_TRUE(testwin::PumpUntil([&] { return latest.Count >= 5; }, 5000));
  ASSERT_EQ(Lm10Stop(preview), LM10_OK);
  EXPECT_EQ(latest.Thread, GetCurrentThreadId());
  EXPECT_EQ(latest.DestroyInside, LM10_ERR_WRONG_STATE);
  EXPECT_TRUE(latest.NumbersRise);
  EXPECT_EQ(latest.Last.Size, sizeof(Lm10Frame));
  EXPECT_EQ(latest.Last.SubType, MEDIASUBTYPE_RGB24);
  EXPECT_EQ(latest.Last.Width, 160);
  EXPECT_EQ(latest.Last.Stride, 480);

  Frames direct;
  ASSERT_EQ(Lm10SetFrameDelivery(preview, LM10_FRAME_DIRECT), LM10_OK);
  ASSERT_EQ(Lm10SetFrameFormat(preview, LM10_FRAME_RGB32), LM10_OK);
  ASSERT_EQ(Lm10SetOnFrame(preview, &FrameSeen, &direct), LM10_OK);
  ASSERT_EQ(Lm10Start(preview, LM10_MODE_STRETCH), LM10_OK);
  testwin::PumpUntil([&] { return direct.Count >= 5; }, 5000);
  ASSERT_EQ(Lm10Close(preview), LM10_OK);  // no direct call runs after this returns
  const int afterClose = direct.Count;
  testwin::PumpMessages(200);
  EXPECT_EQ(direct.Count, afterClose);
  ASSERT_GE(direct.Count, 5);
  EXPECT_NE(direct.Thread, GetCurrentThreadId());
  EXPECT_EQ(direct.DestroyInside, LM10_ERR_INVALID_ARGUMENT) << "not the control's thread";
  EXPECT_TRUE(direct.NumbersRise);
  EXPECT_EQ(direct.Last.SubType, MEDIASUBTYPE_RGB32);
  EXPECT_EQ(direct.Last.Stride, 640);
  EXPECT_EQ(direct.Last.Bytes, 640u * 120u);
}

TEST_F(CApiPreview, DialogsAndTheVersionBoxAreShownAndClosed) {
  const Lm10Control preview = m_Preview.Handle();
  {
    // From inside each dialog's modal loop, the application tries to destroy the control whose
    // call shows the dialog: refused, since that call goes on afterwards.
    std::vector<Lm10Result> destroyed;
    ModalCloser closer(m_Host.Handle(), [&] { destroyed.push_back(Lm10Destroy(preview)); });
    EXPECT_EQ(Lm10ShowFilterDialog(preview), LM10_OK);
    EXPECT_EQ(Lm10ShowCapturePinDialog(preview), LM10_OK);
    EXPECT_EQ(Lm10About(preview), LM10_OK);
    EXPECT_EQ(closer.Closed(), 3);
    EXPECT_EQ(destroyed, std::vector<Lm10Result>(3, LM10_ERR_WRONG_STATE));
  }
  EXPECT_EQ(m_Preview.State(), LM10_STATE_OPEN);
  ASSERT_EQ(Lm10Start(preview, LM10_MODE_STRETCH), LM10_OK);
}

TEST_F(CApiPreview, ALostCameraIsReportedAndItsReturnRefreshesTheList) {
  ComPtr<ILmTestCameraController> controller;
  ASSERT_EQ(CoCreateInstance(CLSID_LmTestCameraController, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&controller)),
            S_OK);
  const Lm10Control preview = m_Preview.Handle();
  Seen lost, changed;
  ASSERT_EQ(Lm10SetOnDeviceLost(preview, &Noticed, &lost), LM10_OK);
  ASSERT_EQ(Lm10SetOnVideoDevicesChange(preview, &Noticed, &changed), LM10_OK);
  ASSERT_EQ(Lm10Start(preview, LM10_MODE_STRETCH), LM10_OK);
  testwin::PumpMessages(300);

  ASSERT_EQ(controller->Unplug(), S_OK);
  const bool reported = testwin::PumpUntil([&] { return lost.Count > 0; }, 3000);
  controller->Replug();
  ASSERT_TRUE(reported);
  EXPECT_EQ(lost.Count, 1);
  EXPECT_EQ(lost.State, LM10_STATE_OPEN);
  EXPECT_EQ(lost.Status, LM10_ERR_DEVICE_LOST);
  EXPECT_EQ(lost.Thread, GetCurrentThreadId());
  ASSERT_TRUE(testwin::PumpUntil([&] { return changed.Count > 0; }, 3000));
  INT32 lines = 0;
  EXPECT_EQ(Lm10GetVideoDeviceCount(preview, &lines), LM10_OK);
  EXPECT_GE(lines, 1);

  // The callbacks taken away: a second loss comes to nobody.
  ASSERT_EQ(Lm10SetOnDeviceLost(preview, nullptr, nullptr), LM10_OK);
  ASSERT_EQ(Lm10Close(preview), LM10_OK);
  ASSERT_EQ(Lm10PreviewOpenDevice(preview, kLmTestCameraDevicePath), LM10_OK);
  ASSERT_EQ(Lm10Start(preview, LM10_MODE_STRETCH), LM10_OK);
  ASSERT_EQ(controller->Unplug(), S_OK);
  testwin::PumpUntil([&] { return m_Preview.Status() == LM10_ERR_DEVICE_LOST; }, 3000);
  controller->Replug();
  EXPECT_EQ(m_Preview.Status(), LM10_ERR_DEVICE_LOST);
  EXPECT_EQ(lost.Count, 1);
}

TEST(CApiRecordAndPlay, TwoSecondsRecordedAreReadByFfprobeAndPlayedToTheEnd) {
  testwin::HostWindow host(700, 300);
  const std::wstring file = rectest::RecordingWindowsPath("capi-recording.avi");
  {
    Control recorder(&Lm10RecorderCreate, host.Handle());
    ASSERT_EQ(Lm10RecorderSetFileFormat(recorder.Handle(), LM10_FILE_AVI), LM10_OK);
    ASSERT_EQ(Lm10RecorderOpenDevice(recorder.Handle(), file.c_str(), kLmTestCameraDevicePath), LM10_OK);
    Lm10VideoFormat format{sizeof(format)};
    ASSERT_EQ(Lm10GetVideoFormat(recorder.Handle(), &format), LM10_OK);
    EXPECT_EQ(format.VideoSize.cx, 160);
    ASSERT_EQ(Lm10Start(recorder.Handle(), LM10_MODE_STRETCH), LM10_OK);
    testwin::PumpMessages(2000);
    ASSERT_EQ(Lm10Stop(recorder.Handle()), LM10_OK);
    ASSERT_EQ(Lm10Close(recorder.Handle()), LM10_OK);
  }
  const rectest::VideoProbe probe = rectest::ProbeVideo(rectest::RecordingUnixPath("capi-recording.avi"));
  ASSERT_TRUE(probe.Read) << probe.Output;
  EXPECT_EQ(probe.Width, 160);
  EXPECT_EQ(probe.Height, 120);
  EXPECT_GT(probe.Frames, 20);

  Control player(&Lm10PlayerCreate, host.Handle());
  ASSERT_EQ(Lm10SetBounds(player.Handle(), 340, 10, 320, 240), LM10_OK);
  EXPECT_EQ(Lm10PlayerOpen(player.Handle(), L"C:\\no such file.avi"), LM10_ERR_PLAYBACK_GRAPH);
  ASSERT_EQ(Lm10PlayerOpen(player.Handle(), file.c_str()), LM10_OK);
  double duration = 0, rate = 0;
  ASSERT_EQ(Lm10PlayerGetDuration(player.Handle(), &duration), LM10_OK);
  ASSERT_EQ(Lm10PlayerGetFrameRate(player.Handle(), &rate), LM10_OK);
  EXPECT_NEAR(duration, probe.Duration, 0.2);
  EXPECT_GT(rate, 0);
  EXPECT_EQ(Lm10PlayerStartFrom(player.Handle(), -1.0), LM10_ERR_OUT_OF_RANGE);
  EXPECT_EQ(Lm10PlayerStart(player.Handle(), LM10_MODE_SCALE, 0.0), LM10_ERR_OUT_OF_RANGE);
  ASSERT_EQ(Lm10PlayerStartFromTime(player.Handle(), 5000000), LM10_OK);  // from 0.5 s

  Seen ended, shot;
  ASSERT_EQ(Lm10SetOnEnd(player.Handle(), &Noticed, &ended), LM10_OK);
  ASSERT_EQ(Lm10SetOnSnapshot(player.Handle(), &Snapshot, &shot), LM10_OK);
  ASSERT_EQ(Lm10PlayerStart(player.Handle(), LM10_MODE_SCALE, 1.0), LM10_OK);
  ASSERT_EQ(Lm10TakeSnapshot(player.Handle()), LM10_OK);
  ASSERT_TRUE(testwin::PumpUntil([&] { return ended.Count > 0; }, static_cast<DWORD>(duration * 1000) + 5000));
  EXPECT_EQ(ended.Count, 1);
  EXPECT_EQ(ended.State, LM10_STATE_OPEN);
  EXPECT_EQ(ended.DestroyInside, LM10_ERR_WRONG_STATE);
  EXPECT_EQ(shot.Count, 1);
  EXPECT_EQ(shot.Header.biWidth, 160);
  EXPECT_EQ(player.State(), LM10_STATE_OPEN);
}

}  // namespace
}  // namespace capitest
