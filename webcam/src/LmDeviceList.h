#pragma once

// The video capture devices with their identities, as the capture components list them.
// Internal to the camera library.

#include <windows.h>

#include <dshow.h>
#include <wrl/client.h>

#include <cstdint>
#include <string>

#include "framework/StringList.h"

namespace lm {

// Adds to Names the "FriendlyName" of each device of Category, as EnumDevices does, and, when
// Paths is given, to Paths the identity of each device named (its "DevicePath", or the
// moniker's display name without one), so that line i of both lists is the same device. The
// lists are not cleared first. Returns the number of devices (a device without a readable name
// counts but adds no line); failures give 0, and nothing raises.
int32_t EnumDevices(const GUID& Category, TStringList& Names, TStringList* Paths);

// Binds the device of Category whose identity (as EnumDevices lists it) is Identity, among the
// devices that EnumDevices names; a device without a readable "FriendlyName" is never bound.
// Filter is cleared first; true exactly when it holds the device. Nothing raises.
bool BindDeviceByIdentity(const GUID& Category, const std::wstring& Identity,
                          Microsoft::WRL::ComPtr<IBaseFilter>& Filter);

}  // namespace lm
