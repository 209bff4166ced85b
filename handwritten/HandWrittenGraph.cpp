#include "handwritten/HandWrittenGraph.h"

#include <cwchar>
#include <vector>

#include "handwritten/VideoDevices.h"
#include "webcam/src/LmDirectShowIds.h"
#include "webcam/src/LmMediaTypes.h"

using Microsoft::WRL::ComPtr;

namespace handwritten {
namespace {

// Declared by no mingw-w64 header. {C1F400A4-3F08-11D3-9F0B-006008039E37}
constexpr CLSID kClsidNullRenderer = {0xc1f400a4, 0x3f08, 0x11d3, {0x9f, 0x0b, 0x00, 0x60, 0x08, 0x03, 0x9e, 0x37}};

}  // namespace

HandWrittenGraph::~HandWrittenGraph() {
  if (Control) Control->Stop();
  if (Grab) Grab->SetCallback(nullptr, 0);
  GiveVideoWindowBack();
  if (Events) Events->SetNotifyWindow(0, 0, 0);
}

HRESULT HandWrittenGraph::Fail(const std::wstring& Step, HRESULT Hr) {
  wchar_t code[32];
  std::swprintf(code, 32, L" failed: 0x%08lX", static_cast<unsigned long>(Hr));
  m_Failure = Step + code;
  return Hr;
}

HRESULT HandWrittenGraph::CreateGraph() {
  HRESULT hr = CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                reinterpret_cast<void**>(Graph.ReleaseAndGetAddressOf()));
  if (FAILED(hr)) return Fail(L"filter graph", hr);
  if (FAILED(hr = Graph->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(Control.ReleaseAndGetAddressOf()))))
    return Fail(L"IMediaControl", hr);
  if (FAILED(hr = Graph->QueryInterface(IID_IMediaEventEx, reinterpret_cast<void**>(Events.ReleaseAndGetAddressOf()))))
    return Fail(L"IMediaEventEx", hr);
  return S_OK;
}

HRESULT HandWrittenGraph::MakeBuilder() {
  if (Builder) return S_OK;
  HRESULT hr = CoCreateInstance(CLSID_CaptureGraphBuilder2, nullptr, CLSCTX_INPROC_SERVER, IID_ICaptureGraphBuilder2,
                                reinterpret_cast<void**>(Builder.GetAddressOf()));
  if (FAILED(hr)) return Fail(L"capture graph builder", hr);
  if (FAILED(hr = Builder->SetFiltergraph(Graph.Get()))) {
    Builder.Reset();
    return Fail(L"SetFiltergraph", hr);
  }
  return S_OK;
}

HRESULT HandWrittenGraph::AddCamera(const std::wstring& Name, const wchar_t* FilterName) {
  Camera = BindCamera(Name);
  if (!Camera) return Fail(L"binding the device \"" + Name + L"\"", VFW_E_NOT_FOUND);
  const HRESULT hr = Graph->AddFilter(Camera.Get(), FilterName);
  if (FAILED(hr)) return Fail(L"AddFilter camera", hr);
  return MakeBuilder();
}

HRESULT HandWrittenGraph::SetCaptureFormat(const GUID& SubType, LONG Width, LONG Height, REFERENCE_TIME Interval) {
  HRESULT hr = MakeBuilder();
  if (FAILED(hr)) return hr;
  ComPtr<IAMStreamConfig> config;
  hr = Builder->FindInterface(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, Camera.Get(), IID_IAMStreamConfig,
                              reinterpret_cast<void**>(config.GetAddressOf()));
  if (FAILED(hr)) return Fail(L"IAMStreamConfig of the capture pin", hr);
  int count = 0, size = 0;
  if (FAILED(hr = config->GetNumberOfCapabilities(&count, &size))) return Fail(L"GetNumberOfCapabilities", hr);
  if (size != sizeof(VIDEO_STREAM_CONFIG_CAPS)) return Fail(L"video capabilities", E_UNEXPECTED);
  for (int i = 0; i < count; ++i) {
    lm::OwnedMediaType type;
    VIDEO_STREAM_CONFIG_CAPS caps{};
    if (config->GetStreamCaps(i, type.Receive(), reinterpret_cast<BYTE*>(&caps)) != S_OK) continue;
    VIDEOINFOHEADER* info = lm::VideoInfo(type.Get());
    if (!info || !(IsEqualGUID(SubType, GUID_NULL) || IsEqualGUID(type.Get()->subtype, SubType)) ||
        info->bmiHeader.biWidth != Width || info->bmiHeader.biHeight != Height)
      continue;
    info->AvgTimePerFrame = Interval;
    hr = config->SetFormat(type.Get());
    return FAILED(hr) ? Fail(L"IAMStreamConfig::SetFormat", hr) : hr;
  }
  return Fail(L"a capability of that subtype and size", E_INVALIDARG);
}

