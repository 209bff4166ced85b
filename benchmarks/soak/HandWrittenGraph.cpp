#include "soak/HandWrittenGraph.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <vector>

#include "soak/Pump.h"
#include "webcam/src/LmDirectShowIds.h"

using Microsoft::WRL::ComPtr;

namespace soak {

// The grabber's buffer callback (mode 1): once armed, copies the next buffer, as an application
// must (the buffer is valid only during the call), and sets an event.
class BufferProbe final : public ISampleGrabberCB {
public:
  BufferProbe() : m_Arrived(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

  STDMETHODIMP QueryInterface(REFIID Iid, void** Object) override {
    if (!Object) return E_POINTER;
    *Object = IsEqualIID(Iid, IID_IUnknown) || IsEqualIID(Iid, IID_ISampleGrabberCB) ? this : nullptr;
    if (!*Object) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++m_References; }
  STDMETHODIMP_(ULONG) Release() override {
    const ULONG left = --m_References;
    if (left == 0) delete this;
    return left;
  }
  STDMETHODIMP SampleCB(double, IMediaSample*) override { return S_OK; }
  STDMETHODIMP BufferCB(double, BYTE* Buffer, long Length) override {
    if (!m_Armed.exchange(false)) return S_OK;
    if (Buffer && Length > 0) m_Copy.assign(Buffer, Buffer + Length);
    SetEvent(m_Arrived);
    return S_OK;
  }

  void Arm() {
    ResetEvent(m_Arrived);
    m_Armed = true;
  }
  void Disarm() { m_Armed = false; }
  HANDLE Arrived() const { return m_Arrived; }

private:
  ~BufferProbe() { CloseHandle(m_Arrived); }

  std::atomic<ULONG> m_References{1};
  HANDLE m_Arrived;
  std::atomic<bool> m_Armed{false};  // the GUI thread arms, the streaming thread spends
  std::vector<BYTE> m_Copy;           // streaming thread only
};

HandWrittenGraph::HandWrittenGraph() = default;

HandWrittenGraph::~HandWrittenGraph() {
  if (m_Control) m_Control->Stop();
  if (m_Grabber) m_Grabber->SetCallback(nullptr, 0);
  if (m_Window) {
    m_Window->put_Visible(OAFALSE);
    m_Window->put_Owner(0);
  }
  if (m_Events) m_Events->SetNotifyWindow(0, 0, 0);
}

bool HandWrittenGraph::Fail(const wchar_t* Step, HRESULT Hr) {
  wchar_t text[32];
  std::swprintf(text, 32, L" failed: 0x%08lX", static_cast<unsigned long>(Hr));
  m_Failure = std::wstring(Step) + text;
  return false;
}

bool HandWrittenGraph::CreateGraph() {
  HRESULT hr = CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                reinterpret_cast<void**>(m_Graph.GetAddressOf()));
  if (FAILED(hr)) return Fail(L"filter graph", hr);
  if (FAILED(hr = m_Graph->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(m_Control.GetAddressOf()))))
    return Fail(L"IMediaControl", hr);
  if (FAILED(hr = m_Graph->QueryInterface(IID_IMediaEventEx, reinterpret_cast<void**>(m_Events.GetAddressOf()))))
    return Fail(L"IMediaEventEx", hr);
  return true;
}

