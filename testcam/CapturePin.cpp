#include "testcam/CapturePin.h"

#include <uuids.h>

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <new>
#include <system_error>

#include "testcam/Capabilities.h"
#include "testcam/ComBoundary.h"
#include "testcam/CaptureFilter.h"
#include "testcam/ComObject.h"
#include "testcam/Enumerators.h"
#include "testcam/LmTestCam.h"
#include "testcam/PictureSettings.h"
#include "testcam/PropertyPageBase.h"

using Microsoft::WRL::ComPtr;

namespace lmcam {
namespace {

// A partly specified type of a Connect call: null GUIDs are wildcards.
bool MatchesPartialType(const AM_MEDIA_TYPE* Wanted, const AM_MEDIA_TYPE& Type) {
  if (!Wanted) return true;
  return (IsEqualGUID(Wanted->majortype, GUID_NULL) || IsEqualGUID(Wanted->majortype, Type.majortype)) &&
         (IsEqualGUID(Wanted->subtype, GUID_NULL) || IsEqualGUID(Wanted->subtype, Type.subtype)) &&
         (IsEqualGUID(Wanted->formattype, GUID_NULL) || IsEqualGUID(Wanted->formattype, Type.formattype));
}

bool IsFullySpecified(const AM_MEDIA_TYPE& Type) {
  return !IsEqualGUID(Type.majortype, GUID_NULL) && !IsEqualGUID(Type.subtype, GUID_NULL) &&
         !IsEqualGUID(Type.formattype, GUID_NULL);
}

// Takes ownership of a type handed out by IEnumMediaTypes::Next.
MediaType AdoptMediaType(AM_MEDIA_TYPE* Type) {
  MediaType copy(*Type);
  FreeMediaTypeContents(*Type);
  CoTaskMemFree(Type);
  return copy;
}

constexpr LONGLONG kMillisecond = 10000;

}  // namespace

CapturePin::CapturePin(CaptureFilter* Filter, std::wstring Name, REFGUID Category, const CapabilityList& Capabilities)
    : m_Filter(Filter), m_Name(std::move(Name)), m_Category(Category), m_Capabilities(Capabilities) {
  m_Wake = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  if (!m_Wake) throw std::system_error(static_cast<int>(GetLastError()), std::system_category());
}

CapturePin::~CapturePin() {
  // The filter stopped the thread before destroying its pins.
  CloseHandle(m_Wake);
}

STDMETHODIMP CapturePin::QueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IPin)) {
    *ppv = static_cast<IPin*>(this);
    AddRef();
    return S_OK;
  }
  if (AnswerInterface<IAMStreamConfig>(this, riid, ppv) || AnswerInterface<IKsPropertySet>(this, riid, ppv) ||
      AnswerInterface<ISpecifyPropertyPages>(this, riid, ppv))
    return S_OK;
  return E_NOINTERFACE;
}

bool CapturePin::IsConnected() const { return m_Connected != nullptr; }

std::vector<MediaType> CapturePin::OfferedTypes() const {
  // As capture drivers do: once a format is set, it is the only one.
  if (!m_SetFormat.IsEmpty()) return {m_SetFormat};
  std::vector<MediaType> types;
  for (const Capability& cap : m_Capabilities) types.push_back(CapabilityType(cap, DefaultFrameInterval(cap)));
  return types;
}

bool CapturePin::AcceptsConnection(const AM_MEDIA_TYPE& Type) const {
  const int index = MatchCapability(m_Capabilities, Type);
  if (index < 0) return false;
  if (m_SetFormat.IsEmpty()) return true;
  const Capability& cap = m_Capabilities[static_cast<size_t>(index)];
  return MatchCapability(m_Capabilities, m_SetFormat.Get()) == index &&
         FrameIntervalOf(Type, cap) == FrameIntervalOf(m_SetFormat.Get(), cap);
}

MediaType CapturePin::CurrentFormat() const {
  if (m_Connected) return m_ConnectionType;
  if (!m_SetFormat.IsEmpty()) return m_SetFormat;
  return CapabilityType(m_Capabilities.front(), DefaultFrameInterval(m_Capabilities.front()));
}

