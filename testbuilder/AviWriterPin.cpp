#include "testbuilder/AviWriterPin.h"

#include <cstring>
#include <mutex>
#include <vector>

#include "testbuilder/AviWriterFilter.h"
#include "testcam/ComBoundary.h"
#include "testcam/ComObject.h"
#include "testcam/Enumerators.h"

namespace lmbuilder {

using lmcam::ComBoundary;

STDMETHODIMP AviWriterPin::QueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (IsEqualIID(riid, IID_IUnknown)) {
    *ppv = static_cast<IPin*>(this);
    AddRef();
    return S_OK;
  }
  if (lmcam::AnswerInterface<IPin>(this, riid, ppv) || lmcam::AnswerInterface<IMemInputPin>(this, riid, ppv))
    return S_OK;
  return E_NOINTERFACE;
}

// An input pin is connected to, never connects.
STDMETHODIMP AviWriterPin::Connect(IPin*, const AM_MEDIA_TYPE*) { return E_UNEXPECTED; }

STDMETHODIMP AviWriterPin::ReceiveConnection(IPin* pConnector, const AM_MEDIA_TYPE* pmt) {
  return ComBoundary([&]() -> HRESULT {
    if (!pConnector || !pmt) return E_POINTER;
    PIN_DIRECTION direction = PINDIR_INPUT;
    if (FAILED(pConnector->QueryDirection(&direction)) || direction != PINDIR_OUTPUT) return VFW_E_INVALID_DIRECTION;
    std::lock_guard lock(m_Filter->StateLock());
    if (m_Connected) return VFW_E_ALREADY_CONNECTED;
    if (m_Filter->State() != State_Stopped) return VFW_E_NOT_STOPPED;
    if (QueryAccept(pmt) != S_OK) return VFW_E_TYPE_NOT_ACCEPTED;
    m_Type = lmcam::MediaType(*pmt);
    if (m_Type.IsEmpty()) return E_OUTOFMEMORY;
    m_Connected = pConnector;
    return S_OK;
  });
}

STDMETHODIMP AviWriterPin::Disconnect() {
  std::lock_guard lock(m_Filter->StateLock());
  if (m_Filter->State() != State_Stopped) return VFW_E_NOT_STOPPED;
  if (!m_Connected) return S_FALSE;
  m_Connected.Reset();
  m_Type = lmcam::MediaType();
  m_Allocator.Reset();
  return S_OK;
}

STDMETHODIMP AviWriterPin::ConnectedTo(IPin** pPin) {
  if (!pPin) return E_POINTER;
  std::lock_guard lock(m_Filter->StateLock());
  *pPin = m_Connected.Get();
  if (!*pPin) return VFW_E_NOT_CONNECTED;
  (*pPin)->AddRef();
  return S_OK;
}

STDMETHODIMP AviWriterPin::ConnectionMediaType(AM_MEDIA_TYPE* pmt) {
  if (!pmt) return E_POINTER;
  *pmt = AM_MEDIA_TYPE{};
  std::lock_guard lock(m_Filter->StateLock());
  if (!m_Connected) return VFW_E_NOT_CONNECTED;
  return m_Type.CopyTo(pmt);
}

STDMETHODIMP AviWriterPin::QueryPinInfo(PIN_INFO* pInfo) {
  if (!pInfo) return E_POINTER;
  *pInfo = PIN_INFO{};
  pInfo->pFilter = static_cast<IBaseFilter*>(m_Filter);
  pInfo->pFilter->AddRef();
  pInfo->dir = PINDIR_INPUT;
  wcsncpy(pInfo->achName, kName, MAX_PIN_NAME - 1);
  return S_OK;
}

STDMETHODIMP AviWriterPin::QueryDirection(PIN_DIRECTION* pPinDir) {
  if (!pPinDir) return E_POINTER;
  *pPinDir = PINDIR_INPUT;
  return S_OK;
}

