#include "benchmarks/RawGraph.h"

#include <cwchar>
#include <vector>

#include "benchmarks/BenchSupport.h"
#include "webcam/src/LmComPtr.h"
#include "webcam/src/LmDirectShowIds.h"
#include "webcam/src/LmFrameConverter.h"

using Microsoft::WRL::ComPtr;

namespace bench {
namespace {

// Declared by no mingw-w64 header. {C1F400A4-3F08-11D3-9F0B-006008039E37}
constexpr CLSID kClsidNullRenderer = {0xc1f400a4, 0x3f08, 0x11d3, {0x9f, 0x0b, 0x00, 0x60, 0x08, 0x03, 0x9e, 0x37}};

void DeleteMediaType(AM_MEDIA_TYPE* Type) {
  if (!Type) return;
  if (Type->pbFormat) CoTaskMemFree(Type->pbFormat);
  if (Type->pUnk) Type->pUnk->Release();
  CoTaskMemFree(Type);
}

void FreeMediaType(AM_MEDIA_TYPE& Type) {
  if (Type.pbFormat) CoTaskMemFree(Type.pbFormat);
  if (Type.pUnk) Type.pUnk->Release();
  Type.pbFormat = nullptr;
  Type.pUnk = nullptr;
}

const VIDEOINFOHEADER* VideoInfo(const AM_MEDIA_TYPE& Type) {
  if (!IsEqualGUID(Type.formattype, FORMAT_VideoInfo) || !Type.pbFormat || Type.cbFormat < sizeof(VIDEOINFOHEADER))
    return nullptr;
  return reinterpret_cast<const VIDEOINFOHEADER*>(Type.pbFormat);
}

ComPtr<IBaseFilter> BindCamera(const wchar_t* Name) {
  ComPtr<ICreateDevEnum> devices;
  if (FAILED(CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&devices))))
    return nullptr;
  ComPtr<IEnumMoniker> monikers;
  // S_FALSE: the category is empty.
  if (devices->CreateClassEnumerator(CLSID_VideoInputDeviceCategory, &monikers, 0) != S_OK) return nullptr;
  ComPtr<IMoniker> moniker;
  while (monikers->Next(1, moniker.ReleaseAndGetAddressOf(), nullptr) == S_OK) {
    ComPtr<IPropertyBag> bag;
    if (FAILED(moniker->BindToStorage(nullptr, nullptr, IID_PPV_ARGS(&bag)))) continue;
    VARIANT name;
    VariantInit(&name);
    const bool match = SUCCEEDED(bag->Read(L"FriendlyName", &name, nullptr)) && name.vt == VT_BSTR &&
                       std::wcscmp(name.bstrVal, Name) == 0;
    VariantClear(&name);
    if (!match) continue;
    ComPtr<IBaseFilter> filter;
    if (FAILED(moniker->BindToObject(nullptr, nullptr, IID_PPV_ARGS(&filter)))) return nullptr;
    return filter;
  }
  return nullptr;
}

AM_MEDIA_TYPE VideoType(const GUID& SubType) {
  AM_MEDIA_TYPE type{};
  type.majortype = MEDIATYPE_Video;
  type.subtype = SubType;
  type.formattype = FORMAT_VideoInfo;
  return type;
}

}  // namespace

RawGraph::~RawGraph() {
  Stop();
  if (m_Grab) m_Grab->SetCallback(nullptr, 0);
  if (m_Window && m_Shown) {
    m_Window->put_Visible(OAFALSE);
    m_Window->put_Owner(0);
  }
}

bool RawGraph::Fail(const std::wstring& Step, HRESULT Hr) {
  Failure = Step;
  if (Hr != S_OK) Failure += L" failed: " + HResultText(Hr);
  return false;
}

bool RawGraph::Build(const RawGraphPlan& Plan) {
  m_Plan = Plan;
  return CreateFilters() && Render();
}

