// The preview on Wine's real DirectShow with the test camera: opening each variant of the
// camera, the life cycle of the running picture, where the renderer's window sits, the live
// picture read back from the screen, snapshots, and stopping, closing or destroying the
// preview right after a snapshot request without deadlock or leak.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <windows.h>

#include <dshow.h>
#include <uuids.h>

#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "preview/PreviewProbe.h"
#include "testcam/CameraRig.h"
#include "testcam/LmTestCam.h"

namespace previewtest {
namespace {

constexpr LONG kWidth = 160;   // the camera's default format: 160 x 120 RGB24 at 30 fps
constexpr LONG kHeight = 120;
constexpr DWORD kImageSize = kWidth * kHeight * 3;
constexpr COLORREF kBackground = RGB(0x25, 0x5b, 0xad);
constexpr DWORD kEventTimeoutMs = 10000;

// The preview hosted at (10, 10), 300 x 250, flat black frame: display area (1, 1, 299, 249).
std::unique_ptr<PreviewProbe> HostedPreview() {
  auto preview = std::make_unique<PreviewProbe>();
  preview->SetParentWindow(SharedHost());
  preview->SetBounds(10, 10, 300, 250);
  preview->SetColor(kBackground);
  preview->Handle();
  return preview;
}

std::wstring ClassOf(HWND Window) {
  wchar_t name[64] = {};
  GetClassNameW(Window, name, 64);
  return name;
}

// The snapshots a handler kept (FreeMemory false); the test frees them.
struct KeptSnapshots {
  std::vector<HGLOBAL> Blocks;
  int Freed = 0;