// IPin

STDMETHODIMP CapturePin::Connect(IPin* pReceivePin, const AM_MEDIA_TYPE* pmt) {
  return ComBoundary([&]() -> HRESULT {
    if (!pReceivePin) return E_POINTER;
    std::lock_guard lock(m_Filter->Lock());
    if (m_Connected) return VFW_E_ALREADY_CONNECTED;
    if (m_Filter->State() != State_Stopped) return VFW_E_NOT_STOPPED;
    PIN_DIRECTION direction;
    if (FAILED(pReceivePin->QueryDirection(&direction)) || direction != PINDIR_INPUT) return VFW_E_INVALID_DIRECTION;

    if (pmt && IsFullySpecified(*pmt)) {
      if (!AcceptsConnection(*pmt)) return VFW_E_TYPE_NOT_ACCEPTED;
      return AttemptConnection(pReceivePin, *pmt);
    }
    // Our own types first, in the order EnumMediaTypes lists them, then the receiver's.
    for (const MediaType& type : OfferedTypes()) {
      if (MatchesPartialType(pmt, type.Get()) && SUCCEEDED(AttemptConnection(pReceivePin, type.Get()))) return S_OK;
    }
    ComPtr<IEnumMediaTypes> theirs;
    if (SUCCEEDED(pReceivePin->EnumMediaTypes(&theirs)) && theirs) {
      AM_MEDIA_TYPE* next = nullptr;
      while (theirs->Next(1, &next, nullptr) == S_OK && next) {
        const MediaType type = AdoptMediaType(next);
        next = nullptr;
        if (MatchesPartialType(pmt, type.Get()) && AcceptsConnection(type.Get()) &&
            SUCCEEDED(AttemptConnection(pReceivePin, type.Get())))
          return S_OK;
      }
    }
    return VFW_E_NO_ACCEPTABLE_TYPES;
  });
}

HRESULT CapturePin::AttemptConnection(IPin* Receiver, const AM_MEDIA_TYPE& Type) {
  ComPtr<IMemInputPin> input;
  if (FAILED(Receiver->QueryInterface(IID_PPV_ARGS(&input)))) return E_NOINTERFACE;
  // Connected from here on, as the receiver may ask this pin about the connection.
  m_Connected = Receiver;
  m_ConnectionType = MediaType(Type);
  HRESULT hr = Receiver->ReceiveConnection(static_cast<IPin*>(this), &Type);
  if (FAILED(hr)) {
    ClearConnection();
    return hr;
  }
  ComPtr<IMemAllocator> allocator;
  hr = DecideAllocator(input.Get(), &allocator);
  if (FAILED(hr)) {
    Receiver->Disconnect();
    ClearConnection();
    return hr;
  }
  m_MemInput = input;
  m_Allocator = allocator;
  return S_OK;
}

HRESULT CapturePin::DecideAllocator(IMemInputPin* Input, IMemAllocator** Result) {
  ALLOCATOR_PROPERTIES wanted{};
  // The receiver may have no requirements (E_NOTIMPL); zeros then mean "ours".
  if (FAILED(Input->GetAllocatorRequirements(&wanted))) wanted = ALLOCATOR_PROPERTIES{};

  ComPtr<IMemAllocator> allocator;
  if (SUCCEEDED(Input->GetAllocator(&allocator)) && allocator) {
    if (SUCCEEDED(DecideBufferSize(allocator.Get(), wanted)) &&
        SUCCEEDED(Input->NotifyAllocator(allocator.Get(), FALSE))) {
      *Result = allocator.Detach();
      return S_OK;
    }
  }
  allocator.Reset();
  HRESULT hr = CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&allocator));
  if (FAILED(hr)) return hr;
  hr = DecideBufferSize(allocator.Get(), wanted);
  if (FAILED(hr)) return hr;
  hr = Input->NotifyAllocator(allocator.Get(), FALSE);
  if (FAILED(hr)) return hr;
  *Result = allocator.Detach();
  return S_OK;
}