bool RawGraph::CreateFilters() {
  m_Camera = BindCamera(m_Plan.Format.Camera);
  if (!m_Camera) return Fail(std::wstring(L"the camera \"") + m_Plan.Format.Camera + L"\" is not registered", S_OK);
  HRESULT hr = CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&m_Graph));
  if (FAILED(hr)) return Fail(L"filter graph", hr);
  hr = CoCreateInstance(CLSID_CaptureGraphBuilder2, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&m_Builder));
  if (FAILED(hr)) return Fail(L"capture graph builder", hr);
  if (FAILED(hr = m_Builder->SetFiltergraph(m_Graph.Get()))) return Fail(L"SetFiltergraph", hr);
  if (FAILED(hr = m_Graph->AddFilter(m_Camera.Get(), L"Camera"))) return Fail(L"AddFilter camera", hr);
  if (FAILED(hr = m_Graph.As(&m_Control))) return Fail(L"IMediaControl", hr);
  hr = m_Builder->FindInterface(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, m_Camera.Get(), IID_IAMStreamConfig,
                                reinterpret_cast<void**>(m_Config.GetAddressOf()));
  if (FAILED(hr)) return Fail(L"IAMStreamConfig of the capture pin", hr);

  if (m_Plan.Capture) {
    hr = CoCreateInstance(lm::kCLSID_SampleGrabber, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&m_Grabber));
    if (FAILED(hr)) return Fail(L"Sample Grabber", hr);
    if (FAILED(hr = m_Grabber.As(&m_Grab))) return Fail(L"ISampleGrabber", hr);
    m_Probe = AdoptReference(new GrabberProbe());
    m_Grab->SetBufferSamples(FALSE);
    m_Grab->SetOneShot(FALSE);
    hr = CoCreateInstance(kClsidNullRenderer, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&m_Sink));
    if (FAILED(hr)) return Fail(L"Null Renderer", hr);
    if (FAILED(hr = m_Graph->AddFilter(m_Grabber.Get(), L"Sample Grabber"))) return Fail(L"AddFilter grabber", hr);
    if (FAILED(hr = m_Graph->AddFilter(m_Sink.Get(), L"Null Renderer"))) return Fail(L"AddFilter sink", hr);
  }
  if (m_Plan.Owner) {
    // mingw-w64 gives IVideoWindow no __uuidof: ask by its IID.
    hr = m_Graph->QueryInterface(IID_IVideoWindow, reinterpret_cast<void**>(m_Window.GetAddressOf()));
    if (FAILED(hr)) return Fail(L"IVideoWindow", hr);
  }
  return true;
}

bool RawGraph::Render() {
  if (!SetCaptureFormat()) return false;
  // The grabber is told its type before the preview stream is rendered: a grabber that accepts
  // anything would be taken into the preview stream by the graph's intelligent connect.
  if (m_Plan.Capture) {
    AM_MEDIA_TYPE rgb24 = VideoType(MEDIASUBTYPE_RGB24);
    const HRESULT hr = m_Grab->SetMediaType(&rgb24);
    if (FAILED(hr)) return Fail(L"ISampleGrabber::SetMediaType", hr);
  }
  if (m_Plan.Owner) {
    const HRESULT hr = m_Builder->RenderStream(&PIN_CATEGORY_PREVIEW, &MEDIATYPE_Video, m_Camera.Get(), nullptr, nullptr);
    if (FAILED(hr)) return Fail(L"RenderStream preview", hr);
  }
  if (m_Plan.Capture && !(ConnectGrabber() && ReadConnection())) return false;
  return !m_Plan.Owner || ShowVideo();
}

