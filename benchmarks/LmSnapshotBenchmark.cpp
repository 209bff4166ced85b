// A benchmark that prints figures and checks nothing:
//
//   1. snapshot latency of the live preview control TVLmPreview, from TakeSnapshot to
//      OnSnapshot, at 640x480 and 30 frames per second on the project's test camera;
//   2. the same latency for a minimal hand-written DirectShow program on the same kind of graph
//      (capture into a Sample Grabber fixed to RGB24 and a Null Renderer, preview rendered
//      too), from arming the grabber's buffer callback to its first BufferCB;
//   3. the test camera's cost at 1280x720: delivered frames per second and process CPU time
//      per delivered frame for requested rates of 60, 30 and 15 frames per second.
//
//   LmSnapshotBenchmark.exe [--snapshots N] [--seconds S]
//
// --snapshots: snapshots per latency series (default 100); --seconds: length of each camera
// run in measurement 3 (default 3). Between two snapshots the program waits a random part of a
// frame interval, so that requests fall at every phase of the camera's frame clock instead of
// always just after a frame.
//
// Latencies are read with QueryPerformanceCounter on the GUI thread, which pumps its messages
// while it waits. CPU time is the process's user + kernel time (GetProcessTimes); under Wine
// the wineserver's own time is not in it.

#include <windows.h>

#include <dshow.h>
#include <qedit.h>
#include <wrl/client.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cwchar>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <vector>

#include "webcam/src/LmComPtr.h"
#include "webcam/src/LmDirectShowIds.h"
#include "webcam/LmPreview.h"

// The build type of the tree, from CMake; the camera and the libraries are built the same way.
#ifndef LM_BENCHMARK_BUILD_TYPE
#define LM_BENCHMARK_BUILD_TYPE L""
#endif

using Microsoft::WRL::ComPtr;

namespace {

// Declared by no mingw-w64 header. {C1F400A4-3F08-11D3-9F0B-006008039E37}
constexpr CLSID kClsidNullRenderer = {0xc1f400a4, 0x3f08, 0x11d3, {0x9f, 0x0b, 0x00, 0x60, 0x08, 0x03, 0x9e, 0x37}};

constexpr wchar_t kCameraName[] = L"Lumora Test Camera";
constexpr wchar_t kHostClass[] = L"LmSnapshotBenchmarkHost";
constexpr LONG kPreviewWidth = 640;
constexpr LONG kPreviewHeight = 480;
constexpr double kPreviewRate = 30.0;
constexpr LONG kLoadWidth = 1280;
constexpr LONG kLoadHeight = 720;
constexpr double kLoadRates[] = {60.0, 30.0, 15.0};
constexpr double kSustainedShare = 0.9;  // delivered / requested for a rate to count as sustained
constexpr DWORD kWarmUpMs = 1000;
constexpr DWORD kSnapshotTimeoutMs = 2000;

// ---------------------------------------------------------------------------------------------
// Clocks, waiting, figures

double NowMs() {
  static const double frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return static_cast<double>(f.QuadPart);
  }();
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return static_cast<double>(now.QuadPart) * 1000.0 / frequency;
}

// User + kernel time of this process, in milliseconds.
double ProcessCpuMs() {
  FILETIME creation, exit, kernel, user;
  if (!GetProcessTimes(GetCurrentProcess(), &creation, &exit, &kernel, &user)) return 0;
  const auto ticks = [](const FILETIME& t) {
    return static_cast<double>((static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime);
  };
  return (ticks(kernel) + ticks(user)) / 10000.0;
}

void DispatchPending() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

// Pumps the thread's messages until Event is set (when given) or Milliseconds have passed;
// true when the event was set.
bool PumpUntil(HANDLE Event, double Milliseconds) {
  const double deadline = NowMs() + Milliseconds;
  for (;;) {
    DispatchPending();
    const double left = deadline - NowMs();
    if (left <= 0) return false;
    const DWORD wait = static_cast<DWORD>(std::ceil(left));
    const DWORD result = MsgWaitForMultipleObjects(Event ? 1 : 0, Event ? &Event : nullptr, FALSE, wait, QS_ALLINPUT);
    if (Event && result == WAIT_OBJECT_0) return true;
  }
}

// Pumps messages until Done() holds or Milliseconds have passed.
template <typename Predicate>
bool PumpWhileNot(Predicate Done, double Milliseconds) {
  const double deadline = NowMs() + Milliseconds;
  for (;;) {
    DispatchPending();
    if (Done()) return true;
    const double left = deadline - NowMs();
    if (left <= 0) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(std::ceil(left)), QS_ALLINPUT);
  }
}

