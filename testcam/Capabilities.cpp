#include "testcam/Capabilities.h"

#include <dshow.h>
#include <dvdmedia.h>
#include <uuids.h>

#include <cstring>

#include "testcam/LmTestCam.h"

namespace lmcam {
namespace {

constexpr LONGLONG kSecond = 10000000;

BITMAPINFOHEADER* MutableBitmapOf(AM_MEDIA_TYPE& Type) {
  if (!Type.pbFormat) return nullptr;
  if (IsEqualGUID(Type.formattype, FORMAT_VideoInfo) && Type.cbFormat >= sizeof(VIDEOINFOHEADER))
    return &reinterpret_cast<VIDEOINFOHEADER*>(Type.pbFormat)->bmiHeader;
  if (IsEqualGUID(Type.formattype, FORMAT_VideoInfo2) && Type.cbFormat >= sizeof(VIDEOINFOHEADER2))
    return &reinterpret_cast<VIDEOINFOHEADER2*>(Type.pbFormat)->bmiHeader;
  return nullptr;
}

REFERENCE_TIME* FrameIntervalField(AM_MEDIA_TYPE& Type) {
  if (!MutableBitmapOf(Type)) return nullptr;
  if (IsEqualGUID(Type.formattype, FORMAT_VideoInfo))
    return &reinterpret_cast<VIDEOINFOHEADER*>(Type.pbFormat)->AvgTimePerFrame;
  return &reinterpret_cast<VIDEOINFOHEADER2*>(Type.pbFormat)->AvgTimePerFrame;
}

DWORD BitRate(LONG Width, LONG Height, REFERENCE_TIME FrameInterval) {
  return static_cast<DWORD>(static_cast<LONGLONG>(ImageSize(Width, Height)) * 8 * kSecond / FrameInterval);
}

}  // namespace

const std::vector<Capability>& Capabilities() {
  static const std::vector<Capability> capabilities = {
      {160, 120, FORMAT_VideoInfo},  {320, 240, FORMAT_VideoInfo}, {640, 480, FORMAT_VideoInfo},
      {1280, 720, FORMAT_VideoInfo}, {162, 120, FORMAT_VideoInfo}, {320, 240, FORMAT_VideoInfo2},
  };
  return capabilities;
}

LONG RowStride(LONG Width) { return (Width * 3 + 3) & ~3; }

DWORD ImageSize(LONG Width, LONG Height) { return static_cast<DWORD>(RowStride(Width) * Height); }

MediaType CapabilityType(size_t Index, REFERENCE_TIME FrameInterval) {
  const Capability& cap = Capabilities().at(Index);
  MediaType type;
  AM_MEDIA_TYPE& mt = type.Edit();
  mt.majortype = MEDIATYPE_Video;
  mt.subtype = MEDIASUBTYPE_RGB24;
  mt.formattype = cap.FormatType;
  mt.bFixedSizeSamples = TRUE;
  mt.bTemporalCompression = FALSE;
  mt.lSampleSize = ImageSize(cap.Width, cap.Height);
  BITMAPINFOHEADER* bmi = nullptr;
  if (IsEqualGUID(cap.FormatType, FORMAT_VideoInfo)) {
    auto* vih = reinterpret_cast<VIDEOINFOHEADER*>(type.AllocateFormat(sizeof(VIDEOINFOHEADER)));
    if (!vih) return MediaType();
    vih->AvgTimePerFrame = FrameInterval;
    vih->dwBitRate = BitRate(cap.Width, cap.Height, FrameInterval);
    bmi = &vih->bmiHeader;
  } else {
    auto* vih2 = reinterpret_cast<VIDEOINFOHEADER2*>(type.AllocateFormat(sizeof(VIDEOINFOHEADER2)));
    if (!vih2) return MediaType();
    vih2->AvgTimePerFrame = FrameInterval;
    vih2->dwBitRate = BitRate(cap.Width, cap.Height, FrameInterval);
    vih2->dwPictAspectRatioX = static_cast<DWORD>(cap.Width);
    vih2->dwPictAspectRatioY = static_cast<DWORD>(cap.Height);
    bmi = &vih2->bmiHeader;
  }
  bmi->biSize = sizeof(BITMAPINFOHEADER);
  bmi->biWidth = cap.Width;
  bmi->biHeight = cap.Height;
  bmi->biPlanes = 1;
  bmi->biBitCount = 24;
  bmi->biCompression = BI_RGB;
  bmi->biSizeImage = ImageSize(cap.Width, cap.Height);
  return type;
}

void CapabilityCaps(size_t Index, VIDEO_STREAM_CONFIG_CAPS* Caps) {
  const Capability& cap = Capabilities().at(Index);
  std::memset(Caps, 0, sizeof(*Caps));
  Caps->guid = cap.FormatType;
  Caps->VideoStandard = 0;
  Caps->InputSize = {cap.Width, cap.Height};
  Caps->MinCroppingSize = Caps->MaxCroppingSize = Caps->InputSize;
  Caps->CropGranularityX = Caps->CropGranularityY = 1;
  Caps->CropAlignX = Caps->CropAlignY = 1;
  Caps->MinOutputSize = Caps->MaxOutputSize = Caps->InputSize;
  Caps->OutputGranularityX = Caps->OutputGranularityY = 0;
  Caps->MinFrameInterval = kLmMinFrameInterval;
  Caps->MaxFrameInterval = kLmMaxFrameInterval;
  Caps->MinBitsPerSecond = static_cast<LONG>(BitRate(cap.Width, cap.Height, kLmMaxFrameInterval));
  Caps->MaxBitsPerSecond = static_cast<LONG>(BitRate(cap.Width, cap.Height, kLmMinFrameInterval));
}

const BITMAPINFOHEADER* BitmapOf(const AM_MEDIA_TYPE& Type) {
  return MutableBitmapOf(const_cast<AM_MEDIA_TYPE&>(Type));
}

int MatchCapability(const AM_MEDIA_TYPE& Type) {
  if (!IsEqualGUID(Type.majortype, MEDIATYPE_Video) || !IsEqualGUID(Type.subtype, MEDIASUBTYPE_RGB24)) return -1;
  const BITMAPINFOHEADER* bmi = BitmapOf(Type);
  if (!bmi) return -1;
  if (bmi->biBitCount != 24 || bmi->biCompression != BI_RGB) return -1;
  const REFERENCE_TIME interval = *FrameIntervalField(const_cast<AM_MEDIA_TYPE&>(Type));
  if (interval != 0 && (interval < kLmMinFrameInterval || interval > kLmMaxFrameInterval)) return -1;
  const auto& caps = Capabilities();
  for (size_t i = 0; i < caps.size(); ++i) {
    // Only bottom-up pictures of exactly the offered size; a larger biSizeImage is harmless.
    if (IsEqualGUID(caps[i].FormatType, Type.formattype) && caps[i].Width == bmi->biWidth &&
        caps[i].Height == bmi->biHeight &&
        (bmi->biSizeImage == 0 || bmi->biSizeImage >= ImageSize(caps[i].Width, caps[i].Height)))
      return static_cast<int>(i);
  }
  return -1;
}

REFERENCE_TIME FrameIntervalOf(const AM_MEDIA_TYPE& Type) {
  const REFERENCE_TIME* field = FrameIntervalField(const_cast<AM_MEDIA_TYPE&>(Type));
  if (!field || *field == 0) return kLmDefaultFrameInterval;
  return *field;
}

MediaType WithFrameInterval(const AM_MEDIA_TYPE& Type, REFERENCE_TIME FrameInterval) {
  MediaType copy(Type);
  AM_MEDIA_TYPE& mt = copy.Edit();
  if (REFERENCE_TIME* field = FrameIntervalField(mt)) {
    *field = FrameInterval;
    const BITMAPINFOHEADER* bmi = BitmapOf(mt);
    const DWORD rate = BitRate(bmi->biWidth, bmi->biHeight, FrameInterval);
    if (IsEqualGUID(mt.formattype, FORMAT_VideoInfo))
      reinterpret_cast<VIDEOINFOHEADER*>(mt.pbFormat)->dwBitRate = rate;
    else
      reinterpret_cast<VIDEOINFOHEADER2*>(mt.pbFormat)->dwBitRate = rate;
  }
  return copy;
}

}  // namespace lmcam
