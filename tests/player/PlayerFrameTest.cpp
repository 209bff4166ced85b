// The player's frame stream on Wine's real playback graph: in Direct delivery every frame of a
// short clip arrives, in order, on a streaming thread, with the clip's times.

#include <gtest/gtest.h>

#include <mutex>
#include <vector>

#include "player/PlayerRig.h"
#include "preview/PreviewProbe.h"
#include "support/TestWindow.h"

using playertest::ClipPath;
using playertest::kEventTimeoutMs;
using playertest::kTimeoutMs;
using playertest::PlayerProbe;
using previewtest::RunsOnGuiThreadWithin;

namespace {

struct Seen {
  uint64_t Number;
  int64_t SampleTime;
  DWORD Thread;
  int32_t Width, Height, Stride;
};

class PlayerFrameTest : public testing::Test {
protected:
  static void SetUpTestSuite() { previewtest::SharedHost(); }
};

TEST_F(PlayerFrameTest, DirectDeliveryGivesEveryFrameOfAClipInOrder) {
  ASSERT_TRUE(RunsOnGuiThreadWithin(
      [] {
        PlayerProbe player;
        player.SetParentWindow(previewtest::SharedHost());
        player.SetBounds(10, 10, 160, 120);
        std::mutex lock;
        std::vector<Seen> frames;
        player.SetFrameDelivery(vlmFrameDirect);
        player.SetFrameFormat(vlmFrameRGB32);
        player.SetOnFrame([&](TObject*, const TLmFrame& Frame) {
          std::lock_guard guard(lock);
          frames.push_back({Frame.Number, Frame.SampleTime, GetCurrentThreadId(), Frame.Width, Frame.Height, Frame.Stride});
        });
        bool ended = false;
        player.SetOnEnd([&](TObject*) { ended = true; });
        // tiny_raw.avi: 10 frames of 64 x 48 at 25 frames per second.
        ASSERT_TRUE(player.Open(ClipPath(L"tiny_raw.avi"))) << player.ErrorStatus();
        ASSERT_TRUE(player.Start(vlmVideoStretch, 1.0));
        ASSERT_TRUE(testwin::PumpUntil([&] { return ended; }, kEventTimeoutMs));
        EXPECT_TRUE(player.Close());

        std::lock_guard guard(lock);
        ASSERT_EQ(frames.size(), 10u);
        for (size_t i = 0; i < frames.size(); ++i) {
          SCOPED_TRACE(i);
          EXPECT_EQ(frames[i].Number, i);
          EXPECT_NEAR(static_cast<double>(frames[i].SampleTime), i * 400000.0, 1.0) << "the clip's own times";
          EXPECT_NE(frames[i].Thread, GetCurrentThreadId());
          EXPECT_EQ(frames[i].Width, 64);
          EXPECT_EQ(frames[i].Height, 48);
          EXPECT_EQ(frames[i].Stride, 64 * 4);
        }
      },
      kTimeoutMs));
}

}  // namespace