// Nearest-rank percentile of Values (0 < P <= 100).
double Percentile(std::vector<double> Values, double P) {
  if (Values.empty()) return NAN;
  std::sort(Values.begin(), Values.end());
  const size_t rank = static_cast<size_t>(std::ceil(P / 100.0 * static_cast<double>(Values.size())));
  return Values[std::clamp<size_t>(rank, 1, Values.size()) - 1];
}

double Median(std::vector<double> Values) {
  if (Values.empty()) return NAN;
  std::sort(Values.begin(), Values.end());
  const size_t n = Values.size();
  return n % 2 ? Values[n / 2] : (Values[n / 2 - 1] + Values[n / 2]) / 2;
}

// The test camera's frame counter (see testcam/LmTestCam.h): 16 cells of 8 x 8 pixels on the
// top picture rows, most significant bit first, white 1, black 0, in a bottom-up RGB24 picture.
// -1 when the cells are not clean black or white.
int DecodeCounter(const BYTE* Pixels, LONG Width, LONG Height) {
  if (Width < 128 || Height < 8) return -1;
  const LONG stride = (Width * 3 + 3) & ~3;
  int value = 0;
  for (int cell = 0; cell < 16; ++cell) {
    const BYTE* p = Pixels + static_cast<size_t>(Height - 1 - 4) * stride + (cell * 8 + 4) * 3;
    int bit;
    if (p[0] == 255 && p[1] == 255 && p[2] == 255)
      bit = 1;
    else if (p[0] == 0 && p[1] == 0 && p[2] == 0)
      bit = 0;
    else
      return -1;
    value = value << 1 | bit;
  }
  return value;
}

// Frames per second that the camera's counter advanced by between the first and the last
// decoded frame of a series (counter values taken at the given times); NAN when unknown.
double CounterRate(const std::vector<int>& Counters, const std::vector<double>& TimesMs) {
  long long advanced = 0;
  int first = -1, last = -1, previous = -1;
  for (size_t i = 0; i < Counters.size(); ++i) {
    if (Counters[i] < 0) continue;
    if (first < 0) first = static_cast<int>(i);
    if (previous >= 0) advanced += (Counters[i] - Counters[static_cast<size_t>(previous)] + 65536) % 65536;
    previous = static_cast<int>(i);
    last = static_cast<int>(i);
  }
  if (first < 0 || last <= first) return NAN;
  const double seconds = (TimesMs[static_cast<size_t>(last)] - TimesMs[static_cast<size_t>(first)]) / 1000.0;
  return seconds > 0 ? static_cast<double>(advanced) / seconds : NAN;
}

std::wstring HResultText(HRESULT Hr) {
  wchar_t text[16];
  std::swprintf(text, 16, L"0x%08lX", static_cast<unsigned long>(Hr));
  return text;
}

// ---------------------------------------------------------------------------------------------
// Host window

LRESULT CALLBACK HostProc(HWND Window, UINT Msg, WPARAM WParam, LPARAM LParam) {
  return DefWindowProcW(Window, Msg, WParam, LParam);
}

// A small visible top-level window whose client area holds a 640x480 picture.
HWND CreateHostWindow() {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = &HostProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = kHostClass;
  RegisterClassExW(&wc);
  const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
  RECT rect{0, 0, kPreviewWidth, kPreviewHeight};
  AdjustWindowRect(&rect, style, FALSE);
  HWND window = CreateWindowExW(0, kHostClass, L"Lumora snapshot benchmark", style, 20, 20, rect.right - rect.left,
                                rect.bottom - rect.top, nullptr, nullptr, wc.hInstance, nullptr);
  if (window) ShowWindow(window, SW_SHOWNOACTIVATE);
  return window;
}

// ---------------------------------------------------------------------------------------------
// Results

struct LatencySeries {
  bool Ran = false;
  std::wstring Failure;  // why the series did not run
  int Requested = 0;
  std::vector<double> LatencyMs;
  std::vector<double> ArrivalMs;  // when each delivered frame arrived
  std::vector<int> Counters;      // the camera's counter in each delivered frame (-1 unknown)
  LONG Width = 0;
  LONG Height = 0;
};

struct LoadRow {
  double Requested = 0;
  bool Ran = false;
  std::wstring Failure;
  LONG Width = 0;
  LONG Height = 0;
  int Frames = 0;
  double FrameSpanSeconds = 0;  // from the window's first arrival to its last
  double Seconds = 0;           // the whole window
  double CpuMs = 0;
};

// ---------------------------------------------------------------------------------------------
// 1. The preview control

