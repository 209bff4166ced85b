#pragma once

// Helpers for the media types and stream configurations that DirectShow hands out; internal
// to the camera library.

#include <windows.h>

#include <dshow.h>
#include <wrl/client.h>

#include <cmath>
#include <initializer_list>

#include "webcam/src/LmDmo.h"

namespace lm {

// Frames per second for a time per frame (100 ns units); a time of 0 or less has no rate.
inline bool RateOf(REFERENCE_TIME TimePerFrame, double& Rate) {
  if (TimePerFrame <= 0) return false;
  Rate = 10000000.0 / static_cast<double>(TimePerFrame);
  return true;
}

// The time per frame (100 ns units) for a rate, truncated toward zero; false for a rate that
// has none (zero, negative, not a number, infinite, or so small that the time does not fit in
// 64 bits).
inline bool TimePerFrameOf(double Rate, REFERENCE_TIME& Time) {
  if (!(Rate > 0) || !std::isfinite(Rate)) return false;
  const double time = std::trunc(10000000.0 / Rate);
  if (!(time < 9.2e18)) return false;
  Time = static_cast<REFERENCE_TIME>(time);
  return true;
}

// The video-info header of a FORMAT_VideoInfo media type, or null for any other format.
inline VIDEOINFOHEADER* VideoInfo(const AM_MEDIA_TYPE* Type) {
  if (!Type || !IsEqualGUID(Type->formattype, FORMAT_VideoInfo) || !Type->pbFormat ||
      Type->cbFormat < sizeof(VIDEOINFOHEADER))
    return nullptr;
  return reinterpret_cast<VIDEOINFOHEADER*>(Type->pbFormat);
}

// A media type that DirectShow allocated, deleted (MoDeleteMediaType) when it goes.
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

// The stream configuration of a device's capture pin, found through the capture graph
// builder first for interleaved, then for video streams; null when there is none.
inline Microsoft::WRL::ComPtr<IAMStreamConfig> FindStreamConfig(ICaptureGraphBuilder2* Builder, IBaseFilter* Filter) {
  Microsoft::WRL::ComPtr<IAMStreamConfig> config;
  if (!Builder || !Filter) return nullptr;
  for (const GUID* type : {&MEDIATYPE_Interleaved, &MEDIATYPE_Video}) {
    if (Builder->FindInterface(&PIN_CATEGORY_CAPTURE, type, Filter, IID_IAMStreamConfig,
                               reinterpret_cast<void**>(config.ReleaseAndGetAddressOf())) == S_OK &&
        config)
      return config;
  }
  return nullptr;
}

}  // namespace lm