  TVLmVideoSnapShotEvent Handler() {
    return [this](TObject*, UINT_PTR Image, bool& FreeMemory) {
      Blocks.push_back(reinterpret_cast<HGLOBAL>(Image));
      FreeMemory = false;
    };
  }
  void FreeAll() {
    for (HGLOBAL block : Blocks)
      if (GlobalFree(block) == nullptr) ++Freed;
  }
};

// The header of a kept snapshot and the frame counter the camera stamped on its picture.
struct SnapshotContent {
  BITMAPINFOHEADER Header{};
  SIZE_T BlockSize = 0;
  int Counter = -1;
};

SnapshotContent Read(HGLOBAL Block) {
  SnapshotContent content;
  content.BlockSize = GlobalSize(Block);
  const auto* bytes = static_cast<const BYTE*>(GlobalLock(Block));
  if (!bytes) return content;
  std::memcpy(&content.Header, bytes, sizeof(content.Header));
  if (content.BlockSize >= sizeof(BITMAPINFOHEADER) + kImageSize)
    content.Counter = camtest::DecodeCounter(bytes + sizeof(BITMAPINFOHEADER), kWidth, kHeight);
  GlobalUnlock(Block);
  return content;
}

class PreviewGraphTest : public ::testing::Test {
protected:
  // Opens the named camera; false (with a failure) when it is not listed or does not open.
  static bool OpenCamera(PreviewProbe& Preview, const std::wstring& Name) {
    const int index = DeviceIndex(Preview, Name);
    EXPECT_GE(index, 0) << "the test camera is not registered";
    if (index < 0) return false;
    const bool opened = Preview.Open(index);
    EXPECT_TRUE(opened) << "error " << Preview.ErrorStatus();
    return opened;
  }
};

TEST_F(PreviewGraphTest, OpenBuildsTheGraphOfEitherCameraAndReadsItsCurrentFormat) {
  struct Variant {
    const wchar_t* Name;
    bool PreviewFaked;
  };
  for (const Variant variant : {Variant{kLmTestCameraName, true}, Variant{kLmTestCameraPreviewName, false}}) {
    SCOPED_TRACE(fakes::Narrow(variant.Name));
    auto preview = HostedPreview();
    ASSERT_TRUE(OpenCamera(*preview, variant.Name));
    EXPECT_EQ(preview->ErrorStatus(), 0);
    EXPECT_EQ(preview->State(), vlmStateOpen);
    EXPECT_EQ(preview->m_PreviewFaked, variant.PreviewFaked);
    EXPECT_TRUE(preview->m_isCapture);
    EXPECT_EQ(preview->VideoSize().cx, kWidth);
    EXPECT_EQ(preview->VideoSize().cy, kHeight);
    EXPECT_NEAR(preview->FrameRate(), 30.0, 0.01);
    EXPECT_TRUE(IsEqualGUID(preview->VideoSubType(), MEDIASUBTYPE_RGB24));
    EXPECT_EQ(preview->BitCount(), 24);
    EXPECT_EQ(preview->m_vih.bmiHeader.biSizeImage, kImageSize);

    // The renderer's window is attached to the control, hidden until Start.
    const HWND video = GetWindow(preview->Handle(), GW_CHILD);
    ASSERT_NE(video, nullptr);
    EXPECT_EQ(ClassOf(video), L"wine_quartz_window");
    EXPECT_FALSE(IsWindowVisible(video));

    EXPECT_FALSE(preview->Open(0));  // already open
    EXPECT_EQ(preview->ErrorStatus(), 11);

    EXPECT_TRUE(preview->Close());
    EXPECT_EQ(preview->State(), vlmStateClosed);
    EXPECT_EQ(preview->VideoSize().cx, 0);
    EXPECT_EQ(preview->BitCount(), 0);
    EXPECT_FALSE(preview->Close());
    EXPECT_EQ(preview->ErrorStatus(), 11);
  }
}

TEST_F(PreviewGraphTest, StartPauseStopAndStartAgainPlaceAndShowTheRenderer) {
  auto preview = HostedPreview();
  ASSERT_TRUE(OpenCamera(*preview, kLmTestCameraName));
  const HWND video = GetWindow(preview->Handle(), GW_CHILD);
  ASSERT_NE(video, nullptr);

  ASSERT_TRUE(preview->Start(vlmVideoStretch)) << "error " << preview->ErrorStatus();
  EXPECT_EQ(preview->State(), vlmStateRunning);
  EXPECT_TRUE(IsWindowVisible(video));
  EXPECT_EQ(BoxOf(RectInParent(video)), (Box{1, 1, 299, 249}));
  EXPECT_FALSE(preview->Start(vlmVideoStretch));
  EXPECT_EQ(preview->ErrorStatus(), 11);

  ASSERT_TRUE(preview->Pause());
  EXPECT_EQ(preview->State(), vlmStatePaused);
  EXPECT_FALSE(preview->TakeSnapshot());
  EXPECT_EQ(preview->ErrorStatus(), 11);
  ASSERT_TRUE(preview->Pause());  // a second Pause runs again
  EXPECT_EQ(preview->State(), vlmStateRunning);

  ASSERT_TRUE(preview->Stop());
  EXPECT_EQ(preview->State(), vlmStateStopped);
  EXPECT_FALSE(IsWindowVisible(video));
  EXPECT_FALSE(preview->TakeSnapshot());
  EXPECT_EQ(preview->ErrorStatus(), 11);
  EXPECT_FALSE(preview->Pause());
  EXPECT_EQ(preview->ErrorStatus(), 11);

  // Scale: the 160 x 120 video fits the 298 x 248 area and is centred at its own size.
  ASSERT_TRUE(preview->Start(vlmVideoScale)) << "error " << preview->ErrorStatus();
  EXPECT_EQ(preview->State(), vlmStateRunning);
  EXPECT_TRUE(IsWindowVisible(video));
  EXPECT_EQ(BoxOf(RectInParent(video)), (Box{70, 65, 230, 185}));
  testwin::PumpMessages(100);

  EXPECT_TRUE(preview->Close());
  EXPECT_EQ(preview->State(), vlmStateClosed);
  EXPECT_FALSE(preview->Start(vlmVideoStretch));
  EXPECT_EQ(preview->ErrorStatus(), 11);
}

// How many pixels of the display area (1, 1, 299, 249) differ from the background, and the
// picture itself for comparing two reads.
struct AreaRead {
  int NotBackground = 0;
  std::vector<COLORREF> Pixels;
};

// Reads what the screen shows of the control's client area, without asking for a repaint: a
// repaint erases the renderer's window with its class brush, and the renderer draws again only
// with the next frame.
AreaRead ReadDisplayArea(HWND Window) {
  RECT client;
  GetClientRect(Window, &client);
  POINT origin{0, 0};
  ClientToScreen(Window, &origin);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = client.right;
  info.bmiHeader.biHeight = -client.bottom;  // top-down rows
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  AreaRead read;
  if (bitmap && bits) {
    HGDIOBJ previous = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, client.right, client.bottom, screen, origin.x, origin.y, SRCCOPY);
    GdiFlush();
    const auto* quads = static_cast<const RGBQUAD*>(bits);
    for (int y = 1; y < 249; y += 4)
      for (int x = 1; x < 299; x += 4) {
        const RGBQUAD& quad = quads[y * client.right + x];
        const COLORREF pixel = RGB(quad.rgbRed, quad.rgbGreen, quad.rgbBlue);
        read.Pixels.push_back(pixel);
        if (pixel != kBackground) ++read.NotBackground;
      }
    SelectObject(memory, previous);
  }
  if (bitmap) DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return read;
}

TEST_F(PreviewGraphTest, TheLivePictureShowsInsideTheFrameAndMoves) {
  auto preview = HostedPreview();
  ASSERT_TRUE(OpenCamera(*preview, kLmTestCameraPreviewName));
  UpdateWindow(preview->Handle());
  testwin::PumpMessages(50);
  const AreaRead stopped = ReadDisplayArea(preview->Handle());
  ASSERT_FALSE(stopped.Pixels.empty());
  EXPECT_EQ(stopped.NotBackground, 0) << "a stopped preview shows its background";

  ASSERT_TRUE(preview->Start(vlmVideoStretch));
  testwin::PumpMessages(500);
  const AreaRead first = ReadDisplayArea(preview->Handle());
  testwin::PumpMessages(300);  // the colour bars move 4 pixels a frame
  const AreaRead second = ReadDisplayArea(preview->Handle());
  const int samples = static_cast<int>(first.Pixels.size());
  EXPECT_GT(first.NotBackground, samples * 9 / 10);
  EXPECT_GT(second.NotBackground, samples * 9 / 10);
  EXPECT_NE(first.Pixels, second.Pixels);
  EXPECT_EQ(testwin::ClientPixel(preview->Handle(), 0, 0), RGB(0, 0, 0));  // the frame stays

  ASSERT_TRUE(preview->Stop());
  EXPECT_TRUE(preview->Close());
}

TEST_F(PreviewGraphTest, ASnapshotIsOneHeaderedFrameAndLaterOnesAreLaterFrames) {
  auto preview = HostedPreview();
  ASSERT_TRUE(OpenCamera(*preview, kLmTestCameraName));
  KeptSnapshots kept;
  preview->SetOnSnapshot(kept.Handler());
  ASSERT_TRUE(preview->Start(vlmVideoStretch));

  ASSERT_TRUE(preview->TakeSnapshot());
  EXPECT_EQ(preview->ErrorStatus(), 0);
  ASSERT_TRUE(testwin::PumpUntil([&] { return kept.Blocks.size() == 1; }, kEventTimeoutMs));
  testwin::PumpMessages(1000);  // some thirty frames later, still one event
  EXPECT_EQ(kept.Blocks.size(), 1u);

  ASSERT_TRUE(preview->TakeSnapshot());
  ASSERT_TRUE(testwin::PumpUntil([&] { return kept.Blocks.size() == 2; }, kEventTimeoutMs));
  testwin::PumpMessages(200);
  EXPECT_EQ(kept.Blocks.size(), 2u);

  ASSERT_TRUE(preview->Stop());
  // The handler kept the blocks: they stay valid after the event and after the graph stopped.
  const SnapshotContent first = Read(kept.Blocks[0]);
  const SnapshotContent second = Read(kept.Blocks[1]);
  for (const SnapshotContent& shot : {first, second}) {
    EXPECT_EQ(shot.Header.biSize, 40u);
    EXPECT_EQ(shot.Header.biWidth, kWidth);
    EXPECT_EQ(shot.Header.biHeight, kHeight);
    EXPECT_EQ(shot.Header.biPlanes, 1);
    EXPECT_EQ(shot.Header.biBitCount, 24);
    EXPECT_EQ(shot.Header.biCompression, static_cast<DWORD>(BI_RGB));
    EXPECT_EQ(shot.Header.biSizeImage, kImageSize);
    EXPECT_GE(shot.BlockSize, 40 + kImageSize);
    EXPECT_GE(shot.Counter, 0) << "the picture carries the camera's frame counter";
  }
  EXPECT_GT(second.Counter, first.Counter + 20);
  kept.FreeAll();
  EXPECT_EQ(kept.Freed, 2);
  EXPECT_TRUE(preview->Close());
}

TEST_F(PreviewGraphTest, AHandlerThatRaisesStopsNeitherThePreviewNorItsSnapshots) {
  auto preview = HostedPreview();
  ASSERT_TRUE(OpenCamera(*preview, kLmTestCameraName));
  ASSERT_TRUE(preview->Start(vlmVideoStretch));

  std::vector<HGLOBAL> seen;
  std::vector<SIZE_T> sizeInHandler;
  bool throwing = false;
  preview->SetOnSnapshot([&](TObject* Sender, UINT_PTR Image, bool& FreeMemory) {
    EXPECT_EQ(Sender, preview.get());
    EXPECT_TRUE(FreeMemory);
    seen.push_back(reinterpret_cast<HGLOBAL>(Image));
    sizeInHandler.push_back(GlobalSize(reinterpret_cast<HGLOBAL>(Image)));
    if (throwing) {
      FreeMemory = true;
      throw std::runtime_error("the application's handler failed");
    }
  });

  ASSERT_TRUE(preview->TakeSnapshot());
  ASSERT_TRUE(testwin::PumpUntil([&] { return seen.size() == 1; }, kEventTimeoutMs));
  throwing = true;
  ASSERT_TRUE(preview->TakeSnapshot());
  // The handler's error stays inside the component (the window procedure would swallow it
  // anyway): what shows is that the event came and the preview runs on.
  ASSERT_TRUE(testwin::PumpUntil([&] { return seen.size() == 2; }, kEventTimeoutMs));
  for (size_t i = 0; i < seen.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_GE(sizeInHandler[i], 40 + kImageSize);  // valid during the handler
  }
  // That the component frees the block afterwards is measured in the pipeline's own tests.
  ASSERT_TRUE(preview->TakeSnapshot());
  EXPECT_TRUE(testwin::PumpUntil([&] { return seen.size() == 3; }, kEventTimeoutMs));
  EXPECT_EQ(preview->State(), vlmStateRunning);
  EXPECT_TRUE(preview->Close());
}

// Stopping, closing or destroying right after a snapshot request must not wait for a frame
// hand-over that waits for this thread. Everything runs on a GUI thread of its own, so that a
// deadlock fails the test after the time limit instead of hanging the program.
class PreviewSnapshotTeardownTest : public PreviewGraphTest {
protected:
  static constexpr DWORD kTimeoutMs = 240000;
  static constexpr int kRounds = 200;

