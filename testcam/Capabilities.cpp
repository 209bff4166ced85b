#include "testcam/Capabilities.h"

#include <dshow.h>
#include <dvdmedia.h>
#include <uuids.h>

#include <algorithm>
#include <cstring>

#include "testcam/LmTestCam.h"

namespace lmcam {
namespace {

constexpr LONGLONG kSecond = 10000000;
constexpr REFERENCE_TIME k30Fps = 333333;
constexpr REFERENCE_TIME k10Fps = 1000000;

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

DWORD* BitRateField(AM_MEDIA_TYPE& Type) {
  if (!MutableBitmapOf(Type)) return nullptr;
  if (IsEqualGUID(Type.formattype, FORMAT_VideoInfo)) return &reinterpret_cast<VIDEOINFOHEADER*>(Type.pbFormat)->dwBitRate;
  return &reinterpret_cast<VIDEOINFOHEADER2*>(Type.pbFormat)->dwBitRate;
}

DWORD BitRate(DWORD ImageBytes, REFERENCE_TIME FrameInterval) {
  return static_cast<DWORD>(std::min<LONGLONG>(static_cast<LONGLONG>(ImageBytes) * 8 * kSecond / FrameInterval, MAXDWORD));
}

// The bitmap header's description of each subtype.
struct Coding {
  WORD BitCount;
  DWORD Compression;
};
Coding CodingOf(REFGUID SubType) {
  if (IsEqualGUID(SubType, MEDIASUBTYPE_YUY2)) return {16, MAKEFOURCC('Y', 'U', 'Y', '2')};
  if (IsEqualGUID(SubType, MEDIASUBTYPE_MJPG)) return {24, MAKEFOURCC('M', 'J', 'P', 'G')};
  if (IsEqualGUID(SubType, MEDIASUBTYPE_NV12)) return {12, MAKEFOURCC('N', 'V', '1', '2')};
  return {24, BI_RGB};
}

}  // namespace

const CapabilityList& RgbCameraCapabilities() {
  static const CapabilityList capabilities = {
      {MEDIASUBTYPE_RGB24, 160, 120, FORMAT_VideoInfo, kLmMinFrameInterval},
      {MEDIASUBTYPE_RGB24, 320, 240, FORMAT_VideoInfo, kLmMinFrameInterval},
      {MEDIASUBTYPE_RGB24, 640, 480, FORMAT_VideoInfo, kLmMinFrameInterval},
      {MEDIASUBTYPE_RGB24, 1280, 720, FORMAT_VideoInfo, kLmMinFrameInterval},
      {MEDIASUBTYPE_RGB24, 162, 120, FORMAT_VideoInfo, kLmMinFrameInterval},
      {MEDIASUBTYPE_RGB24, 320, 240, FORMAT_VideoInfo2, kLmMinFrameInterval},
  };
  return capabilities;
}

const CapabilityList& UvcCameraCapabilities() {
  static const CapabilityList capabilities = {
      {MEDIASUBTYPE_YUY2, 160, 120, FORMAT_VideoInfo, k30Fps},
      {MEDIASUBTYPE_YUY2, 320, 240, FORMAT_VideoInfo, k30Fps},
      {MEDIASUBTYPE_YUY2, 640, 480, FORMAT_VideoInfo, k30Fps},
      {MEDIASUBTYPE_YUY2, 1280, 720, FORMAT_VideoInfo, k10Fps},
      {MEDIASUBTYPE_MJPG, 640, 480, FORMAT_VideoInfo, k30Fps},
      {MEDIASUBTYPE_MJPG, 1280, 720, FORMAT_VideoInfo, k30Fps},
      {MEDIASUBTYPE_MJPG, 1920, 1080, FORMAT_VideoInfo, k30Fps},
      {MEDIASUBTYPE_NV12, 640, 480, FORMAT_VideoInfo, k30Fps},
      {MEDIASUBTYPE_NV12, 1280, 720, FORMAT_VideoInfo, k30Fps},
  };
  return capabilities;
}

LONG RowStride(LONG Width) { return (Width * 3 + 3) & ~3; }

DWORD ImageSize(const Capability& Cap) {
  const DWORD pixels = static_cast<DWORD>(Cap.Width) * static_cast<DWORD>(Cap.Height);
  if (IsEqualGUID(Cap.SubType, MEDIASUBTYPE_YUY2)) return pixels * 2;
  if (IsEqualGUID(Cap.SubType, MEDIASUBTYPE_NV12)) return pixels * 3 / 2;
  // A camera's bound for one JPEG frame: two bytes per pixel, as much as YUY2 would take.
  if (IsEqualGUID(Cap.SubType, MEDIASUBTYPE_MJPG)) return pixels * 2;
  return static_cast<DWORD>(RowStride(Cap.Width) * Cap.Height);
}

REFERENCE_TIME DefaultFrameInterval(const Capability& Cap) {
  return std::max(kLmDefaultFrameInterval, Cap.MinFrameInterval);
}

MediaType CapabilityType(const Capability& Cap, REFERENCE_TIME FrameInterval) {
  MediaType type;
  AM_MEDIA_TYPE& mt = type.Edit();
  const bool compressed = IsEqualGUID(Cap.SubType, MEDIASUBTYPE_MJPG);
  mt.majortype = MEDIATYPE_Video;
  mt.subtype = Cap.SubType;
  mt.formattype = Cap.FormatType;
  mt.bFixedSizeSamples = compressed ? FALSE : TRUE;
  mt.bTemporalCompression = FALSE;
  mt.lSampleSize = compressed ? 0 : ImageSize(Cap);
  const size_t size = IsEqualGUID(Cap.FormatType, FORMAT_VideoInfo) ? sizeof(VIDEOINFOHEADER) : sizeof(VIDEOINFOHEADER2);
  if (!type.AllocateFormat(static_cast<ULONG>(size))) return MediaType();
  if (IsEqualGUID(Cap.FormatType, FORMAT_VideoInfo2)) {
    auto* vih2 = reinterpret_cast<VIDEOINFOHEADER2*>(mt.pbFormat);
    vih2->dwPictAspectRatioX = static_cast<DWORD>(Cap.Width);
    vih2->dwPictAspectRatioY = static_cast<DWORD>(Cap.Height);
  }
  *FrameIntervalField(mt) = FrameInterval;
  *BitRateField(mt) = BitRate(ImageSize(Cap), FrameInterval);
  BITMAPINFOHEADER* bmi = MutableBitmapOf(mt);
  const Coding coding = CodingOf(Cap.SubType);
  bmi->biSize = sizeof(BITMAPINFOHEADER);
  bmi->biWidth = Cap.Width;
  bmi->biHeight = Cap.Height;
  bmi->biPlanes = 1;
  bmi->biBitCount = coding.BitCount;
  bmi->biCompression = coding.Compression;
  bmi->biSizeImage = ImageSize(Cap);
  return type;
}

void CapabilityCaps(const Capability& Cap, VIDEO_STREAM_CONFIG_CAPS* Caps) {
  std::memset(Caps, 0, sizeof(*Caps));
  Caps->guid = Cap.FormatType;
  Caps->VideoStandard = 0;
  Caps->InputSize = {Cap.Width, Cap.Height};
  Caps->MinCroppingSize = Caps->MaxCroppingSize = Caps->InputSize;
  Caps->CropGranularityX = Caps->CropGranularityY = 1;
  Caps->CropAlignX = Caps->CropAlignY = 1;
  Caps->MinOutputSize = Caps->MaxOutputSize = Caps->InputSize;
  Caps->OutputGranularityX = Caps->OutputGranularityY = 0;
  Caps->MinFrameInterval = Cap.MinFrameInterval;
  Caps->MaxFrameInterval = kLmMaxFrameInterval;
  Caps->MinBitsPerSecond = static_cast<LONG>(BitRate(ImageSize(Cap), kLmMaxFrameInterval));
  Caps->MaxBitsPerSecond = static_cast<LONG>(std::min<DWORD>(BitRate(ImageSize(Cap), Cap.MinFrameInterval), 0x7FFFFFFF));
}

const BITMAPINFOHEADER* BitmapOf(const AM_MEDIA_TYPE& Type) {
  return MutableBitmapOf(const_cast<AM_MEDIA_TYPE&>(Type));
}

int MatchCapability(const CapabilityList& List, const AM_MEDIA_TYPE& Type) {
  if (!IsEqualGUID(Type.majortype, MEDIATYPE_Video)) return -1;
  const BITMAPINFOHEADER* bmi = BitmapOf(Type);
  if (!bmi) return -1;
  const REFERENCE_TIME interval = FrameIntervalOf(Type);
  for (size_t i = 0; i < List.size(); ++i) {
    const Capability& cap = List[i];
    const Coding coding = CodingOf(cap.SubType);
    // Only pictures of exactly the offered size (bottom-up for RGB); a larger biSizeImage is
    // harmless.
    if (IsEqualGUID(cap.SubType, Type.subtype) && IsEqualGUID(cap.FormatType, Type.formattype) &&
        bmi->biCompression == coding.Compression && bmi->biBitCount == coding.BitCount &&
        cap.Width == bmi->biWidth && cap.Height == bmi->biHeight &&
        (bmi->biSizeImage == 0 || bmi->biSizeImage >= ImageSize(cap)) &&
        (interval == 0 || (interval >= cap.MinFrameInterval && interval <= kLmMaxFrameInterval)))
      return static_cast<int>(i);
  }
  return -1;
}

REFERENCE_TIME FrameIntervalOf(const AM_MEDIA_TYPE& Type, const Capability& Cap) {
  const REFERENCE_TIME interval = FrameIntervalOf(Type);
  return interval ? interval : DefaultFrameInterval(Cap);
}

REFERENCE_TIME FrameIntervalOf(const AM_MEDIA_TYPE& Type) {
  const REFERENCE_TIME* field = FrameIntervalField(const_cast<AM_MEDIA_TYPE&>(Type));
  return field ? *field : 0;
}

MediaType WithFrameInterval(const AM_MEDIA_TYPE& Type, REFERENCE_TIME FrameInterval) {
  MediaType copy(Type);
  AM_MEDIA_TYPE& mt = copy.Edit();
  if (REFERENCE_TIME* field = FrameIntervalField(mt)) {
    *field = FrameInterval;
    *BitRateField(mt) = BitRate(MutableBitmapOf(mt)->biSizeImage, FrameInterval);
  }
  return copy;
}

const wchar_t* SubTypeName(REFGUID SubType) {
  if (IsEqualGUID(SubType, MEDIASUBTYPE_RGB24)) return L"RGB24";
  if (IsEqualGUID(SubType, MEDIASUBTYPE_YUY2)) return L"YUY2";
  if (IsEqualGUID(SubType, MEDIASUBTYPE_MJPG)) return L"MJPG";
  if (IsEqualGUID(SubType, MEDIASUBTYPE_NV12)) return L"NV12";
  return L"?";
}

}  // namespace lmcam
