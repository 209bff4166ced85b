// Snapshots of the preview and the player.

#include "capi/src/Boundary.h"
#include "capi/src/Events.h"
#include "lumora10.h"

extern "C" {

Lm10Result LM10_CALL Lm10TakeSnapshot(Lm10Control control) {
  return lm10::WithControl(control, lm10::kSnapshots, [&](lm10::ControlEntry& entry) {
    return lm10::Outcome(entry, entry.Preview ? entry.Preview->TakeSnapshot() : entry.Player->TakeSnapshot());
  });
}

Lm10Result LM10_CALL Lm10SetOnSnapshot(Lm10Control control, Lm10SnapshotCallback callback, void* context) {
  return lm10::WithControl(control, lm10::kSnapshots, [&](lm10::ControlEntry& entry) {
    entry.Snapshots->SetOnSnapshot(lm10::SnapshotHandler(control, callback, context));
    return LM10_OK;
  });
}

}  // extern "C"