bool HandWrittenGraph::AddCamera(const std::wstring& CameraName) {
  ComPtr<ICreateDevEnum> devices;
  HRESULT hr = CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER, IID_ICreateDevEnum,
                                reinterpret_cast<void**>(devices.GetAddressOf()));
  if (FAILED(hr)) return Fail(L"system device enumerator", hr);
  ComPtr<IEnumMoniker> monikers;
  // S_FALSE: the category is empty.
  if ((hr = devices->CreateClassEnumerator(CLSID_VideoInputDeviceCategory, &monikers, 0)) != S_OK)
    return Fail(L"CreateClassEnumerator", hr);
  ComPtr<IMoniker> moniker;
  while (monikers->Next(1, moniker.ReleaseAndGetAddressOf(), nullptr) == S_OK) {
    ComPtr<IPropertyBag> bag;
    if (FAILED(moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, reinterpret_cast<void**>(bag.GetAddressOf()))))
      continue;
    VARIANT name;
    VariantInit(&name);
    const bool match = SUCCEEDED(bag->Read(L"FriendlyName", &name, nullptr)) && name.vt == VT_BSTR &&
                       CameraName == name.bstrVal;
    VariantClear(&name);
    if (!match) continue;
    if (FAILED(hr = moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter,
                                          reinterpret_cast<void**>(m_Camera.GetAddressOf()))))
      return Fail(L"BindToObject", hr);
    if (FAILED(hr = m_Graph->AddFilter(m_Camera.Get(), L"Video Capture"))) return Fail(L"AddFilter camera", hr);
    if (FAILED(hr = CoCreateInstance(CLSID_CaptureGraphBuilder2, nullptr, CLSCTX_INPROC_SERVER, IID_ICaptureGraphBuilder2,
                                     reinterpret_cast<void**>(m_Builder.GetAddressOf()))))
      return Fail(L"capture graph builder", hr);
    if (FAILED(hr = m_Builder->SetFiltergraph(m_Graph.Get()))) return Fail(L"SetFiltergraph", hr);
    return true;
  }
  m_Failure = L"no device named " + CameraName;
  return false;
}

bool HandWrittenGraph::AddGrabber() {
  HRESULT hr = CoCreateInstance(lm::kCLSID_SampleGrabber, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                reinterpret_cast<void**>(m_GrabberFilter.GetAddressOf()));
  if (FAILED(hr)) return Fail(L"Sample Grabber", hr);
  if (FAILED(hr = m_GrabberFilter->QueryInterface(IID_ISampleGrabber, reinterpret_cast<void**>(m_Grabber.GetAddressOf()))))
    return Fail(L"ISampleGrabber", hr);
  AM_MEDIA_TYPE rgb24{};
  rgb24.majortype = MEDIATYPE_Video;
  rgb24.subtype = MEDIASUBTYPE_RGB24;
  rgb24.formattype = FORMAT_VideoInfo;
  if (FAILED(hr = m_Grabber->SetMediaType(&rgb24))) return Fail(L"SetMediaType", hr);
  m_Grabber->SetBufferSamples(FALSE);
  m_Grabber->SetOneShot(FALSE);
  if (FAILED(hr = m_Graph->AddFilter(m_GrabberFilter.Get(), L"Sample Grabber"))) return Fail(L"AddFilter grabber", hr);
  *m_Probe.GetAddressOf() = new BufferProbe();  // takes the new object's one reference
  return true;
}

bool HandWrittenGraph::PlaceVideoWindow(HWND Host) {
  HRESULT hr = m_Graph->QueryInterface(IID_IVideoWindow, reinterpret_cast<void**>(m_Window.GetAddressOf()));
  if (FAILED(hr)) return Fail(L"IVideoWindow", hr);
  RECT client;
  GetClientRect(Host, &client);
  m_Window->put_Owner(reinterpret_cast<OAHWND>(Host));
  m_Window->put_WindowStyle(WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN);
  m_Window->SetWindowPosition(0, 0, client.right, client.bottom);
  return true;
}

bool HandWrittenGraph::BuildPreview(const std::wstring& CameraName, HWND Host) {
  if (!CreateGraph() || !AddCamera(CameraName) || !AddGrabber()) return false;
  HRESULT hr = m_Builder->RenderStream(&PIN_CATEGORY_PREVIEW, &MEDIATYPE_Video, m_Camera.Get(), nullptr, nullptr);
  if (FAILED(hr)) return Fail(L"RenderStream preview", hr);
  hr = m_Builder->RenderStream(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, m_Camera.Get(), nullptr, m_GrabberFilter.Get());
  if (FAILED(hr)) return Fail(L"RenderStream capture", hr);
  return PlaceVideoWindow(Host);
}