LatencySeries MeasureControl(HWND Host, int Snapshots, std::mt19937& Random) {
  LatencySeries series;
  series.Requested = Snapshots;
  auto preview = std::make_unique<TVLmPreview>(nullptr);
  const int device = preview->VideoDevices()->IndexOf(kCameraName);
  if (device < 0) {
    series.Failure = L"the test camera is not registered";
    return series;
  }
  preview->SetParentWindow(Host);
  preview->SetBounds(0, 0, kPreviewWidth, kPreviewHeight);

  bool arrived = false;
  double arrivedAt = 0;
  int counter = -1;
  preview->SetOnSnapshot([&](TObject*, UINT_PTR Image, bool&) {
    arrivedAt = NowMs();
    arrived = true;
    const auto block = reinterpret_cast<HGLOBAL>(Image);
    const auto* bytes = static_cast<const BYTE*>(GlobalLock(block));
    if (!bytes) return;
    const auto* header = reinterpret_cast<const BITMAPINFOHEADER*>(bytes);
    series.Width = header->biWidth;
    series.Height = header->biHeight;
    counter = DecodeCounter(bytes + header->biSize, header->biWidth, header->biHeight);
    GlobalUnlock(block);
  });

  if (!preview->Open(device)) {
    series.Failure = L"Open failed, error " + std::to_wstring(preview->ErrorStatus());
    return series;
  }
  // Find the 640x480 entry. Loading an entry copies it into the properties that SetStreamFormat
  // compares with to decide that nothing changes, so the chosen entry must not be the last
  // one loaded when it is selected.
  const int32_t count = preview->GetStreamFormats();
  int32_t chosen = -1;
  int32_t other = -1;
  for (int32_t i = 0; i < count; ++i) {
    if (!preview->GetStreamFormat(i)) continue;
    const SIZE size = preview->VideoSize();
    if (size.cx == kPreviewWidth && size.cy == kPreviewHeight && chosen < 0)
      chosen = i;
    else
      other = i;
  }
  if (chosen < 0) {
    series.Failure = L"the camera lists no 640x480 format";
    return series;
  }
  if (other >= 0) preview->GetStreamFormat(other);
  preview->SetFrameRate(kPreviewRate);
  if (!preview->SetStreamFormat(chosen)) {
    series.Failure = L"SetStreamFormat failed, error " + std::to_wstring(preview->ErrorStatus());
    return series;
  }
  if (!preview->Start(vlmVideoStretch)) {
    series.Failure = L"Start failed, error " + std::to_wstring(preview->ErrorStatus());
    return series;
  }

  PumpUntil(nullptr, kWarmUpMs);
  std::uniform_real_distribution<double> phase(0.0, 1000.0 / kPreviewRate);
  for (int i = 0; i < Snapshots; ++i) {
    PumpUntil(nullptr, phase(Random));
    arrived = false;
    counter = -1;
    const double start = NowMs();
    if (!preview->TakeSnapshot()) {
      series.Failure = L"TakeSnapshot failed, error " + std::to_wstring(preview->ErrorStatus());
      break;
    }
    if (!PumpWhileNot([&] { return arrived; }, kSnapshotTimeoutMs)) continue;  // lost
    series.LatencyMs.push_back(arrivedAt - start);
    series.ArrivalMs.push_back(arrivedAt);
    series.Counters.push_back(counter);
  }
  series.Ran = series.Failure.empty();
  preview->Stop();
  preview->Close();
  preview.reset();
  DispatchPending();
  return series;
}

// ---------------------------------------------------------------------------------------------
// 2 and 3. A hand-written graph

