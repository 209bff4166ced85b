// The player: its file, playing at a rate, the position it starts from, the file's length and
// rate, and the end of the file.

#include <cmath>

#include "capi/src/Boundary.h"
#include "capi/src/Events.h"
#include "capi/src/Values.h"
#include "lumora10.h"

extern "C" {

Lm10Result LM10_CALL Lm10PlayerOpen(Lm10Control control, const wchar_t* fileName) {
  return lm10::WithControl(control, lm10::kPlayer, [&](lm10::ControlEntry& entry) -> Lm10Result {
    if (!fileName) return LM10_ERR_INVALID_ARGUMENT;
    return lm10::Outcome(entry, entry.Player->Open(fileName));
  });
}

Lm10Result LM10_CALL Lm10PlayerStart(Lm10Control control, INT32 mode, double rate) {
  return lm10::WithControl(control, lm10::kPlayer, [&](lm10::ControlEntry& entry) -> Lm10Result {
    if (!lm10::IsDisplayMode(mode) || !std::isfinite(rate)) return LM10_ERR_INVALID_ARGUMENT;
    return lm10::Outcome(entry, entry.Player->Start(static_cast<TVLmVideoDisplayMode>(mode), rate));
  });
}

Lm10Result LM10_CALL Lm10PlayerStartFrom(Lm10Control control, double seconds) {
  return lm10::WithControl(control, lm10::kPlayer, [&](lm10::ControlEntry& entry) -> Lm10Result {
    if (!std::isfinite(seconds)) return LM10_ERR_INVALID_ARGUMENT;
    return lm10::Outcome(entry, entry.Player->StartFrom(seconds));
  });
}

Lm10Result LM10_CALL Lm10PlayerStartFromTime(Lm10Control control, INT64 time) {
  return lm10::WithControl(control, lm10::kPlayer, [&](lm10::ControlEntry& entry) {
    return lm10::Outcome(entry, entry.Player->StartFrom(static_cast<int64_t>(time)));
  });
}

Lm10Result LM10_CALL Lm10PlayerGetDuration(Lm10Control control, double* seconds) {
  return lm10::ReadValue(control, lm10::kPlayer, seconds,
                         [](const lm10::ControlEntry& entry) { return entry.Player->Duration(); });
}

Lm10Result LM10_CALL Lm10PlayerGetFrameRate(Lm10Control control, double* frameRate) {
  return lm10::ReadValue(control, lm10::kPlayer, frameRate,
                         [](const lm10::ControlEntry& entry) { return entry.Player->FrameRate(); });
}

Lm10Result LM10_CALL Lm10SetOnEnd(Lm10Control control, Lm10NotifyCallback callback, void* context) {
  return lm10::WriteValue(control, lm10::kPlayer, true, [&](lm10::ControlEntry& entry) {
    entry.Player->SetOnEnd(lm10::NotifyHandler(control, callback, context));
  });
}

}  // extern "C"
