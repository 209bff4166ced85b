// Snapshots and the frame stream of the preview and the player.

#include "capi/src/Boundary.h"
#include "capi/src/Events.h"
#include "capi/src/Values.h"
#include "lumora10.h"
#include "webcam/LmFrame.h"

// The interface's frame values are the library's.
static_assert(LM10_FRAME_LATEST == vlmFrameLatest && LM10_FRAME_DIRECT == vlmFrameDirect &&
                  LM10_FRAME_NATIVE == vlmFrameNative && LM10_FRAME_RGB24 == vlmFrameRGB24 &&
                  LM10_FRAME_RGB32 == vlmFrameRGB32,
              "LM10_FRAME_... differ from the library's frame values");

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

Lm10Result LM10_CALL Lm10SetOnFrame(Lm10Control control, Lm10FrameCallback callback, void* context) {
  return lm10::WriteValue(control, lm10::kSnapshots, true, [&](lm10::ControlEntry& entry) {
    entry.Snapshots->SetOnFrame(lm10::FrameHandler(control, callback, context));
  });
}

Lm10Result LM10_CALL Lm10SetFrameDelivery(Lm10Control control, INT32 delivery) {
  return lm10::WriteValue(control, lm10::kSnapshots, lm10::IsFrameDelivery(delivery), [&](lm10::ControlEntry& entry) {
    entry.Snapshots->SetFrameDelivery(static_cast<TVLmFrameDelivery>(delivery));
  });
}

Lm10Result LM10_CALL Lm10GetFrameDelivery(Lm10Control control, INT32* delivery) {
  return lm10::ReadValue(control, lm10::kSnapshots, delivery,
                         [](const lm10::ControlEntry& entry) { return entry.Snapshots->FrameDelivery(); });
}

Lm10Result LM10_CALL Lm10SetFrameFormat(Lm10Control control, INT32 format) {
  return lm10::WriteValue(control, lm10::kSnapshots, lm10::IsFrameFormat(format), [&](lm10::ControlEntry& entry) {
    entry.Snapshots->SetFrameFormat(static_cast<TVLmFrameFormat>(format));
  });
}

Lm10Result LM10_CALL Lm10GetFrameFormat(Lm10Control control, INT32* format) {
  return lm10::ReadValue(control, lm10::kSnapshots, format,
                         [](const lm10::ControlEntry& entry) { return entry.Snapshots->FrameFormat(); });
}

}  // extern "C"