// The Sample Grabber's callback. Buffer mode (1): once armed, the next buffer is copied and
// announced through an event. Sample mode (0): counts samples and touches nothing.
class GrabberProbe final : public ISampleGrabberCB {
public:
  GrabberProbe() : m_Arrived(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {}

  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_ISampleGrabberCB)) {
      *ppv = static_cast<ISampleGrabberCB*>(this);
      AddRef();
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++m_References; }
  STDMETHODIMP_(ULONG) Release() override {
    const ULONG left = --m_References;
    if (left == 0) delete this;
    return left;
  }

  STDMETHODIMP SampleCB(double, IMediaSample*) override {
    const double now = NowMs();
    std::lock_guard<std::mutex> lock(m_SampleLock);
    ++m_Samples;
    m_LastSampleAt = now;
    return S_OK;
  }

  STDMETHODIMP BufferCB(double, BYTE* Buffer, long Length) override {
    if (!m_Armed.exchange(false)) return S_OK;
    // The buffer is valid only during the call: copy it, as an application must.
    if (Buffer && Length > 0) m_Copy.assign(Buffer, Buffer + Length);
    SetEvent(m_Arrived);
    return S_OK;
  }

  // GUI thread. Buffer mode: arm before attaching the callback; wait on ArrivedEvent().
  void Arm() {
    ResetEvent(m_Arrived);
    m_Armed = true;
  }
  void Disarm() { m_Armed = false; }
  HANDLE ArrivedEvent() const { return m_Arrived; }
  // Valid after ArrivedEvent() was set, until the next Arm().
  const std::vector<BYTE>& Copy() const { return m_Copy; }
  int Samples() const {
    std::lock_guard<std::mutex> lock(m_SampleLock);
    return m_Samples;
  }
  // Sample mode: how many samples arrived, and when the last one did (NowMs).
  std::pair<int, double> LastSample() const {
    std::lock_guard<std::mutex> lock(m_SampleLock);
    return {m_Samples, m_LastSampleAt};
  }

private:
  ~GrabberProbe() {
    if (m_Arrived) CloseHandle(m_Arrived);
  }

  std::atomic<ULONG> m_References{1};
  HANDLE m_Arrived;
  std::atomic<bool> m_Armed{false};  // GUI thread arms, streaming thread spends
  std::vector<BYTE> m_Copy;           // streaming thread writes, GUI thread reads after the event
  mutable std::mutex m_SampleLock;  // guards the two sample fields; held only to read or bump them
  int m_Samples = 0;
  double m_LastSampleAt = 0;
};

void DeleteMediaType(AM_MEDIA_TYPE* Type) {
  if (!Type) return;
  if (Type->pbFormat) CoTaskMemFree(Type->pbFormat);
  if (Type->pUnk) Type->pUnk->Release();
  CoTaskMemFree(Type);
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

// Camera -> Sample Grabber (RGB24) -> Null Renderer, optionally with the preview stream
// rendered into the default video renderer, shown inside Owner.
class RawGraph {
public:
  RawGraph() = default;
  RawGraph(const RawGraph&) = delete;
  RawGraph& operator=(const RawGraph&) = delete;
  ~RawGraph() {
    if (Control) Control->Stop();
    if (Grab) Grab->SetCallback(nullptr, 0);
    if (Window) {
      Window->put_Visible(OAFALSE);
      Window->put_Owner(0);
    }
  }

  // Builds the graph; on failure Failure says which step failed.
  bool Build(LONG Width, LONG Height, double Rate, HWND Owner) {
    Camera = BindCamera(kCameraName);
    if (!Camera) return Fail(L"the test camera is not registered", S_OK);
    HRESULT hr = CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&Graph));
    if (FAILED(hr)) return Fail(L"filter graph", hr);
    hr = CoCreateInstance(CLSID_CaptureGraphBuilder2, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&Builder));
    if (FAILED(hr)) return Fail(L"capture graph builder", hr);
    if (FAILED(hr = Builder->SetFiltergraph(Graph.Get()))) return Fail(L"SetFiltergraph", hr);
    if (FAILED(hr = Graph->AddFilter(Camera.Get(), L"Camera"))) return Fail(L"AddFilter camera", hr);

    hr = CoCreateInstance(CLSID_SampleGrabber, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&Grabber));
    if (FAILED(hr)) return Fail(L"Sample Grabber", hr);
    if (FAILED(hr = Grabber.As(&Grab))) return Fail(L"ISampleGrabber", hr);
    AM_MEDIA_TYPE rgb24{};
    rgb24.majortype = MEDIATYPE_Video;
    rgb24.subtype = MEDIASUBTYPE_RGB24;
    rgb24.formattype = FORMAT_VideoInfo;
    if (FAILED(hr = Grab->SetMediaType(&rgb24))) return Fail(L"ISampleGrabber::SetMediaType", hr);
    Grab->SetBufferSamples(FALSE);
    Grab->SetOneShot(FALSE);
    hr = CoCreateInstance(kClsidNullRenderer, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&Sink));
    if (FAILED(hr)) return Fail(L"Null Renderer", hr);
    if (FAILED(hr = Graph->AddFilter(Grabber.Get(), L"Sample Grabber"))) return Fail(L"AddFilter grabber", hr);
    if (FAILED(hr = Graph->AddFilter(Sink.Get(), L"Null Renderer"))) return Fail(L"AddFilter sink", hr);

    if (!SetCaptureFormat(Width, Height, Rate)) return false;

    if (Owner) {
      hr = Builder->RenderStream(&PIN_CATEGORY_PREVIEW, &MEDIATYPE_Video, Camera.Get(), nullptr, nullptr);
      if (FAILED(hr)) return Fail(L"RenderStream preview", hr);
    }
    hr = Builder->RenderStream(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, Camera.Get(), Grabber.Get(), Sink.Get());
    if (FAILED(hr)) return Fail(L"RenderStream capture", hr);
    if (!ReadConnectedSize()) return false;
    if (FAILED(hr = Graph.As(&Control))) return Fail(L"IMediaControl", hr);

    if (Owner) {
      // mingw-w64 gives IVideoWindow no __uuidof: ask by its IID.
      hr = Graph->QueryInterface(IID_IVideoWindow, reinterpret_cast<void**>(Window.ReleaseAndGetAddressOf()));
      if (FAILED(hr)) return Fail(L"IVideoWindow", hr);
      Window->put_Owner(reinterpret_cast<OAHWND>(Owner));
      Window->put_WindowStyle(WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN);
      Window->SetWindowPosition(0, 0, kPreviewWidth, kPreviewHeight);
      Window->put_Visible(OATRUE);
    }
    return true;
  }

  ComPtr<IGraphBuilder> Graph;
  ComPtr<ICaptureGraphBuilder2> Builder;
  ComPtr<IBaseFilter> Camera;
  ComPtr<IBaseFilter> Grabber;
  ComPtr<ISampleGrabber> Grab;
  ComPtr<IBaseFilter> Sink;
  ComPtr<IMediaControl> Control;
  ComPtr<IVideoWindow> Window;
  LONG Width = 0;
  LONG Height = 0;
  std::wstring Failure;

