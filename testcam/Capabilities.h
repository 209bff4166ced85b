#pragma once

// The formats that every pin of the camera offers (pure logic, no COM objects).
//
//   index  size       format block
//   0      160 x 120  FORMAT_VideoInfo   (the default, at 30 frames per second)
//   1      320 x 240  FORMAT_VideoInfo
//   2      640 x 480  FORMAT_VideoInfo
//   3      1280 x 720 FORMAT_VideoInfo
//   4      162 x 120  FORMAT_VideoInfo   (rows padded: width * 3 is not a multiple of 4)
//   5      320 x 240  FORMAT_VideoInfo2
//
// All are MEDIATYPE_Video / MEDIASUBTYPE_RGB24, bottom-up, at 5 to 60 frames per second.

#include <windows.h>

#include <strmif.h>

#include <vector>

#include "testcam/MediaType.h"

namespace lmcam {

struct Capability {
  LONG Width;
  LONG Height;
  GUID FormatType;  // FORMAT_VideoInfo or FORMAT_VideoInfo2
};

const std::vector<Capability>& Capabilities();

// Bytes of one picture: rows of Width * 3 bytes rounded up to a multiple of 4.
DWORD ImageSize(LONG Width, LONG Height);
LONG RowStride(LONG Width);

// The type of capability Index at the given frame interval (100 ns units).
MediaType CapabilityType(size_t Index, REFERENCE_TIME FrameInterval);
// The 128-byte VIDEO_STREAM_CONFIG_CAPS of capability Index.
void CapabilityCaps(size_t Index, VIDEO_STREAM_CONFIG_CAPS* Caps);

// The index of the capability that Type describes (any allowed frame interval, or 0 for the
// default), or -1 when the camera does not offer it. A partly specified type (a null major,
// sub or format type) matches nothing here; callers that accept wildcards test those first.
int MatchCapability(const AM_MEDIA_TYPE& Type);

// The frame interval of a type that MatchCapability accepted: the type's own, or the
// default when it gives 0.
REFERENCE_TIME FrameIntervalOf(const AM_MEDIA_TYPE& Type);

// The bitmap header inside the format block of a VideoInfo or VideoInfo2 type.
const BITMAPINFOHEADER* BitmapOf(const AM_MEDIA_TYPE& Type);

// The type of a capability with its frame interval replaced (keeps the size and format block).
MediaType WithFrameInterval(const AM_MEDIA_TYPE& Type, REFERENCE_TIME FrameInterval);

}  // namespace lmcam
