#pragma once

// The controls' events as C callbacks: each handler calls the application's function with the
// control's handle and the application's context, and counts itself as running on the control
// meanwhile (so that Lm10Destroy refuses to destroy a control under its own handler).

#include <windows.h>

#include "framework/Classes.h"
#include "lumora10.h"
#include "webcam/LmFrame.h"
#include "webcam/LmWebCamera.h"

namespace lm10 {

// Empty without a callback.
TNotifyEvent NotifyHandler(Lm10Control Handle, Lm10NotifyCallback Callback, void* Context);
TVLmVideoSnapShotEvent SnapshotHandler(Lm10Control Handle, Lm10SnapshotCallback Callback, void* Context);
// On DirectShow's streaming thread (direct delivery) it counts nothing: the control's thread may
// close or destroy the control meanwhile, which waits for the call to end.
TVLmFrameEvent FrameHandler(Lm10Control Handle, Lm10FrameCallback Callback, void* Context);

// A snapshot block that a callback kept, and its release: Lm10FreeSnapshot frees only the
// blocks handed out and not yet freed, so a second free of one block is refused, not a crash.
void KeepSnapshot(HGLOBAL Image);
bool ReleaseKeptSnapshot(HGLOBAL Image);

}  // namespace lm10
