#pragma once

// The live controls of the C interface, by handle. A handle is a number that is never used
// twice (and never a valid address), so a destroyed or made-up handle finds nothing instead of
// another control.

#include <windows.h>

#include <cstdint>
#include <memory>

#include "lumora10.h"
#include "webcam/LmPlay.h"
#include "webcam/LmPreview.h"
#include "webcam/LmRecord.h"

namespace lm10 {

// The kinds of control, as a set of bits, so that a function names the kinds it serves.
enum ControlKind : uint32_t {
  kPreview = 1,
  kRecorder = 2,
  kPlayer = 4,
  kCamera = kPreview | kRecorder,
  kSnapshots = kPreview | kPlayer,
  kAnyControl = kPreview | kRecorder | kPlayer,
};

// One control, with views of it as each class it is. Touched on its thread only.
struct ControlEntry {
  std::unique_ptr<TVLmVideoControl> Control;
  ControlKind Kind = kPreview;
  DWORD Thread = 0;
  TVLmPreview* Preview = nullptr;
  TVLmRecord* Recorder = nullptr;
  TVLmPlay* Player = nullptr;
  TVLmCaptureControl* Camera = nullptr;      // the preview or the recorder
  TLmSnapshotPipeline* Snapshots = nullptr;  // the preview or the player
  // Calls of the interface on this control running now, one inside another when a call's modal
  // loop (a property frame, the version box) dispatches messages; and event handlers of the
  // control running now. Lm10Destroy is refused while another of either runs.
  int CallsRunning = 0;
  int HandlersRunning = 0;
};

// Takes a new control (of the calling thread) and returns its handle.
Lm10Control AddControl(std::unique_ptr<ControlEntry> Entry);
// The live control Handle names when it is of one of Kinds and belongs to the calling thread;
// null otherwise.
ControlEntry* FindControl(Lm10Control Handle, uint32_t Kinds);
// Takes the control out of the table; the caller destroys it.
std::unique_ptr<ControlEntry> RemoveControl(Lm10Control Handle);

}  // namespace lm10