HRESULT CapturePin::DecideBufferSize(IMemAllocator* Allocator, const ALLOCATOR_PROPERTIES& Wanted) {
  const int index = MatchCapability(m_Capabilities, m_ConnectionType.Get());
  if (index < 0) return VFW_E_INVALIDMEDIATYPE;
  const LONG imageSize = static_cast<LONG>(ImageSize(m_Capabilities[static_cast<size_t>(index)]));
  ALLOCATOR_PROPERTIES properties{};
  // A few buffers, so that frames keep coming while downstream holds one or two.
  properties.cBuffers = std::max<LONG>(Wanted.cBuffers, 4);
  properties.cbBuffer = std::max<LONG>(Wanted.cbBuffer, imageSize);
  properties.cbAlign = std::max<LONG>(Wanted.cbAlign, 1);
  properties.cbPrefix = Wanted.cbPrefix;
  ALLOCATOR_PROPERTIES actual{};
  const HRESULT hr = Allocator->SetProperties(&properties, &actual);
  if (FAILED(hr)) return hr;
  return actual.cbBuffer >= imageSize && actual.cBuffers >= 1 ? S_OK : E_FAIL;
}

void CapturePin::ClearConnection() {
  m_Connected.Reset();
  m_MemInput.Reset();
  m_Allocator.Reset();
  m_ConnectionType = MediaType();
}

STDMETHODIMP CapturePin::ReceiveConnection(IPin* pConnector, const AM_MEDIA_TYPE* pmt) {
  if (!pConnector || !pmt) return E_POINTER;
  // An output pin never receives a connection.
  return E_UNEXPECTED;
}

STDMETHODIMP CapturePin::Disconnect() {
  std::lock_guard lock(m_Filter->Lock());
  if (m_Filter->State() != State_Stopped) return VFW_E_NOT_STOPPED;
  if (!m_Connected) return S_FALSE;
  if (m_Allocator) m_Allocator->Decommit();
  ClearConnection();
  return S_OK;
}

STDMETHODIMP CapturePin::ConnectedTo(IPin** pPin) {
  if (!pPin) return E_POINTER;
  std::lock_guard lock(m_Filter->Lock());
  *pPin = m_Connected.Get();
  if (!*pPin) return VFW_E_NOT_CONNECTED;
  (*pPin)->AddRef();
  return S_OK;
}

STDMETHODIMP CapturePin::ConnectionMediaType(AM_MEDIA_TYPE* pmt) {
  return ComBoundary([&]() -> HRESULT {
    if (!pmt) return E_POINTER;
    std::lock_guard lock(m_Filter->Lock());
    if (!m_Connected) {
      std::memset(pmt, 0, sizeof(*pmt));
      return VFW_E_NOT_CONNECTED;
    }
    return m_ConnectionType.CopyTo(pmt);
  });
}

STDMETHODIMP CapturePin::QueryPinInfo(PIN_INFO* pInfo) {
  if (!pInfo) return E_POINTER;
  pInfo->pFilter = static_cast<IBaseFilter*>(m_Filter);
  pInfo->pFilter->AddRef();
  pInfo->dir = PINDIR_OUTPUT;
  const size_t length = std::min(m_Name.size(), std::size(pInfo->achName) - 1);
  std::wmemcpy(pInfo->achName, m_Name.c_str(), length);
  pInfo->achName[length] = L'\0';
  return S_OK;
}

STDMETHODIMP CapturePin::QueryDirection(PIN_DIRECTION* pPinDir) {
  if (!pPinDir) return E_POINTER;
  *pPinDir = PINDIR_OUTPUT;
  return S_OK;
}

STDMETHODIMP CapturePin::QueryId(LPWSTR* Id) {
  if (!Id) return E_POINTER;
  const size_t bytes = (m_Name.size() + 1) * sizeof(wchar_t);
  *Id = static_cast<LPWSTR>(CoTaskMemAlloc(bytes));
  if (!*Id) return E_OUTOFMEMORY;
  std::memcpy(*Id, m_Name.c_str(), bytes);
  return S_OK;
}

