// A file decides the format the player's grabber connects with. Copies of a good clip whose
// stream format fields were edited after ffmpeg wrote them (image size, width, height, bits per
// pixel) may be refused, may play, may give snapshots: but a snapshot handed out never
// promises more pixels than its block holds. The copy whose image size alone is wrong still
// plays, and its snapshot is the clip's picture with a header that describes it exactly.

#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "player/PlayerRig.h"
#include "preview/PreviewProbe.h"
#include "support/TestWindow.h"

using playertest::ClipPath;
using playertest::PlayerProbe;

namespace {

// The offset of the video stream's BITMAPINFOHEADER in an AVI file: the first 'strf' chunk
// that follows a 'strh' of type 'vids'.
size_t VideoFormatOffset(const std::vector<BYTE>& File) {
  bool video = false;
  for (size_t at = 12; at + 8 + sizeof(BITMAPINFOHEADER) <= File.size(); ++at) {
    if (std::memcmp(&File[at], "strh", 4) == 0) video = std::memcmp(&File[at + 8], "vids", 4) == 0;
    if (video && std::memcmp(&File[at], "strf", 4) == 0) return at + 8;
  }
  return 0;
}

struct Edit {
  const char* Name;
  size_t Field;  // offset in BITMAPINFOHEADER
  DWORD Value;
  size_t Bytes;
  bool Plays;  // gives a snapshot of the clip's own 320 x 240 picture
};

// The clip's two bands (tests/CMakeLists.txt, bands25.avi) in a bottom-up 24-bit picture of
// 320 x 240: 0x30C050 below, 0x2040C0 above (within Wine's rounding).
void ExpectBands(const BYTE* Pixels) {
  constexpr size_t kStride = 320 * 3;
  const BYTE* below = Pixels + 60 * kStride + 160 * 3;
  const BYTE* above = Pixels + 180 * kStride + 160 * 3;
  EXPECT_TRUE(playertest::Near(RGB(below[2], below[1], below[0]), RGB(0x30, 0xC0, 0x50), 4));
  EXPECT_TRUE(playertest::Near(RGB(above[2], above[1], above[0]), RGB(0x20, 0x40, 0xC0), 4));
}

TEST(PlayerCraftedHeader, SnapshotsNeverPromiseMorePixelsThanTheirBlockHolds) {
  const std::vector<BYTE> good = playertest::ReadFileBytes(ClipPath(L"bands25.avi"));
  const size_t format = VideoFormatOffset(good);
  ASSERT_GT(format, 0u) << "no video format in the clip";
  const Edit edits[] = {
      {"image size 4000", offsetof(BITMAPINFOHEADER, biSizeImage), 4000, 4, true},
      {"width 640", offsetof(BITMAPINFOHEADER, biWidth), 640, 4, false},
      {"height 480", offsetof(BITMAPINFOHEADER, biHeight), 480, 4, false},
      {"32 bits per pixel", offsetof(BITMAPINFOHEADER, biBitCount), 32, 2, false},
  };
  // The shared host is made on this thread, which outlives the GUI threads of the tries.
  const HWND host = previewtest::SharedHost();
  playertest::TempFolder folder;
  int delivered = 0;
  for (const Edit& edit : edits) {
    SCOPED_TRACE(edit.Name);
    std::vector<BYTE> copy = good;
    std::memcpy(&copy[format + edit.Field], &edit.Value, edit.Bytes);
    const std::wstring path = folder.Path() + L"\\crafted.avi";
    ASSERT_TRUE(playertest::WriteFileBytes(path, copy.data(), copy.size()));
    ASSERT_TRUE(previewtest::RunsOnGuiThreadWithin(
        [&] {
          PlayerProbe player;
          player.SetParentWindow(host);
          player.SetBounds(10, 10, 160, 120);
          bool seen = false;
          player.SetOnSnapshot([&](TObject*, UINT_PTR Image, bool&) {
            seen = true;
            const auto block = reinterpret_cast<HGLOBAL>(Image);
            const SIZE_T size = GlobalSize(block);
            const auto* header = static_cast<const BITMAPINFOHEADER*>(GlobalLock(block));
            ASSERT_NE(header, nullptr);
            const LONGLONG stride = (static_cast<LONGLONG>(header->biWidth) * 3 + 3) / 4 * 4;
            EXPECT_EQ(header->biBitCount, 24);
            EXPECT_GT(header->biHeight, 0);
            EXPECT_LE(sizeof(BITMAPINFOHEADER) + stride * header->biHeight, size);
            EXPECT_LE(sizeof(BITMAPINFOHEADER) + header->biSizeImage, size);
            if (edit.Plays) {
              EXPECT_EQ(header->biWidth, 320);
              EXPECT_EQ(header->biHeight, 240);
              EXPECT_EQ(header->biSizeImage, 320u * 3 * 240);
              if (header->biSizeImage == 320u * 3 * 240 && size >= sizeof(BITMAPINFOHEADER) + header->biSizeImage)
                ExpectBands(reinterpret_cast<const BYTE*>(header + 1));
            }
            GlobalUnlock(block);
          });
          if (!player.Open(path)) {
            EXPECT_FALSE(edit.Plays) << "refused with error " << player.ErrorStatus();
            return;  // refused: nothing to check
          }
          if (player.Start(vlmVideoStretch, 1.0) && player.TakeSnapshot())
            testwin::PumpUntil([&] { return seen; }, 2000);
          if (edit.Plays) {
            EXPECT_TRUE(seen) << "no snapshot of the copy with " << edit.Name;
          }
          delivered += seen ? 1 : 0;
          player.Close();
        },
        playertest::kTimeoutMs));
  }
  RecordProperty("snapshots_delivered", delivered);
}

}  // namespace
