// What the player's event handlers may do, on Wine's real playback graph: OnEnd and
// OnSnapshot handlers that close the player, open another clip, play again or stop. The
// handler runs once, after the player has finished with the message that caused it, and the
// player goes on working.

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "player/PlayerRig.h"
#include "preview/PreviewProbe.h"
#include "support/TestWindow.h"

using playertest::ClipPath;
using playertest::kEventTimeoutMs;
using playertest::kTimeoutMs;
using playertest::PlayerProbe;
using previewtest::RunsOnGuiThreadWithin;

namespace {

enum class Action { Close, OpenOther, PlayAgain, Stop };

struct Case {
  bool OnEnd;  // else OnSnapshot
  Action What;
  TVLmVideoStates After;
  const char* Name;
};

bool Act(PlayerProbe& Player, Action What, bool Ended) {
  switch (What) {
    case Action::Close:
      return Player.Close();
    case Action::OpenOther:
      return Player.Close() && Player.Open(ClipPath(L"tiny_raw.avi")) && Player.Start(vlmVideoStretch, 1.0);
    case Action::PlayAgain:
      // An ended player is Open: it rewinds and plays; a running one stops first.
      return (Ended || Player.Stop()) && Player.StartFrom(0) && Player.Start(vlmVideoScale, 1.0);
    case Action::Stop:
      // Nothing runs after the end any more.
      return Ended ? !Player.Stop() && Player.ErrorStatus() == LMERR_WRONG_STATE : Player.Stop();
  }
  return false;
}

class PlayerHandlerTest : public testing::Test {
protected:
  static void SetUpTestSuite() { previewtest::SharedHost(); }
};

TEST_F(PlayerHandlerTest, EventHandlersMayCloseOpenReplayOrStop) {
  const Case cases[] = {
      {true, Action::Close, vlmStateClosed, "end, close"},
      {true, Action::OpenOther, vlmStateRunning, "end, open another clip"},
      {true, Action::PlayAgain, vlmStateRunning, "end, play again"},
      {true, Action::Stop, vlmStateOpen, "end, stop"},
      {false, Action::Close, vlmStateClosed, "snapshot, close"},
      {false, Action::OpenOther, vlmStateRunning, "snapshot, open another clip"},
      {false, Action::PlayAgain, vlmStateRunning, "snapshot, play again"},
      {false, Action::Stop, vlmStateStopped, "snapshot, stop"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    ASSERT_TRUE(RunsOnGuiThreadWithin(
        [&] {
          PlayerProbe player;
          player.SetParentWindow(previewtest::SharedHost());
          player.SetBounds(10, 10, 160, 120);
          int calls = 0;
          bool acted = false;
          const auto handle = [&] {
            ++calls;
            acted = Act(player, c.What, c.OnEnd);
          };
          if (c.OnEnd)
            player.SetOnEnd([&](TObject*) { handle(); });
          else
            player.SetOnSnapshot([&](TObject*, UINT_PTR, bool&) { handle(); });
          ASSERT_TRUE(player.Open(ClipPath(L"tiny_raw.avi"))) << player.ErrorStatus();
          ASSERT_TRUE(player.Start(vlmVideoStretch, 1.0));
          if (!c.OnEnd) {
            ASSERT_TRUE(player.TakeSnapshot());
          }
          ASSERT_TRUE(testwin::PumpUntil([&] { return calls > 0; }, kEventTimeoutMs));
          testwin::PumpMessages(200);
          EXPECT_EQ(calls, 1);
          EXPECT_TRUE(acted) << "error " << player.ErrorStatus();
          EXPECT_EQ(player.State(), c.After);
          // A player that plays again reaches its (new) end.
          if (player.State() == vlmStateRunning) {
            bool ended = false;
            player.SetOnEnd([&](TObject*) { ended = true; });
            player.SetOnSnapshot(nullptr);
            EXPECT_TRUE(testwin::PumpUntil([&] { return ended; }, kEventTimeoutMs));
          }
          if (player.State() != vlmStateClosed) {
            EXPECT_TRUE(player.Close());
          }
        },
        kTimeoutMs));
  }
}

}  // namespace
