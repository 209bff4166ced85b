// The parts of a capture graph that the preview and the recorder build alike: the graph and
// its builder, the device in it, the preview branch, taking a branch apart, and the teardown.

#include <stdexcept>

#include "webcam/LmCaptureControl.h"
#include "webcam/src/LmComCreate.h"
#include "webcam/src/LmComPtr.h"

using Microsoft::WRL::ComPtr;

bool TVLmCaptureControl::CreateGraph() {
  return CreateFilterGraph() && lm::CreateInto(CLSID_CaptureGraphBuilder2, lm::kInprocServerOrHandler,
                                               IID_ICaptureGraphBuilder2, m_pCaptureGraphBuilder);
}

bool TVLmCaptureControl::AddDeviceToGraph() {
  if (!m_pGraphBuilder || !m_pCaptureGraphBuilder) throw std::logic_error("graph objects missing");
  return m_pCaptureGraphBuilder->SetFiltergraph(m_pGraphBuilder.Get()) == S_OK &&
         m_pGraphBuilder->AddFilter(m_pDeviceFilter.Get(), L"Video Capture") == S_OK;
}

void TVLmCaptureControl::ReadFormats() {
  GetFormats(m_pDeviceFilter.Get());
  // The first Start then sees no change of rate or size.
  m_oldFrameRate = m_FrameRate;
  m_oldBitRate = m_BitRate;
  m_oldVideoSize = m_VideoSize;
}

bool TVLmCaptureControl::RenderPreviewStream() {
  if (!m_pCaptureGraphBuilder) throw std::logic_error("no capture graph builder");
  HRESULT hr = m_pCaptureGraphBuilder->RenderStream(&PIN_CATEGORY_PREVIEW, &MEDIATYPE_Interleaved,
                                                    m_pDeviceFilter.Get(), nullptr, nullptr);
  // Any answer but these two, other success codes included, means the interleaved stream did
  // not render: try the video stream.
  if (hr != S_OK && hr != VFW_S_NOPREVIEWPIN) {
    hr = m_pCaptureGraphBuilder->RenderStream(&PIN_CATEGORY_PREVIEW, &MEDIATYPE_Video, m_pDeviceFilter.Get(), nullptr,
                                              nullptr);
    if (hr != S_OK && hr != VFW_S_NOPREVIEWPIN) return false;
  }
  // The builder split the capture pin to feed the preview: the device has no preview pin.
  if (hr == VFW_S_NOPREVIEWPIN) m_PreviewFaked = true;
  return true;
}

void TVLmCaptureControl::RemoveDownstream(IBaseFilter* Filter) {
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

void TVLmCaptureControl::TakeGraphApart(IBaseFilter* Filter) { RemoveDownstream(Filter); }

void TVLmCaptureControl::ReleaseExtraInterfaces() { m_pCaptureGraphBuilder.Reset(); }
