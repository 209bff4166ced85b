// TVLmPlay on the kinds of file users open, which Wine's DirectShow reads through GStreamer:
// MPEG-1, WMV, MP4 (H.264), Matroska and AVI with a common codec, each made by ffmpeg at build
// time (tests/CMakeLists.txt: users_*). Each one opens, reports its picture size, rate and
// duration, gives a snapshot of its picture and plays to its end.
//
// The player connects its Sample Grabber as RGB24; a decoder that delivered only YUV would leave
// the grabber out of the graph (no snapshot). Wine's GStreamer bridge converts every one of
// these to RGB24 today, so each must give a snapshot.

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "player/PlayerRig.h"
#include "preview/PreviewProbe.h"
#include "support/TestWindow.h"

using playertest::ClipPath;
using playertest::kEventTimeoutMs;
using playertest::kTimeoutMs;
using playertest::KeptSnapshots;
using playertest::PlayerProbe;
using previewtest::RunsOnGuiThreadWithin;

namespace {

constexpr int kOpen = 2;
constexpr int kNoSnapshotStream = LMERR_NO_SNAPSHOT_STREAM;
constexpr LONG kWidth = 320, kHeight = 240;
constexpr double kFrameRate = 25.0, kDuration = 2.0;

struct UsersFile {
  const char* Name;          // in the build's clip folder
  double DurationTolerance;  // seconds
};

void PrintTo(const UsersFile& File, std::ostream* Out) { *Out << File.Name; }

class PlayerFormatsTest : public testing::TestWithParam<UsersFile> {
protected:
  static void SetUpTestSuite() { previewtest::SharedHost(); }
};

// The picture of a snapshot: a bottom-up 24-bit DIB of the clip's size whose pixels are not
// all one colour (the test picture has bars, a gradient and a counter).
void ExpectClipPicture(HGLOBAL Block) {
  ASSERT_NE(Block, nullptr);
  const SIZE_T image = static_cast<SIZE_T>(kWidth) * kHeight * 3;
  ASSERT_GE(GlobalSize(Block), sizeof(BITMAPINFOHEADER) + image);
  const auto* bytes = static_cast<const BYTE*>(GlobalLock(Block));
  ASSERT_NE(bytes, nullptr);
  BITMAPINFOHEADER header;
  std::memcpy(&header, bytes, sizeof(header));
  EXPECT_EQ(header.biWidth, kWidth);
  EXPECT_EQ(header.biHeight, kHeight);
  EXPECT_EQ(header.biBitCount, 24);
  EXPECT_EQ(header.biCompression, static_cast<DWORD>(BI_RGB));
  const BYTE* pixels = bytes + sizeof(BITMAPINFOHEADER);
  int differing = 0;
  for (SIZE_T i = 3; i < image; i += 3 * 97) differing += std::memcmp(pixels, pixels + i, 3) != 0;
  EXPECT_GT(differing, 100) << "a picture of one colour";
  GlobalUnlock(Block);
}

TEST_P(PlayerFormatsTest, OpensReportsSnapshotsAndPlaysToTheEnd) {
  const UsersFile file = GetParam();
  const std::wstring path = ClipPath(std::wstring(file.Name, file.Name + std::strlen(file.Name)).c_str());
  KeptSnapshots kept;
  bool snapshotStream = false;
  int ends = 0;
  ASSERT_TRUE(RunsOnGuiThreadWithin(
      [&] {
        PlayerProbe player;
        player.SetParentWindow(previewtest::SharedHost());
        player.SetBounds(10, 10, 160, 120);
        player.SetOnSnapshot(kept.Handler());
        player.SetOnEnd([&](TObject*) { ++ends; });
        ASSERT_TRUE(player.Open(path)) << "error " << player.ErrorStatus();
        EXPECT_EQ(player.State().Value(), kOpen);
        EXPECT_EQ(player.VideoSize().cx, kWidth);
        EXPECT_EQ(player.VideoSize().cy, kHeight);
        EXPECT_NEAR(player.FrameRate(), kFrameRate, 0.01);
        EXPECT_NEAR(player.Duration(), kDuration, file.DurationTolerance);
        snapshotStream = player.m_isSampleGrabber;

        ASSERT_TRUE(player.Start(vlmVideoStretch, 1.0)) << "error " << player.ErrorStatus();
        const bool requested = player.TakeSnapshot();
        if (snapshotStream) {
          EXPECT_TRUE(requested) << "error " << player.ErrorStatus();
          EXPECT_TRUE(testwin::PumpUntil([&] { return !kept.Blocks.empty(); }, kEventTimeoutMs)) << "no snapshot";
        } else {
          EXPECT_FALSE(requested);
          EXPECT_EQ(player.ErrorStatus(), kNoSnapshotStream);
        }
        EXPECT_TRUE(testwin::PumpUntil([&] { return ends > 0; }, kEventTimeoutMs)) << "no end of the file";
        EXPECT_EQ(player.State().Value(), kOpen);
        EXPECT_TRUE(player.Close());
      },
      kTimeoutMs));
  EXPECT_EQ(ends, 1);
  ASSERT_TRUE(snapshotStream) << "no snapshot stream: the decoder offers no RGB24";
  ASSERT_EQ(kept.Blocks.size(), 1u);
  ExpectClipPicture(kept.Blocks[0]);
}

INSTANTIATE_TEST_SUITE_P(UsersFiles, PlayerFormatsTest,
                         // An MPEG program stream records no duration: it is estimated from the
                         // stream's rate and its last time stamps (the sound track ends first).
                         testing::Values(UsersFile{"users_mpeg1.mpg", 0.25}, UsersFile{"users_wmv8.wmv", 0.1},
                                         UsersFile{"users_h264.mp4", 0.1}, UsersFile{"users_vp8.mkv", 0.1},
                                         UsersFile{"users_mpeg4.avi", 0.1}),
                         [](const testing::TestParamInfo<UsersFile>& Info) {
                           std::string name = Info.param.Name;
                           for (char& c : name)
                             if (c == '.') c = '_';
                           return name;
                         });

}  // namespace