STDMETHODIMP CapturePin::QueryAccept(const AM_MEDIA_TYPE* pmt) {
  if (!pmt) return E_POINTER;
  // S_FALSE: a well-formed type that this pin does not offer.
  return MatchCapability(m_Capabilities, *pmt) >= 0 ? S_OK : S_FALSE;
}

STDMETHODIMP CapturePin::EnumMediaTypes(IEnumMediaTypes** ppEnum) {
  return ComBoundary([&]() -> HRESULT {
    if (!ppEnum) return E_POINTER;
    std::lock_guard lock(m_Filter->Lock());
    return CreateMediaTypeEnumerator(static_cast<IPin*>(this), OfferedTypes(), ppEnum);
  });
}

STDMETHODIMP CapturePin::QueryInternalConnections(IPin**, ULONG*) { return E_NOTIMPL; }

// A source's output pin receives no stream control from upstream.
STDMETHODIMP CapturePin::EndOfStream() { return E_UNEXPECTED; }
STDMETHODIMP CapturePin::BeginFlush() { return E_UNEXPECTED; }
STDMETHODIMP CapturePin::EndFlush() { return E_UNEXPECTED; }
STDMETHODIMP CapturePin::NewSegment(REFERENCE_TIME, REFERENCE_TIME, double) { return S_OK; }

// IAMStreamConfig

STDMETHODIMP CapturePin::SetFormat(AM_MEDIA_TYPE* pmt) {
  return ComBoundary([&]() -> HRESULT {
    if (!pmt) return E_POINTER;
    MediaType format;
    ComPtr<IFilterGraph> graph;
    {
      std::lock_guard lock(m_Filter->Lock());
      if (m_Filter->State() != State_Stopped) return VFW_E_NOT_STOPPED;
      const int index = MatchCapability(m_Capabilities, *pmt);
      if (index < 0) return VFW_E_INVALIDMEDIATYPE;
      const Capability& cap = m_Capabilities[static_cast<size_t>(index)];
      format = CapabilityType(cap, FrameIntervalOf(*pmt, cap));
      if (m_Connected) {
        // Connected: the new format needs the receiver's consent and a reconnection.
        if (m_Connected->QueryAccept(&format.Get()) != S_OK) return VFW_E_INVALIDMEDIATYPE;
        graph = m_Filter->Graph();
        if (!graph) return VFW_E_NOT_IN_GRAPH;
      }
      m_SetFormat = format;
    }
    if (!graph) return S_OK;
    // Outside the lock: the graph disconnects and connects this pin again.
    ComPtr<IFilterGraph2> graph2;
    if (SUCCEEDED(graph.As(&graph2))) return graph2->ReconnectEx(static_cast<IPin*>(this), &format.Get());
    return graph->Reconnect(static_cast<IPin*>(this));
  });
}

STDMETHODIMP CapturePin::GetFormat(AM_MEDIA_TYPE** ppmt) {
  return ComBoundary([&]() -> HRESULT {
    if (!ppmt) return E_POINTER;
    std::lock_guard lock(m_Filter->Lock());
    *ppmt = CurrentFormat().CreateCopy();
    return *ppmt ? S_OK : E_OUTOFMEMORY;
  });
}

STDMETHODIMP CapturePin::GetNumberOfCapabilities(int* piCount, int* piSize) {
  if (!piCount || !piSize) return E_POINTER;
  *piCount = static_cast<int>(m_Capabilities.size());
  *piSize = sizeof(VIDEO_STREAM_CONFIG_CAPS);
  return S_OK;
}

STDMETHODIMP CapturePin::GetStreamCaps(int iIndex, AM_MEDIA_TYPE** ppmt, BYTE* pSCC) {
  return ComBoundary([&]() -> HRESULT {
    if (!ppmt || !pSCC) return E_POINTER;
    if (iIndex < 0) return E_INVALIDARG;
    if (static_cast<size_t>(iIndex) >= m_Capabilities.size()) return S_FALSE;
    const Capability& cap = m_Capabilities[static_cast<size_t>(iIndex)];
    *ppmt = CapabilityType(cap, DefaultFrameInterval(cap)).CreateCopy();
    if (!*ppmt) return E_OUTOFMEMORY;
    CapabilityCaps(cap, reinterpret_cast<VIDEO_STREAM_CONFIG_CAPS*>(pSCC));
    return S_OK;
  });
}

