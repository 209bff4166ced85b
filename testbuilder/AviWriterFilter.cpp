#include "testbuilder/AviWriterFilter.h"

#include <cstring>
#include <cwchar>
#include <new>
#include <vector>

#include "testbuilder/AviWriterPin.h"
#include "testbuilder/LmTestCaptureBuilder.h"
#include "testcam/ComBoundary.h"
#include "testcam/Enumerators.h"

using lmcam::ComBoundary;
using Microsoft::WRL::ComPtr;

namespace lmbuilder {

AviWriterFilter::AviWriterFilter() : m_Pin(std::make_unique<lmcam::ComPart<AviWriterPin>>(static_cast<IBaseFilter*>(this), this)) {}

AviWriterFilter::~AviWriterFilter() {
  // A filter released while running completes its file all the same.
  m_File.Complete();
}

HRESULT AviWriterFilter::Create(REFIID riid, void** ppv) { return lmcam::CreateComObject<AviWriterFilter>(riid, ppv); }

STDMETHODIMP AviWriterFilter::QueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (IsEqualIID(riid, IID_IUnknown)) {
    *ppv = static_cast<IBaseFilter*>(this);
    AddRef();
    return S_OK;
  }
  if (lmcam::AnswerInterface<IPersist>(static_cast<IBaseFilter*>(this), riid, ppv) ||
      lmcam::AnswerInterface<IMediaFilter>(this, riid, ppv) || lmcam::AnswerInterface<IBaseFilter>(this, riid, ppv) ||
      lmcam::AnswerInterface<IFileSinkFilter>(this, riid, ppv) ||
      lmcam::AnswerInterface<IFileSinkFilter2>(this, riid, ppv) ||
      lmcam::AnswerInterface<ILmAviWriterDiskFull>(this, riid, ppv))
    return S_OK;
  return E_NOINTERFACE;
}

STDMETHODIMP AviWriterFilter::GetClassID(CLSID* pClassID) {
  if (!pClassID) return E_POINTER;
  *pClassID = CLSID_LmAviFileWriter;
  return S_OK;
}

STDMETHODIMP AviWriterFilter::Stop() {
  return ComBoundary([&]() -> HRESULT {
    std::lock_guard change(m_StateChange);
    // Waits for a sample being written; the ones after it find the filter stopped.
    std::lock_guard stream(m_StreamLock);
    SetState(State_Stopped);
    // Completes the file here, not at the upstream filters' Stop: the file is whole as soon as
    // this filter has stopped, in whichever order the graph stops its filters.
    return m_File.Complete();
  });
}

void AviWriterFilter::SetState(FILTER_STATE State) {
  std::lock_guard lock(m_StateLock);
  m_State = State;
}

HRESULT AviWriterFilter::PauseFromStopped() {
  std::lock_guard stream(m_StreamLock);
  // Stopped -> Paused starts a new recording: the file is written from its beginning.
  lmcam::MediaType type;
  std::wstring name;
  bool overwrite = false;
  {
    std::lock_guard lock(m_StateLock);
    if (const AM_MEDIA_TYPE* connected = m_Pin->ConnectedTypeLocked()) type = lmcam::MediaType(*connected);
    name = m_FileName;
    overwrite = (m_Mode & AM_FILE_OVERWRITE) != 0;
  }
  if (!type.IsEmpty()) {
    if (name.empty()) return E_UNEXPECTED;
    const HRESULT hr = m_File.Open(name, overwrite, type.Get());
    if (FAILED(hr)) return hr;
    m_TemporalCompression = type.Get().bTemporalCompression != FALSE;
    m_WriteFailureReported = false;
  }
  SetState(State_Paused);
  return S_OK;
}

STDMETHODIMP AviWriterFilter::Pause() {
  return ComBoundary([&]() -> HRESULT {
    std::lock_guard change(m_StateChange);
    if (m_State == State_Stopped) return PauseFromStopped();
    SetState(State_Paused);
    return S_OK;
  });
}

STDMETHODIMP AviWriterFilter::Run(REFERENCE_TIME) {
  return ComBoundary([&]() -> HRESULT {
    std::lock_guard change(m_StateChange);
    if (m_State == State_Stopped) {
      const HRESULT hr = PauseFromStopped();
      if (FAILED(hr)) return hr;
    }
    SetState(State_Running);
    return S_OK;
  });
}

STDMETHODIMP AviWriterFilter::GetState(DWORD, FILTER_STATE* State) {
  if (!State) return E_POINTER;
  *State = m_State.load();
  return S_OK;
}

STDMETHODIMP AviWriterFilter::SetSyncSource(IReferenceClock* pClock) {
  std::lock_guard lock(m_StateLock);
  m_Clock = pClock;
  return S_OK;
}

STDMETHODIMP AviWriterFilter::GetSyncSource(IReferenceClock** pClock) {
  if (!pClock) return E_POINTER;
  std::lock_guard lock(m_StateLock);
  *pClock = m_Clock.Get();
  if (*pClock) (*pClock)->AddRef();
  return S_OK;
}

STDMETHODIMP AviWriterFilter::EnumPins(IEnumPins** ppEnum) {
  return ComBoundary([&]() -> HRESULT {
    const std::vector<ComPtr<IPin>> pins{static_cast<IPin*>(m_Pin.get())};
    return lmcam::CreatePinEnumerator(static_cast<IBaseFilter*>(this), pins, ppEnum);
  });
}

