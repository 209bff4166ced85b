// The capture device's stream formats: the list, loading and selecting an entry, applying it.

#include "webcam/src/LmMediaTypes.h"

#include <limits>

#include "webcam/LmCaptureControl.h"

using Microsoft::WRL::ComPtr;

using lm::OwnedMediaType;
using lm::RateOf;
using lm::VideoInfo;

bool TVLmCaptureControl::GetFormats(IBaseFilter* Filter) {
  m_pVSI.clear();
  m_pVSI_Count[0] = 0;
  m_pVSI_Count[1] = 0;
  try {
    ComPtr<IAMStreamConfig> config = lm::FindStreamConfig(m_pCaptureGraphBuilder.Get(), Filter);
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
          m_AppliedSubType = m_VideoSubType;
          m_AppliedSize = m_VideoSize;
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

int32_t TVLmCaptureControl::SetFormat(IBaseFilter* Filter, int32_t Index) {
  if (Index < 0 || Index >= m_pVSI_Count[1]) return -1;
  const TLM_VIDEO_STREAM_INFORMATION entry = m_pVSI[static_cast<size_t>(Index)];
  // Nothing to change when subtype, size and rate (and a bit rate that is applied) are what the
  // device already runs with (a NaN rate never equals anything, so it is always applied, and
  // fails). The device's format is the one last applied or read, not the format properties,
  // which GetStreamFormat fills with any entry.
  if (IsEqualGUID(m_AppliedSubType, entry.SubType) && m_AppliedSize.cx == entry.VideoSize.cx &&
      m_AppliedSize.cy == entry.VideoSize.cy && m_oldFrameRate == m_FrameRate &&
      (!AppliesBitRate() || m_oldBitRate == m_BitRate))
    return 0;

  TakeGraphApart(Filter);

  bool applied = false;
  try {
    ComPtr<IAMStreamConfig> config = lm::FindStreamConfig(m_pCaptureGraphBuilder.Get(), Filter);
    int count = 0;
    int size = 0;
    if (config && config->GetNumberOfCapabilities(&count, &size) == S_OK && size == sizeof(VIDEO_STREAM_CONFIG_CAPS)) {
      OwnedMediaType type;
      VIDEO_STREAM_CONFIG_CAPS caps{};
      if (config->GetStreamCaps(entry.Index, type.Receive(), reinterpret_cast<BYTE*>(&caps)) == S_OK && type.Get()) {
        VIDEOINFOHEADER* vih = VideoInfo(type.Get());
        REFERENCE_TIME timePerFrame = 0;
        if (IsEqualGUID(type.Get()->majortype, MEDIATYPE_Video) && vih && IsEqualGUID(type.Get()->subtype, entry.SubType) &&
            vih->bmiHeader.biWidth == entry.VideoSize.cx && vih->bmiHeader.biHeight == entry.VideoSize.cy &&
            lm::TimePerFrameOf(m_FrameRate, timePerFrame)) {
          vih->AvgTimePerFrame = timePerFrame;
          if (AppliesBitRate()) vih->dwBitRate = m_BitRate;
          applied = config->SetFormat(type.Get()) == S_OK;
          if (applied) {
            m_AppliedSubType = entry.SubType;
            m_AppliedSize = entry.VideoSize;
          }
        }
      }
    }
  } catch (...) {
    applied = false;
  }

  RebuildGraph(applied ? Index : m_SelectedIndex);
  return applied ? 1 : -2;
}

int32_t TVLmCaptureControl::GetStreamFormats() {
  if (m_State == vlmStateClosed) {
    m_ErrorStatus = LMERR_WRONG_STATE;
    return 0;
  }
  if (m_pVSI.empty()) {
    m_ErrorStatus = LMERR_GRAPH_FAILED;
    return 0;
  }
  m_ErrorStatus = LMERR_NONE;
  return m_pVSI_Count[1];
}

bool TVLmCaptureControl::GetStreamFormat(int32_t Index) {
  if (m_State == vlmStateClosed) {
    m_ErrorStatus = LMERR_WRONG_STATE;
    return false;
  }
  if (Index == -1) Index = m_SelectedIndex;
  if (Index < 0 || Index >= m_pVSI_Count[1]) {
    m_ErrorStatus = LMERR_OUT_OF_RANGE;
    return false;
  }
  const TLM_VIDEO_STREAM_INFORMATION& entry = m_pVSI[static_cast<size_t>(Index)];
  m_VideoSize = entry.VideoSize;
  m_VideoSubType = entry.SubType;
  Set_StrVideoSubType(m_VideoSubType);
  m_BitCount = entry.BitCount;
  m_Compression = entry.Compression;
  m_FrameRate = entry.FrameRate;
  m_MinFrameRate = entry.MinimumFrameRate;
  m_MaxFrameRate = entry.MaximumFrameRate;
  LoadEntryExtras(entry);
  m_ErrorStatus = LMERR_NONE;
  return true;
}

bool TVLmCaptureControl::SetStreamFormat(int32_t Index) {
  TLmCallScope busy(*this);
  if (!CheckOpenAndNotRunning()) return false;
  switch (SetFormat(m_pDeviceFilter.Get(), Index)) {
    case 1:
    case 0: {
      // Applied, or the device already runs this entry (nothing to change): either way the
      // entry is the current format and the selection from now on, so that the format
      // properties describe it and the next Start keeps it. The rate properties stay: the
      // rate the device runs is the one in FrameRate.
      const TLM_VIDEO_STREAM_INFORMATION& entry = m_pVSI[static_cast<size_t>(Index)];
      m_oldVideoSize = m_VideoSize;
      m_VideoSize = entry.VideoSize;
      m_VideoSubType = entry.SubType;
      Set_StrVideoSubType(m_VideoSubType);
      m_BitCount = entry.BitCount;
      m_Compression = entry.Compression;
      m_oldFrameRate = m_FrameRate;
      m_oldBitRate = m_BitRate;
      m_SelectedIndex = Index;
      m_ErrorStatus = LMERR_NONE;
      return true;
    }
    case -1:
      m_ErrorStatus = LMERR_OUT_OF_RANGE;
      return false;
    default:
      m_ErrorStatus = LMERR_GRAPH_FAILED;
      return false;
  }
}

void TVLmCaptureControl::Set_StrVideoSubType(const GUID& SubType) {
  wchar_t text[40] = {};
  StringFromGUID2(SubType, text, 40);
  m_StrVideoSubType = text;
}