STDMETHODIMP AviWriterPin::QueryId(LPWSTR* Id) {
  if (!Id) return E_POINTER;
  *Id = static_cast<LPWSTR>(CoTaskMemAlloc(sizeof(kName)));
  if (!*Id) return E_OUTOFMEMORY;
  std::memcpy(*Id, kName, sizeof(kName));
  return S_OK;
}

// Video described by a VIDEOINFOHEADER with a picture size; any compression.
STDMETHODIMP AviWriterPin::QueryAccept(const AM_MEDIA_TYPE* pmt) {
  if (!pmt) return E_POINTER;
  if (!IsEqualGUID(pmt->majortype, MEDIATYPE_Video) || !IsEqualGUID(pmt->formattype, FORMAT_VideoInfo) ||
      !pmt->pbFormat || pmt->cbFormat < sizeof(VIDEOINFOHEADER))
    return S_FALSE;
  const auto* info = reinterpret_cast<const VIDEOINFOHEADER*>(pmt->pbFormat);
  return info->bmiHeader.biWidth > 0 && info->bmiHeader.biHeight != 0 ? S_OK : S_FALSE;
}

// The pin proposes no type: it takes what the upstream pin offers.
STDMETHODIMP AviWriterPin::EnumMediaTypes(IEnumMediaTypes** ppEnum) {
  return ComBoundary([&]() -> HRESULT {
    return lmcam::CreateMediaTypeEnumerator(static_cast<IPin*>(this), {}, ppEnum);
  });
}

STDMETHODIMP AviWriterPin::QueryInternalConnections(IPin**, ULONG*) { return E_NOTIMPL; }
STDMETHODIMP AviWriterPin::EndOfStream() { return S_OK; }
STDMETHODIMP AviWriterPin::BeginFlush() { return S_OK; }
STDMETHODIMP AviWriterPin::EndFlush() { return S_OK; }
STDMETHODIMP AviWriterPin::NewSegment(REFERENCE_TIME, REFERENCE_TIME, double) { return S_OK; }

// Offers a plain memory allocator, made on first request, to an upstream pin that has none.
STDMETHODIMP AviWriterPin::GetAllocator(IMemAllocator** ppAllocator) {
  return ComBoundary([&]() -> HRESULT {
    if (!ppAllocator) return E_POINTER;
    *ppAllocator = nullptr;
    std::lock_guard lock(m_Filter->StateLock());
    if (!m_Allocator) {
      const HRESULT hr = CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER, IID_IMemAllocator,
                                          reinterpret_cast<void**>(m_Allocator.GetAddressOf()));
      if (FAILED(hr)) return hr;
    }
    *ppAllocator = m_Allocator.Get();
    (*ppAllocator)->AddRef();
    return S_OK;
  });
}

STDMETHODIMP AviWriterPin::NotifyAllocator(IMemAllocator* pAllocator, BOOL) {
  if (!pAllocator) return E_POINTER;
  std::lock_guard lock(m_Filter->StateLock());
  m_Allocator = pAllocator;
  return S_OK;
}

STDMETHODIMP AviWriterPin::GetAllocatorRequirements(ALLOCATOR_PROPERTIES*) { return E_NOTIMPL; }

STDMETHODIMP AviWriterPin::Receive(IMediaSample* pSample) {
  return ComBoundary([&]() -> HRESULT {
    if (!pSample) return E_POINTER;
    return m_Filter->WriteSample(pSample);
  });
}

STDMETHODIMP AviWriterPin::ReceiveMultiple(IMediaSample** pSamples, long nSamples, long* nSamplesProcessed) {
  if (!pSamples || !nSamplesProcessed) return E_POINTER;
  *nSamplesProcessed = 0;
  HRESULT hr = S_OK;
  while (*nSamplesProcessed < nSamples && (hr = Receive(pSamples[*nSamplesProcessed])) == S_OK) ++*nSamplesProcessed;
  return hr;
}

// Receive writes to the file before it returns.
STDMETHODIMP AviWriterPin::ReceiveCanBlock() { return S_OK; }

}  // namespace lmbuilder
