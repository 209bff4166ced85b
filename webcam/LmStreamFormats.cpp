// Formats of the capture device and of the Sample Grabber's connection.

#include "webcam/LmDmo.h"

#include <cmath>
#include <limits>
#include <stdexcept>

#include "webcam/LmPreview.h"

using Microsoft::WRL::ComPtr;

namespace {

// Frames per second for a time per frame; a time of 0 (or less) has no rate.
bool RateOf(REFERENCE_TIME TimePerFrame, double& Rate) {
  if (TimePerFrame <= 0) return false;
  Rate = 10000000.0 / static_cast<double>(TimePerFrame);
  return true;
}

const VIDEOINFOHEADER* VideoInfo(const AM_MEDIA_TYPE* Type) {
  if (!Type || !IsEqualGUID(Type->formattype, FORMAT_VideoInfo) || !Type->pbFormat ||
      Type->cbFormat < sizeof(VIDEOINFOHEADER))
    return nullptr;
  return reinterpret_cast<const VIDEOINFOHEADER*>(Type->pbFormat);
}

// A media type that DirectShow allocated, deleted when it goes out of scope.
class OwnedMediaType {
public:
  OwnedMediaType() = default;
  OwnedMediaType(const OwnedMediaType&) = delete;
  OwnedMediaType& operator=(const OwnedMediaType&) = delete;
  ~OwnedMediaType() {
    if (m_Type) MoDeleteMediaType(reinterpret_cast<DMO_MEDIA_TYPE*>(m_Type));
  }
  AM_MEDIA_TYPE** Receive() { return &m_Type; }
  AM_MEDIA_TYPE* Get() const { return m_Type; }

private:
  AM_MEDIA_TYPE* m_Type = nullptr;
};

}  // namespace

ComPtr<IAMStreamConfig> TVLmPreview::FindStreamConfig(IBaseFilter* Filter) {
  ComPtr<IAMStreamConfig> config;
  if (!m_pCaptureGraphBuilder || !Filter) return nullptr;
  for (const GUID* type : {&MEDIATYPE_Interleaved, &MEDIATYPE_Video}) {
    if (m_pCaptureGraphBuilder->FindInterface(&PIN_CATEGORY_CAPTURE, type, Filter, IID_IAMStreamConfig,
                                              reinterpret_cast<void**>(config.ReleaseAndGetAddressOf())) == S_OK &&
        config)
      return config;
  }
  return nullptr;
}

bool TVLmPreview::GetFormats(IBaseFilter* Filter) {
  m_pVSI.clear();
  m_pVSI_Count[0] = 0;
  m_pVSI_Count[1] = 0;
  try {
    ComPtr<IAMStreamConfig> config = FindStreamConfig(Filter);
    if (!config) return false;
    int count = 0;
    int size = 0;
    if (config->GetNumberOfCapabilities(&count, &size) != S_OK || size != sizeof(VIDEO_STREAM_CONFIG_CAPS) ||
        count < 0)
      return false;

    {
      OwnedMediaType current;
      if (config->GetFormat(current.Receive()) == S_OK) {
        if (const VIDEOINFOHEADER* vih = VideoInfo(current.Get())) {
          m_VideoSize = SIZE{vih->bmiHeader.biWidth, vih->bmiHeader.biHeight};
          m_VideoSubType = current.Get()->subtype;
          Set_StrVideoSubType(m_VideoSubType);
          RateOf(vih->AvgTimePerFrame, m_FrameRate);  // an unknown rate leaves FrameRate as it was
          m_BitCount = vih->bmiHeader.biBitCount;
          m_Compression = vih->bmiHeader.biCompression;
          m_BitRate = vih->dwBitRate;
        }
      }
    }

    m_pVSI.assign(static_cast<size_t>(count), TLM_VIDEO_STREAM_INFORMATION{});
    int filled = 0;
    for (int j = 0; j < count; ++j) {
      OwnedMediaType type;
      VIDEO_STREAM_CONFIG_CAPS caps{};
      if (config->GetStreamCaps(j, type.Receive(), reinterpret_cast<BYTE*>(&caps)) != S_OK || !type.Get()) continue;
      const VIDEOINFOHEADER* vih = VideoInfo(type.Get());
      if (!IsEqualGUID(type.Get()->majortype, MEDIATYPE_Video) || !vih) continue;

      // A capability without a usable frame interval has no rate: skip it, keep the rest.
      TLM_VIDEO_STREAM_INFORMATION entry{};
      double r1 = 0;
      double r2 = 1.0;
      if (!RateOf(vih->AvgTimePerFrame, entry.FrameRate) || !RateOf(caps.MinFrameInterval, r1)) continue;
      if (caps.MaxFrameInterval != std::numeric_limits<LONGLONG>::max() && !RateOf(caps.MaxFrameInterval, r2)) continue;

      entry.MajorType = type.Get()->majortype;
      entry.SubType = type.Get()->subtype;
      entry.VideoSize = SIZE{vih->bmiHeader.biWidth, vih->bmiHeader.biHeight};
      entry.BitCount = vih->bmiHeader.biBitCount;
      entry.Compression = vih->bmiHeader.biCompression;
      entry.BitRate = vih->dwBitRate;
      entry.MinimumFrameRate = r1 > r2 ? r2 : r1;
      entry.MaximumFrameRate = r1 > r2 ? r1 : r2;
      entry.MinimumBitRate = caps.MinBitsPerSecond;
      entry.MaximumBitRate = caps.MaxBitsPerSecond;
      entry.Index = j;
      m_pVSI[static_cast<size_t>(filled++)] = entry;
    }
    m_pVSI_Count[0] = count;
    m_pVSI_Count[1] = filled;
    return filled > 0;
  } catch (...) {
    m_pVSI_Count[0] = 0;
    m_pVSI_Count[1] = 0;
    return false;
  }
}

bool TVLmPreview::GetConnectedMediaType() {
  try {
    if (!m_pSampleGrabber) throw std::logic_error("no sample grabber");
    AM_MEDIA_TYPE type{};
    if (FAILED(m_pSampleGrabber->GetConnectedMediaType(&type))) return false;
    const VIDEOINFOHEADER* vih = VideoInfo(&type);
    if (vih) m_vih = *vih;
    MoFreeMediaType(reinterpret_cast<DMO_MEDIA_TYPE*>(&type));
    return vih != nullptr;
  } catch (...) {
    return false;
  }
}

void TVLmPreview::Set_StrVideoSubType(const GUID& SubType) {
  wchar_t text[40] = {};
  StringFromGUID2(SubType, text, 40);
  m_StrVideoSubType = text;
}
