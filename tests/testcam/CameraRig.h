#pragma once

// What the test camera's tests share: finding the camera through the system device
// enumerator, a capture graph (camera -> Sample Grabber fixed to RGB24 -> Null Renderer) built
// by Wine's capture graph builder from the steps of the shared hand-written graph
// (handwritten/HandWrittenGraph.h), a sample collector, the frame counter decoder (written from
// the picture layout documented in testcam/LmTestCam.h), and strict fakes of a receiving pin
// and of a graph for the contract tests.

#include <windows.h>

#include <dshow.h>
#include <qedit.h>
#include <wrl/client.h>

#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "handwritten/HandWrittenGraph.h"
#include "handwritten/VideoDevices.h"
#include "support/FakeCom.h"
#include "webcam/src/LmFrameConverter.h"

namespace camtest {

using Microsoft::WRL::ComPtr;

// The mingw-w64 headers declare these classes only in libstrmiids; name them here.
// {C1F400A0-3F08-11D3-9F0B-006008039E37}
inline constexpr CLSID kClsidSampleGrabber = {0xc1f400a0, 0x3f08, 0x11d3, {0x9f, 0x0b, 0x00, 0x60, 0x08, 0x03, 0x9e, 0x37}};
// {C1F400A4-3F08-11D3-9F0B-006008039E37}
inline constexpr CLSID kClsidNullRenderer = {0xc1f400a4, 0x3f08, 0x11d3, {0x9f, 0x0b, 0x00, 0x60, 0x08, 0x03, 0x9e, 0x37}};

// Friendly names of the video input devices, and a device bound by its name.
using handwritten::BindCamera;
using handwritten::ListVideoDevices;
ComPtr<IPin> PinOf(IBaseFilter* Filter, const wchar_t* Id);
// Takes over the first reference of a new object (mingw-w64's ComPtr::Attach adds one).
template <typename T>
ComPtr<T> Adopt(T* Object) {
  ComPtr<T> owner;
  *owner.GetAddressOf() = Object;
  return owner;
}
template <typename I>
ComPtr<I> As(IUnknown* Object) {
  ComPtr<I> result;
  if (Object) Object->QueryInterface(IID_PPV_ARGS(&result));
  return result;
}

// Sets the capture pin's format to capability Index at Interval (0: the capability's own
// default); the pin must be unconnected, or connected in a graph.
HRESULT SetCaptureFormat(IBaseFilter* Camera, int Index, REFERENCE_TIME Interval = 0);

// Frees a type handed out by DirectShow.
void DeleteType(AM_MEDIA_TYPE* Type);
struct TypeHolder {
  TypeHolder() = default;
  explicit TypeHolder(AM_MEDIA_TYPE* Owned) : Type(Owned) {}
  TypeHolder(TypeHolder&& Other) noexcept : Type(Other.Type) { Other.Type = nullptr; }
  TypeHolder(const TypeHolder&) = delete;
  TypeHolder& operator=(const TypeHolder&) = delete;
  ~TypeHolder() { DeleteType(Type); }
  AM_MEDIA_TYPE** Put() { return &Type; }
  AM_MEDIA_TYPE* Type = nullptr;
};
const BITMAPINFOHEADER* BitmapOf(const AM_MEDIA_TYPE& Type);
REFERENCE_TIME FrameIntervalOf(const AM_MEDIA_TYPE& Type);

// Reads the frame counter from a bottom-up RGB24 picture; -1 when a counter cell is neither
// white nor black (every channel at 200 or more, or at 55 or less, which JPEG loss keeps), so
// that a picture without the counter, or one upside down, does not decode by accident.
int DecodeCounter(const BYTE* Picture, LONG Width, LONG Height);
// Whether the centre of each colour bar, on the middle row of a bottom-up RGB24 picture of
// frame Counter, has the documented colour within Tolerance per channel.
bool BarsMatch(const BYTE* Picture, LONG Width, LONG Height, int Counter, int Tolerance);
// The bottom-up RGB24 picture of Width x Height pixels on screen at the client origin of Window.
std::vector<BYTE> ScreenPicture(HWND Window, LONG Width, LONG Height);

// Collects what a Sample Grabber delivers (on the streaming thread).
class SampleCollector : public fakes::FakeComObject<ISampleGrabberCB> {
public:
  STDMETHODIMP SampleCB(double SampleTime, IMediaSample* Sample) override;
  STDMETHODIMP BufferCB(double, BYTE*, long) override { return fakes::Unexpected("ISampleGrabberCB::BufferCB"); }

