#pragma once

// The video input devices as a hand-written program finds them: through the system device
// enumerator, by their "FriendlyName".

#include <windows.h>

#include <strmif.h>
#include <wrl/client.h>

#include <string>
#include <vector>

namespace handwritten {

// The friendly names of the video input devices, in the enumerator's order; a device without
// one is left out.
std::vector<std::wstring> ListVideoDevices();

// The filter of the first video input device named Name, bound through its moniker; null when
// there is none or it cannot be bound.
Microsoft::WRL::ComPtr<IBaseFilter> BindCamera(const std::wstring& Name);

}  // namespace handwritten
