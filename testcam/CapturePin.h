#pragma once

// An output pin of the camera: "Capture" (PIN_CATEGORY_CAPTURE) or "Preview"
// (PIN_CATEGORY_PREVIEW). It negotiates the connection and the allocator, offers its formats
// through IAMStreamConfig, names its category through IKsPropertySet, and runs the streaming
// thread that draws and delivers the frames.
//
// The pin is a part of its filter: it shares the filter's reference count and lock.

#include <windows.h>

#include <dshow.h>
#include <wrl/client.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "testcam/Capabilities.h"
#include "testcam/FramePainter.h"
#include "testcam/MediaType.h"

namespace lmcam {

class CaptureFilter;

class CapturePin : public IPin, public IAMStreamConfig, public IKsPropertySet, public ISpecifyPropertyPages {
public:
  // Capabilities: the formats the pin offers (one of the lists of Capabilities.h).
  CapturePin(CaptureFilter* Filter, std::wstring Name, REFGUID Category, const CapabilityList& Capabilities);
  virtual ~CapturePin();

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

  // IAMStreamConfig
  STDMETHODIMP SetFormat(AM_MEDIA_TYPE* pmt) override;
  STDMETHODIMP GetFormat(AM_MEDIA_TYPE** ppmt) override;
  STDMETHODIMP GetNumberOfCapabilities(int* piCount, int* piSize) override;
  STDMETHODIMP GetStreamCaps(int iIndex, AM_MEDIA_TYPE** ppmt, BYTE* pSCC) override;

  // IKsPropertySet
  STDMETHODIMP Set(REFGUID guidPropSet, DWORD dwPropID, LPVOID pInstanceData, DWORD cbInstanceData,
                   LPVOID pPropData, DWORD cbPropData) override;
  STDMETHODIMP Get(REFGUID guidPropSet, DWORD dwPropID, LPVOID pInstanceData, DWORD cbInstanceData,
                   LPVOID pPropData, DWORD cbPropData, DWORD* pcbReturned) override;
  STDMETHODIMP QuerySupported(REFGUID guidPropSet, DWORD dwPropID, DWORD* pTypeSupport) override;

  // ISpecifyPropertyPages
  STDMETHODIMP GetPages(CAUUID* pPages) override;

  // For the filter, under its state-change lock.
  const std::wstring& Name() const { return m_Name; }
  bool IsConnected() const;
  // Stopped -> Paused: commits the allocator and starts the streaming thread, which waits
  // until the filter runs (also under the filter lock).
  HRESULT StartStreaming();
  // Wakes the streaming thread to look at the filter's state again.
  void Wake();
  // -> Stopped: ends the streaming thread, joins it, then decommits the allocator. Called
  // without the filter lock, since the thread may be inside a call that needs it downstream.
  void StopStreaming();

private:
  // The types the pin offers: the format set by SetFormat alone, if any, otherwise every
  // capability at its default frame rate.
  std::vector<MediaType> OfferedTypes() const;
  // Whether a connection may use Type: a capability, and the set format if there is one.
  bool AcceptsConnection(const AM_MEDIA_TYPE& Type) const;
  // The format of the next connection: the connected one, the set one, or the default.
  MediaType CurrentFormat() const;
  HRESULT AttemptConnection(IPin* Receiver, const AM_MEDIA_TYPE& Type);
  HRESULT DecideAllocator(IMemInputPin* Input, IMemAllocator** Result);
  HRESULT DecideBufferSize(IMemAllocator* Allocator, const ALLOCATOR_PROPERTIES& Wanted);
  void ClearConnection();
  // What the streaming thread works with, copied when it starts: a Disconnect cannot take
  // the allocator or the receiving pin away from under it.
  struct StreamSetup {
    Microsoft::WRL::ComPtr<IMemInputPin> Input;
    Microsoft::WRL::ComPtr<IMemAllocator> Allocator;
    Microsoft::WRL::ComPtr<IReferenceClock> Clock;  // none: the thread keeps its own time
    IMediaEventSink* Events = nullptr;              // raw: the graph outlives the thread
    std::unique_ptr<FramePainter> Painter;  // draws the connected format
    REFERENCE_TIME FrameInterval = 0;
  };
  void StreamLoop(StreamSetup Setup);

  CaptureFilter* const m_Filter;  // raw: the filter owns this pin and shares its count
  const std::wstring m_Name;
  const GUID m_Category;
  const CapabilityList& m_Capabilities;

  // Under the filter lock; fixed while the filter is not stopped, so that the streaming
  // thread reads them freely.
  Microsoft::WRL::ComPtr<IPin> m_Connected;
  Microsoft::WRL::ComPtr<IMemInputPin> m_MemInput;
  Microsoft::WRL::ComPtr<IMemAllocator> m_Allocator;
  MediaType m_ConnectionType;
  MediaType m_SetFormat;  // empty until SetFormat succeeds

  // Under the filter's state-change lock.
  std::thread m_Thread;
  Microsoft::WRL::ComPtr<IMemAllocator> m_StreamAllocator;  // the one the thread uses
  // Shared with the streaming thread.
  HANDLE m_Wake = nullptr;                // auto-reset event: look at the state again
  std::atomic<bool> m_EndStreaming{false};
};

}  // namespace lmcam
