// The preview's filter graph: device preview stream to the default renderer, capture stream
// into the Sample Grabber, and its teardown.

#include <stdexcept>

#include "webcam/LmComPtr.h"
#include "webcam/LmPreview.h"

using Microsoft::WRL::ComPtr;

namespace {

// The only media type the grabber accepts: 24-bit RGB video with a video-info header.
AM_MEDIA_TYPE GrabberMediaType() {
  AM_MEDIA_TYPE type{};
  type.majortype = MEDIATYPE_Video;
  type.subtype = MEDIASUBTYPE_RGB24;
  type.formattype = FORMAT_VideoInfo;
  return type;
}

template <typename Interface>
bool Create(REFCLSID Clsid, DWORD Context, REFIID Iid, ComPtr<Interface>& Field) {
  return CoCreateInstance(Clsid, nullptr, Context, Iid, reinterpret_cast<void**>(Field.ReleaseAndGetAddressOf())) ==
         S_OK;
}

template <typename Interface, typename Source>
bool Query(const ComPtr<Source>& From, REFIID Iid, ComPtr<Interface>& Field) {
  if (!From) throw std::logic_error("query on a missing interface");
  return From->QueryInterface(Iid, reinterpret_cast<void**>(Field.ReleaseAndGetAddressOf())) == S_OK;
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
    constexpr DWORD kInprocServerOrHandler = CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER;
    return Create(CLSID_FilterGraph, kInprocServerOrHandler, IID_IGraphBuilder, m_pGraphBuilder) &&
           Create(CLSID_CaptureGraphBuilder2, kInprocServerOrHandler, IID_ICaptureGraphBuilder2,
                  m_pCaptureGraphBuilder) &&
           Create(CLSID_SampleGrabber, CLSCTX_INPROC_SERVER, IID_IBaseFilter, m_pGrabberFilter) &&
           Query(m_pGrabberFilter, IID_ISampleGrabber, m_pSampleGrabber) &&
           Query(m_pGraphBuilder, IID_IMediaControl, m_pMediaControl) &&
           Query(m_pGraphBuilder, IID_IVideoWindow, m_pVideoWindow) &&
           Query(m_pGraphBuilder, IID_IMediaEventEx, m_pMediaEvent);
  } catch (...) {
    return false;
  }
}

bool TVLmPreview::SetupGraph1(bool AddDevice) {
  try {
    if (!m_pGraphBuilder || !m_pCaptureGraphBuilder || !m_pSampleGrabber)
      throw std::logic_error("graph objects missing");
    if (AddDevice) {
      if (m_pCaptureGraphBuilder->SetFiltergraph(m_pGraphBuilder.Get()) != S_OK) return false;
      if (m_pGraphBuilder->AddFilter(m_pDeviceFilter.Get(), L"Video Capture") != S_OK) return false;
    }
    AM_MEDIA_TYPE type = GrabberMediaType();
    if (m_pSampleGrabber->SetMediaType(&type) != S_OK) return false;
    if (m_pGraphBuilder->AddFilter(m_pGrabberFilter.Get(), L"Sample Grabber") != S_OK) return false;
    if (AddDevice) {
      GetFormats(m_pDeviceFilter.Get());
      m_oldFrameRate = m_FrameRate;
      m_oldBitRate = m_BitRate;
      m_oldVideoSize = m_VideoSize;
    }
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
    HRESULT hr = m_pCaptureGraphBuilder->RenderStream(&PIN_CATEGORY_PREVIEW, &MEDIATYPE_Interleaved,
                                                      m_pDeviceFilter.Get(), nullptr, nullptr);
    if (hr != S_OK && hr != VFW_S_NOPREVIEWPIN) {
      hr = m_pCaptureGraphBuilder->RenderStream(&PIN_CATEGORY_PREVIEW, &MEDIATYPE_Video, m_pDeviceFilter.Get(),
                                                nullptr, nullptr);
      if (hr != S_OK && hr != VFW_S_NOPREVIEWPIN) return false;
    }
    // The builder split the capture pin to feed the preview: the device has no preview pin.
    if (hr == VFW_S_NOPREVIEWPIN) m_PreviewFaked = true;

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

void TVLmPreview::RemoveDownstream(IBaseFilter* Filter) {
  if (!Filter) return;
  ComPtr<IEnumPins> pins;
  if (FAILED(Filter->EnumPins(pins.GetAddressOf())) || !pins) return;
  pins->Reset();
  HRESULT walk = S_OK;
  while (walk == S_OK) {
    ComPtr<IPin> pin;
    walk = pins->Next(1, pin.GetAddressOf(), nullptr);
    if (walk != S_OK || !pin) break;
    ComPtr<IPin> connected;
    if (pin->ConnectedTo(connected.GetAddressOf()) != S_OK || !connected) continue;
    PIN_INFO info{};
    walk = connected->QueryPinInfo(&info);
    if (walk != S_OK) break;
    const ComPtr<IBaseFilter> downstream = AdoptReference(info.pFilter);  // the pin information's reference
    if (info.dir == PINDIR_INPUT) {
      RemoveDownstream(downstream.Get());
      m_pGraphBuilder->Disconnect(connected.Get());
      m_pGraphBuilder->Disconnect(pin.Get());
      m_pGraphBuilder->RemoveFilter(downstream.Get());
    }
  }
}

void TVLmPreview::CloseInterfaces() {
  try {
    ReleaseGraphControl();
    m_pSampleGrabber.Reset();
    m_pGrabberFilter.Reset();
    m_pCaptureGraphBuilder.Reset();
    m_pGraphBuilder.Reset();
  } catch (...) {
    // Fields not reached stay held until they are assigned again or the control goes.
  }
}