HRESULT HandWrittenGraph::AddGrabber(const GUID& SubType, const GUID& FormatType) {
  HRESULT hr = CoCreateInstance(lm::kCLSID_SampleGrabber, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                reinterpret_cast<void**>(Grabber.ReleaseAndGetAddressOf()));
  if (FAILED(hr)) return Fail(L"Sample Grabber", hr);
  if (FAILED(hr = Grabber->QueryInterface(IID_ISampleGrabber, reinterpret_cast<void**>(Grab.ReleaseAndGetAddressOf()))))
    return Fail(L"ISampleGrabber", hr);
  if (FAILED(hr = SetGrabberType(SubType, FormatType))) return hr;
  Grab->SetBufferSamples(FALSE);
  Grab->SetOneShot(FALSE);
  if (FAILED(hr = Graph->AddFilter(Grabber.Get(), L"Sample Grabber"))) return Fail(L"AddFilter grabber", hr);
  return S_OK;
}

HRESULT HandWrittenGraph::SetGrabberType(const GUID& SubType, const GUID& FormatType) {
  AM_MEDIA_TYPE type{};
  type.majortype = MEDIATYPE_Video;
  type.subtype = SubType;
  type.formattype = FormatType;
  const HRESULT hr = Grab->SetMediaType(&type);
  return FAILED(hr) ? Fail(L"ISampleGrabber::SetMediaType", hr) : hr;
}

HRESULT HandWrittenGraph::SetGrabberCallback(ISampleGrabberCB* Callback, long Mode) {
  const HRESULT hr = Grab->SetCallback(Callback, Mode);
  return FAILED(hr) ? Fail(L"ISampleGrabber::SetCallback", hr) : hr;
}

HRESULT HandWrittenGraph::GrabberFormat(lm::FrameFormat& Format) {
  AM_MEDIA_TYPE type{};
  const HRESULT hr = Grab->GetConnectedMediaType(&type);
  if (FAILED(hr)) return Fail(L"ISampleGrabber::GetConnectedMediaType", hr);
  const bool video = lm::FrameFormatOf(type, Format);
  MoFreeMediaType(reinterpret_cast<DMO_MEDIA_TYPE*>(&type));
  return video ? S_OK : Fail(L"the grabber's video format", VFW_E_INVALIDMEDIATYPE);
}

HRESULT HandWrittenGraph::AddNullRenderer(const wchar_t* FilterName, ComPtr<IBaseFilter>& Renderer) {
  HRESULT hr = CoCreateInstance(kClsidNullRenderer, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                reinterpret_cast<void**>(Renderer.ReleaseAndGetAddressOf()));
  if (FAILED(hr)) return Fail(L"Null Renderer", hr);
  if (FAILED(hr = Graph->AddFilter(Renderer.Get(), FilterName))) return Fail(L"AddFilter Null Renderer", hr);
  return S_OK;
}

HRESULT HandWrittenGraph::RenderPreview(IBaseFilter* Through, IBaseFilter* Into) {
  HRESULT hr = MakeBuilder();
  if (FAILED(hr)) return hr;
  hr = Builder->RenderStream(&PIN_CATEGORY_PREVIEW, &MEDIATYPE_Video, Camera.Get(), Through, Into);
  return FAILED(hr) ? Fail(L"RenderStream preview", hr) : hr;
}

HRESULT HandWrittenGraph::RenderCapture(IBaseFilter* Through, IBaseFilter* Into) {
  HRESULT hr = MakeBuilder();
  if (FAILED(hr)) return hr;
  hr = Builder->RenderStream(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, Camera.Get(), Through, Into);
  return FAILED(hr) ? Fail(L"RenderStream capture", hr) : hr;
}

