// The preview with a camera of the formats USB cameras send (the UVC test camera: YUY2, MJPG,
// NV12, no RGB24), on Wine's real DirectShow and real windows. Each format is selected in turn
// on one open preview, shown on screen, and snapshot: the camera's pattern with its colours, its
// counter going up, the picture upright. YUY2 and MJPG reach the grabber as 24-bit RGB through
// the test prefix's decoder, as they do on Windows; NV12, for which Windows has no converter
// either, reaches it in its own format and the snapshot's frame is converted by the control.

#include <gtest/gtest.h>

#include <windows.h>

#include <dshow.h>
#include <uuids.h>

#include <cstring>
#include <vector>

#include "preview/PreviewProbe.h"
#include "support/TestWindow.h"
#include "testcam/CameraRig.h"
#include "testcam/LmTestCam.h"

namespace previewtest {
namespace {

class UvcProbe : public PreviewProbe {
public:
  using PreviewProbe::PreviewProbe;
  using TVLmPreview::m_GrabberSubType;
  using TVLmPreview::m_pVSI;
  using TVLmPreview::m_pVSI_Count;
};

// The list entry of SubType at Width x Height, or -1.
int EntryOf(UvcProbe& Preview, REFGUID SubType, LONG Width, LONG Height) {
  for (int i = 0; i < Preview.m_pVSI_Count[1]; ++i) {
    const TLM_VIDEO_STREAM_INFORMATION& entry = Preview.m_pVSI[static_cast<size_t>(i)];
    if (IsEqualGUID(entry.SubType, SubType) && entry.VideoSize.cx == Width && entry.VideoSize.cy == Height) return i;
  }
  return -1;
}

struct Picture {
  BITMAPINFOHEADER Header{};
  std::vector<BYTE> Pixels;
  int Counter = -1;
};

bool Snapshot(UvcProbe& Preview, Picture& Out) {
  bool done = false;
  Preview.SetOnSnapshot([&](TObject*, UINT_PTR Image, bool&) {
    const auto block = reinterpret_cast<HGLOBAL>(Image);
    const auto* bytes = static_cast<const BYTE*>(GlobalLock(block));
    std::memcpy(&Out.Header, bytes, sizeof(Out.Header));
    Out.Pixels.assign(bytes + sizeof(BITMAPINFOHEADER), bytes + GlobalSize(block));
    GlobalUnlock(block);
    done = true;
  });
  if (!Preview.TakeSnapshot()) return false;
  const bool delivered = testwin::PumpUntil([&] { return done; }, 10000);
  Preview.SetOnSnapshot(nullptr);
  if (delivered) Out.Counter = camtest::DecodeCounter(Out.Pixels.data(), Out.Header.biWidth, Out.Header.biHeight);
  return delivered;
}

TEST(UvcPreview, EverySubtypeShowsAndSnapshotsThePatternUpright) {
  struct Case {
    const char* Name;
    GUID SubType;
    LONG Width, Height;
    GUID GrabberSubType;  // how the grabber is connected
  };
  const Case cases[] = {
      // The library converts all three itself: the grabber takes them as the camera sends them.
      {"YUY2 320x240", MEDIASUBTYPE_YUY2, 320, 240, MEDIASUBTYPE_YUY2},
      {"MJPG 640x480", MEDIASUBTYPE_MJPG, 640, 480, MEDIASUBTYPE_MJPG},
      {"NV12 640x480", MEDIASUBTYPE_NV12, 640, 480, MEDIASUBTYPE_NV12},
      {"MJPG 1920x1080", MEDIASUBTYPE_MJPG, 1920, 1080, MEDIASUBTYPE_MJPG},
  };
  // A host of its own: the pictures are shown at their own size, up to 640 x 480.
  testwin::HostWindow host(660, 500);
  UvcProbe preview;
  preview.SetParentWindow(host.Handle());
  const int camera = DeviceIndex(preview, kLmTestCameraUvcName);
  ASSERT_GE(camera, 0) << "the UVC test camera is not registered";
  ASSERT_TRUE(preview.Open(camera)) << preview.ErrorStatus();
  EXPECT_EQ(preview.GetStreamFormats(), 9);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    // The picture at its own size inside a 1-pixel frame, where it fits on the screen.
    const bool onScreen = c.Width <= 640;
    preview.SetBounds(0, 0, onScreen ? c.Width + 2 : 322, onScreen ? c.Height + 2 : 182);
    if (preview.State() == vlmStateRunning) {
      ASSERT_TRUE(preview.Stop());
    }
    const int entry = EntryOf(preview, c.SubType, c.Width, c.Height);
    ASSERT_GE(entry, 0);
    ASSERT_TRUE(preview.SetStreamFormat(entry)) << preview.ErrorStatus();
    EXPECT_TRUE(IsEqualGUID(preview.m_GrabberSubType, c.GrabberSubType));
    ASSERT_TRUE(preview.Start(vlmVideoStretch)) << preview.ErrorStatus();
    testwin::PumpMessages(1000);

    if (onScreen) {
      const HWND video = GetWindow(preview.Handle(), GW_CHILD);
      ASSERT_NE(video, nullptr);
      const std::vector<BYTE> screen = camtest::ScreenPicture(video, c.Width, c.Height);
      const int counter = camtest::DecodeCounter(screen.data(), c.Width, c.Height);
      EXPECT_GT(counter, 0) << "no counter on screen";
      EXPECT_TRUE(camtest::BarsMatch(screen.data(), c.Width, c.Height, counter, 32)) << "colour bars off on screen";
    }

    Picture first, second;
    ASSERT_TRUE(Snapshot(preview, first));
    testwin::PumpMessages(200);
    ASSERT_TRUE(Snapshot(preview, second));
    EXPECT_EQ(first.Header.biWidth, c.Width);
    EXPECT_EQ(first.Header.biHeight, c.Height);
    EXPECT_EQ(first.Header.biBitCount, 24);
    // Decoded only when upright: the counter's cells are on the picture's top rows.
    EXPECT_GE(first.Counter, 0);
    EXPECT_GT(second.Counter, first.Counter);
    EXPECT_TRUE(camtest::BarsMatch(first.Pixels.data(), c.Width, c.Height, first.Counter, 32));
  }
  EXPECT_TRUE(preview.Close());
}

}  // namespace
}  // namespace previewtest