STDMETHODIMP AviWriterFilter::FindPin(LPCWSTR Id, IPin** ppPin) {
  if (!Id || !ppPin) return E_POINTER;
  *ppPin = nullptr;
  if (std::wcscmp(Id, AviWriterPin::kName) != 0) return VFW_E_NOT_FOUND;
  *ppPin = static_cast<IPin*>(m_Pin.get());
  (*ppPin)->AddRef();
  return S_OK;
}

STDMETHODIMP AviWriterFilter::QueryFilterInfo(FILTER_INFO* pInfo) {
  if (!pInfo) return E_POINTER;
  std::lock_guard lock(m_StateLock);
  *pInfo = FILTER_INFO{};
  wcsncpy(pInfo->achName, m_Name.c_str(), MAX_FILTER_NAME - 1);
  pInfo->pGraph = m_Graph;
  if (m_Graph) m_Graph->AddRef();
  return S_OK;
}

STDMETHODIMP AviWriterFilter::JoinFilterGraph(IFilterGraph* pGraph, LPCWSTR pName) {
  return ComBoundary([&]() -> HRESULT {
    std::lock_guard lock(m_StateLock);
    m_Graph = pGraph;
    m_Name = pName ? pName : L"";
    return S_OK;
  });
}

STDMETHODIMP AviWriterFilter::QueryVendorInfo(LPWSTR*) { return E_NOTIMPL; }

STDMETHODIMP AviWriterFilter::SetFileName(LPCOLESTR pszFileName, const AM_MEDIA_TYPE* pmt) {
  return ComBoundary([&]() -> HRESULT {
    if (!pszFileName) return E_POINTER;
    std::lock_guard lock(m_StateLock);
    if (m_State != State_Stopped) return VFW_E_NOT_STOPPED;
    // A name that cannot be written (a missing folder, a folder of that name) is refused here,
    // while the graph is built, rather than when it runs.
    const HRESULT hr = AviFile::CheckWritable(pszFileName);
    if (FAILED(hr)) return hr;
    m_FileName = pszFileName;
    m_FileType = pmt ? lmcam::MediaType(*pmt) : lmcam::MediaType();
    return S_OK;
  });
}

STDMETHODIMP AviWriterFilter::GetCurFile(LPOLESTR* ppszFileName, AM_MEDIA_TYPE* pmt) {
  return ComBoundary([&]() -> HRESULT {
    if (!ppszFileName) return E_POINTER;
    *ppszFileName = nullptr;
    if (pmt) *pmt = AM_MEDIA_TYPE{};
    std::lock_guard lock(m_StateLock);
    if (m_FileName.empty()) return E_FAIL;
    const size_t bytes = (m_FileName.size() + 1) * sizeof(wchar_t);
    auto* copy = static_cast<LPOLESTR>(CoTaskMemAlloc(bytes));
    if (!copy) return E_OUTOFMEMORY;
    std::memcpy(copy, m_FileName.c_str(), bytes);
    if (pmt) {
      const HRESULT hr = m_FileType.CopyTo(pmt);
      if (FAILED(hr)) {
        CoTaskMemFree(copy);
        return hr;
      }
    }
    *ppszFileName = copy;
    return S_OK;
  });
}

STDMETHODIMP AviWriterFilter::SetMode(DWORD dwFlags) {
  if (dwFlags & ~static_cast<DWORD>(AM_FILE_OVERWRITE)) return E_INVALIDARG;
  std::lock_guard lock(m_StateLock);
  m_Mode = dwFlags;
  return S_OK;
}

STDMETHODIMP AviWriterFilter::GetMode(DWORD* pdwFlags) {
  if (!pdwFlags) return E_POINTER;
  std::lock_guard lock(m_StateLock);
  *pdwFlags = m_Mode;
  return S_OK;
}

STDMETHODIMP AviWriterFilter::FailWritesAfter(ULONGLONG Bytes) {
  std::lock_guard stream(m_StreamLock);
  m_File.FailWritesAfter(Bytes);
  return S_OK;
}

HRESULT AviWriterFilter::WriteSample(IMediaSample* Sample) {
  BYTE* data = nullptr;
  HRESULT hr = Sample->GetPointer(&data);
  if (FAILED(hr)) return hr;
  const long length = Sample->GetActualDataLength();
  if (length < 0) return E_INVALIDARG;
  bool firstFailure = false;
  {
    std::lock_guard stream(m_StreamLock);
    if (m_State == State_Stopped) return VFW_E_WRONG_STATE;
    // Paused without a connection: there is no file to write into.
    if (!m_File.IsOpen()) return VFW_E_NOT_CONNECTED;
    const bool key = Sample->IsSyncPoint() == S_OK || !m_TemporalCompression;
    hr = m_File.WriteFrame(data, static_cast<DWORD>(length), key);
    firstFailure = FAILED(hr) && !m_WriteFailureReported;
    if (firstFailure) m_WriteFailureReported = true;
  }
  // As a renderer whose Receive fails does: the graph's owner hears of it, with the failure.
  if (firstFailure) ReportWriteFailure(hr);
  return hr;
}

void AviWriterFilter::ReportWriteFailure(HRESULT Error) {
  ComPtr<IFilterGraph> graph;
  {
    std::lock_guard lock(m_StateLock);
    graph = m_Graph;
  }
  ComPtr<IMediaEventSink> events;
  if (graph &&
      SUCCEEDED(graph->QueryInterface(IID_IMediaEventSink, reinterpret_cast<void**>(events.GetAddressOf()))))
    events->Notify(EC_ERRORABORT, Error, 0);
}

}  // namespace lmbuilder
