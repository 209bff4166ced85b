// Sizing the ASF writer's video stream: the system profile, rewritten for the selected frame
// size and the recorder's frame rate and bit rate.

#include <stdexcept>
#include <vector>

#include "webcam/src/LmAsfWriter.h"
#include "webcam/src/LmMediaTypes.h"
#include "webcam/LmRecord.h"

using Microsoft::WRL::ComPtr;

void TVLmRecord::AsfSetOutputSize(IBaseFilter* Writer, int32_t FormatIndex) {
  // The interfaces below are released in reverse order of acquisition as their holders go.
  if (!Writer) return;
  ComPtr<IConfigAsfWriter> config;
  if (Writer->QueryInterface(lm::kIID_IConfigAsfWriter, reinterpret_cast<void**>(config.GetAddressOf())) != S_OK ||
      !config)
    return;
  if (config->ConfigureFilterUsingProfileGuid(lm::kAsfSystemProfile) != S_OK) return;
  ComPtr<IWMProfile> profile;
  if (config->GetCurrentProfile(profile.GetAddressOf()) != S_OK || !profile) return;
  DWORD streams = 0;
  if (profile->GetStreamCount(&streams) != S_OK) return;

  // Profile stream numbers start at 1; the count is a 16-bit number.
  const unsigned count = static_cast<WORD>(streams);
  for (unsigned number = 1; number <= count; ++number) {
    ComPtr<IWMStreamConfig> stream;
    // A stream that cannot be fetched, or whose type cannot be read, is not the video stream.
    if (profile->GetStreamByNumber(static_cast<WORD>(number), stream.GetAddressOf()) != S_OK || !stream) continue;
    GUID type = GUID_NULL;
    stream->GetStreamType(&type);
    if (!IsEqualGUID(type, lm::kWMMediaTypeVideo)) continue;

    // The first video stream is the one: whatever happens to it, the search ends here.
    ComPtr<lm::IWMVideoMediaProps> props;
    if (stream->QueryInterface(lm::kIID_IWMVideoMediaProps, reinterpret_cast<void**>(props.GetAddressOf())) != S_OK ||
        !props)
      return;
    DWORD size = 0;
    if (props->GetMediaType(nullptr, &size) != S_OK || size < sizeof(WM_MEDIA_TYPE)) return;
    std::vector<BYTE> buffer(size);
    auto* mediaType = reinterpret_cast<WM_MEDIA_TYPE*>(buffer.data());
    props->GetMediaType(mediaType, &size);

    // The format block must hold a whole VIDEOINFOHEADER to be written.
    if (IsEqualGUID(mediaType->formattype, lm::kWMFormatVideoInfo) && mediaType->pbFormat &&
        mediaType->cbFormat >= sizeof(VIDEOINFOHEADER)) {
      REFERENCE_TIME timePerFrame = 0;
      // A rate without a time per frame (0, negative, not a number, infinite) fails the graph
      // build that sizes the writer.
      if (!lm::TimePerFrameOf(m_FrameRate, timePerFrame)) throw std::domain_error("frame rate without a time per frame");
      auto* vih = reinterpret_cast<VIDEOINFOHEADER*>(mediaType->pbFormat);
      vih->rcSource.right = 0;
      vih->rcSource.bottom = 0;
      vih->rcTarget.right = 0;
      vih->rcTarget.bottom = 0;
      // An index outside the format table (the table may be empty) keeps the profile's size.
      if (FormatIndex >= 0 && FormatIndex < m_pVSI_Count[1]) {
        vih->bmiHeader.biWidth = m_pVSI[static_cast<size_t>(FormatIndex)].VideoSize.cx;
        vih->bmiHeader.biHeight = m_pVSI[static_cast<size_t>(FormatIndex)].VideoSize.cy;
      }
      vih->AvgTimePerFrame = timePerFrame;
      vih->dwBitRate = m_BitRate;
      props->SetMediaType(mediaType);
      stream->SetBitrate(vih->dwBitRate);
    }
    profile->ReconfigStream(stream.Get());
    config->ConfigureFilterUsingProfile(profile.Get());
    return;
  }
}