  // The frames are of this format: converted (lm::ConvertFrame) to RGB24, then their counters
  // are read and their colour bars checked. RenderCapture sets the connected format.
  void SetFrameFormat(const lm::FrameFormat& Format);
  // The frames are bottom-up RGB24 pictures of this size.
  void SetPictureSize(LONG Width, LONG Height);
  int Count() const;
  // Frames that did not convert, or whose bars did not match.
  int BadBars() const;
  std::vector<REFERENCE_TIME> StartTimes() const;
  std::vector<int> Counters() const;
  bool AllSyncPoints() const;
  bool AllTimed() const;
  // Makes SampleCB wait on Gate (until it is set or TimeoutMs passes); nullptr: no waiting.
  void BlockOn(HANDLE Gate, DWORD TimeoutMs);
  // Waits until Count() reaches N or TimeoutMs passes.
  bool WaitForCount(int N, DWORD TimeoutMs) const;
  void Reset();

private:
  mutable std::mutex m_Lock;
  LONG m_Width = 0, m_Height = 0;
  lm::FrameFormat m_Format;
  std::vector<BYTE> m_Picture;
  int m_BadBars = 0;
  std::vector<REFERENCE_TIME> m_Starts;
  std::vector<int> m_Counters;
  bool m_AllSync = true;
  bool m_AllTimed = true;
  HANDLE m_Gate = nullptr;
  DWORD m_GateTimeout = 0;
};

// Camera -> Sample Grabber (RGB24) -> Null Renderer, and the preview into a second Null
// Renderer, all through ICaptureGraphBuilder2::RenderStream. The graph's objects (Graph,
// Builder, Camera, Grabber, Grab, Control, Events) are the hand-written graph's.
class CaptureRig : public handwritten::HandWrittenGraph {
public:
  // GrabberSubtype: the subtype the Sample Grabber is fixed to.
  explicit CaptureRig(const std::wstring& CameraName, const GUID& GrabberSubtype = MEDIASUBTYPE_RGB24);
  // Stops the graph and detaches the collector before the collector and the sinks go.
  ~CaptureRig();

  bool Ready() const { return m_Ready; }
  HRESULT RenderPreview();
  HRESULT RenderCapture();
  // The grabber's connected type after RenderCapture.
  bool ConnectedSize(LONG& Width, LONG& Height);
  // Runs, collects for Milliseconds, stops; returns frames per second seen by the grabber.
  double MeasureFrameRate(DWORD Milliseconds);

  ComPtr<IBaseFilter> Sink;
  ComPtr<IBaseFilter> PreviewSink;
  ComPtr<SampleCollector> Collector;

private:
  bool m_Ready = false;
};

// Runs Action on a new thread (in the multithreaded apartment); false when it has not ended
// within TimeoutMs, in which case the thread is left behind and the test fails instead of
// hanging.
bool FinishesWithin(std::function<void()> Action, DWORD TimeoutMs);

// A receiving pin with scripted answers, for connecting the camera's pins without a graph.
class FakeSinkPin : public fakes::FakeComObject<IPin, IMemInputPin> {
public:
  // Scripted answers.
  HRESULT ReceiveConnectionResult = S_OK;
  HRESULT QueryAcceptResult = S_OK;
  HRESULT ReceiveResult = S_OK;
  HRESULT GetAllocatorResult = VFW_E_NO_ALLOCATOR;  // the source brings its own
  ALLOCATOR_PROPERTIES Requirements{};              // answered by GetAllocatorRequirements
  HANDLE ReceiveGate = nullptr;                     // Receive waits on it when set

  // What it saw.
  std::mutex Lock;
  ComPtr<IPin> Connector;
  std::vector<GUID> OfferedFormatTypes;
  ComPtr<IMemAllocator> Allocator;
  int ReceiveCount = 0;
  int ReceiveConnectionCount = 0;