  void SetUp() override {
    // Warm up once, so that the first graph's lasting objects (classes, caches) are not
    // counted as leaks.
    ASSERT_TRUE(RunsOnGuiThreadWithin(
        [] {
          PreviewProbe preview;
          const int index = DeviceIndex(preview, kLmTestCameraName);
          if (index >= 0 && preview.Open(index) && preview.Start(vlmVideoStretch)) {
            testwin::PumpMessages(200);
            preview.Close();
          }
        },
        kTimeoutMs));
    testwin::PumpMessages(100);
    m_FrameBlocks = HeapBlocksOfSize(40 + kImageSize);
    // The probe sees a global block of a snapshot's size.
    HGLOBAL probe = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, 40 + kImageSize);
    ASSERT_NE(probe, nullptr);
    EXPECT_EQ(HeapBlocksOfSize(40 + kImageSize), m_FrameBlocks + 1);
    GlobalFree(probe);
    ASSERT_EQ(HeapBlocksOfSize(40 + kImageSize), m_FrameBlocks);
    m_Gdi = testwin::GdiObjects();
    m_User = testwin::UserObjects();
  }
  void ExpectNothingLeaked() {
    testwin::PumpMessages(100);
    EXPECT_EQ(HeapBlocksOfSize(40 + kImageSize), m_FrameBlocks) << "frame copies left behind";
    EXPECT_EQ(testwin::GdiObjects(), m_Gdi);
    EXPECT_EQ(testwin::UserObjects(), m_User);
  }

