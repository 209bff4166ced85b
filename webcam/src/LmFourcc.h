#pragma once

// Video subtypes named by a FOURCC: the subtype GUID is {XXXXXXXX-0000-0010-8000-00AA00389B71},
// where XXXXXXXX is the FOURCC as MAKEFOURCC packs it (first character in the lowest byte).
// MEDIASUBTYPE_YUY2, _MJPG and _NV12 are such GUIDs; I420, say, has no name in the SDK headers.
// Internal to the camera library; its frame converter and the test decoder use it too.

#include <windows.h>

#include <guiddef.h>
#include <mmsystem.h>  // MAKEFOURCC

namespace lm {

// The subtype GUID of Fourcc. A GUID whose Data1 is zeroed is FourccSubtype(0) exactly when it
// is the GUID of a FOURCC.
constexpr GUID FourccSubtype(DWORD Fourcc) {
  return {Fourcc, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
}

}  // namespace lm
