// The README's frame-stream example: every newest frame of a camera, on the GUI thread.

#include "Examples.h"

#include <cstdio>

#include "MessageLoop.h"
#include "webcam/LmPreview.h"

// [README frames]
// Counts the frames of the first camera for Milliseconds, and how many the handler missed.
bool CountFramesOfFirstCamera(HWND Parent, DWORD Milliseconds) {
  TVLmPreview preview(nullptr);
  preview.SetParentWindow(Parent);
  preview.SetBounds(10, 10, 320, 240);
  uint64_t delivered = 0, dropped = 0;
  int64_t firstTime = -1, lastTime = -1;
  // On this thread, the newest frame as 24-bit RGB, top row first: Frame.Height rows of
  // Frame.Stride bytes at Frame.Data, lent for the call.
  preview.SetOnFrame([&](TObject*, const TLmFrame& Frame) {
    ++delivered;
    dropped += Frame.Dropped;
    if (firstTime < 0) firstTime = Frame.SampleTime;
    lastTime = Frame.SampleTime;  // 100-ns units of stream time
  });
  if (!preview.Open(0) || !preview.Start(vlmVideoStretch)) {
    std::fwprintf(stderr, L"frames: error %d\n", preview.ErrorStatus());
    return false;
  }
  PumpMessagesFor(Milliseconds);
  preview.Close();
  std::wprintf(L"%u frames over %.2f s, %u dropped\n", static_cast<unsigned>(delivered), (lastTime - firstTime) / 1e7,
               static_cast<unsigned>(dropped));
  return delivered > 0;
}
// [README end]
