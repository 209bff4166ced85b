#pragma once

// The formats that the camera's pins offer (pure logic, no COM objects). Each variant of the
// camera has its own list (LmTestCam.h shows them); every format is MEDIATYPE_Video, at 5
// frames per second up to the capability's highest rate, 30 frames per second by default (or
// the highest rate where that is lower).

#include <windows.h>

#include <strmif.h>

#include <vector>

#include "testcam/MediaType.h"

namespace lmcam {

struct Capability {
  GUID SubType;  // MEDIASUBTYPE_RGB24, _YUY2, _MJPG or _NV12
  LONG Width;
  LONG Height;
  GUID FormatType;                  // FORMAT_VideoInfo or FORMAT_VideoInfo2
  REFERENCE_TIME MinFrameInterval;  // the highest rate, in 100 ns units
};

using CapabilityList = std::vector<Capability>;

// "Lumora Test Camera" and "... (Preview Pin)": RGB24 only.
const CapabilityList& RgbCameraCapabilities();
// "Lumora Test Camera (UVC)": YUY2, MJPG and NV12, as a typical USB camera offers them.
const CapabilityList& UvcCameraCapabilities();

// Bytes of one RGB24 row (padded to a multiple of 4).
LONG RowStride(LONG Width);
// Bytes of one frame of Cap: the picture for the uncompressed formats, the most that one MJPG
// frame may take.
DWORD ImageSize(const Capability& Cap);
// The interval that the capability's type has by default.
REFERENCE_TIME DefaultFrameInterval(const Capability& Cap);

// The type of Cap at the given frame interval (100 ns units).
MediaType CapabilityType(const Capability& Cap, REFERENCE_TIME FrameInterval);
// The 128-byte VIDEO_STREAM_CONFIG_CAPS of Cap.
void CapabilityCaps(const Capability& Cap, VIDEO_STREAM_CONFIG_CAPS* Caps);

// The index in List of the capability that Type describes (at any frame interval that it
// allows, or 0 for its default), or -1 when the list does not offer it. A partly specified
// type (a null major, sub or format type) matches nothing here; callers that accept wildcards
// test those first.
int MatchCapability(const CapabilityList& List, const AM_MEDIA_TYPE& Type);

// The frame interval of a type that MatchCapability accepted: the type's own, or Cap's
// default when it gives 0.
REFERENCE_TIME FrameIntervalOf(const AM_MEDIA_TYPE& Type, const Capability& Cap);
// The frame interval written in Type's format block (0 when it has none).
REFERENCE_TIME FrameIntervalOf(const AM_MEDIA_TYPE& Type);

// The bitmap header inside the format block of a VideoInfo or VideoInfo2 type.
const BITMAPINFOHEADER* BitmapOf(const AM_MEDIA_TYPE& Type);

// The type of a capability with its frame interval replaced (keeps the size and format block).
MediaType WithFrameInterval(const AM_MEDIA_TYPE& Type, REFERENCE_TIME FrameInterval);

// A short name of the subtype: "RGB24", "YUY2", "MJPG", "NV12", or "?".
const wchar_t* SubTypeName(REFGUID SubType);

}  // namespace lmcam
