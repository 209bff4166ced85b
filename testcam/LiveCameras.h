#pragma once

// The camera filters alive in this process, so that the controller (CameraController) can act
// on each of them. A camera adds itself at the end of its construction and removes itself at
// the start of its destruction.

#include <cstddef>
#include <functional>

namespace lmcam {

class CaptureFilter;

void AddLiveCamera(CaptureFilter* Camera);
void RemoveLiveCamera(CaptureFilter* Camera);

// Calls Action for each camera alive now and returns how many there were. The list stays
// locked meanwhile: a camera being created or destroyed on another thread waits, so Action
// never meets a half-built or half-destroyed camera (and must not create or release one).
size_t ForEachLiveCamera(const std::function<void(CaptureFilter&)>& Action);

}  // namespace lmcam