private:
  bool Fail(const std::wstring& Step, HRESULT Hr) {
    Failure = Step;
    if (Hr != S_OK) Failure += L" failed: " + HResultText(Hr);
    return false;
  }

  // Sets the capability of size Width x Height, at Rate, on the camera's capture pin.
  bool SetCaptureFormat(LONG W, LONG H, double Rate) {
    ComPtr<IPin> pin;
    HRESULT hr = Builder->FindPin(Camera.Get(), PINDIR_OUTPUT, &PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, FALSE, 0, &pin);
    if (FAILED(hr)) return Fail(L"FindPin capture", hr);
    ComPtr<IAMStreamConfig> config;
    if (FAILED(hr = pin.As(&config))) return Fail(L"IAMStreamConfig", hr);
    int count = 0, size = 0;
    if (FAILED(hr = config->GetNumberOfCapabilities(&count, &size))) return Fail(L"GetNumberOfCapabilities", hr);
    if (size != sizeof(VIDEO_STREAM_CONFIG_CAPS)) return Fail(L"capabilities are not video capabilities", S_OK);
    for (int i = 0; i < count; ++i) {
      AM_MEDIA_TYPE* type = nullptr;
      VIDEO_STREAM_CONFIG_CAPS caps{};
      if (config->GetStreamCaps(i, &type, reinterpret_cast<BYTE*>(&caps)) != S_OK || !type) continue;
      bool done = false;
      if (IsEqualGUID(type->formattype, FORMAT_VideoInfo) && type->cbFormat >= sizeof(VIDEOINFOHEADER)) {
        auto* vih = reinterpret_cast<VIDEOINFOHEADER*>(type->pbFormat);
        if (vih->bmiHeader.biWidth == W && vih->bmiHeader.biHeight == H) {
          vih->AvgTimePerFrame = static_cast<REFERENCE_TIME>(10000000.0 / Rate);
          hr = config->SetFormat(type);
          done = true;
        }
      }
      DeleteMediaType(type);
      if (done) return SUCCEEDED(hr) || Fail(L"IAMStreamConfig::SetFormat", hr);
    }
    return Fail(L"the camera offers no " + std::to_wstring(W) + L"x" + std::to_wstring(H) + L" format", S_OK);
  }

  bool ReadConnectedSize() {
    AM_MEDIA_TYPE type{};
    const HRESULT hr = Grab->GetConnectedMediaType(&type);
    if (FAILED(hr)) return Fail(L"GetConnectedMediaType", hr);
    if (IsEqualGUID(type.formattype, FORMAT_VideoInfo) && type.cbFormat >= sizeof(VIDEOINFOHEADER)) {
      const auto* vih = reinterpret_cast<const VIDEOINFOHEADER*>(type.pbFormat);
      Width = vih->bmiHeader.biWidth;
      Height = vih->bmiHeader.biHeight;
    }
    if (type.pbFormat) CoTaskMemFree(type.pbFormat);
    if (type.pUnk) type.pUnk->Release();
    return true;
  }
};

