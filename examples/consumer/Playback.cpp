// The README's playback example: a video file played inside a control until it ends.

#include "Examples.h"

#include <cstdio>

#include "MessageLoop.h"
#include "webcam/LmPlay.h"

// [README playback]
bool PlayToEnd(HWND Parent, const std::wstring& FileName) {
  TVLmPlay player(nullptr);
  player.SetParentWindow(Parent);
  player.SetBounds(340, 10, 320, 240);
  bool ended = false;
  player.SetOnEnd([&](TObject*) { ended = true; });  // on this thread, through the messages
  if (!player.Open(FileName) || !player.Start(vlmVideoScale, 1.0)) {
    std::fwprintf(stderr, L"playback: error %d\n", player.ErrorStatus());
    return false;
  }
  std::wprintf(L"playing %ldx%ld, %.2f frames per second, %.2f s\n", player.VideoSize().cx,
               player.VideoSize().cy, player.FrameRate(), player.Duration());
  const DWORD limit = static_cast<DWORD>(player.Duration() * 1000) + 5000;
  const bool reachedEnd = PumpMessagesUntil([&] { return ended; }, limit);
  player.Close();
  return reachedEnd;
}
// [README end]
