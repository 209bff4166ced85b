// The camera controls (preview and recorder): the device list, opening a device, the device's
// formats, its property pages, and the events of devices that go and come.

#include "capi/src/Boundary.h"
#include "capi/src/Events.h"
#include "capi/src/StringOut.h"
#include "capi/src/Values.h"
#include "lumora10.h"

extern "C" {

Lm10Result LM10_CALL Lm10GetVideoDevices(Lm10Control control, INT32* count) {
  return lm10::WithControl(control, lm10::kCamera, [&](lm10::ControlEntry& entry) -> Lm10Result {
    if (!count) return LM10_ERR_INVALID_ARGUMENT;
    *count = entry.Camera->GetVideoDevices();
    return lm10::Status(entry);
  });
}

Lm10Result LM10_CALL Lm10GetVideoDeviceCount(Lm10Control control, INT32* count) {
  return lm10::ReadValue(control, lm10::kCamera, count,
                         [](const lm10::ControlEntry& entry) { return entry.Camera->VideoDevices()->Count(); });
}

Lm10Result LM10_CALL Lm10GetVideoDevice(Lm10Control control, INT32 index, wchar_t* name, UINT32 nameCapacity,
                                        UINT32* nameNeeded, wchar_t* path, UINT32 pathCapacity, UINT32* pathNeeded) {
  return lm10::WithControl(control, lm10::kCamera, [&](lm10::ControlEntry& entry) -> Lm10Result {
    if (!lm10::ValidBuffer(name, nameCapacity) || !lm10::ValidBuffer(path, pathCapacity))
      return LM10_ERR_INVALID_ARGUMENT;
    const TStringList& names = *entry.Camera->VideoDevices();
    const TStringList& paths = *entry.Camera->VideoDevicePaths();
    if (index < 0 || index >= names.Count() || index >= paths.Count()) return LM10_ERR_NO_DEVICE;
    return lm10::CopyOutPair(names[index], name, nameCapacity, nameNeeded, paths[index], path, pathCapacity,
                             pathNeeded);
  });
}

Lm10Result LM10_CALL Lm10PreviewOpen(Lm10Control control, INT32 index) {
  return lm10::WithControl(control, lm10::kPreview,
                           [&](lm10::ControlEntry& entry) { return lm10::Outcome(entry, entry.Preview->Open(index)); });
}

Lm10Result LM10_CALL Lm10PreviewOpenDevice(Lm10Control control, const wchar_t* path) {
  return lm10::WithControl(control, lm10::kPreview, [&](lm10::ControlEntry& entry) -> Lm10Result {
    if (!path) return LM10_ERR_INVALID_ARGUMENT;
    return lm10::Outcome(entry, entry.Preview->OpenDevice(path));
  });
}

Lm10Result LM10_CALL Lm10RecorderOpen(Lm10Control control, const wchar_t* fileName, INT32 index) {
  return lm10::WithControl(control, lm10::kRecorder, [&](lm10::ControlEntry& entry) -> Lm10Result {
    if (!fileName) return LM10_ERR_INVALID_ARGUMENT;
    return lm10::Outcome(entry, entry.Recorder->Open(fileName, index));
  });
}

Lm10Result LM10_CALL Lm10RecorderOpenDevice(Lm10Control control, const wchar_t* fileName, const wchar_t* path) {
  return lm10::WithControl(control, lm10::kRecorder, [&](lm10::ControlEntry& entry) -> Lm10Result {
    if (!fileName || !path) return LM10_ERR_INVALID_ARGUMENT;
    return lm10::Outcome(entry, entry.Recorder->OpenDevice(fileName, path));
  });
}

Lm10Result LM10_CALL Lm10GetStreamFormats(Lm10Control control, INT32* count) {
  return lm10::WithControl(control, lm10::kCamera, [&](lm10::ControlEntry& entry) -> Lm10Result {
    if (!count) return LM10_ERR_INVALID_ARGUMENT;
    *count = entry.Camera->GetStreamFormats();
    return lm10::Status(entry);
  });
}

Lm10Result LM10_CALL Lm10GetStreamFormat(Lm10Control control, INT32 index) {
  return lm10::WithControl(control, lm10::kCamera, [&](lm10::ControlEntry& entry) {
    return lm10::Outcome(entry, entry.Camera->GetStreamFormat(index));
  });
}

Lm10Result LM10_CALL Lm10SetStreamFormat(Lm10Control control, INT32 index) {
  return lm10::WithControl(control, lm10::kCamera, [&](lm10::ControlEntry& entry) {
    return lm10::Outcome(entry, entry.Camera->SetStreamFormat(index));
  });
}

Lm10Result LM10_CALL Lm10GetVideoFormat(Lm10Control control, Lm10VideoFormat* format) {
  return lm10::WithControl(control, lm10::kCamera, [&](lm10::ControlEntry& entry) -> Lm10Result {
    if (!format || format->Size < sizeof(Lm10VideoFormat)) return LM10_ERR_INVALID_ARGUMENT;
    const TVLmCaptureControl& camera = *entry.Camera;
    Lm10VideoFormat value{};
    value.Size = format->Size;
    value.VideoSize = camera.VideoSize();
    value.SubType = camera.VideoSubType();
    value.FrameRate = camera.FrameRate();
    value.MinimumFrameRate = camera.MinimumFrameRate();
    value.MaximumFrameRate = camera.MaximumFrameRate();
    value.BitCount = camera.BitCount();
    value.Compression = camera.Compression();
    if (entry.Recorder) {
      value.BitRate = entry.Recorder->BitRate();
      value.MinimumBitRate = entry.Recorder->MinimumBitRate();
      value.MaximumBitRate = entry.Recorder->MaximumBitRate();
    }
    *format = value;  // the 1.0 structure; a larger one keeps its later fields
    return LM10_OK;
  });
}

Lm10Result LM10_CALL Lm10SetFrameRate(Lm10Control control, double frameRate) {
  return lm10::WriteValue(control, lm10::kCamera, lm10::IsFrameRate(frameRate),
                          [&](lm10::ControlEntry& entry) { entry.Camera->SetFrameRate(frameRate); });
}

Lm10Result LM10_CALL Lm10ShowFilterDialog(Lm10Control control) {
  return lm10::WithControl(control, lm10::kCamera, [&](lm10::ControlEntry& entry) {
    return lm10::Outcome(entry, entry.Camera->ShowFilterDialog());
  });
}

Lm10Result LM10_CALL Lm10ShowCapturePinDialog(Lm10Control control) {
  return lm10::WithControl(control, lm10::kCamera, [&](lm10::ControlEntry& entry) {
    return lm10::Outcome(entry, entry.Camera->ShowCapturePinDialog());
  });
}

Lm10Result LM10_CALL Lm10SetOnDeviceLost(Lm10Control control, Lm10NotifyCallback callback, void* context) {
  return lm10::WriteValue(control, lm10::kCamera, true, [&](lm10::ControlEntry& entry) {
    entry.Camera->SetOnDeviceLost(lm10::NotifyHandler(control, callback, context));
  });
}

Lm10Result LM10_CALL Lm10SetOnVideoDevicesChange(Lm10Control control, Lm10NotifyCallback callback, void* context) {
  return lm10::WriteValue(control, lm10::kCamera, true, [&](lm10::ControlEntry& entry) {
    entry.Camera->SetOnVideoDevicesChange(lm10::NotifyHandler(control, callback, context));
  });
}

}  // extern "C"