  int m_FrameBlocks = 0;
  DWORD m_Gdi = 0;
  DWORD m_User = 0;
};

TEST_F(PreviewSnapshotTeardownTest, StopRightAfterTakeSnapshotThenStartAgain) {
  KeptSnapshots kept;
  int armed = 0;
  bool lastDelivered = false;
  ASSERT_TRUE(RunsOnGuiThreadWithin(
      [&] {
        PreviewProbe preview;
        const int index = DeviceIndex(preview, kLmTestCameraName);
        if (index < 0 || !preview.Open(index)) return;
        preview.SetOnSnapshot(kept.Handler());
        if (!preview.Start(vlmVideoStretch)) return;
        for (int round = 0; round < kRounds; ++round) {
          Sleep(round % 40);  // meet the frames at different moments
          if (preview.TakeSnapshot()) ++armed;
          preview.Stop();
          preview.Start(vlmVideoStretch);
          testwin::PumpMessages(0);
        }
        // A request made right before Stop is delivered after the next Start at the latest.
        const size_t before = kept.Blocks.size();
        if (preview.TakeSnapshot()) {
          preview.Stop();
          preview.Start(vlmVideoStretch);
          lastDelivered = testwin::PumpUntil([&] { return kept.Blocks.size() > before; }, kEventTimeoutMs);
        }
        preview.Close();
        testwin::PumpMessages(100);
      },
      kTimeoutMs));
  EXPECT_EQ(armed, kRounds);
  EXPECT_TRUE(lastDelivered);
  EXPECT_GE(kept.Blocks.size(), 1u);
  EXPECT_LE(kept.Blocks.size(), static_cast<size_t>(kRounds) + 1);
  kept.FreeAll();
  EXPECT_EQ(kept.Freed, static_cast<int>(kept.Blocks.size()));
  ExpectNothingLeaked();
}

