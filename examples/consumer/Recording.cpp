// The README's recording example: a camera's picture shown and written into an AVI file.

#include "Examples.h"

#include <cstdio>

#include "MessageLoop.h"
#include "webcam/LmRecord.h"

// [README recording]
bool RecordFirstCamera(HWND Parent, const std::wstring& FileName, DWORD Milliseconds) {
  TVLmRecord recorder(nullptr);
  recorder.SetParentWindow(Parent);
  recorder.SetBounds(10, 10, 320, 240);
  recorder.SetFormat(vlmAvi);  // or vlmAsf
  // Open builds the graph that shows device 0 and writes FileName (overwritten).
  if (!recorder.Open(FileName, 0) || !recorder.Start(vlmVideoStretch)) {
    std::fwprintf(stderr, L"recording: error %d\n", recorder.ErrorStatus());
    return false;
  }
  PumpMessagesFor(Milliseconds);
  return recorder.Stop() && recorder.Close();  // stopping the graph completes the file
}
// [README end]
