#pragma once

// Types, codes and messages that the camera components share, and the device enumeration.

#include <windows.h>

#include <dshow.h>
#include <wrl/client.h>

#include <cstdint>
#include <functional>
#include <string>

#include "framework/Classes.h"
#include "framework/Sets.h"
#include "framework/StringList.h"
#include "webcam/LmWebCamApi.h"

// How the running picture is placed inside the control.
enum TVLmVideoDisplayMode : uint8_t {
  vlmVideoScale = 0,    // native size, centred; shrunk with its aspect ratio kept if too large
  vlmVideoStretch = 1,  // covers the whole area inside the frame
};

// Elements of a component's state; ordinals 3, 5, 6 and 7 are unused.
enum TVLmVideoState : uint8_t {
  vlmVideoClosed = 0,
  vlmVideoOpened = 1,
  vlmVideoStarted = 2,
  vlmVideoPaused = 4,
  vlmVideoStopped = 8,
};

// A component's state as a 16-bit set: Closed 1, Open 2, Running 6, Paused 18, Stopped 258.
using TVLmVideoStates = TSet<TVLmVideoState, uint16_t>;
static_assert(sizeof(TVLmVideoStates) == 2);

inline constexpr TVLmVideoStates vlmStateClosed{vlmVideoClosed};
inline constexpr TVLmVideoStates vlmStateOpen{vlmVideoOpened};
inline constexpr TVLmVideoStates vlmStateRunning{vlmVideoOpened, vlmVideoStarted};
inline constexpr TVLmVideoStates vlmStatePaused{vlmVideoOpened, vlmVideoPaused};
inline constexpr TVLmVideoStates vlmStateStopped{vlmVideoOpened, vlmVideoStopped};

// Raised with each snapshot. ImageHandle is a movable global-memory block holding a packed
// 24-bit DIB. A handler that keeps it sets FreeMemory to false and frees it with GlobalFree
// later; otherwise the component frees it when the handler returns.
using TVLmVideoSnapShotEvent = std::function<void(TObject* Sender, UINT_PTR ImageHandle, bool& FreeMemory)>;

// One video stream capability of a capture device.
struct TLM_VIDEO_STREAM_INFORMATION {
  GUID MajorType;
  GUID SubType;
  SIZE VideoSize;
  double FrameRate;
  double MinimumFrameRate;
  double MaximumFrameRate;
  uint16_t BitCount;
  uint32_t Compression;
  uint32_t BitRate;
  int32_t MinimumBitRate;
  int32_t MaximumBitRate;
  int32_t Index;  // position in the device's own capability list
};
using PLM_VIDEO_STREAM_INFORMATION = TLM_VIDEO_STREAM_INFORMATION*;

// Values of a component's ErrorStatus.
constexpr int16_t LMERR_NONE = 0;                  // the last operation succeeded
constexpr int16_t LMERR_GRAPH_FAILED = 2;          // a media-graph operation failed
constexpr int16_t LMERR_NO_SNAPSHOT_STREAM = 4;    // the graph has no snapshot stream
constexpr int16_t LMERR_OUT_OF_RANGE = 5;          // an argument is out of range
constexpr int16_t LMERR_WRONG_STATE = 11;          // not allowed in the current state
constexpr int16_t LMERR_CORE_NOT_BOUND = 14;       // the core library's image functions are not bound
constexpr int16_t LMERR_PLAYBACK_GRAPH = 20;       // no playback graph could be built for the file
constexpr int16_t LMERR_INACTIVE = 201;            // the multimedia runtime marker was not found
constexpr int16_t LMERR_NO_DEVICE = 202;           // no video capture device, or the index names none
constexpr int16_t LMERR_BUILD_GRAPH = 203;         // building the media graph failed
constexpr int16_t LMERR_DEVICE_LOST = 204;         // the open device was removed, or its stream failed
constexpr int16_t LMERR_NOT_SUPPORTED = 205;       // the device does not offer this setting
constexpr int16_t LMERR_FILE_WRITE = 206;          // the output file could not be written

// Private messages of a component's window. Both handlers set the message result to 0.
constexpr UINT WM_GRAPHNOTIFY = WM_APP + 1;  // the graph has events queued
// A snapshot's frame is waiting: the grabber's callback copied it on the streaming thread and
// posted this message (parameters 0); the handler takes the copy and delivers it.
constexpr UINT WM_CAPTURE = WM_APP + 2;

// Fills List with the friendly names of the devices of Category and returns how many devices
// there are (a device whose name cannot be read counts but adds no line). A null List becomes
// a new list that the caller owns. The list is cleared first. Failures give 0; nothing raises.
// COM must be initialised on the calling thread.
LMWEBCAM_API int32_t EnumDevices(const GUID& Category, TStringList*& List);

// Draws the outline of the rectangle (Right and Bottom exclusive) with a solid pen of
// PenWidth (at least 1) and Color (an RGB value); the inside is left as it is.
LMWEBCAM_API void _Box(HDC DC, int32_t Left, int32_t Top, int32_t Right, int32_t Bottom, int32_t PenWidth, COLORREF Color);

// Shows the filter's own property pages in a modal frame owned by Owner; false when the
// filter has no pages to offer.
LMWEBCAM_API bool ShowFilter(IBaseFilter* Filter, HWND Owner);

// Shows the property pages of the device's capture-pin stream configuration in a modal frame
// owned by Owner (when it has pages), then reads back the pin's format into the six outputs
// (written only when the format can be read and is a video-info format; a rate is written only
// when the time per frame gives one). False when the pin has no stream configuration.
LMWEBCAM_API bool ShowCapturePin(ICaptureGraphBuilder2* Builder, IBaseFilter* Filter, HWND Owner, SIZE* VideoSize,
                                 GUID* SubType, double* FrameRate, uint16_t* BitCount, uint32_t* Compression,
                                 uint32_t* BitRate);

// A short name for a video subtype, as users know pixel formats: "RGB24", "RGB32", "RGB565",
// "RGB555", "YUY2", "UYVY", "NV12", "I420", "IYUV", "YV12", "MJPG", "H264", ...; the four
// characters of any other FOURCC subtype, and the GUID's text for anything else.
LMWEBCAM_API std::wstring LmVideoSubTypeName(const GUID& SubType);

// Binds the device at position Index of Category (the order EnumDevices counts in) to a
// filter. Filter is cleared first; the result is true exactly when it holds the device.
LMWEBCAM_API bool ChooseDevice(const GUID& Category, int32_t Index, Microsoft::WRL::ComPtr<IBaseFilter>& Filter);
