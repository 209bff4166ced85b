// The preview's filter graph: device preview stream to the default renderer, capture stream
// into the Sample Grabber.

#include <stdexcept>

#include "webcam/LmPreview.h"
#include "webcam/src/LmMediaTypes.h"

namespace {

// The format the device's capture pin has now (null when it cannot tell): the grabber takes
// frames in it when it cannot have them as 24-bit RGB.
void ReadDeviceFormat(ICaptureGraphBuilder2* Builder, IBaseFilter* Device, lm::OwnedMediaType& Format) {
  const Microsoft::WRL::ComPtr<IAMStreamConfig> config = lm::FindStreamConfig(Builder, Device);
  if (config) config->GetFormat(Format.Receive());
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
    return CreateGraph() && CreateGrabber() && QueryGraphControl();
  } catch (...) {
    return false;
  }
}

bool TVLmPreview::SetupGraph1(bool AddDevice) {
  try {
    if (!m_pGraphBuilder || !m_pCaptureGraphBuilder || !m_pSampleGrabber)
      throw std::logic_error("graph objects missing");
    if (AddDevice && !AddDeviceToGraph()) return false;
    if (!AddGrabber(m_pGraphBuilder.Get())) return false;
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
    const auto renderCapture = [this] {
      return m_pCaptureGraphBuilder->RenderStream(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, m_pDeviceFilter.Get(),
                                                  nullptr, m_pGrabberFilter.Get());
    };
    lm::OwnedMediaType deviceFormat;
    const auto readDeviceFormat = [&]() -> const AM_MEDIA_TYPE* {
      ReadDeviceFormat(m_pCaptureGraphBuilder.Get(), m_pDeviceFilter.Get(), deviceFormat);
      return deviceFormat.Get();
    };
    if (!ConnectGrabber(renderCapture, readDeviceFormat)) return false;
    if (!GetConnectedMediaType()) return false;
    if (!QuietGrabber()) return false;
    m_isCapture = true;
    return true;
  } catch (...) {
    m_isCapture = false;
    return false;
  }
}

bool TVLmPreview::GetConnectedMediaType() {
  try {
    return ReadGrabberConnection();
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
  ReleaseGrabber();
  TVLmCaptureControl::ReleaseExtraInterfaces();
}
