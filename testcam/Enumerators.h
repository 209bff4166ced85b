#pragma once

// The small enumerators that the filter and its pins hand out: a snapshot of pins or media
// types taken when the enumerator is made, plus a reference to their owner.

#include <windows.h>

#include <strmif.h>
#include <wrl/client.h>

#include <vector>

#include "testcam/MediaType.h"

namespace lmcam {

// Creates an IEnumPins over Pins (each held); Owner (the filter) is held while it lives.
HRESULT CreatePinEnumerator(IUnknown* Owner, const std::vector<Microsoft::WRL::ComPtr<IPin>>& Pins,
                            IEnumPins** Result);

// Creates an IEnumMediaTypes over Types; Owner (the pin) is held while it lives.
HRESULT CreateMediaTypeEnumerator(IUnknown* Owner, const std::vector<MediaType>& Types,
                                  IEnumMediaTypes** Result);

}  // namespace lmcam