LatencySeries MeasureRawGraph(HWND Host, int Snapshots, std::mt19937& Random) {
  LatencySeries series;
  series.Requested = Snapshots;
  RawGraph graph;
  if (!graph.Build(kPreviewWidth, kPreviewHeight, kPreviewRate, Host)) {
    series.Failure = graph.Failure;
    return series;
  }
  series.Width = graph.Width;
  series.Height = graph.Height;
  const ComPtr<GrabberProbe> probe = AdoptReference(new GrabberProbe());
  // S_FALSE: a live source is running but cannot cue (Wine answers so).
  const HRESULT run = graph.Control->Run();
  if (FAILED(run)) {
    series.Failure = L"IMediaControl::Run failed: " + HResultText(run);
    return series;
  }

  PumpUntil(nullptr, kWarmUpMs);
  std::uniform_real_distribution<double> phase(0.0, 1000.0 / kPreviewRate);
  for (int i = 0; i < Snapshots; ++i) {
    PumpUntil(nullptr, phase(Random));
    probe->Arm();
    const double start = NowMs();
    const HRESULT hr = graph.Grab->SetCallback(probe.Get(), 1);
    if (FAILED(hr)) {
      series.Failure = L"ISampleGrabber::SetCallback failed: " + HResultText(hr);
      break;
    }
    const bool arrived = PumpUntil(probe->ArrivedEvent(), kSnapshotTimeoutMs);
    const double end = NowMs();
    probe->Disarm();
    graph.Grab->SetCallback(nullptr, 0);
    if (!arrived) continue;  // lost
    series.LatencyMs.push_back(end - start);
    series.ArrivalMs.push_back(end);
    const std::vector<BYTE>& copy = probe->Copy();
    const LONG stride = (graph.Width * 3 + 3) & ~3;
    const bool whole = graph.Width > 0 && copy.size() >= static_cast<size_t>(stride) * static_cast<size_t>(graph.Height);
    series.Counters.push_back(whole ? DecodeCounter(copy.data(), graph.Width, graph.Height) : -1);
  }
  series.Ran = series.Failure.empty();
  graph.Control->Stop();
  DispatchPending();
  return series;
}

LoadRow MeasureLoad(double Rate, DWORD Milliseconds) {
  LoadRow row;
  row.Requested = Rate;
  RawGraph graph;
  if (!graph.Build(kLoadWidth, kLoadHeight, Rate, nullptr)) {
    row.Failure = graph.Failure;
    return row;
  }
  row.Width = graph.Width;
  row.Height = graph.Height;
  const ComPtr<GrabberProbe> probe = AdoptReference(new GrabberProbe());
  HRESULT hr = graph.Grab->SetCallback(probe.Get(), 0);
  if (FAILED(hr)) {
    row.Failure = L"ISampleGrabber::SetCallback failed: " + HResultText(hr);
    return row;
  }
  hr = graph.Control->Run();  // S_FALSE from a live source is success
  if (FAILED(hr)) {
    row.Failure = L"IMediaControl::Run failed: " + HResultText(hr);
    return row;
  }
  // Count from the first frame on, so that starting the graph is not part of the figures.
  if (!PumpWhileNot([&] { return probe->Samples() > 0; }, 5000)) {
    row.Failure = L"no frame within 5 s";
    return row;
  }
  PumpUntil(nullptr, 200);  // let the stream settle
  const auto first = probe->LastSample();
  const double firstCpu = ProcessCpuMs();
  const double firstTime = NowMs();
  PumpUntil(nullptr, Milliseconds);
  const auto last = probe->LastSample();
  const double lastCpu = ProcessCpuMs();
  const double lastTime = NowMs();
  graph.Control->Stop();
  graph.Grab->SetCallback(nullptr, 0);
  // The rate runs from one arrival to another, so that the window does not cut frames in two;
  // the CPU time runs over the whole window, with the frames that arrived in it.
  row.Frames = last.first - first.first;
  row.FrameSpanSeconds = (last.second - first.second) / 1000.0;
  row.Seconds = (lastTime - firstTime) / 1000.0;
  row.CpuMs = lastCpu - firstCpu;
  row.Ran = true;
  return row;
}

// ---------------------------------------------------------------------------------------------
// Printing

std::wstring Fixed(double Value, int Decimals) {
  if (std::isnan(Value)) return L"-";
  wchar_t text[32];
  std::swprintf(text, 32, L"%.*f", Decimals, Value);
  return text;
}

