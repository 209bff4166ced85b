// The preview's filter graph: device preview stream to the default renderer, capture stream
// into the Sample Grabber.

#include <stdexcept>

#include "webcam/src/LmDirectShowIds.h"
#include "webcam/src/LmMediaTypes.h"
#include "webcam/LmPreview.h"


namespace {

// The only media type the grabber accepts: 24-bit RGB video with a video-info header.
AM_MEDIA_TYPE GrabberMediaType() {
  AM_MEDIA_TYPE type{};
  type.majortype = MEDIATYPE_Video;
  type.subtype = MEDIASUBTYPE_RGB24;
  type.formattype = FORMAT_VideoInfo;
  return type;
}

}  // namespace

bool TVLmPreview::StartupVideo() {
  try {
    return GetInterfaces() && SetupGraph1(true) && SetupGraph2() && SetupVideoWindow();
  } catch (...) {
    return false;
  }
}

bool TVLmPreview::GetInterfaces() {
  try {
    if (!CreateGraph()) return false;
    if (CoCreateInstance(lm::kCLSID_SampleGrabber, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                         reinterpret_cast<void**>(m_pGrabberFilter.ReleaseAndGetAddressOf())) != S_OK)
      return false;
    if (m_pGrabberFilter->QueryInterface(__uuidof(ISampleGrabber),
                                         reinterpret_cast<void**>(m_pSampleGrabber.ReleaseAndGetAddressOf())) != S_OK)
      return false;
    return QueryGraphControl();
  } catch (...) {
    return false;
  }
}

bool TVLmPreview::SetupGraph1(bool AddDevice) {
  try {
    if (!m_pGraphBuilder || !m_pCaptureGraphBuilder || !m_pSampleGrabber)
      throw std::logic_error("graph objects missing");
    if (AddDevice && !AddDeviceToGraph()) return false;
    AM_MEDIA_TYPE type = GrabberMediaType();
    if (m_pSampleGrabber->SetMediaType(&type) != S_OK) return false;
    if (m_pGraphBuilder->AddFilter(m_pGrabberFilter.Get(), L"Sample Grabber") != S_OK) return false;
    if (AddDevice) ReadFormats();
    return true;
  } catch (...) {
    return false;
  }
}

bool TVLmPreview::SetupGraph2() {
  m_isCapture = false;
  m_PreviewFaked = false;
  try {
    if (!m_pCaptureGraphBuilder || !m_pSampleGrabber) throw std::logic_error("graph objects missing");
    if (!RenderPreviewStream()) return false;
    if (m_pCaptureGraphBuilder->RenderStream(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, m_pDeviceFilter.Get(), nullptr,
                                             m_pGrabberFilter.Get()) != S_OK)
      return false;
    if (!GetConnectedMediaType()) return false;
    if (m_pSampleGrabber->SetBufferSamples(FALSE) != S_OK || m_pSampleGrabber->SetOneShot(FALSE) != S_OK ||
        m_pSampleGrabber->SetCallback(nullptr, 0) != S_OK)
      return false;
    m_isCapture = true;
    return true;
  } catch (...) {
    m_isCapture = false;
    return false;
  }
}

bool TVLmPreview::GetConnectedMediaType() {
  try {
    if (!m_pSampleGrabber) throw std::logic_error("no sample grabber");
    AM_MEDIA_TYPE type{};
    if (FAILED(m_pSampleGrabber->GetConnectedMediaType(&type))) return false;
    const VIDEOINFOHEADER* vih = lm::VideoInfo(&type);
    if (vih) m_vih = *vih;
    MoFreeMediaType(reinterpret_cast<DMO_MEDIA_TYPE*>(&type));
    return vih != nullptr;
  } catch (...) {
    return false;
  }
}

void TVLmPreview::TakeGraphApart(IBaseFilter* Filter) {
  DropPendingSnapshot();
  RemoveDownstream(Filter);
  SetupGraph1(false);
}

// The preview's graph has no format-dependent part behind the device: the index is not needed.
void TVLmPreview::RebuildGraph(int32_t) {
  SetupGraph2();
  SetupVideoWindow();
}

void TVLmPreview::ReleaseExtraInterfaces() {
  m_pSampleGrabber.Reset();
  m_pGrabberFilter.Reset();
  m_LmSampleGrabberCB->DiscardFrame();
}
