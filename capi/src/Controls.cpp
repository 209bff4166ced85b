// What every control has: creation in a parent window, destruction, window and bounds, colours,
// cursor and frame, state and status, and the calls that step through the states.

#include <memory>
#include <type_traits>

#include "capi/src/Boundary.h"
#include "capi/src/ControlTable.h"
#include "capi/src/Values.h"
#include "lumora10.h"

namespace {

// Whether Window is a window of the calling thread, where a control may live.
bool WindowOfThisThread(HWND Window) {
  return Window && IsWindow(Window) && GetWindowThreadProcessId(Window, nullptr) == GetCurrentThreadId();
}

// Makes a control of type Control in Parent, described as Kind, and hands out its handle.
template <typename Control>
Lm10Result Create(HWND Parent, Lm10Control* Handle, lm10::ControlKind Kind) {
  return lm10::Guarded([&]() -> Lm10Result {
    if (!Handle || !WindowOfThisThread(Parent)) return LM10_ERR_INVALID_ARGUMENT;
    auto entry = std::make_unique<lm10::ControlEntry>();
    auto control = std::make_unique<Control>(nullptr);
    control->SetParentWindow(Parent);
    if constexpr (std::is_base_of_v<TVLmCaptureControl, Control>) entry->Camera = control.get();
    if constexpr (std::is_base_of_v<TLmSnapshotPipeline, Control>) entry->Snapshots = control.get();
    if constexpr (std::is_same_v<Control, TVLmPreview>) entry->Preview = control.get();
    if constexpr (std::is_same_v<Control, TVLmRecord>) entry->Recorder = control.get();
    if constexpr (std::is_same_v<Control, TVLmPlay>) entry->Player = control.get();
    entry->Control = std::move(control);
    entry->Kind = Kind;
    entry->Thread = GetCurrentThreadId();
    *Handle = lm10::AddControl(std::move(entry));
    return LM10_OK;
  });
}

}  // namespace