// IKsPropertySet: the pin category, read only.

STDMETHODIMP CapturePin::Set(REFGUID guidPropSet, DWORD dwPropID, LPVOID, DWORD, LPVOID, DWORD) {
  if (!IsEqualGUID(guidPropSet, AMPROPSETID_Pin)) return E_PROP_SET_UNSUPPORTED;
  if (dwPropID != AMPROPERTY_PIN_CATEGORY) return E_PROP_ID_UNSUPPORTED;
  return E_NOTIMPL;
}

STDMETHODIMP CapturePin::Get(REFGUID guidPropSet, DWORD dwPropID, LPVOID, DWORD, LPVOID pPropData, DWORD cbPropData,
                             DWORD* pcbReturned) {
  if (!IsEqualGUID(guidPropSet, AMPROPSETID_Pin)) return E_PROP_SET_UNSUPPORTED;
  if (dwPropID != AMPROPERTY_PIN_CATEGORY) return E_PROP_ID_UNSUPPORTED;
  if (!pPropData && !pcbReturned) return E_POINTER;
  if (pcbReturned) *pcbReturned = sizeof(GUID);
  if (!pPropData) return S_OK;  // the caller asked for the size only
  if (cbPropData < sizeof(GUID)) return E_UNEXPECTED;
  std::memcpy(pPropData, &m_Category, sizeof(GUID));
  return S_OK;
}

STDMETHODIMP CapturePin::QuerySupported(REFGUID guidPropSet, DWORD dwPropID, DWORD* pTypeSupport) {
  if (!IsEqualGUID(guidPropSet, AMPROPSETID_Pin)) return E_PROP_SET_UNSUPPORTED;
  if (dwPropID != AMPROPERTY_PIN_CATEGORY) return E_PROP_ID_UNSUPPORTED;
  if (pTypeSupport) *pTypeSupport = KSPROPERTY_SUPPORT_GET;
  return S_OK;
}

// ISpecifyPropertyPages

STDMETHODIMP CapturePin::GetPages(CAUUID* pPages) { return OnePropertyPage(pPages, CLSID_LmTestCameraFormatPage); }

// Streaming

HRESULT CapturePin::StartStreaming() {
  if (!m_Allocator || !m_MemInput) return S_OK;
  const int index = MatchCapability(m_Capabilities, m_ConnectionType.Get());
  if (index < 0) return VFW_E_INVALIDMEDIATYPE;
  const Capability& format = m_Capabilities[static_cast<size_t>(index)];
  StreamSetup setup;
  // Every failure here is a result: the filter undoes a half-started pause from it.
  HRESULT hr = ComBoundary([&]() -> HRESULT {
    setup.Painter = std::make_unique<FramePainter>(format);
    return S_OK;
  });
  if (FAILED(hr)) return hr;
  hr = m_Allocator->Commit();
  if (FAILED(hr)) return hr;
  setup.Input = m_MemInput;
  setup.Allocator = m_Allocator;
  setup.Clock = m_Filter->Clock();
  setup.Events = m_Filter->EventSink();
  setup.FrameInterval = FrameIntervalOf(m_ConnectionType.Get(), format);
  m_EndStreaming = false;
  ResetEvent(m_Wake);
  hr = ComBoundary([&]() -> HRESULT {
    m_Thread = std::thread(&CapturePin::StreamLoop, this, std::move(setup));
    return S_OK;
  });
  if (FAILED(hr)) {
    m_Allocator->Decommit();
    return hr;
  }
  m_StreamAllocator = m_Allocator;
  return S_OK;
}

void CapturePin::Wake() { SetEvent(m_Wake); }

void CapturePin::StopStreaming() {
  if (!m_Thread.joinable()) return;
  m_EndStreaming = true;
  SetEvent(m_Wake);
  m_Thread.join();
  // Only now: the thread no longer asks the allocator for buffers.
  m_StreamAllocator->Decommit();
  m_StreamAllocator.Reset();
}

