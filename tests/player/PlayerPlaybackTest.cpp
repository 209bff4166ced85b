// TVLmPlay on Wine's DirectShow with clips the build generates: the media information, the
// refusals of Open, rates and seeking, playing to the end and again, snapshots, and the
// picture on the screen. Every test body runs on a GUI thread of its own with a time limit,
// so that a hang fails the test.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <stdexcept>
#include <string>

#include "player/PlayerRig.h"
#include "preview/PreviewProbe.h"
#include "support/TestWindow.h"

using playertest::ClipPath;
using playertest::kEventTimeoutMs;
using playertest::kTimeoutMs;
using playertest::KeptSnapshots;
using playertest::Near;
using playertest::PlayerProbe;
using playertest::ScreenPixel;
using previewtest::HeapBlocksOfSize;
using previewtest::RunsOnGuiThreadWithin;

namespace {

constexpr int kClosed = 1, kOpen = 2, kRunning = 6, kPaused = 18;

// The two-band clip: its top half and its bottom half (tests/player/CMakeLists: bands25.avi).
constexpr COLORREF kTopColour = RGB(0x20, 0x40, 0xC0);
constexpr COLORREF kBottomColour = RGB(0x30, 0xC0, 0x50);
constexpr LONG kBandsWidth = 320, kBandsHeight = 240;
constexpr DWORD kBandsImage = kBandsWidth * kBandsHeight * 3;

// The shared host window is made on the test thread, which keeps pumping while a test body
// runs on its own GUI thread: a window made there would go when that thread ends.
class PlayerWineTest : public testing::Test {
protected:
  static void SetUpTestSuite() { previewtest::SharedHost(); }
};

struct ClipFacts {
  const wchar_t* Name;
  double FrameRate;
  double Duration;
  double DurationTolerance;  // 0: exact
  LONG Width, Height;
};

TEST_F(PlayerWineTest, MediaInformationOfGeneratedClips) {
  const ClipFacts clips[] = {
      {L"bands25.avi", 25.0, 2.0, 0, kBandsWidth, kBandsHeight},
      {L"vga_mjpeg.avi", 25.0, 2.0, 0, 640, 480},
      {L"ntsc.avi", 29.97, 1.0, 0.05, 160, 120},
      {L"slow.avi", 7.5, 2.0, 1e-5, 160, 120},
  };
  for (const ClipFacts& clip : clips) {
    SCOPED_TRACE(fakes::Narrow(clip.Name));
    ASSERT_TRUE(RunsOnGuiThreadWithin(
        [&] {
          PlayerProbe player;
          player.SetParentWindow(previewtest::SharedHost());
          player.SetBounds(10, 10, 200, 100);  // smaller than every clip but the smallest
          ASSERT_TRUE(player.Open(ClipPath(clip.Name))) << player.ErrorStatus();
          EXPECT_EQ(player.ErrorStatus(), 0);
          EXPECT_EQ(player.State().Value(), kOpen);
          EXPECT_EQ(player.VideoSize().cx, clip.Width);
          EXPECT_EQ(player.VideoSize().cy, clip.Height);
          EXPECT_DOUBLE_EQ(player.FrameRate(), clip.FrameRate);
          if (clip.DurationTolerance == 0)
            EXPECT_EQ(player.Duration(), clip.Duration);
          else
            EXPECT_NEAR(player.Duration(), clip.Duration, clip.DurationTolerance);
          EXPECT_FALSE(player.VideoWindowShown());
          // The grabber sits on the video's way: snapshots are possible.
          EXPECT_TRUE(player.m_isSampleGrabber);
          EXPECT_EQ(player.m_vih.bmiHeader.biWidth, clip.Width);
          EXPECT_EQ(player.m_vih.bmiHeader.biBitCount, 24);

          // Shown stretched in the small control, the size read stays the file's.
          ASSERT_TRUE(player.Start(vlmVideoStretch, 1.0));
          EXPECT_EQ(player.VideoSize().cx, clip.Width);
          EXPECT_TRUE(player.Close());
          EXPECT_EQ(player.VideoSize().cx, 0);
          EXPECT_EQ(player.VideoSize().cy, 0);
          EXPECT_EQ(player.Duration(), 0);
          EXPECT_EQ(player.FrameRate(), 0);
          EXPECT_EQ(player.State().Value(), kClosed);
        },
        kTimeoutMs));
  }
}

TEST_F(PlayerWineTest, OpenRefusesWhatCannotPlay) {
  ASSERT_TRUE(RunsOnGuiThreadWithin(
      [] {
        PlayerProbe player;
        // A missing file: the graph cannot be built.
        EXPECT_FALSE(player.Open(ClipPath(L"no-such-clip.avi")));
        EXPECT_EQ(player.ErrorStatus(), 20);
        EXPECT_EQ(player.State().Value(), kClosed);

        // 260 characters are refused before anything is built; 259 go on, to a missing file.
        const std::wstring folder = L"Z:\\no-such-folder\\";
        const std::wstring longest = folder + std::wstring(259 - folder.size() - 4, L'x') + L".avi";
        ASSERT_EQ(longest.size(), 259u);
        EXPECT_FALSE(player.Open(longest + L"x"));
        EXPECT_EQ(player.ErrorStatus(), 5);
        EXPECT_EQ(player.State().Value(), kClosed);
        EXPECT_FALSE(player.Open(longest));
        EXPECT_EQ(player.ErrorStatus(), 20);
        EXPECT_EQ(player.State().Value(), kClosed);

        // Audio only: it renders, but there is no video window to set up.
        EXPECT_FALSE(player.Open(ClipPath(L"tone.wav")));
        EXPECT_EQ(player.ErrorStatus(), 203);
        EXPECT_EQ(player.State().Value(), kClosed);
        EXPECT_EQ(player.VideoSize().cx, 0);

        // A failed Open leaves the player able to open a good file.
        EXPECT_TRUE(player.Open(ClipPath(L"bands25.avi")));
        EXPECT_EQ(player.ErrorStatus(), 0);
        EXPECT_FALSE(player.Open(ClipPath(L"bands25.avi")));
        EXPECT_EQ(player.ErrorStatus(), 11);
        EXPECT_TRUE(player.Close());
      },
      kTimeoutMs));
}

TEST_F(PlayerWineTest, RatesAndSeeking) {
  ASSERT_TRUE(RunsOnGuiThreadWithin(
      [] {
        PlayerProbe player;
        player.SetParentWindow(previewtest::SharedHost());
        player.SetBounds(10, 10, 160, 120);
        int ends = 0;
        player.SetOnEnd([&](TObject*) { ++ends; });
        EXPECT_FALSE(player.StartFrom(1.0));
        EXPECT_EQ(player.ErrorStatus(), 11);
        ASSERT_TRUE(player.Open(ClipPath(L"bands25.avi")));

        for (double rate : {0.0, -1.0}) {
          EXPECT_FALSE(player.Start(vlmVideoStretch, rate));
          EXPECT_EQ(player.ErrorStatus(), 5);
          EXPECT_EQ(player.State().Value(), kOpen);
        }

        // Both overloads set the same position.
        EXPECT_TRUE(player.StartFrom(1.5));
        EXPECT_EQ(player.ErrorStatus(), 0);
        EXPECT_EQ(player.Position(), 15000000);
        EXPECT_TRUE(player.StartFrom(0.25));
        EXPECT_EQ(player.Position(), 2500000);
        EXPECT_TRUE(player.StartFrom(int64_t{15000000}));
        EXPECT_EQ(player.Position(), 15000000);
        EXPECT_FALSE(player.StartFrom(-0.001));
        EXPECT_EQ(player.ErrorStatus(), 5);
        EXPECT_EQ(player.Position(), 15000000);
        EXPECT_TRUE(player.StartFrom(0.0));
        EXPECT_EQ(player.Position(), 0);

        // Double speed. Wine 8's graph accepts SetRate without acting on it (its GetRate
        // always reads 1.0), so the rate handed over is checked against the fake graph; here
        // the graph must run at it without complaint.
        ASSERT_TRUE(player.Start(vlmVideoStretch, 2.0));
        EXPECT_EQ(player.State().Value(), kRunning);
        EXPECT_EQ(player.ErrorStatus(), 0);
        EXPECT_TRUE(player.VideoWindowShown());
        EXPECT_FALSE(player.StartFrom(1.0));
        EXPECT_EQ(player.ErrorStatus(), 11);
        EXPECT_FALSE(player.StartFrom(int64_t{0}));
        EXPECT_EQ(player.ErrorStatus(), 11);

        // Paused: the position can be set, and Start goes on from it.
        ASSERT_TRUE(player.Pause());
        EXPECT_EQ(player.State().Value(), kPaused);
        ASSERT_TRUE(player.StartFrom(1.5));
        EXPECT_EQ(player.Position(), 15000000);
        EXPECT_EQ(player.State().Value(), kPaused);
        ASSERT_TRUE(player.Start(vlmVideoStretch, 1.0));
        EXPECT_GE(player.Position(), 15000000) << "Start went back";
        // The half second left plays to the end.
        EXPECT_TRUE(testwin::PumpUntil([&] { return ends > 0; }, kEventTimeoutMs));
        EXPECT_EQ(ends, 1);
        EXPECT_TRUE(player.Close());
      },
      kTimeoutMs));
}

TEST_F(PlayerWineTest, PlaysToTheEndOnceThenAgainFromTheStart) {
  ASSERT_TRUE(RunsOnGuiThreadWithin(
      [] {
        PlayerProbe player;
        player.SetParentWindow(previewtest::SharedHost());
        player.SetBounds(10, 10, 160, 120);
        int ends = 0;
        TObject* sender = nullptr;
        int stateAtEnd = 0;
        bool shownAtEnd = true;
        player.SetOnEnd([&](TObject* Sender) {
          ++ends;
          sender = Sender;
          stateAtEnd = player.State().Value();
          shownAtEnd = player.VideoWindowShown();
        });
        ASSERT_TRUE(player.Open(ClipPath(L"bands25.avi")));
        ASSERT_TRUE(player.Start(vlmVideoStretch, 1.0));
        ASSERT_TRUE(testwin::PumpUntil([&] { return ends > 0; }, kEventTimeoutMs)) << "no end of the file";
        EXPECT_EQ(sender, static_cast<TObject*>(&player));
        EXPECT_EQ(stateAtEnd, kOpen);
        EXPECT_FALSE(shownAtEnd);
        EXPECT_EQ(player.State().Value(), kOpen);
        EXPECT_FALSE(player.VideoWindowShown());
        // Nothing else follows: exactly one end.
        testwin::PumpMessages(500);
        EXPECT_EQ(ends, 1);

        EXPECT_FALSE(player.Stop());
        EXPECT_EQ(player.ErrorStatus(), 11);
        EXPECT_FALSE(player.TakeSnapshot());
        EXPECT_EQ(player.ErrorStatus(), 11);

        // From the beginning again, faster.
        ASSERT_TRUE(player.StartFrom(0.0));
        ASSERT_TRUE(player.Start(vlmVideoScale, 2.0));
        EXPECT_TRUE(player.VideoWindowShown());
        ASSERT_TRUE(testwin::PumpUntil([&] { return ends > 1; }, kEventTimeoutMs)) << "no second end";
        EXPECT_EQ(ends, 2);
        EXPECT_EQ(player.State().Value(), kOpen);

        // Closed right after the end.
        EXPECT_TRUE(player.Close());
        EXPECT_EQ(player.ErrorStatus(), 0);
        EXPECT_EQ(player.State().Value(), kClosed);
        EXPECT_EQ(player.VideoSize().cx, 0);
        EXPECT_EQ(player.VideoSize().cy, 0);
        EXPECT_EQ(player.Duration(), 0);
        EXPECT_EQ(player.FrameRate(), 0);
        testwin::PumpMessages(200);
        EXPECT_EQ(ends, 2);
      },
      kTimeoutMs));
}

// Checks a snapshot block: a packed 24-bit bottom-up DIB of the two-band clip.
void ExpectBandsImage(HGLOBAL Block) {
  ASSERT_NE(Block, nullptr);
  ASSERT_GE(GlobalSize(Block), sizeof(BITMAPINFOHEADER) + kBandsImage);
  const auto* bytes = static_cast<const BYTE*>(GlobalLock(Block));
  ASSERT_NE(bytes, nullptr);
  BITMAPINFOHEADER header;
  std::memcpy(&header, bytes, sizeof(header));
  EXPECT_EQ(header.biSize, sizeof(BITMAPINFOHEADER));
  EXPECT_EQ(header.biWidth, kBandsWidth);
  EXPECT_EQ(header.biHeight, kBandsHeight);
  EXPECT_EQ(header.biPlanes, 1);
  EXPECT_EQ(header.biBitCount, 24);
  EXPECT_EQ(header.biCompression, static_cast<DWORD>(BI_RGB));
  EXPECT_EQ(header.biSizeImage, kBandsImage);
  const BYTE* pixels = bytes + sizeof(BITMAPINFOHEADER);
  const auto pixel = [&](int X, int Row) {  // Row 0 is the bottom row
    const BYTE* p = pixels + Row * kBandsWidth * 3 + X * 3;
    return RGB(p[2], p[1], p[0]);
  };
  for (int x : {0, 17, 160, 319}) {
    SCOPED_TRACE(x);
    EXPECT_TRUE(Near(pixel(x, 0), kBottomColour, 8)) << std::hex << pixel(x, 0);
    EXPECT_TRUE(Near(pixel(x, 100), kBottomColour, 8)) << std::hex << pixel(x, 100);
    EXPECT_TRUE(Near(pixel(x, 140), kTopColour, 8)) << std::hex << pixel(x, 140);
    EXPECT_TRUE(Near(pixel(x, kBandsHeight - 1), kTopColour, 8)) << std::hex << pixel(x, kBandsHeight - 1);
  }
  GlobalUnlock(Block);
}

TEST_F(PlayerWineTest, SnapshotsWhileRunningAndRefusedOtherwise) {
  KeptSnapshots kept;
  DWORD guiThread = 0;
  PlayerProbe* seen = nullptr;
  ASSERT_TRUE(RunsOnGuiThreadWithin(
      [&] {
        guiThread = GetCurrentThreadId();
        PlayerProbe player;
        seen = &player;
        player.SetParentWindow(previewtest::SharedHost());
        player.SetBounds(10, 10, 160, 120);
        player.SetOnSnapshot(kept.Handler());
        ASSERT_TRUE(player.Open(ClipPath(L"bands25.avi")));
        EXPECT_FALSE(player.TakeSnapshot());
        EXPECT_EQ(player.ErrorStatus(), 11);
        ASSERT_TRUE(player.Start(vlmVideoStretch, 0.5));  // slow: the clip lasts while we ask
        ASSERT_TRUE(player.TakeSnapshot());
        EXPECT_EQ(player.ErrorStatus(), 0);
        EXPECT_TRUE(testwin::PumpUntil([&] { return !kept.Blocks.empty(); }, kEventTimeoutMs)) << "no snapshot";
        testwin::PumpMessages(100);
        EXPECT_EQ(kept.Blocks.size(), 1u) << "one request, one snapshot";

        ASSERT_TRUE(player.Pause());
        EXPECT_FALSE(player.TakeSnapshot());
        EXPECT_EQ(player.ErrorStatus(), 11);
        ASSERT_TRUE(player.Stop());
        EXPECT_FALSE(player.TakeSnapshot());
        EXPECT_EQ(player.ErrorStatus(), 11);
        EXPECT_TRUE(player.Close());
      },
      kTimeoutMs));
  ASSERT_EQ(kept.Blocks.size(), 1u);
  EXPECT_EQ(kept.Senders[0], static_cast<TObject*>(seen));
  EXPECT_EQ(kept.Threads[0], guiThread) << "OnSnapshot ran off the GUI thread";
  ExpectBandsImage(kept.Blocks[0]);
}

TEST_F(PlayerWineTest, SnapshotHandlerThatThrowsDoesNotEscapeAndItsBlockIsFreed) {
  const SIZE_T blockSize = sizeof(BITMAPINFOHEADER) + kBandsImage;
  int throwing = 0;
  KeptSnapshots kept;
  int blocksBefore = -1, blocksAfterThrow = -1, blocksAfterKeep = -1;
  ASSERT_TRUE(RunsOnGuiThreadWithin(
      [&] {
        PlayerProbe player;
        player.SetParentWindow(previewtest::SharedHost());
        player.SetBounds(10, 10, 160, 120);
        player.SetOnSnapshot([&](TObject*, UINT_PTR, bool&) {
          ++throwing;
          throw std::runtime_error("handler failed");
        });
        ASSERT_TRUE(player.Open(ClipPath(L"bands25.avi")));
        ASSERT_TRUE(player.Start(vlmVideoStretch, 0.5));
        testwin::PumpMessages(100);
        blocksBefore = HeapBlocksOfSize(blockSize);
        ASSERT_TRUE(player.TakeSnapshot());
        EXPECT_TRUE(testwin::PumpUntil([&] { return throwing > 0; }, kEventTimeoutMs));
        testwin::PumpMessages(100);
        blocksAfterThrow = HeapBlocksOfSize(blockSize);
        // Still working afterwards; a handler that keeps its block is seen by the count.
        EXPECT_EQ(player.State().Value(), kRunning);
        player.SetOnSnapshot(kept.Handler());
        ASSERT_TRUE(player.TakeSnapshot());
        EXPECT_TRUE(testwin::PumpUntil([&] { return !kept.Blocks.empty(); }, kEventTimeoutMs));
        testwin::PumpMessages(100);
        blocksAfterKeep = HeapBlocksOfSize(blockSize);
        EXPECT_TRUE(player.Close());
      },
      kTimeoutMs));
  EXPECT_EQ(throwing, 1);
  EXPECT_EQ(blocksAfterThrow, blocksBefore) << "the block of the failed handler was not freed";
  EXPECT_EQ(blocksAfterKeep, blocksBefore + 1) << "the count does not see snapshot blocks";
}

TEST_F(PlayerWineTest, PictureAppearsInsideTheControl) {
  bool topSeen = false, bottomSeen = false;
  COLORREF top = 0, bottom = 0, outside = 0;
  ASSERT_TRUE(RunsOnGuiThreadWithin(
      [&] {
        PlayerProbe player;
        player.SetParentWindow(previewtest::SharedHost());
        player.SetBounds(40, 30, 200, 100);
        ASSERT_TRUE(player.Open(ClipPath(L"bands25.avi")));
        ASSERT_TRUE(player.Start(vlmVideoStretch, 0.25));  // 8 s: long enough to look
        POINT upper{100, 25}, lower{100, 75}, beside{260, 80};  // control and host client points
        ClientToScreen(player.Handle(), &upper);
        ClientToScreen(player.Handle(), &lower);
        ClientToScreen(previewtest::SharedHost(), &beside);
        topSeen = testwin::PumpUntil(
            [&] {
              top = ScreenPixel(upper.x, upper.y);
              bottom = ScreenPixel(lower.x, lower.y);
              return Near(top, kTopColour) && Near(bottom, kBottomColour);
            },
            kEventTimeoutMs);
        bottomSeen = Near(bottom, kBottomColour);
        outside = ScreenPixel(beside.x, beside.y);
        EXPECT_TRUE(player.Close());
      },
      kTimeoutMs));
  EXPECT_TRUE(topSeen) << "upper half shows " << std::hex << top;
  EXPECT_TRUE(bottomSeen) << "lower half shows " << std::hex << bottom;
  EXPECT_FALSE(Near(outside, kTopColour)) << "the picture spilled out of the control";
  EXPECT_FALSE(Near(outside, kBottomColour)) << "the picture spilled out of the control";
}

}  // namespace
