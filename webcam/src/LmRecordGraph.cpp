// The recorder's filter graph: the device's preview stream to the default renderer and its
// capture stream into the file branch (AVI multiplexer and file writer, or the ASF writer).

#include <stdexcept>

#include "webcam/LmRecord.h"

using Microsoft::WRL::ComPtr;

bool TVLmRecord::StartupVideo(const std::wstring& FileName) {
  try {
    return GetInterfaces() && SetupGraph(FileName, true, 0) && SetupVideoWindow();
  } catch (...) {
    return false;
  }
}

bool TVLmRecord::GetInterfaces() {
  try {
    if (!CreateGraph() || !QueryGraphControl()) return false;
    ReadFormats();
    return true;
  } catch (...) {
    return false;
  }
}

bool TVLmRecord::SetupGraph(const std::wstring& FileName, bool AddDevice, int32_t FormatIndex) {
  try {
    if (!m_pGraphBuilder || !m_pCaptureGraphBuilder) throw std::logic_error("graph objects missing");
    if (AddDevice && !AddDeviceToGraph()) return false;

    const bool asf = m_FileFormat == vlmAsf;
    const GUID& subtype = asf ? MEDIASUBTYPE_Asf : MEDIASUBTYPE_Avi;
    // The first filter of the file branch and its sink: local references only, the filters
    // themselves stay in the graph.
    ComPtr<IBaseFilter> writer;
    ComPtr<IFileSinkFilter> sink;
    if (m_pCaptureGraphBuilder->SetOutputFileName(&subtype, FileName.c_str(), writer.GetAddressOf(),
                                                  sink.GetAddressOf()) != S_OK)
      return false;
    // An existing file of that name is overwritten.
    ComPtr<IFileSinkFilter2> sink2;
    if (!sink || sink->QueryInterface(IID_IFileSinkFilter2, reinterpret_cast<void**>(sink2.GetAddressOf())) != S_OK ||
        sink2->SetMode(AM_FILE_OVERWRITE) != S_OK)
      return false;
    if (asf) AsfSetOutputSize(writer.Get(), FormatIndex);

    if (!RenderPreviewStream()) return false;
    return m_pCaptureGraphBuilder->RenderStream(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, m_pDeviceFilter.Get(), nullptr,
                                                writer.Get()) == S_OK;
  } catch (...) {
    return false;
  }
}

void TVLmRecord::RebuildGraph(int32_t FormatIndex) {
  SetupGraph(m_FileName, false, FormatIndex);
  SetupVideoWindow();
}