HRESULT HandWrittenGraph::SetAviOutput(const std::wstring& FileName, ComPtr<IBaseFilter>& Writer) {
  HRESULT hr = MakeBuilder();
  if (FAILED(hr)) return hr;
  ComPtr<IFileSinkFilter> sink;
  hr = Builder->SetOutputFileName(&MEDIASUBTYPE_Avi, FileName.c_str(), Writer.ReleaseAndGetAddressOf(),
                                  sink.GetAddressOf());
  if (FAILED(hr)) return Fail(L"SetOutputFileName", hr);
  ComPtr<IFileSinkFilter2> overwrite;
  if (SUCCEEDED(sink->QueryInterface(IID_IFileSinkFilter2, reinterpret_cast<void**>(overwrite.GetAddressOf()))) &&
      FAILED(hr = overwrite->SetMode(AM_FILE_OVERWRITE)))
    return Fail(L"IFileSinkFilter2::SetMode", hr);
  return S_OK;
}

HRESULT HandWrittenGraph::RenderFile(const std::wstring& FileName) {
  const HRESULT hr = Graph->RenderFile(FileName.c_str(), nullptr);
  return FAILED(hr) ? Fail(L"RenderFile", hr) : hr;
}

HRESULT HandWrittenGraph::PlaceVideo(HWND Owner, const RECT& View) {
  // mingw-w64 gives IVideoWindow no __uuidof: ask by its IID.
  const HRESULT hr = Graph->QueryInterface(IID_IVideoWindow, reinterpret_cast<void**>(m_Window.ReleaseAndGetAddressOf()));
  if (FAILED(hr)) return Fail(L"IVideoWindow", hr);
  m_Owner = Owner;
  m_Window->put_Owner(reinterpret_cast<OAHWND>(Owner));
  m_Window->put_WindowStyle(WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN);
  m_Window->SetWindowPosition(View.left, View.top, View.right - View.left, View.bottom - View.top);
  return S_OK;
}

HRESULT HandWrittenGraph::ShowVideo(bool Visible) {
  if (!m_Window) return Fail(L"a placed video window", E_UNEXPECTED);
  const HRESULT hr = m_Window->put_Visible(Visible ? OATRUE : OAFALSE);
  return FAILED(hr) ? Fail(L"IVideoWindow::put_Visible", hr) : hr;
}

HWND HandWrittenGraph::VideoWindow() const { return m_Window ? GetWindow(m_Owner, GW_CHILD) : nullptr; }

void HandWrittenGraph::GiveVideoWindowBack() {
  if (!m_Window) return;
  m_Window->put_Visible(OAFALSE);
  m_Window->put_Owner(0);
  m_Window.Reset();
  m_Owner = nullptr;
}

HRESULT HandWrittenGraph::Run() {
  const HRESULT hr = Control->Run();
  return FAILED(hr) ? Fail(L"IMediaControl::Run", hr) : hr;
}

HRESULT HandWrittenGraph::Stop() {
  const HRESULT hr = Control->Stop();
  return FAILED(hr) ? Fail(L"IMediaControl::Stop", hr) : hr;
}

void HandWrittenGraph::TakeApartBehindCamera(std::initializer_list<IBaseFilter*> Keep) {
  GiveVideoWindowBack();
  std::vector<IBaseFilter*> kept{Camera.Get(), Grabber.Get()};
  kept.insert(kept.end(), Keep.begin(), Keep.end());
  const auto isKept = [&](IBaseFilter* Filter) {
    for (IBaseFilter* k : kept)
      if (k == Filter) return true;
    return false;
  };
  // Collect first: removing filters while enumerating them invalidates the enumerator.
  std::vector<ComPtr<IBaseFilter>> others;
  ComPtr<IEnumFilters> filters;
  if (SUCCEEDED(Graph->EnumFilters(&filters))) {
    ComPtr<IBaseFilter> filter;
    while (filters->Next(1, filter.ReleaseAndGetAddressOf(), nullptr) == S_OK)
      if (!isKept(filter.Get())) others.push_back(filter);
  }
  for (const ComPtr<IBaseFilter>& filter : others) Graph->RemoveFilter(filter.Get());
  for (IBaseFilter* filter : kept)
    if (filter) DisconnectPins(filter);
}

void HandWrittenGraph::DisconnectPins(IBaseFilter* Filter) {
  ComPtr<IEnumPins> pins;
  if (FAILED(Filter->EnumPins(&pins))) return;
  ComPtr<IPin> pin;
  while (pins->Next(1, pin.ReleaseAndGetAddressOf(), nullptr) == S_OK) {
    ComPtr<IPin> peer;
    if (pin->ConnectedTo(&peer) != S_OK) continue;
    Graph->Disconnect(peer.Get());
    Graph->Disconnect(pin.Get());
  }
}

}  // namespace handwritten
