// The library's own functions: version, error texts, the version box, snapshot blocks and
// pixel-format names.

#include <cmath>
#include <string>

#include "capi/src/Boundary.h"
#include "capi/src/Events.h"
#include "capi/src/StringOut.h"
#include "lumora10.h"
#include "webcam/LmWebCamAbout.h"
#include "webcam/LmWebCamera.h"

// The header's version is the package's (the build passes the project's).
static_assert(LM10_VERSION_MAJOR == LM_PACKAGE_VERSION_MAJOR && LM10_VERSION_MINOR == LM_PACKAGE_VERSION_MINOR &&
                  LM10_VERSION_PATCH == LM_PACKAGE_VERSION_PATCH,
              "lumora10.h's LM10_VERSION_... differ from the project's version");

namespace {

// The text of each result code; null for a code the interface does not have.
const wchar_t* ErrorText(Lm10Result Code) {
  switch (Code) {
    case LM10_OK:
      return L"the operation succeeded";
    case LM10_ERR_GRAPH_FAILED:
      return L"a media-graph operation failed";
    case LM10_ERR_NO_SNAPSHOT_STREAM:
      return L"the graph has no snapshot stream";
    case LM10_ERR_OUT_OF_RANGE:
      return L"an argument is out of range";
    case LM10_ERR_WRONG_STATE:
      return L"not allowed in the current state";
    case LM10_ERR_CORE_NOT_BOUND:
      return L"the core library's image functions are not bound";
    case LM10_ERR_PLAYBACK_GRAPH:
      return L"no playback graph could be built for the file";
    case LM10_ERR_INACTIVE:
      return L"the multimedia runtime was not found";
    case LM10_ERR_NO_DEVICE:
      return L"no video capture device, or the index names none";
    case LM10_ERR_BUILD_GRAPH:
      return L"building the media graph failed";
    case LM10_ERR_DEVICE_LOST:
      return L"the open device was removed, or its stream failed";
    case LM10_ERR_NOT_SUPPORTED:
      return L"the device does not offer this setting";
    case LM10_ERR_FILE_WRITE:
      return L"the output file could not be written";
    case LM10_ERR_INVALID_ARGUMENT:
      return L"an invalid control, pointer or value";
    case LM10_ERR_BUFFER_TOO_SMALL:
      return L"the buffer is too small for the string";
    default:
      return nullptr;
  }
}

}  // namespace

extern "C" {

Lm10Result LM10_CALL Lm10GetVersion(INT32* major, INT32* minor, INT32* patch) {
  if (!major || !minor || !patch) return LM10_ERR_INVALID_ARGUMENT;
  *major = LM_PACKAGE_VERSION_MAJOR;
  *minor = LM_PACKAGE_VERSION_MINOR;
  *patch = LM_PACKAGE_VERSION_PATCH;
  return LM10_OK;
}

Lm10Result LM10_CALL Lm10GetErrorText(Lm10Result code, wchar_t* buffer, UINT32 capacity, UINT32* needed) {
  return lm10::Guarded([&]() -> Lm10Result {
    const wchar_t* text = ErrorText(code);
    if (!text) return LM10_ERR_INVALID_ARGUMENT;
    return lm10::CopyOut(text, buffer, capacity, needed);
  });
}

Lm10Result LM10_CALL Lm10ShowAbout(void) {
  LmShowWebCameraAbout();  // catches everything itself
  return LM10_OK;
}

Lm10Result LM10_CALL Lm10FreeSnapshot(HGLOBAL image) {
  return lm10::Guarded([&]() -> Lm10Result {
    if (!image || !lm10::ReleaseKeptSnapshot(image)) return LM10_ERR_INVALID_ARGUMENT;
    GlobalFree(image);
    return LM10_OK;
  });
}

Lm10Result LM10_CALL Lm10VideoSubTypeName(const GUID* subType, wchar_t* buffer, UINT32 capacity, UINT32* needed) {
  return lm10::Guarded([&]() -> Lm10Result {
    if (!subType) return LM10_ERR_INVALID_ARGUMENT;
    return lm10::CopyOut(LmVideoSubTypeName(*subType), buffer, capacity, needed);
  });
}

}  // extern "C"