bool RawGraph::SetCaptureFormat() {
  const CameraFormat& want = m_Plan.Format;
  int count = 0, size = 0;
  HRESULT hr = m_Config->GetNumberOfCapabilities(&count, &size);
  if (FAILED(hr)) return Fail(L"GetNumberOfCapabilities", hr);
  if (size != sizeof(VIDEO_STREAM_CONFIG_CAPS)) return Fail(L"capabilities are not video capabilities", S_OK);
  for (int i = 0; i < count; ++i) {
    AM_MEDIA_TYPE* type = nullptr;
    VIDEO_STREAM_CONFIG_CAPS caps{};
    if (m_Config->GetStreamCaps(i, &type, reinterpret_cast<BYTE*>(&caps)) != S_OK || !type) continue;
    bool done = false;
    if (IsEqualGUID(type->formattype, FORMAT_VideoInfo) && type->cbFormat >= sizeof(VIDEOINFOHEADER) &&
        (IsEqualGUID(want.SubType, GUID_NULL) || IsEqualGUID(type->subtype, want.SubType))) {
      auto* vih = reinterpret_cast<VIDEOINFOHEADER*>(type->pbFormat);
      if (vih->bmiHeader.biWidth == want.Width && vih->bmiHeader.biHeight == want.Height) {
        vih->AvgTimePerFrame = static_cast<REFERENCE_TIME>(10000000.0 / want.Rate);
        hr = m_Config->SetFormat(type);
        done = true;
      }
    }
    DeleteMediaType(type);
    if (done) return SUCCEEDED(hr) || Fail(L"IAMStreamConfig::SetFormat", hr);
  }
  return Fail(L"the camera offers no " + FormatText(want) + L" format", S_OK);
}

bool RawGraph::ConnectGrabber() {
  const auto render = [this] {
    return m_Builder->RenderStream(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, m_Camera.Get(), m_Grabber.Get(),
                                   m_Sink.Get());
  };
  HRESULT hr = render();
  if (SUCCEEDED(hr)) return true;
  // No converter to 24-bit RGB: take the camera's frames as they come, when they can be
  // converted one at a time.
  AM_MEDIA_TYPE* camera = nullptr;
  if (FAILED(m_Config->GetFormat(&camera)) || !camera) return Fail(L"RenderStream capture", hr);
  lm::FrameFormat frame;
  const bool convertible = lm::FrameFormatOf(*camera, frame) && lm::CanConvertFrame(frame);
  AM_MEDIA_TYPE own = VideoType(camera->subtype);
  DeleteMediaType(camera);
  if (!convertible) return Fail(L"RenderStream capture", hr);
  if (FAILED(hr = m_Grab->SetMediaType(&own))) return Fail(L"ISampleGrabber::SetMediaType (camera format)", hr);
  if (FAILED(hr = render())) return Fail(L"RenderStream capture (camera format)", hr);
  return true;
}

bool RawGraph::ReadConnection() {
  AM_MEDIA_TYPE type{};
  const HRESULT hr = m_Grab->GetConnectedMediaType(&type);
  if (FAILED(hr)) return Fail(L"GetConnectedMediaType", hr);
  if (const VIDEOINFOHEADER* vih = VideoInfo(type)) {
    Width = vih->bmiHeader.biWidth;
    Height = vih->bmiHeader.biHeight;
  }
  GrabberSubType = type.subtype;
  FreeMediaType(type);
  return true;
}

bool RawGraph::ShowVideo() {
  const RECT& view = m_Plan.View;
  m_Window->put_Owner(reinterpret_cast<OAHWND>(m_Plan.Owner));
  m_Window->put_WindowStyle(WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN);
  m_Window->SetWindowPosition(view.left, view.top, view.right - view.left, view.bottom - view.top);
  const HRESULT hr = m_Window->put_Visible(OATRUE);
  m_Shown = true;
  return SUCCEEDED(hr) || Fail(L"IVideoWindow::put_Visible", hr);
}

bool RawGraph::SwitchFormat(const CameraFormat& Format) {
  Stop();
  TakeApart();
  m_Plan.Format = Format;
  Width = Height = 0;
  GrabberSubType = GUID_NULL;
  return Render();
}

