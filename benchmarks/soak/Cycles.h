#pragma once

// The cycles the soak repeats: each component's Open, Start, (snapshot,) Stop, Close, the same
// done by a hand-written DirectShow program, and a snapshot request followed at once by Stop or
// Close.

#include <windows.h>

#include <memory>
#include <string>

#include "soak/CycleSoak.h"
#include "soak/Watchdog.h"

namespace soak {

// Where the cycles run: the host window of the video, the camera, the clip the player plays,
// the folder recordings go to, and the watchdog that hears of each step.
struct CyclePlace {
  HWND Host = nullptr;
  std::wstring Camera;
  std::wstring Clip;
  std::wstring Folder;
  Watchdog* Dog = nullptr;
};

// Each returns a cycle that keeps its component (or nothing) between calls; the component goes
// with the last copy of the cycle.
Cycle PreviewCycle(const CyclePlace& Place);             // TVLmPreview: Open, Start, TakeSnapshot (waits), Stop, Close
Cycle HandWrittenPreviewCycle(const CyclePlace& Place);  // the same graph by hand, one buffer grabbed
Cycle PlayerCycle(const CyclePlace& Place);              // TVLmPlay: Open, Start, TakeSnapshot (waits), Stop, Close
Cycle HandWrittenPlayerCycle(const CyclePlace& Place);
Cycle RecorderCycle(const CyclePlace& Place);            // TVLmRecord: Open, Start, 200 ms, Stop, Close
Cycle HandWrittenRecorderCycle(const CyclePlace& Place);

// A round of TVLmPreview: (Open and) Start when needed, a pause of up to a frame interval,
// TakeSnapshot, then at once Stop (even rounds) or Close (odd rounds). Counts what it sees.
struct TeardownTally {
  int Requested = 0;  // TakeSnapshot accepted
  int Delivered = 0;  // OnSnapshot called
};
Cycle TeardownRound(const CyclePlace& Place, std::shared_ptr<TeardownTally> Tally);
// The same by hand: Run, the grabber's callback armed, Stop; the graph built again after every
// second round.
Cycle HandWrittenTeardownRound(const CyclePlace& Place);

}  // namespace soak