  STDMETHODIMP Connect(IPin*, const AM_MEDIA_TYPE*) override { return fakes::Unexpected("IPin::Connect"); }
  STDMETHODIMP ReceiveConnection(IPin* pConnector, const AM_MEDIA_TYPE* pmt) override;
  STDMETHODIMP Disconnect() override;
  STDMETHODIMP ConnectedTo(IPin** pPin) override;
  STDMETHODIMP ConnectionMediaType(AM_MEDIA_TYPE*) override { return fakes::Unexpected("IPin::ConnectionMediaType"); }
  STDMETHODIMP QueryPinInfo(PIN_INFO*) override { return fakes::Unexpected("IPin::QueryPinInfo"); }
  STDMETHODIMP QueryDirection(PIN_DIRECTION* pPinDir) override {
    *pPinDir = PINDIR_INPUT;
    return S_OK;
  }
  STDMETHODIMP QueryId(LPWSTR*) override { return fakes::Unexpected("IPin::QueryId"); }
  STDMETHODIMP QueryAccept(const AM_MEDIA_TYPE*) override { return QueryAcceptResult; }
  STDMETHODIMP EnumMediaTypes(IEnumMediaTypes**) override { return E_NOTIMPL; }
  STDMETHODIMP QueryInternalConnections(IPin**, ULONG*) override { return E_NOTIMPL; }
  STDMETHODIMP EndOfStream() override { return S_OK; }
  STDMETHODIMP BeginFlush() override { return S_OK; }
  STDMETHODIMP EndFlush() override { return S_OK; }
  STDMETHODIMP NewSegment(REFERENCE_TIME, REFERENCE_TIME, double) override { return S_OK; }

  STDMETHODIMP GetAllocator(IMemAllocator** ppAllocator) override {
    *ppAllocator = nullptr;
    return GetAllocatorResult;
  }
  STDMETHODIMP NotifyAllocator(IMemAllocator* pAllocator, BOOL) override;
  STDMETHODIMP GetAllocatorRequirements(ALLOCATOR_PROPERTIES* pProps) override {
    *pProps = Requirements;
    return S_OK;
  }
  STDMETHODIMP Receive(IMediaSample* pSample) override;
  STDMETHODIMP ReceiveMultiple(IMediaSample**, long, long*) override {
    return fakes::Unexpected("IMemInputPin::ReceiveMultiple");
  }
  STDMETHODIMP ReceiveCanBlock() override { return S_FALSE; }

  int Received();
};

// A graph that only collects the events that filters send it.
class FakeEventGraph : public fakes::FakeComObject<IFilterGraph, IMediaEventSink> {
public:
  STDMETHODIMP AddFilter(IBaseFilter*, LPCWSTR) override { return fakes::Unexpected("IFilterGraph::AddFilter"); }
  STDMETHODIMP RemoveFilter(IBaseFilter*) override { return fakes::Unexpected("IFilterGraph::RemoveFilter"); }
  STDMETHODIMP EnumFilters(IEnumFilters**) override { return fakes::Unexpected("IFilterGraph::EnumFilters"); }
  STDMETHODIMP FindFilterByName(LPCWSTR, IBaseFilter**) override {
    return fakes::Unexpected("IFilterGraph::FindFilterByName");
  }
  STDMETHODIMP ConnectDirect(IPin*, IPin*, const AM_MEDIA_TYPE*) override {
    return fakes::Unexpected("IFilterGraph::ConnectDirect");
  }
  STDMETHODIMP Reconnect(IPin*) override { return fakes::Unexpected("IFilterGraph::Reconnect"); }
  STDMETHODIMP Disconnect(IPin*) override { return fakes::Unexpected("IFilterGraph::Disconnect"); }
  STDMETHODIMP SetDefaultSyncSource() override { return fakes::Unexpected("IFilterGraph::SetDefaultSyncSource"); }
  STDMETHODIMP Notify(LONG EventCode, LONG_PTR Param1, LONG_PTR) override {
    std::lock_guard lock(m_Lock);
    m_Events.push_back({EventCode, static_cast<HRESULT>(Param1)});
    return S_OK;
  }
  std::vector<std::pair<LONG, HRESULT>> Events() {
    std::lock_guard lock(m_Lock);
    return m_Events;
  }

private:
  std::mutex m_Lock;
  std::vector<std::pair<LONG, HRESULT>> m_Events;
};

}  // namespace camtest
