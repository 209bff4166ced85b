#include "testcam/CaptureFilter.h"

#include <algorithm>
#include <cwchar>
#include <new>

#include "testcam/Capabilities.h"
#include "testcam/ComBoundary.h"
#include "testcam/CapturePin.h"
#include "testcam/Enumerators.h"
#include "testcam/LiveCameras.h"
#include "testcam/LmTestCam.h"
#include "testcam/PropertyPageBase.h"

using Microsoft::WRL::ComPtr;

namespace lmcam {
namespace {

// What an unplugged camera answers to Pause from Stopped and to Run.
const HRESULT kDeviceGone = HRESULT_FROM_WIN32(ERROR_DEVICE_NOT_CONNECTED);

}  // namespace

HRESULT CaptureFilter::Create(REFCLSID Clsid, REFIID riid, void** ppv) {
  return ComBoundary([&]() -> HRESULT {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (!DeviceNameOf(Clsid)) return CLASS_E_CLASSNOTAVAILABLE;
    return CreateComObject<CaptureFilter>(riid, ppv, Clsid);
  });
}

const wchar_t* CaptureFilter::DeviceNameOf(REFCLSID Clsid) {
  if (IsEqualCLSID(Clsid, CLSID_LmTestCamera)) return kLmTestCameraName;
  if (IsEqualCLSID(Clsid, CLSID_LmTestCameraPreview)) return kLmTestCameraPreviewName;
  if (IsEqualCLSID(Clsid, CLSID_LmTestCameraUvc)) return kLmTestCameraUvcName;
  return nullptr;
}

CaptureFilter::CaptureFilter(REFCLSID Clsid)
    : m_Clsid(Clsid), m_DeviceName(DeviceNameOf(Clsid)), m_Settings(IsEqualCLSID(Clsid, CLSID_LmTestCameraUvc)) {
  const bool uvc = IsEqualCLSID(Clsid, CLSID_LmTestCameraUvc);
  const CapabilityList& formats = uvc ? UvcCameraCapabilities() : RgbCameraCapabilities();
  // The pins and the settings' parts count on this filter, which is the IUnknown they forward
  // to.
  IUnknown* self = static_cast<IBaseFilter*>(this);
  m_VideoProcAmp = std::make_unique<ComPart<DeviceControl<IAMVideoProcAmp>>>(self, self, m_Settings);
  if (m_Settings.HasGroup(SettingGroup::CameraControl))
    m_CameraControl = std::make_unique<ComPart<DeviceControl<IAMCameraControl>>>(self, self, m_Settings);
  m_Pins.push_back(std::make_unique<ComPart<CapturePin>>(self, this, L"Capture", PIN_CATEGORY_CAPTURE, formats));
  if (IsEqualCLSID(Clsid, CLSID_LmTestCameraPreview))
    m_Pins.push_back(std::make_unique<ComPart<CapturePin>>(self, this, L"Preview", PIN_CATEGORY_PREVIEW, formats));
  // Last: a constructor that throws leaves nothing behind in the list.
  AddLiveCamera(this);
}

CaptureFilter::~CaptureFilter() {
  // First: the controller no longer reaches this filter once it starts going.
  RemoveLiveCamera(this);
  // The last reference can go while running only if a client broke the rules; still end the
  // threads before the pins go.
  Stop();
}

CapturePin* CaptureFilter::Pin(size_t Index) const { return m_Pins.at(Index).get(); }

STDMETHODIMP CaptureFilter::QueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IPersist) || IsEqualIID(riid, IID_IMediaFilter) ||
      IsEqualIID(riid, IID_IBaseFilter)) {
    *ppv = static_cast<IBaseFilter*>(this);
    AddRef();
    return S_OK;
  }
  if (AnswerInterface<IAMFilterMiscFlags>(this, riid, ppv) || AnswerInterface<ISpecifyPropertyPages>(this, riid, ppv) ||
      AnswerInterface<IAMVideoProcAmp>(m_VideoProcAmp.get(), riid, ppv))
    return S_OK;
  if (m_CameraControl && AnswerInterface<IAMCameraControl>(m_CameraControl.get(), riid, ppv)) return S_OK;
  return E_NOINTERFACE;
}