extern "C" {

Lm10Result LM10_CALL Lm10PreviewCreate(HWND parent, Lm10Control* control) {
  return Create<TVLmPreview>(parent, control, lm10::kPreview);
}

Lm10Result LM10_CALL Lm10RecorderCreate(HWND parent, Lm10Control* control) {
  return Create<TVLmRecord>(parent, control, lm10::kRecorder);
}

Lm10Result LM10_CALL Lm10PlayerCreate(HWND parent, Lm10Control* control) {
  return Create<TVLmPlay>(parent, control, lm10::kPlayer);
}

Lm10Result LM10_CALL Lm10Destroy(Lm10Control control) {
  return lm10::Guarded([&]() -> Lm10Result {
    lm10::ControlEntry* entry = lm10::FindControl(control, lm10::kAnyControl);
    if (!entry) return LM10_ERR_INVALID_ARGUMENT;
    // A handler of the control, or a call on it whose modal loop dispatched the message that led
    // here, is running: the control's own code continues after this returns.
    if (entry->HandlersRunning > 0 || entry->CallsRunning > 0) return LM10_ERR_WRONG_STATE;
    lm10::RemoveControl(control).reset();  // destroying the control closes it
    return LM10_OK;
  });
}

Lm10Result LM10_CALL Lm10SetParentWindow(Lm10Control control, HWND parent) {
  return lm10::WriteValue(control, lm10::kAnyControl, WindowOfThisThread(parent),
                          [&](lm10::ControlEntry& entry) { entry.Control->SetParentWindow(parent); });
}

Lm10Result LM10_CALL Lm10GetWindow(Lm10Control control, HWND* window) {
  return lm10::ReadValue(control, lm10::kAnyControl, window,
                         [](const lm10::ControlEntry& entry) { return entry.Control->Handle(); });
}

Lm10Result LM10_CALL Lm10SetBounds(Lm10Control control, INT32 left, INT32 top, INT32 width, INT32 height) {
  return lm10::WriteValue(control, lm10::kAnyControl, width >= 0 && height >= 0,
                          [&](lm10::ControlEntry& entry) { entry.Control->SetBounds(left, top, width, height); });
}

Lm10Result LM10_CALL Lm10GetBounds(Lm10Control control, INT32* left, INT32* top, INT32* width, INT32* height) {
  return lm10::WithControl(control, lm10::kAnyControl, [&](lm10::ControlEntry& entry) -> Lm10Result {
    if (!left || !top || !width || !height) return LM10_ERR_INVALID_ARGUMENT;
    *left = entry.Control->Left();
    *top = entry.Control->Top();
    *width = entry.Control->Width();
    *height = entry.Control->Height();
    return LM10_OK;
  });
}

Lm10Result LM10_CALL Lm10SetColor(Lm10Control control, INT32 color) {
  return lm10::WriteValue(control, lm10::kAnyControl, lm10::IsColor(color),
                          [&](lm10::ControlEntry& entry) { entry.Control->SetColor(color); });
}

Lm10Result LM10_CALL Lm10GetColor(Lm10Control control, INT32* color) {
  return lm10::ReadValue(control, lm10::kAnyControl, color,
                         [](const lm10::ControlEntry& entry) { return entry.Control->Color(); });
}

Lm10Result LM10_CALL Lm10SetCursor(Lm10Control control, INT32 cursor) {
  return lm10::WriteValue(control, lm10::kAnyControl, lm10::IsCursor(cursor),
                          [&](lm10::ControlEntry& entry) { entry.Control->SetCursor(static_cast<TCursor>(cursor)); });
}

Lm10Result LM10_CALL Lm10GetCursor(Lm10Control control, INT32* cursor) {
  return lm10::ReadValue(control, lm10::kAnyControl, cursor,
                         [](const lm10::ControlEntry& entry) { return entry.Control->Cursor(); });
}

Lm10Result LM10_CALL Lm10SetAppearance(Lm10Control control, INT32 appearance) {
  return lm10::WriteValue(
      control, lm10::kAnyControl, appearance >= LM10_APPEARANCE_FLAT && appearance <= LM10_APPEARANCE_RAISED,
      [&](lm10::ControlEntry& entry) { entry.Control->SetAppearance(static_cast<TVLmAppearance>(appearance)); });
}

Lm10Result LM10_CALL Lm10GetAppearance(Lm10Control control, INT32* appearance) {
  return lm10::ReadValue(control, lm10::kAnyControl, appearance,
                         [](const lm10::ControlEntry& entry) { return entry.Control->Appearance(); });
}

Lm10Result LM10_CALL Lm10SetBorderColor(Lm10Control control, INT32 color) {
  return lm10::WriteValue(control, lm10::kAnyControl, lm10::IsColor(color),
                          [&](lm10::ControlEntry& entry) { entry.Control->SetBorderColor(color); });
}

Lm10Result LM10_CALL Lm10GetBorderColor(Lm10Control control, INT32* color) {
  return lm10::ReadValue(control, lm10::kAnyControl, color,
                         [](const lm10::ControlEntry& entry) { return entry.Control->BorderColor(); });
}

Lm10Result LM10_CALL Lm10SetBorderVisible(Lm10Control control, BOOL visible) {
  return lm10::WriteValue(control, lm10::kAnyControl, true,
                          [&](lm10::ControlEntry& entry) { entry.Control->SetBorderVisible(visible != FALSE); });
}

Lm10Result LM10_CALL Lm10GetBorderVisible(Lm10Control control, BOOL* visible) {
  return lm10::ReadValue(control, lm10::kAnyControl, visible,
                         [](const lm10::ControlEntry& entry) { return entry.Control->BorderVisible() ? TRUE : FALSE; });
}

Lm10Result LM10_CALL Lm10GetState(Lm10Control control, INT32* state) {
  return lm10::ReadValue(control, lm10::kAnyControl, state,
                         [](const lm10::ControlEntry& entry) { return entry.Control->State().Value(); });
}

Lm10Result LM10_CALL Lm10GetErrorStatus(Lm10Control control, INT32* status) {
  return lm10::ReadValue(control, lm10::kAnyControl, status,
                         [](const lm10::ControlEntry& entry) { return lm10::Status(entry); });
}

Lm10Result LM10_CALL Lm10GetVideoSize(Lm10Control control, SIZE* size) {
  return lm10::ReadValue(control, lm10::kAnyControl, size,
                         [](const lm10::ControlEntry& entry) { return entry.Control->VideoSize(); });
}

Lm10Result LM10_CALL Lm10Start(Lm10Control control, INT32 mode) {
  return lm10::WithControl(control, lm10::kAnyControl, [&](lm10::ControlEntry& entry) -> Lm10Result {
    if (!lm10::IsDisplayMode(mode)) return LM10_ERR_INVALID_ARGUMENT;
    const auto displayMode = static_cast<TVLmVideoDisplayMode>(mode);
    const bool started = entry.Player ? entry.Player->Start(displayMode, 1.0) : entry.Camera->Start(displayMode);
    return lm10::Outcome(entry, started);
  });
}

Lm10Result LM10_CALL Lm10Pause(Lm10Control control) {
  return lm10::WithControl(control, lm10::kAnyControl,
                           [&](lm10::ControlEntry& entry) { return lm10::Outcome(entry, entry.Control->Pause()); });
}

Lm10Result LM10_CALL Lm10Stop(Lm10Control control) {
  return lm10::WithControl(control, lm10::kAnyControl,
                           [&](lm10::ControlEntry& entry) { return lm10::Outcome(entry, entry.Control->Stop()); });
}

Lm10Result LM10_CALL Lm10Close(Lm10Control control) {
  return lm10::WithControl(control, lm10::kAnyControl, [&](lm10::ControlEntry& entry) {
    return lm10::Outcome(entry, entry.Player ? entry.Player->Close() : entry.Camera->Close());
  });
}

Lm10Result LM10_CALL Lm10About(Lm10Control control) {
  return lm10::WriteValue(control, lm10::kAnyControl, true, [&](lm10::ControlEntry& entry) { entry.Control->About(); });
}

}  // extern "C"