void PrintHeader(int Snapshots, DWORD LoadMs) {
  SYSTEM_INFO info{};
  GetNativeSystemInfo(&info);
  using VersionFunction = const char*(__cdecl*)();
  const auto wineVersion = reinterpret_cast<VersionFunction>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll"), "wine_get_version")));
  using HostVersionFunction = void(__cdecl*)(const char**, const char**);
  const auto hostVersion = reinterpret_cast<HostVersionFunction>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll"), "wine_get_host_version")));
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  SYSTEMTIME now;
  GetLocalTime(&now);

  std::wprintf(L"Lumora snapshot benchmark, %04u-%02u-%02u %02u:%02u\n", now.wYear, now.wMonth, now.wDay, now.wHour,
               now.wMinute);
  std::wprintf(L"  processors              %lu\n", info.dwNumberOfProcessors);
  if (wineVersion) {
    std::wprintf(L"  Wine                    %hs", wineVersion());
    const char* system = nullptr;
    const char* release = nullptr;
    if (hostVersion) hostVersion(&system, &release);
    if (system && release) std::wprintf(L" on %hs %hs", system, release);
    std::wprintf(L"\n");
  } else {
    std::wprintf(L"  Wine                    not present\n");
  }
  std::wprintf(L"  performance counter     %.3f MHz\n", static_cast<double>(frequency.QuadPart) / 1e6);
  const wchar_t* buildType = LM_BENCHMARK_BUILD_TYPE;
  std::wprintf(L"  build type              %ls\n", *buildType ? buildType : L"none (no optimisation flags)");
  std::wprintf(L"  camera                  %ls\n", kCameraName);
  std::wprintf(L"  snapshots per series    %d, after a %lu ms warm-up, each requested at a random phase\n", Snapshots,
               kWarmUpMs);
  std::wprintf(L"  camera runs             %lu ms per requested rate\n\n", LoadMs);
}

void PrintLatency(const LatencySeries& Control, const LatencySeries& Raw) {
  const double interval = 1000.0 / kPreviewRate;
  std::wprintf(L"1-2. Snapshot latency, %ldx%ld RGB24 at %.0f fps (frame interval %.1f ms)\n", kPreviewWidth,
               kPreviewHeight, kPreviewRate, interval);
  std::wprintf(L"     TVLmPreview: TakeSnapshot -> OnSnapshot\n");
  std::wprintf(L"     hand-written graph: SetCallback(mode 1) -> first BufferCB seen by the GUI thread\n\n");
  const auto line = [](const wchar_t* Label, const std::wstring& A, const std::wstring& B) {
    std::wprintf(L"  %-32ls %14ls %20ls\n", Label, A.c_str(), B.c_str());
  };
  line(L"", L"TVLmPreview", L"hand-written graph");
  line(L"", L"-----------", L"------------------");
  const auto each = [&](auto Cell) -> std::pair<std::wstring, std::wstring> { return {Cell(Control), Cell(Raw)}; };
  const auto row = [&](const wchar_t* Label, auto Cell) {
    const auto [a, b] = each(Cell);
    line(Label, a, b);
  };
  const auto usable = [](const LatencySeries& S) { return !S.LatencyMs.empty(); };
  row(L"snapshots delivered", [](const LatencySeries& S) {
    return std::to_wstring(S.LatencyMs.size()) + L"/" + std::to_wstring(S.Requested);
  });
  row(L"picture size", [](const LatencySeries& S) {
    return S.Width ? std::to_wstring(S.Width) + L"x" + std::to_wstring(S.Height) : std::wstring(L"-");
  });
  row(L"camera rate seen (fps)", [](const LatencySeries& S) { return Fixed(CounterRate(S.Counters, S.ArrivalMs), 1); });
  row(L"median (ms)", [&](const LatencySeries& S) { return usable(S) ? Fixed(Median(S.LatencyMs), 1) : L"-"; });
  row(L"95th percentile (ms)", [&](const LatencySeries& S) {
    return usable(S) ? Fixed(Percentile(S.LatencyMs, 95), 1) : L"-";
  });
  row(L"median (frame intervals)", [&](const LatencySeries& S) {
    return usable(S) ? Fixed(Median(S.LatencyMs) / interval, 2) : L"-";
  });
  row(L"95th percentile (frame intervals)", [&](const LatencySeries& S) {
    return usable(S) ? Fixed(Percentile(S.LatencyMs, 95) / interval, 2) : L"-";
  });
  row(L"min / max (ms)", [&](const LatencySeries& S) {
    if (!usable(S)) return std::wstring(L"-");
    const auto [lo, hi] = std::minmax_element(S.LatencyMs.begin(), S.LatencyMs.end());
    return Fixed(*lo, 1) + L" / " + Fixed(*hi, 1);
  });
  for (const LatencySeries* s : {&Control, &Raw})
    if (!s->Failure.empty())
      std::wprintf(L"  %ls: %ls\n", s == &Control ? L"TVLmPreview" : L"hand-written graph", s->Failure.c_str());
  std::wprintf(L"\n");
}

