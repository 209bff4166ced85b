#pragma once

// The input pin "In" of the AVI File Writer: accepts MEDIATYPE_Video with FORMAT_VideoInfo and
// passes each sample to its filter. A part of the filter: it shares the filter's reference
// count, and its fields are guarded by the filter's StateLock(); a connection changes only
// while the filter is stopped, so the connected type stays fixed while samples are written.

#include <windows.h>

#include <dshow.h>
#include <wrl/client.h>

#include "testcam/MediaType.h"

namespace lmbuilder {

class AviWriterFilter;

class AviWriterPin : public IPin, public IMemInputPin {
public:
  explicit AviWriterPin(AviWriterFilter* Filter) : m_Filter(Filter) {}
  virtual ~AviWriterPin() = default;

  // IUnknown (AddRef and Release are the filter's, through ComPart)
  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
  STDMETHODIMP_(ULONG) AddRef() override = 0;
  STDMETHODIMP_(ULONG) Release() override = 0;

  // IPin
  STDMETHODIMP Connect(IPin* pReceivePin, const AM_MEDIA_TYPE* pmt) override;
  STDMETHODIMP ReceiveConnection(IPin* pConnector, const AM_MEDIA_TYPE* pmt) override;
  STDMETHODIMP Disconnect() override;
  STDMETHODIMP ConnectedTo(IPin** pPin) override;
  STDMETHODIMP ConnectionMediaType(AM_MEDIA_TYPE* pmt) override;
  STDMETHODIMP QueryPinInfo(PIN_INFO* pInfo) override;
  STDMETHODIMP QueryDirection(PIN_DIRECTION* pPinDir) override;
  STDMETHODIMP QueryId(LPWSTR* Id) override;
  STDMETHODIMP QueryAccept(const AM_MEDIA_TYPE* pmt) override;
  STDMETHODIMP EnumMediaTypes(IEnumMediaTypes** ppEnum) override;
  STDMETHODIMP QueryInternalConnections(IPin** apPin, ULONG* nPin) override;
  STDMETHODIMP EndOfStream() override;
  STDMETHODIMP BeginFlush() override;
  STDMETHODIMP EndFlush() override;
  STDMETHODIMP NewSegment(REFERENCE_TIME tStart, REFERENCE_TIME tStop, double dRate) override;

  // IMemInputPin
  STDMETHODIMP GetAllocator(IMemAllocator** ppAllocator) override;
  STDMETHODIMP NotifyAllocator(IMemAllocator* pAllocator, BOOL bReadOnly) override;
  STDMETHODIMP GetAllocatorRequirements(ALLOCATOR_PROPERTIES* pProps) override;
  STDMETHODIMP Receive(IMediaSample* pSample) override;
  STDMETHODIMP ReceiveMultiple(IMediaSample** pSamples, long nSamples, long* nSamplesProcessed) override;
  STDMETHODIMP ReceiveCanBlock() override;

  // For the filter, under its StateLock(): the connected type, or nullptr when not connected.
  const AM_MEDIA_TYPE* ConnectedTypeLocked() const { return m_Connected ? &m_Type.Get() : nullptr; }

  static constexpr wchar_t kName[] = L"In";

private:
  AviWriterFilter* const m_Filter;  // raw: the filter owns this pin and shares its count
  Microsoft::WRL::ComPtr<IPin> m_Connected;
  lmcam::MediaType m_Type;
  Microsoft::WRL::ComPtr<IMemAllocator> m_Allocator;
};

}  // namespace lmbuilder
