// The preview's stream formats and property-page dialogs on Wine's real DirectShow with the
// test camera: the format list against the camera's capabilities, selecting a size and a
// frame rate and seeing them in the delivered frames, and the camera's own pages shown in the
// OLE property frame (closed again by a timer on the same thread).

#include <gtest/gtest.h>

#include <windows.h>

#include <dshow.h>
#include <olectl.h>
#include <uuids.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "preview/PreviewProbe.h"
#include "testcam/CameraRig.h"
#include "testcam/LmTestCam.h"

namespace previewtest {
namespace {

using camtest::As;
using camtest::PinOf;
using Microsoft::WRL::ComPtr;

constexpr DWORD kEventTimeoutMs = 10000;
constexpr int kFormatList = 1001;  // the camera's format page: list of formats, rate box
constexpr int kFrameRate = 1002;

class FormatsProbe : public PreviewProbe {
public:
  using PreviewProbe::PreviewProbe;
  using TVLmPreview::m_oldFrameRate;
  using TVLmPreview::m_pDeviceFilter;
  using TVLmPreview::m_pVSI;
  using TVLmPreview::m_pVSI_Count;
  using TVLmPreview::m_SelectedIndex;
};

std::unique_ptr<FormatsProbe> OpenedCamera() {
  auto preview = std::make_unique<FormatsProbe>();
  preview->SetParentWindow(SharedHost());
  preview->SetBounds(10, 10, 300, 250);
  preview->Handle();
  const int index = DeviceIndex(*preview, kLmTestCameraName);
  EXPECT_GE(index, 0) << "the test camera is not registered";
  if (index < 0 || !preview->Open(index)) {
    ADD_FAILURE() << "the camera does not open: error " << preview->ErrorStatus();
    return nullptr;
  }
  return preview;
}

// The connection state of the camera's capture pin.
bool CapturePinConnected(IBaseFilter* Camera) {
  ComPtr<IPin> pin = PinOf(Camera, L"Capture");
  ComPtr<IPin> peer;
  return pin && pin->ConnectedTo(peer.GetAddressOf()) == S_OK && peer;
}

// One snapshot: its header, the camera's frame counter, and when the event came.
struct Shot {
  BITMAPINFOHEADER Header{};
  int Counter = -1;
  DWORD Tick = 0;
};

// Takes a snapshot and waits for its event; false (with a failure) when none comes.
bool Snapshot(FormatsProbe& Preview, Shot& Out) {
  bool done = false;
  Preview.SetOnSnapshot([&](TObject*, UINT_PTR Image, bool&) {
    Out.Tick = GetTickCount();
    const auto* bytes = static_cast<const BYTE*>(GlobalLock(reinterpret_cast<HGLOBAL>(Image)));
    if (bytes) {
      std::memcpy(&Out.Header, bytes, sizeof(Out.Header));
      if (GlobalSize(reinterpret_cast<HGLOBAL>(Image)) >= sizeof(BITMAPINFOHEADER) + Out.Header.biSizeImage)
        Out.Counter = camtest::DecodeCounter(bytes + sizeof(BITMAPINFOHEADER), Out.Header.biWidth, Out.Header.biHeight);
      GlobalUnlock(reinterpret_cast<HGLOBAL>(Image));
    }
    done = true;
  });
  if (!Preview.TakeSnapshot()) {
    ADD_FAILURE() << "TakeSnapshot: error " << Preview.ErrorStatus();
    return false;
  }
  const bool delivered = testwin::PumpUntil([&] { return done; }, kEventTimeoutMs);
  Preview.SetOnSnapshot(nullptr);
  EXPECT_TRUE(delivered) << "no snapshot event";
  return delivered;
}

// The camera's page inside a frame: the child window of the page's class.
HWND PageWindow(HWND Frame) {
  HWND found = nullptr;
  EnumChildWindows(
      Frame,
      [](HWND Window, LPARAM Found) -> BOOL {
        wchar_t name[64] = {};
        GetClassNameW(Window, name, 64);
        if (std::wstring(name) == L"LmTestCamPropertyPage") {
          *reinterpret_cast<HWND*>(Found) = Window;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

std::wstring TextsOf(HWND Window) {
  std::wstring texts;
  EnumChildWindows(
      Window,
      [](HWND Child, LPARAM Texts) -> BOOL {
        wchar_t text[256] = {};
        GetWindowTextW(Child, text, 256);
        *reinterpret_cast<std::wstring*>(Texts) += std::wstring(text) + L"\n";
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&texts));
  return texts;
}

TEST(FormatsOnCamera, TheListIsTheCamerasVideoInfoCapabilities) {
  auto preview = OpenedCamera();
  ASSERT_TRUE(preview);
  EXPECT_EQ(preview->GetStreamFormats(), 5);
  EXPECT_EQ(preview->ErrorStatus(), 0);
  // Six capabilities; the last (VideoInfo2) is skipped and leaves its slot empty.
  EXPECT_EQ(preview->m_pVSI_Count[0], 6);
  ASSERT_EQ(preview->m_pVSI.size(), 6u);
  const SIZE sizes[] = {{160, 120}, {320, 240}, {640, 480}, {1280, 720}, {162, 120}};
  for (int i = 0; i < 5; ++i) {
    SCOPED_TRACE(i);
    const TLM_VIDEO_STREAM_INFORMATION& entry = preview->m_pVSI[static_cast<size_t>(i)];
    EXPECT_EQ(entry.Index, i);
    EXPECT_EQ(entry.VideoSize.cx, sizes[i].cx);
    EXPECT_EQ(entry.VideoSize.cy, sizes[i].cy);
    EXPECT_TRUE(IsEqualGUID(entry.MajorType, MEDIATYPE_Video));
    EXPECT_TRUE(IsEqualGUID(entry.SubType, MEDIASUBTYPE_RGB24));
    EXPECT_EQ(entry.BitCount, 24);
    EXPECT_NEAR(entry.FrameRate, 30.0, 0.01);
    EXPECT_NEAR(entry.MinimumFrameRate, 5.0, 1e-9);
    EXPECT_NEAR(entry.MaximumFrameRate, 60.0, 0.01);
  }
  EXPECT_EQ(preview->m_pVSI[5].Index, 0) << "the unfilled slot stays zero";
  EXPECT_EQ(preview->m_pVSI[5].VideoSize.cx, 0);
  EXPECT_EQ(preview->m_SelectedIndex, 0);

  ASSERT_TRUE(preview->GetStreamFormat(2));
  EXPECT_EQ(preview->VideoSize().cx, 640);
  EXPECT_FALSE(preview->GetStreamFormat(5));
  EXPECT_EQ(preview->ErrorStatus(), 5);
  EXPECT_TRUE(preview->Close());
  EXPECT_EQ(preview->GetStreamFormats(), 0);
  EXPECT_EQ(preview->ErrorStatus(), 11);
}

TEST(FormatsOnCamera, SelectedSizeReachesTheSnapshots) {
  auto preview = OpenedCamera();
  ASSERT_TRUE(preview);
  // Looked at first, as a new user would before choosing it.
  ASSERT_TRUE(preview->GetStreamFormat(3));
  ASSERT_TRUE(preview->SetStreamFormat(3)) << "error " << preview->ErrorStatus();
  EXPECT_EQ(preview->m_SelectedIndex, 3);
  EXPECT_EQ(preview->VideoSize().cx, 1280);
  EXPECT_EQ(preview->m_vih.bmiHeader.biWidth, 1280) << "the grabber is connected on the new format";
  EXPECT_EQ(preview->m_vih.bmiHeader.biHeight, 720);
  EXPECT_TRUE(CapturePinConnected(preview->m_pDeviceFilter.Get()));
  ASSERT_TRUE(preview->Start(vlmVideoStretch)) << "error " << preview->ErrorStatus();
  Shot shot;
  ASSERT_TRUE(Snapshot(*preview, shot));
  EXPECT_EQ(shot.Header.biWidth, 1280);
  EXPECT_EQ(shot.Header.biHeight, 720);
  EXPECT_GE(shot.Counter, 0);
  EXPECT_TRUE(preview->Close());
}

TEST(FormatsOnCamera, AppliedFrameRateIsTheCamerasRate) {
  auto preview = OpenedCamera();
  ASSERT_TRUE(preview);
  preview->SetFrameRate(15.0);
  ASSERT_TRUE(preview->SetStreamFormat(0)) << "error " << preview->ErrorStatus();
  EXPECT_EQ(preview->m_oldFrameRate, 15.0);
  {
    camtest::TypeHolder format;
    ASSERT_EQ(As<IAMStreamConfig>(PinOf(preview->m_pDeviceFilter.Get(), L"Capture").Get())->GetFormat(format.Put()),
              S_OK);
    EXPECT_EQ(camtest::FrameIntervalOf(*format.Type), 666666);
  }
  ASSERT_TRUE(preview->Start(vlmVideoStretch)) << "error " << preview->ErrorStatus();
  Shot first, second;
  ASSERT_TRUE(Snapshot(*preview, first));
  testwin::PumpMessages(2000);
  ASSERT_TRUE(Snapshot(*preview, second));
  ASSERT_GE(first.Counter, 0);
  ASSERT_GT(second.Counter, first.Counter);
  ASSERT_GT(second.Tick, first.Tick);
  const double rate = (second.Counter - first.Counter) * 1000.0 / (second.Tick - first.Tick);
  EXPECT_GT(rate, 10.0);
  EXPECT_LT(rate, 20.0) << "30 frames a second would be the camera's default";
  EXPECT_TRUE(preview->Close());
}

TEST(FormatsOnCamera, OddWidthFormatRunsButGivesNoSnapshot) {
  auto preview = OpenedCamera();
  ASSERT_TRUE(preview);
  ASSERT_TRUE(preview->SetStreamFormat(4)) << "error " << preview->ErrorStatus();
  EXPECT_EQ(preview->VideoSize().cx, 162);
  ASSERT_TRUE(preview->Start(vlmVideoStretch));
  int events = 0;
  preview->SetOnSnapshot([&](TObject*, UINT_PTR, bool&) { ++events; });
  EXPECT_TRUE(preview->TakeSnapshot());
  EXPECT_EQ(preview->ErrorStatus(), 0);
  testwin::PumpMessages(1500);
  EXPECT_EQ(events, 0);
  EXPECT_EQ(preview->State(), vlmStateRunning);
  EXPECT_TRUE(preview->Close());
}

TEST(FormatsOnCamera, SetStreamFormatWhileRunningIsRefusedAndThePictureGoesOn) {
  auto preview = OpenedCamera();
  ASSERT_TRUE(preview);
  ASSERT_TRUE(preview->Start(vlmVideoStretch));
  Shot before, after;
  ASSERT_TRUE(Snapshot(*preview, before));
  EXPECT_FALSE(preview->SetStreamFormat(2));
  EXPECT_EQ(preview->ErrorStatus(), 11);
  EXPECT_EQ(preview->m_SelectedIndex, 0);
  EXPECT_EQ(preview->VideoSize().cx, 160);
  EXPECT_EQ(preview->State(), vlmStateRunning);
  testwin::PumpMessages(300);
  ASSERT_TRUE(Snapshot(*preview, after));
  EXPECT_EQ(after.Header.biWidth, 160);
  EXPECT_GT(after.Counter, before.Counter) << "the same stream keeps running";
  EXPECT_TRUE(preview->Close());
}

TEST(FormatsOnCamera, PinDialogWhileStoppedChangesTheFormatOnAnUnconnectedPin) {
  auto preview = OpenedCamera();
  ASSERT_TRUE(preview);
  ASSERT_TRUE(preview->Start(vlmVideoStretch));
  ASSERT_TRUE(preview->Stop());
  IBaseFilter* camera = preview->m_pDeviceFilter.Get();
  ASSERT_TRUE(CapturePinConnected(camera));

  bool pageFound = false, connectedDuringFrame = true;
  int listItems = -1;
  HRESULT applied = E_FAIL;
  FrameVisitor visitor([&](HWND Frame) {
    connectedDuringFrame = CapturePinConnected(camera);
    HWND page = PageWindow(Frame);
    pageFound = page != nullptr;
    if (!page) return;
    HWND list = GetDlgItem(page, kFormatList);
    listItems = static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0));
    // Choose 640 x 480 at 15 frames per second on the page, as a user would.
    SendMessageW(list, LB_SETCURSEL, 2, 0);
    SendMessageW(page, WM_COMMAND, MAKEWPARAM(kFormatList, LBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
    SetWindowTextW(GetDlgItem(page, kFrameRate), L"15");
    // Wine's frame never calls the page's Apply on closing; apply the choice as the page's
    // Apply does, through the pin's stream configuration, while the frame is up.
    auto config = As<IAMStreamConfig>(PinOf(camera, L"Capture").Get());
    camtest::TypeHolder type;
    VIDEO_STREAM_CONFIG_CAPS caps{};
    if (config && config->GetStreamCaps(2, type.Put(), reinterpret_cast<BYTE*>(&caps)) == S_OK) {
      reinterpret_cast<VIDEOINFOHEADER*>(type.Type->pbFormat)->AvgTimePerFrame = 666666;
      applied = config->SetFormat(type.Type);
    }
  });
  ASSERT_TRUE(preview->ShowCapturePinDialog()) << "error " << preview->ErrorStatus();
  EXPECT_EQ(preview->ErrorStatus(), 0);
  EXPECT_EQ(visitor.Frames, 1);
  EXPECT_TRUE(pageFound) << "the camera's format page is in the frame";
  EXPECT_EQ(listItems, 6);
  EXPECT_FALSE(connectedDuringFrame) << "the capture pin is unconnected while the frame is up";
  EXPECT_EQ(applied, S_OK);

  // The component reports the pin's format and selects its entry.
  EXPECT_EQ(preview->VideoSize().cx, 640);
  EXPECT_EQ(preview->VideoSize().cy, 480);
  EXPECT_TRUE(IsEqualGUID(preview->VideoSubType(), MEDIASUBTYPE_RGB24));
  EXPECT_NEAR(preview->FrameRate(), 15.0, 0.001);
  EXPECT_EQ(preview->m_oldFrameRate, preview->FrameRate());
  EXPECT_EQ(preview->BitCount(), 24);
  EXPECT_EQ(preview->m_SelectedIndex, 2);
  EXPECT_TRUE(CapturePinConnected(camera)) << "the graph is built again";
  EXPECT_EQ(preview->m_vih.bmiHeader.biWidth, 640);

  // And previews again on it.
  ASSERT_TRUE(preview->Start(vlmVideoStretch)) << "error " << preview->ErrorStatus();
  Shot shot;
  ASSERT_TRUE(Snapshot(*preview, shot));
  EXPECT_EQ(shot.Header.biWidth, 640);
  EXPECT_EQ(shot.Header.biHeight, 480);
  EXPECT_TRUE(preview->Close());
}

TEST(FormatsOnCamera, PinDialogWhileRunningKeepsTheLiveGraph) {
  auto preview = OpenedCamera();
  ASSERT_TRUE(preview);
  ASSERT_TRUE(preview->Start(vlmVideoStretch));
  IBaseFilter* camera = preview->m_pDeviceFilter.Get();
  bool connectedDuringFrame = false, pageFound = false;
  FrameVisitor visitor([&](HWND Frame) {
    connectedDuringFrame = CapturePinConnected(camera);
    pageFound = PageWindow(Frame) != nullptr;
  });
  ASSERT_TRUE(preview->ShowCapturePinDialog());
  EXPECT_EQ(visitor.Frames, 1);
  EXPECT_TRUE(pageFound);
  EXPECT_TRUE(connectedDuringFrame);
  EXPECT_EQ(preview->State(), vlmStateRunning);
  EXPECT_EQ(preview->VideoSize().cx, 160);
  EXPECT_NEAR(preview->FrameRate(), 30.0, 0.01);
  Shot shot;
  EXPECT_TRUE(Snapshot(*preview, shot));
  EXPECT_TRUE(preview->Close());
}

TEST(FormatsOnCamera, SelectingTheFormatTheDeviceRunsDescribesItAndPlacesItsPicture) {
  auto preview = OpenedCamera();  // 300 x 250, the camera at entry 0: 160 x 120 at 30 fps
  ASSERT_TRUE(preview);
  ASSERT_TRUE(preview->GetStreamFormat(2));  // looked at 640 x 480, and left it
  ASSERT_EQ(preview->VideoSize().cx, 640);
  ASSERT_TRUE(preview->SetStreamFormat(0));  // nothing to change on the device
  EXPECT_EQ(preview->m_SelectedIndex, 0);
  EXPECT_EQ(preview->VideoSize().cx, 160);
  EXPECT_EQ(preview->VideoSize().cy, 120);
  EXPECT_TRUE(IsEqualGUID(preview->VideoSubType(), MEDIASUBTYPE_RGB24));
  EXPECT_EQ(preview->BitCount(), 24);

  // Scaled, the picture keeps its own 160 x 120, centred in the 298 x 248 inside the frame.
  ASSERT_TRUE(preview->Start(vlmVideoScale));
  const RECT video = RectInParent(GetWindow(preview->Handle(), GW_CHILD));
  EXPECT_EQ(video.right - video.left, 160);
  EXPECT_EQ(video.bottom - video.top, 120);
  EXPECT_EQ(video.left, 1 + (298 - 160) / 2);
  EXPECT_TRUE(preview->Close());
}

TEST(FormatsOnCamera, FilterDialogShowsTheCamerasPage) {
  auto preview = OpenedCamera();
  ASSERT_TRUE(preview);
  IBaseFilter* camera = preview->m_pDeviceFilter.Get();
  bool pageFound = false, connectedDuringFrame = false;
  std::wstring texts;
  FrameVisitor visitor([&](HWND Frame) {
    pageFound = PageWindow(Frame) != nullptr;
    texts = TextsOf(Frame);
    connectedDuringFrame = CapturePinConnected(camera);
  });
  ASSERT_TRUE(preview->ShowFilterDialog()) << "error " << preview->ErrorStatus();
  EXPECT_EQ(preview->ErrorStatus(), 0);
  EXPECT_EQ(visitor.Frames, 1);
  EXPECT_TRUE(pageFound);
  EXPECT_NE(texts.find(kLmTestCameraName), std::wstring::npos) << fakes::Narrow(texts);
  EXPECT_TRUE(connectedDuringFrame) << "the filter dialog leaves the graph alone";
  EXPECT_TRUE(preview->Close());
  EXPECT_FALSE(preview->ShowFilterDialog());
  EXPECT_EQ(preview->ErrorStatus(), 11);
}

}  // namespace
}  // namespace previewtest