void RawGraph::TakeApart() {
  if (m_Window && m_Shown) {
    m_Window->put_Visible(OAFALSE);
    m_Window->put_Owner(0);
    m_Shown = false;
  }
  // Collect first: removing filters while enumerating them invalidates the enumerator.
  std::vector<ComPtr<IBaseFilter>> others;
  ComPtr<IEnumFilters> filters;
  if (SUCCEEDED(m_Graph->EnumFilters(&filters))) {
    ComPtr<IBaseFilter> filter;
    while (filters->Next(1, filter.ReleaseAndGetAddressOf(), nullptr) == S_OK)
      if (filter != m_Camera && filter != m_Grabber && filter != m_Sink) others.push_back(filter);
  }
  for (const ComPtr<IBaseFilter>& filter : others) m_Graph->RemoveFilter(filter.Get());
  for (IBaseFilter* filter : {m_Camera.Get(), m_Grabber.Get(), m_Sink.Get()})
    if (filter) DisconnectPins(filter);
}

void RawGraph::DisconnectPins(IBaseFilter* Filter) {
  ComPtr<IEnumPins> pins;
  if (FAILED(Filter->EnumPins(&pins))) return;
  ComPtr<IPin> pin;
  while (pins->Next(1, pin.ReleaseAndGetAddressOf(), nullptr) == S_OK) {
    ComPtr<IPin> peer;
    if (pin->ConnectedTo(&peer) != S_OK) continue;
    m_Graph->Disconnect(peer.Get());
    m_Graph->Disconnect(pin.Get());
  }
}

bool RawGraph::Run() {
  const HRESULT hr = m_Control->Run();
  return SUCCEEDED(hr) || Fail(L"IMediaControl::Run", hr);
}

void RawGraph::Stop() {
  if (m_Control) m_Control->Stop();
}

SnapshotResult RawGraph::Snapshot(double TimeoutMs, SnapshotFigures& Figures) {
  Figures = SnapshotFigures{};
  m_Probe->Arm();
  Figures.RequestedMs = NowMs();
  const HRESULT hr = m_Grab->SetCallback(m_Probe.Get(), 1);
  if (FAILED(hr)) {
    Fail(L"ISampleGrabber::SetCallback", hr);
    return SnapshotResult::Failed;
  }
  const bool arrived = PumpUntil(m_Probe->ArrivedEvent(), TimeoutMs);
  Figures.ArrivedMs = NowMs();
  m_Probe->Disarm();
  m_Grab->SetCallback(nullptr, 0);
  if (!arrived) return SnapshotResult::Lost;

  const std::vector<BYTE>& copy = m_Probe->Copy();
  Figures.Width = Width;
  Figures.Height = Height < 0 ? -Height : Height;
  if (IsEqualGUID(GrabberSubType, MEDIASUBTYPE_RGB24)) {
    const size_t stride = (static_cast<size_t>(Width) * 3 + 3) & ~size_t{3};
    const bool whole = Width > 0 && Height > 0 && copy.size() >= stride * static_cast<size_t>(Height);
    Figures.Counter = whole ? DecodeCounter(copy.data(), Width, Height) : -1;
    return SnapshotResult::Delivered;
  }
  // The one frame asked for becomes a bottom-up 24-bit picture here, on the GUI thread.
  lm::FrameFormat frame;
  frame.SubType = GrabberSubType;
  frame.Width = Width;
  frame.Height = Height;
  std::vector<BYTE> picture(lm::Rgb24ImageBytes(Width, Height));
  const bool converted = lm::ConvertFrame(frame, copy.data(), copy.size(), picture.data());
  Figures.ArrivedMs = NowMs();
  Figures.Counter = converted ? DecodeCounter(picture.data(), Figures.Width, Figures.Height) : -1;
  return SnapshotResult::Delivered;
}

bool RawGraph::CountSamples() {
  const HRESULT hr = m_Grab->SetCallback(m_Probe.Get(), 0);
  return SUCCEEDED(hr) || Fail(L"ISampleGrabber::SetCallback", hr);
}

HWND RawGraph::VideoWindow() const { return m_Plan.Owner && m_Shown ? GetWindow(m_Plan.Owner, GW_CHILD) : nullptr; }

}  // namespace bench
