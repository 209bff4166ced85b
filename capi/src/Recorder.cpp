// The recorder's file type, bit rate and write errors (its opening is with the camera controls').

#include "capi/src/Boundary.h"
#include "capi/src/Events.h"
#include "lumora10.h"

extern "C" {

Lm10Result LM10_CALL Lm10RecorderSetFileFormat(Lm10Control control, INT32 fileFormat) {
  return lm10::WriteValue(
      control, lm10::kRecorder, fileFormat == LM10_FILE_AVI || fileFormat == LM10_FILE_ASF,
      [&](lm10::ControlEntry& entry) { entry.Recorder->SetFormat(static_cast<TVLmVideoFormat>(fileFormat)); });
}

Lm10Result LM10_CALL Lm10RecorderGetFileFormat(Lm10Control control, INT32* fileFormat) {
  return lm10::ReadValue(control, lm10::kRecorder, fileFormat,
                         [](const lm10::ControlEntry& entry) { return entry.Recorder->Format(); });
}

Lm10Result LM10_CALL Lm10RecorderSetBitRate(Lm10Control control, UINT32 bitRate) {
  return lm10::WriteValue(control, lm10::kRecorder, true,
                          [&](lm10::ControlEntry& entry) { entry.Recorder->SetBitRate(bitRate); });
}

Lm10Result LM10_CALL Lm10SetOnRecordError(Lm10Control control, Lm10NotifyCallback callback, void* context) {
  return lm10::WriteValue(control, lm10::kRecorder, true, [&](lm10::ControlEntry& entry) {
    entry.Recorder->SetOnRecordError(lm10::NotifyHandler(control, callback, context));
  });
}

}  // extern "C"