TEST_F(PreviewSnapshotTeardownTest, CloseRightAfterTakeSnapshotThenOpenAgain) {
  KeptSnapshots kept;
  int armed = 0;
  ASSERT_TRUE(RunsOnGuiThreadWithin(
      [&] {
        PreviewProbe preview;
        const int index = DeviceIndex(preview, kLmTestCameraName);
        if (index < 0) return;
        preview.SetOnSnapshot(kept.Handler());
        for (int round = 0; round < kRounds; ++round) {
          if (!preview.Open(index) || !preview.Start(vlmVideoStretch)) return;
          Sleep(round % 40);
          if (preview.TakeSnapshot()) ++armed;
          preview.Close();
          testwin::PumpMessages(0);
        }
        testwin::PumpMessages(100);
      },
      kTimeoutMs));
  EXPECT_EQ(armed, kRounds);
  kept.FreeAll();
  EXPECT_EQ(kept.Freed, static_cast<int>(kept.Blocks.size()));
  ExpectNothingLeaked();
}

TEST_F(PreviewSnapshotTeardownTest, DestroyRightAfterTakeSnapshot) {
  KeptSnapshots kept;
  int armed = 0;
  constexpr int kDestroyRounds = 30;
  ASSERT_TRUE(RunsOnGuiThreadWithin(
      [&] {
        for (int round = 0; round < kDestroyRounds; ++round) {
          auto preview = std::make_unique<PreviewProbe>();
          const int index = DeviceIndex(*preview, kLmTestCameraName);
          if (index < 0 || !preview->Open(index)) return;
          preview->SetOnSnapshot(kept.Handler());
          if (!preview->Start(vlmVideoStretch)) return;
          Sleep(round % 40 + 30);
          if (preview->TakeSnapshot()) ++armed;
          preview.reset();
          testwin::PumpMessages(0);
        }
        testwin::PumpMessages(100);
      },
      kTimeoutMs));
  EXPECT_EQ(armed, kDestroyRounds);
  EXPECT_TRUE(kept.Blocks.empty()) << "no event after the component is gone";
  kept.FreeAll();
  ExpectNothingLeaked();
}

}  // namespace
}  // namespace previewtest