STDMETHODIMP CaptureFilter::GetClassID(CLSID* pClassID) {
  if (!pClassID) return E_POINTER;
  *pClassID = m_Clsid;
  return S_OK;
}

HRESULT CaptureFilter::StartStreaming() {
  for (const auto& pin : m_Pins) {
    if (!pin->IsConnected()) continue;
    const HRESULT hr = pin->StartStreaming();
    if (FAILED(hr)) return hr;
  }
  return S_OK;
}

STDMETHODIMP CaptureFilter::Stop() {
  return ComBoundary([&]() -> HRESULT {
    std::lock_guard stateChange(m_StateChange);
    {
      std::lock_guard lock(m_Lock);
      if (m_State == State_Stopped) return S_OK;
      m_State = State_Stopped;
    }
    // Outside m_Lock: a thread blocked downstream may need a call into this filter to return.
    for (const auto& pin : m_Pins) pin->StopStreaming();
    return S_OK;
  });
}

// Called with m_Lock held: starts the pins' streaming threads and enters Paused; on failure
// stops what started (outside the lock, since the threads take it) and stays Stopped.
HRESULT CaptureFilter::PauseFromStopped() {
  if (m_Unplugged) return kDeviceGone;
  m_Failed = false;  // a new stream
  m_State = State_Paused;
  const HRESULT hr = StartStreaming();
  if (SUCCEEDED(hr)) return S_OK;
  m_State = State_Stopped;
  m_Lock.unlock();
  for (const auto& pin : m_Pins) pin->StopStreaming();
  m_Lock.lock();
  return hr;
}

STDMETHODIMP CaptureFilter::Pause() {
  return ComBoundary([&]() -> HRESULT {
    std::lock_guard stateChange(m_StateChange);
    std::lock_guard lock(m_Lock);
    if (m_State == State_Stopped) return PauseFromStopped();
    m_State = State_Paused;
    for (const auto& pin : m_Pins) pin->Wake();
    return S_OK;
  });
}

STDMETHODIMP CaptureFilter::Run(REFERENCE_TIME tStart) {
  return ComBoundary([&]() -> HRESULT {
    std::lock_guard stateChange(m_StateChange);
    std::lock_guard lock(m_Lock);
    if (m_Unplugged) return kDeviceGone;
    if (m_State == State_Stopped) {
      const HRESULT hr = PauseFromStopped();
      if (FAILED(hr)) return hr;
    }
    m_StartTime = tStart;
    m_State = State_Running;
    for (const auto& pin : m_Pins) pin->Wake();
    return S_OK;
  });
}

STDMETHODIMP CaptureFilter::GetState(DWORD, FILTER_STATE* State) {
  if (!State) return E_POINTER;
  *State = m_State.load();
  // A live source cannot cue data while paused.
  return *State == State_Paused ? VFW_S_CANT_CUE : S_OK;
}

STDMETHODIMP CaptureFilter::SetSyncSource(IReferenceClock* pClock) {
  std::lock_guard lock(m_Lock);
  m_Clock = pClock;
  return S_OK;
}

STDMETHODIMP CaptureFilter::GetSyncSource(IReferenceClock** pClock) {
  if (!pClock) return E_POINTER;
  std::lock_guard lock(m_Lock);
  *pClock = m_Clock.Get();
  if (*pClock) (*pClock)->AddRef();
  return S_OK;
}

STDMETHODIMP CaptureFilter::EnumPins(IEnumPins** ppEnum) {
  return ComBoundary([&]() -> HRESULT {
    if (!ppEnum) return E_POINTER;
    std::vector<ComPtr<IPin>> pins;
    for (const auto& pin : m_Pins) pins.emplace_back(static_cast<IPin*>(pin.get()));
    return CreatePinEnumerator(static_cast<IBaseFilter*>(this), pins, ppEnum);
  });
}

