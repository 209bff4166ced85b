// The recorder's file type and bit rate (its opening is with the camera controls').

#include "capi/src/Boundary.h"
#include "lumora10.h"

extern "C" {

Lm10Result LM10_CALL Lm10RecorderSetFileFormat(Lm10Control control, INT32 fileFormat) {
  return lm10::WithControl(control, lm10::kRecorder, [&](lm10::ControlEntry& entry) -> Lm10Result {
    if (fileFormat != LM10_FILE_AVI && fileFormat != LM10_FILE_ASF) return LM10_ERR_INVALID_ARGUMENT;
    entry.Recorder->SetFormat(static_cast<TVLmVideoFormat>(fileFormat));
    return LM10_OK;
  });
}

Lm10Result LM10_CALL Lm10RecorderGetFileFormat(Lm10Control control, INT32* fileFormat) {
  return lm10::WithControl(control, lm10::kRecorder, [&](lm10::ControlEntry& entry) -> Lm10Result {
    if (!fileFormat) return LM10_ERR_INVALID_ARGUMENT;
    *fileFormat = entry.Recorder->Format();
    return LM10_OK;
  });
}

Lm10Result LM10_CALL Lm10RecorderSetBitRate(Lm10Control control, UINT32 bitRate) {
  return lm10::WithControl(control, lm10::kRecorder, [&](lm10::ControlEntry& entry) {
    entry.Recorder->SetBitRate(bitRate);
    return LM10_OK;
  });
}

}  // extern "C"