bool HandWrittenGraph::BuildPlayback(const std::wstring& FileName, HWND Host) {
  if (!CreateGraph() || !AddGrabber()) return false;
  const HRESULT hr = m_Graph->RenderFile(FileName.c_str(), nullptr);
  if (FAILED(hr)) return Fail(L"RenderFile", hr);
  return PlaceVideoWindow(Host);
}

bool HandWrittenGraph::BuildRecording(const std::wstring& CameraName, const std::wstring& FileName, HWND Host) {
  if (!CreateGraph() || !AddCamera(CameraName)) return false;
  ComPtr<IBaseFilter> mux;
  ComPtr<IFileSinkFilter> sink;
  HRESULT hr = m_Builder->SetOutputFileName(&MEDIASUBTYPE_Avi, FileName.c_str(), mux.GetAddressOf(), sink.GetAddressOf());
  if (FAILED(hr)) return Fail(L"SetOutputFileName", hr);
  ComPtr<IFileSinkFilter2> overwrite;
  if (SUCCEEDED(sink->QueryInterface(IID_IFileSinkFilter2, reinterpret_cast<void**>(overwrite.GetAddressOf()))))
    overwrite->SetMode(AM_FILE_OVERWRITE);
  hr = m_Builder->RenderStream(&PIN_CATEGORY_PREVIEW, &MEDIATYPE_Video, m_Camera.Get(), nullptr, nullptr);
  if (FAILED(hr)) return Fail(L"RenderStream preview", hr);
  hr = m_Builder->RenderStream(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, m_Camera.Get(), nullptr, mux.Get());
  if (FAILED(hr)) return Fail(L"RenderStream capture", hr);
  return PlaceVideoWindow(Host);
}

bool HandWrittenGraph::Run() {
  if (m_Window) m_Window->put_Visible(OATRUE);
  const HRESULT hr = m_Control->Run();  // S_FALSE: still changing state (a live source cannot cue)
  return SUCCEEDED(hr) || Fail(L"Run", hr);
}

bool HandWrittenGraph::Arm() {
  if (!m_Grabber) return Fail(L"no grabber to arm", E_UNEXPECTED);
  m_Probe->Arm();
  const HRESULT hr = m_Grabber->SetCallback(m_Probe.Get(), 1);
  return SUCCEEDED(hr) || Fail(L"SetCallback", hr);
}

bool HandWrittenGraph::GrabOne(DWORD TimeoutMs) {
  if (!Arm()) return false;
  const HANDLE arrived = m_Probe->Arrived();
  const bool ok = PumpUntil([&] { return WaitForSingleObject(arrived, 0) == WAIT_OBJECT_0; }, TimeoutMs, arrived);
  m_Probe->Disarm();
  m_Grabber->SetCallback(nullptr, 0);
  return ok || Fail(L"no buffer within the time limit", S_FALSE);
}

bool HandWrittenGraph::WaitForEnd(DWORD TimeoutMs) {
  bool ended = false;
  PumpUntil(
      [&] {
        long code = 0;
        LONG_PTR first = 0, second = 0;
        while (m_Events->GetEvent(&code, &first, &second, 0) == S_OK) {
          m_Events->FreeEventParams(code, first, second);
          if (code == EC_COMPLETE || code == EC_ERRORABORT || code == EC_USERABORT) ended = true;
        }
        return ended;
      },
      TimeoutMs);
  return ended;
}

bool HandWrittenGraph::Stop() {
  const HRESULT hr = m_Control->Stop();
  if (m_Window) m_Window->put_Visible(OAFALSE);
  return SUCCEEDED(hr) || Fail(L"Stop", hr);
}

}  // namespace soak