STDMETHODIMP CaptureFilter::FindPin(LPCWSTR Id, IPin** ppPin) {
  if (!ppPin) return E_POINTER;
  *ppPin = nullptr;
  if (!Id) return E_POINTER;
  for (const auto& pin : m_Pins) {
    if (pin->Name() == Id) {
      *ppPin = static_cast<IPin*>(pin.get());
      (*ppPin)->AddRef();
      return S_OK;
    }
  }
  return VFW_E_NOT_FOUND;
}

STDMETHODIMP CaptureFilter::QueryFilterInfo(FILTER_INFO* pInfo) {
  if (!pInfo) return E_POINTER;
  std::lock_guard lock(m_Lock);
  const size_t length = std::min(m_Name.size(), std::size(pInfo->achName) - 1);
  std::wmemcpy(pInfo->achName, m_Name.c_str(), length);
  pInfo->achName[length] = L'\0';
  pInfo->pGraph = m_Graph;
  if (pInfo->pGraph) pInfo->pGraph->AddRef();
  return S_OK;
}

STDMETHODIMP CaptureFilter::JoinFilterGraph(IFilterGraph* pGraph, LPCWSTR pName) {
  return ComBoundary([&]() -> HRESULT {
    std::lock_guard lock(m_Lock);
    m_Graph = pGraph;
    m_Name = pName ? pName : L"";
    m_EventSink = nullptr;
    if (pGraph) {
      // Keep no reference: the graph holds this filter, and the sink is part of the graph.
      ComPtr<IMediaEventSink> sink;
      if (SUCCEEDED(pGraph->QueryInterface(IID_PPV_ARGS(&sink)))) m_EventSink = sink.Get();
    }
    return S_OK;
  });
}

STDMETHODIMP CaptureFilter::QueryVendorInfo(LPWSTR* pVendorInfo) {
  if (!pVendorInfo) return E_POINTER;
  *pVendorInfo = nullptr;
  return E_NOTIMPL;
}

STDMETHODIMP_(ULONG) CaptureFilter::GetMiscFlags() { return AM_FILTER_MISC_FLAGS_IS_SOURCE; }

STDMETHODIMP CaptureFilter::GetPages(CAUUID* pPages) { return OnePropertyPage(pPages, CLSID_LmTestCameraPropertyPage); }

// The controller's actions

void CaptureFilter::NotifyGraph(long Code, LONG_PTR Param1, LONG_PTR Param2) {
  // No reference is taken: the graph calls JoinFilterGraph(nullptr), which waits for m_Lock,
  // before it goes.
  if (m_EventSink) m_EventSink->Notify(Code, Param1, Param2);
}

void CaptureFilter::WakePins() {
  for (const auto& pin : m_Pins) pin->Wake();
}

void CaptureFilter::Unplug() {
  std::lock_guard lock(m_Lock);
  m_Unplugged = true;
  // EC_DEVICE_LOST names the device by its IUnknown; 0: the device was removed.
  NotifyGraph(EC_DEVICE_LOST, reinterpret_cast<LONG_PTR>(static_cast<IUnknown*>(static_cast<IBaseFilter*>(this))), 0);
}

void CaptureFilter::SetStalled(bool Stalled) {
  std::lock_guard lock(m_Lock);
  m_Stalled = Stalled;
  WakePins();
}

void CaptureFilter::Fail(HRESULT Error) {
  std::lock_guard lock(m_Lock);
  m_Failed = true;
  NotifyGraph(EC_ERRORABORT, Error, 0);
}

void CaptureFilter::Replug() {
  std::lock_guard lock(m_Lock);
  const bool wasUnplugged = m_Unplugged.exchange(false);
  m_Stalled = false;
  m_Failed = false;
  WakePins();
  // 1: the device is available again.
  if (wasUnplugged)
    NotifyGraph(EC_DEVICE_LOST, reinterpret_cast<LONG_PTR>(static_cast<IUnknown*>(static_cast<IBaseFilter*>(this))), 1);
}

}  // namespace lmcam