void PrintLoad(const std::vector<LoadRow>& Rows, double IdleCpuPerSecond, DWORD LoadMs) {
  std::wprintf(L"3. Test camera at %ldx%ld: camera -> Sample Grabber (SampleCB counts, no copy) -> Null Renderer,\n"
               L"   %.1f s per requested rate; CPU = process user + kernel time\n\n",
               kLoadWidth, kLoadHeight, LoadMs / 1000.0);
  std::wprintf(L"  %9ls %9ls %10ls %10ls %13ls %12ls\n", L"requested", L"size", L"delivered", L"delivered",
               L"CPU per frame", L"CPU");
  std::wprintf(L"  %9ls %9ls %10ls %10ls %13ls %12ls\n", L"fps", L"", L"fps", L"share", L"(ms)", L"(% of a core)");
  double highest = 0;
  for (const LoadRow& row : Rows) {
    if (!row.Ran) {
      std::wprintf(L"  %9.0f   %ls\n", row.Requested, row.Failure.c_str());
      continue;
    }
    const double fps = row.FrameSpanSeconds > 0 ? row.Frames / row.FrameSpanSeconds : 0;
    const double share = fps / row.Requested;
    const std::wstring size = std::to_wstring(row.Width) + L"x" + std::to_wstring(row.Height);
    std::wprintf(L"  %9.0f %9ls %10.2f %9.0f%% %13ls %11.0f%%\n", row.Requested, size.c_str(), fps, share * 100,
                 Fixed(row.Frames > 0 ? row.CpuMs / row.Frames : NAN, 2).c_str(),
                 row.Seconds > 0 ? row.CpuMs / row.Seconds / 10.0 : 0.0);
    if (share >= kSustainedShare && row.Requested > highest) highest = row.Requested;
  }
  std::wprintf(L"\n  idle process CPU before the runs: %.1f ms per second\n", IdleCpuPerSecond);
  if (highest > 0)
    std::wprintf(L"  highest sustained requested rate (delivered >= %.0f%%): %.0f fps\n", kSustainedShare * 100, highest);
  else
    std::wprintf(L"  no requested rate was sustained (delivered >= %.0f%%)\n", kSustainedShare * 100);
}

int ParseInt(int argc, wchar_t** argv, const wchar_t* Name, int Default) {
  for (int i = 1; i + 1 < argc; ++i)
    if (std::wcscmp(argv[i], Name) == 0) return std::max(1, _wtoi(argv[i + 1]));
  return Default;
}

int Run(int argc, wchar_t** argv) {
  const int snapshots = ParseInt(argc, argv, L"--snapshots", 100);
  const DWORD loadMs = static_cast<DWORD>(ParseInt(argc, argv, L"--seconds", 3)) * 1000;
  PrintHeader(snapshots, loadMs);
  std::fflush(stdout);

  HWND host = CreateHostWindow();
  if (!host) {
    std::fwprintf(stderr, L"cannot create the host window\n");
    return 1;
  }
  std::mt19937 random(20240611);  // fixed seed: the same request phases on every run
  const LatencySeries control = MeasureControl(host, snapshots, random);
  const LatencySeries raw = MeasureRawGraph(host, snapshots, random);
  PrintLatency(control, raw);
  std::fflush(stdout);

  const double idleStartCpu = ProcessCpuMs();
  const double idleStart = NowMs();
  PumpUntil(nullptr, 1000);
  const double idleCpuPerSecond = (ProcessCpuMs() - idleStartCpu) / ((NowMs() - idleStart) / 1000.0);
  std::vector<LoadRow> rows;
  for (double rate : kLoadRates) rows.push_back(MeasureLoad(rate, loadMs));
  PrintLoad(rows, idleCpuPerSecond, loadMs);

  DestroyWindow(host);
  DispatchPending();
  const bool allRan = control.Ran && raw.Ran &&
                      std::all_of(rows.begin(), rows.end(), [](const LoadRow& Row) { return Row.Ran; });
  return allRan ? 0 : 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
    std::fwprintf(stderr, L"COM could not be initialised\n");
    return 1;
  }
  const int status = Run(argc, argv);
  CoUninitialize();
  return status;
}