void CapturePin::StreamLoop(StreamSetup Setup) {
  const HRESULT coInit = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  LARGE_INTEGER frequency, origin;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&origin);
  // Stream time: reference clock time since the start time of the run; with no clock, the
  // thread's own time since it started.
  auto streamTime = [&]() -> REFERENCE_TIME {
    REFERENCE_TIME now = 0;
    if (Setup.Clock && SUCCEEDED(Setup.Clock->GetTime(&now))) return now - m_Filter->StartTime();
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return static_cast<REFERENCE_TIME>((counter.QuadPart - origin.QuadPart) * 10000000.0 / frequency.QuadPart);
  };

  std::uint32_t frame = 0;
  bool scheduled = false;
  bool discontinuity = true;
  bool delivering = true;
  REFERENCE_TIME next = 0;
  while (!m_EndStreaming) {
    if (!delivering || m_Filter->State() != State_Running || !m_Filter->Delivers()) {
      // Paused (a live source sends nothing then), downstream refused, or the device is gone,
      // hung or failed (LmTestCam.h): wait for a change.
      scheduled = false;
      WaitForSingleObject(m_Wake, INFINITE);
      continue;
    }
    const REFERENCE_TIME now = streamTime();
    if (!scheduled) {
      next = std::max<REFERENCE_TIME>(now, 0);
      scheduled = true;
      discontinuity = true;
    }
    if (now < next) {
      WaitForSingleObject(m_Wake, static_cast<DWORD>((next - now + kMillisecond - 1) / kMillisecond));
      continue;
    }
    // Late by whole frames (a slow receiver): skip them, as a live source does, not burst.
    if (now - next >= Setup.FrameInterval) next += (now - next) / Setup.FrameInterval * Setup.FrameInterval;

    ComPtr<IMediaSample> sample;
    HRESULT hr = Setup.Allocator->GetBuffer(&sample, nullptr, nullptr, AM_GBF_NOWAIT);
    if (hr == VFW_E_TIMEOUT) {
      // Every buffer is still downstream: this frame is dropped.
      next += Setup.FrameInterval;
      discontinuity = true;
      continue;
    }
    // The settings as they are now: a change shows from this frame on.
    const PictureSettings picture = m_Filter->Settings().Picture();
    // An exposure longer than the frame interval takes several intervals.
    const REFERENCE_TIME duration = FrameSlots(picture.Exposure, Setup.FrameInterval) * Setup.FrameInterval;
    BYTE* data = nullptr;
    size_t length = 0;
    if (SUCCEEDED(hr) &&
        (FAILED(sample->GetPointer(&data)) || sample->GetSize() <= 0 ||
         (length = Setup.Painter->Paint(frame, picture, data, static_cast<size_t>(sample->GetSize()))) == 0))
      hr = VFW_E_BUFFER_OVERFLOW;
    if (SUCCEEDED(hr)) {
      REFERENCE_TIME start = next, stop = next + duration;
      LONGLONG mediaStart = frame, mediaStop = frame + 1;
      sample->SetTime(&start, &stop);
      sample->SetMediaTime(&mediaStart, &mediaStop);
      sample->SetSyncPoint(TRUE);
      sample->SetPreroll(FALSE);
      sample->SetDiscontinuity(discontinuity ? TRUE : FALSE);
      sample->SetActualDataLength(static_cast<LONG>(length));
      hr = Setup.Input->Receive(sample.Get());
      sample.Reset();
      ++frame;
      discontinuity = false;
      next += duration;
    }
    if (hr != S_OK) {
      // S_FALSE: the receiver wants no more data. An error ends the stream as well, and is
      // reported, unless the receiver merely stopped first (the graph stops downstream first).
      delivering = false;
      if (FAILED(hr) && hr != VFW_E_WRONG_STATE && !m_EndStreaming && m_Filter->State() == State_Running &&
          Setup.Events)
        Setup.Events->Notify(EC_ERRORABORT, hr, 0);
    }
  }
  if (SUCCEEDED(coInit)) CoUninitialize();
}

}  // namespace lmcam
