#include "testcam/CameraRig.h"

#include <dvdmedia.h>

#include <cstdlib>
#include <cstring>

namespace camtest {

ComPtr<IPin> PinOf(IBaseFilter* Filter, const wchar_t* Id) {
  ComPtr<IPin> pin;
  if (Filter && FAILED(Filter->FindPin(Id, &pin))) pin.Reset();
  return pin;
}

HRESULT SetCaptureFormat(IBaseFilter* Camera, int Index, REFERENCE_TIME Interval) {
  ComPtr<IAMStreamConfig> config;
  if (FAILED(PinOf(Camera, L"Capture").As(&config))) return E_NOINTERFACE;
  TypeHolder type;
  VIDEO_STREAM_CONFIG_CAPS caps{};
  HRESULT hr = config->GetStreamCaps(Index, type.Put(), reinterpret_cast<BYTE*>(&caps));
  if (hr != S_OK) return FAILED(hr) ? hr : E_INVALIDARG;
  if (Interval && IsEqualGUID(type.Type->formattype, FORMAT_VideoInfo))
    reinterpret_cast<VIDEOINFOHEADER*>(type.Type->pbFormat)->AvgTimePerFrame = Interval;
  else if (Interval)
    reinterpret_cast<VIDEOINFOHEADER2*>(type.Type->pbFormat)->AvgTimePerFrame = Interval;
  return config->SetFormat(type.Type);
}

void DeleteType(AM_MEDIA_TYPE* Type) {
  if (!Type) return;
  if (Type->pbFormat) CoTaskMemFree(Type->pbFormat);
  if (Type->pUnk) Type->pUnk->Release();
  CoTaskMemFree(Type);
}

const BITMAPINFOHEADER* BitmapOf(const AM_MEDIA_TYPE& Type) {
  if (!Type.pbFormat) return nullptr;
  if (IsEqualGUID(Type.formattype, FORMAT_VideoInfo) && Type.cbFormat >= sizeof(VIDEOINFOHEADER))
    return &reinterpret_cast<const VIDEOINFOHEADER*>(Type.pbFormat)->bmiHeader;
  if (IsEqualGUID(Type.formattype, FORMAT_VideoInfo2) && Type.cbFormat >= sizeof(VIDEOINFOHEADER2))
    return &reinterpret_cast<const VIDEOINFOHEADER2*>(Type.pbFormat)->bmiHeader;
  return nullptr;
}

REFERENCE_TIME FrameIntervalOf(const AM_MEDIA_TYPE& Type) {
  if (!BitmapOf(Type)) return 0;
  if (IsEqualGUID(Type.formattype, FORMAT_VideoInfo))
    return reinterpret_cast<const VIDEOINFOHEADER*>(Type.pbFormat)->AvgTimePerFrame;
  return reinterpret_cast<const VIDEOINFOHEADER2*>(Type.pbFormat)->AvgTimePerFrame;
}

int DecodeCounter(const BYTE* Picture, LONG Width, LONG Height) {
  // 16 cells of 8 x 8 pixels on the top rows of the picture, most significant bit first,
  // white = 1, black = 0. The DIB is bottom-up: picture row y is buffer row Height - 1 - y.
  if (Width < 128 || Height < 8) return -1;
  const LONG stride = (Width * 3 + 3) & ~3;
  int value = 0;
  for (int cell = 0; cell < 16; ++cell) {
    const LONG x = cell * 8 + 4, y = 4;
    const BYTE* pixel = Picture + static_cast<size_t>(Height - 1 - y) * stride + x * 3;
    int bit;
    if (pixel[0] >= 200 && pixel[1] >= 200 && pixel[2] >= 200)
      bit = 1;
    else if (pixel[0] <= 55 && pixel[1] <= 55 && pixel[2] <= 55)
      bit = 0;
    else
      return -1;
    value = value << 1 | bit;
  }
  return value;
}

bool BarsMatch(const BYTE* Picture, LONG Width, LONG Height, int Counter, int Tolerance) {
  // White, yellow, cyan, green, magenta, red, blue, black (blue, green, red order), moving 4
  // pixels right per frame.
  static const BYTE kBars[8][3] = {{255, 255, 255}, {0, 255, 255}, {255, 255, 0}, {0, 255, 0},
                                   {255, 0, 255},   {0, 0, 255},   {255, 0, 0},   {0, 0, 0}};
  if (Counter < 0 || Height <= 8) return false;
  const LONG stride = (Width * 3 + 3) & ~3;
  const LONG y = 8 + (Height - 8) / 2;
  const BYTE* row = Picture + static_cast<size_t>(Height - 1 - y) * stride;
  const LONG shift = static_cast<LONG>((static_cast<long long>(Counter) * 4) % Width);
  for (int bar = 0; bar < 8; ++bar) {
    const LONG x = (shift + bar * Width / 8 + Width / 16) % Width;
    for (int channel = 0; channel < 3; ++channel)
      if (std::abs(row[x * 3 + channel] - kBars[bar][channel]) > Tolerance) return false;
  }
  return true;
}

// SampleCollector

STDMETHODIMP SampleCollector::SampleCB(double, IMediaSample* Sample) {
  HANDLE gate;
  DWORD timeout;
  {
    std::lock_guard lock(m_Lock);
    REFERENCE_TIME start = 0, stop = 0;
    if (Sample->GetTime(&start, &stop) != S_OK) m_AllTimed = false;
    m_Starts.push_back(start);
    if (Sample->IsSyncPoint() != S_OK) m_AllSync = false;
    BYTE* data = nullptr;
    int counter = -1;
    if (!m_Picture.empty() && SUCCEEDED(Sample->GetPointer(&data))) {
      if (lm::ConvertFrame(m_Format, data, static_cast<size_t>(Sample->GetActualDataLength()), m_Picture.data())) {
        counter = DecodeCounter(m_Picture.data(), m_Width, m_Height);
        if (!BarsMatch(m_Picture.data(), m_Width, m_Height, counter, 24)) ++m_BadBars;
      } else {
        ++m_BadBars;
      }
    }
    m_Counters.push_back(counter);
    gate = m_Gate;
    timeout = m_GateTimeout;
  }
  if (gate) WaitForSingleObject(gate, timeout);
  return S_OK;
}

void SampleCollector::SetPictureSize(LONG Width, LONG Height) {
  lm::FrameFormat rgb24;
  rgb24.SubType = MEDIASUBTYPE_RGB24;
  rgb24.Width = Width;
  rgb24.Height = Height;
  SetFrameFormat(rgb24);
}

void SampleCollector::SetFrameFormat(const lm::FrameFormat& Format) {
  std::lock_guard lock(m_Lock);
  m_Format = Format;
  m_Width = Format.Width;
  m_Height = Format.Height < 0 ? -Format.Height : Format.Height;
  m_Picture.assign(lm::Rgb24ImageBytes(Format.Width, Format.Height), 0);
}

int SampleCollector::BadBars() const {
  std::lock_guard lock(m_Lock);
  return m_BadBars;
}

int SampleCollector::Count() const {
  std::lock_guard lock(m_Lock);
  return static_cast<int>(m_Starts.size());
}

std::vector<REFERENCE_TIME> SampleCollector::StartTimes() const {
  std::lock_guard lock(m_Lock);
  return m_Starts;
}

std::vector<int> SampleCollector::Counters() const {
  std::lock_guard lock(m_Lock);
  return m_Counters;
}

bool SampleCollector::AllSyncPoints() const {
  std::lock_guard lock(m_Lock);
  return m_AllSync;
}

bool SampleCollector::AllTimed() const {
  std::lock_guard lock(m_Lock);
  return m_AllTimed;
}

void SampleCollector::BlockOn(HANDLE Gate, DWORD TimeoutMs) {
  std::lock_guard lock(m_Lock);
  m_Gate = Gate;
  m_GateTimeout = TimeoutMs;
}

bool SampleCollector::WaitForCount(int N, DWORD TimeoutMs) const {
  const DWORD start = GetTickCount();
  while (Count() < N) {
    if (GetTickCount() - start > TimeoutMs) return false;
    Sleep(10);
  }
  return true;
}

void SampleCollector::Reset() {
  std::lock_guard lock(m_Lock);
  m_Starts.clear();
  m_Counters.clear();
  m_BadBars = 0;
  m_AllSync = m_AllTimed = true;
}

// CaptureRig

CaptureRig::CaptureRig(const std::wstring& CameraName, const GUID& GrabberSubtype) {
  if (FAILED(CreateGraph()) || FAILED(AddCamera(CameraName, L"Camera")) ||
      FAILED(AddGrabber(GrabberSubtype, GUID_NULL)))
    return;
  Collector = Adopt(new SampleCollector());
  if (FAILED(SetGrabberCallback(Collector.Get(), 0)) || FAILED(AddNullRenderer(L"Sink", Sink)) ||
      FAILED(AddNullRenderer(L"Preview sink", PreviewSink)))
    return;
  m_Ready = true;
}

CaptureRig::~CaptureRig() {
  if (Control) Control->Stop();
  if (Grab) Grab->SetCallback(nullptr, 0);
}

HRESULT CaptureRig::RenderPreview() { return HandWrittenGraph::RenderPreview(nullptr, PreviewSink.Get()); }

HRESULT CaptureRig::RenderCapture() {
  const HRESULT hr = HandWrittenGraph::RenderCapture(Grabber.Get(), Sink.Get());
  lm::FrameFormat format;
  if (SUCCEEDED(hr) && SUCCEEDED(GrabberFormat(format))) Collector->SetFrameFormat(format);
  return hr;
}

bool CaptureRig::ConnectedSize(LONG& Width, LONG& Height) {
  lm::FrameFormat format;
  if (FAILED(GrabberFormat(format))) return false;
  Width = format.Width;
  Height = format.Height;
  return true;
}

double CaptureRig::MeasureFrameRate(DWORD Milliseconds) {
  Collector->Reset();
  if (FAILED(Control->Run())) return -1;
  // Measure from the first frame, so that the start-up of the graph does not count.
  if (!Collector->WaitForCount(1, 5000)) {
    Control->Stop();
    return 0;
  }
  LARGE_INTEGER frequency, start, end;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  const int first = Collector->Count();
  Sleep(Milliseconds);
  const int last = Collector->Count();
  QueryPerformanceCounter(&end);
  Control->Stop();
  const double seconds = static_cast<double>(end.QuadPart - start.QuadPart) / frequency.QuadPart;
  return (last - first) / seconds;
}

bool FinishesWithin(std::function<void()> Action, DWORD TimeoutMs) {
  struct Job {
    std::function<void()> Action;
  };
  auto* job = new Job{std::move(Action)};
  HANDLE thread = CreateThread(
      nullptr, 0,
      [](LPVOID Parameter) -> DWORD {
        auto* job = static_cast<Job*>(Parameter);
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        job->Action();
        CoUninitialize();
        delete job;
        return 0;
      },
      job, 0, nullptr);
  if (!thread) {
    delete job;
    return false;
  }
  const bool finished = WaitForSingleObject(thread, TimeoutMs) == WAIT_OBJECT_0;
  CloseHandle(thread);
  return finished;
}

// FakeSinkPin

STDMETHODIMP FakeSinkPin::ReceiveConnection(IPin* pConnector, const AM_MEDIA_TYPE* pmt) {
  std::lock_guard lock(Lock);
  ++ReceiveConnectionCount;
  OfferedFormatTypes.push_back(pmt->formattype);
  if (FAILED(ReceiveConnectionResult)) return ReceiveConnectionResult;
  Connector = pConnector;
  return S_OK;
}

STDMETHODIMP FakeSinkPin::Disconnect() {
  std::lock_guard lock(Lock);
  if (!Connector) return S_FALSE;
  Connector.Reset();
  Allocator.Reset();
  return S_OK;
}

STDMETHODIMP FakeSinkPin::ConnectedTo(IPin** pPin) {
  std::lock_guard lock(Lock);
  *pPin = Connector.Get();
  if (!*pPin) return VFW_E_NOT_CONNECTED;
  (*pPin)->AddRef();
  return S_OK;
}

STDMETHODIMP FakeSinkPin::NotifyAllocator(IMemAllocator* pAllocator, BOOL) {
  std::lock_guard lock(Lock);
  Allocator = pAllocator;
  return S_OK;
}

STDMETHODIMP FakeSinkPin::Receive(IMediaSample*) {
  HANDLE gate;
  HRESULT result;
  {
    std::lock_guard lock(Lock);
    ++ReceiveCount;
    gate = ReceiveGate;
    result = ReceiveResult;
  }
  if (gate) WaitForSingleObject(gate, INFINITE);
  return result;
}

int FakeSinkPin::Received() {
  std::lock_guard lock(Lock);
  return ReceiveCount;
}

// The bottom-up RGB24 picture of Width x Height pixels on screen at the client origin of Window.
std::vector<BYTE> ScreenPicture(HWND Window, LONG Width, LONG Height) {
  POINT origin{0, 0};
  ClientToScreen(Window, &origin);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = Width;
  info.bmiHeader.biHeight = Height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  std::vector<BYTE> picture(lm::Rgb24ImageBytes(Width, Height));
  void* bits = nullptr;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bitmap && bits) {
    HGDIOBJ previous = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, Width, Height, screen, origin.x, origin.y, SRCCOPY);
    GdiFlush();
    std::memcpy(picture.data(), bits, picture.size());
    SelectObject(memory, previous);
  }
  if (bitmap) DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return picture;
}

}  // namespace camtest
