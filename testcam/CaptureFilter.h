#pragma once

// The camera filter: a live video source with one "Capture" pin, or a "Capture" and a
// "Preview" pin, that delivers the test pattern at the configured frame rate in the formats of
// its variant (LmTestCam.h).
//
// Locks: m_StateChange serialises Stop / Pause / Run (and is held while the streaming threads
// are joined); m_Lock guards the fields of the filter and its pins. The streaming threads take
// neither: they read the state, the start time and whether to deliver from atomics.
//
// Its settings (CameraSettings) are reached through the parts that implement IAMVideoProcAmp
// and, on the UVC camera, IAMCameraControl; the streaming threads read them for each frame.
//
// The controller (CameraController) unplugs, stalls, fails and plugs back a live filter: it
// takes m_Lock only to change the flags and to send the event, never m_StateChange, and never
// waits for a streaming thread.

#include <windows.h>

#include <dshow.h>
#include <wrl/client.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "testcam/CameraSettings.h"
#include "testcam/ComObject.h"
#include "testcam/DeviceControl.h"

namespace lmcam {

class CapturePin;

class CaptureFilter : public IBaseFilter, public IAMFilterMiscFlags, public ISpecifyPropertyPages {
public:
  using PrimaryInterface = IBaseFilter;

  // Creates the filter of class Clsid (CLSID_LmTestCamera, CLSID_LmTestCameraPreview or
  // CLSID_LmTestCameraUvc).
  static HRESULT Create(REFCLSID Clsid, REFIID riid, void** ppv);
  // The friendly name of the camera of class Clsid, or nullptr for another class.
  static const wchar_t* DeviceNameOf(REFCLSID Clsid);

  // IUnknown (AddRef and Release come from ComObject)
  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
  STDMETHODIMP_(ULONG) AddRef() override = 0;
  STDMETHODIMP_(ULONG) Release() override = 0;

  // IPersist
  STDMETHODIMP GetClassID(CLSID* pClassID) override;

  // IMediaFilter
  STDMETHODIMP Stop() override;
  STDMETHODIMP Pause() override;
  STDMETHODIMP Run(REFERENCE_TIME tStart) override;
  STDMETHODIMP GetState(DWORD dwMilliSecsTimeout, FILTER_STATE* State) override;
  STDMETHODIMP SetSyncSource(IReferenceClock* pClock) override;
  STDMETHODIMP GetSyncSource(IReferenceClock** pClock) override;

  // IBaseFilter
  STDMETHODIMP EnumPins(IEnumPins** ppEnum) override;
  STDMETHODIMP FindPin(LPCWSTR Id, IPin** ppPin) override;
  STDMETHODIMP QueryFilterInfo(FILTER_INFO* pInfo) override;
  STDMETHODIMP JoinFilterGraph(IFilterGraph* pGraph, LPCWSTR pName) override;
  STDMETHODIMP QueryVendorInfo(LPWSTR* pVendorInfo) override;

  // IAMFilterMiscFlags
  STDMETHODIMP_(ULONG) GetMiscFlags() override;

  // ISpecifyPropertyPages
  STDMETHODIMP GetPages(CAUUID* pPages) override;

  // For the pins.
  std::recursive_mutex& Lock() { return m_Lock; }
  FILTER_STATE State() const { return m_State.load(); }
  // The graph the filter joined, or nullptr (under Lock()).
  IFilterGraph* Graph() const { return m_Graph; }
  // Where the streaming threads report events, or nullptr (under Lock()).
  IMediaEventSink* EventSink() const { return m_EventSink; }
  // The stream start time of the last Run, in reference clock time.
  REFERENCE_TIME StartTime() const { return m_StartTime.load(); }
  // The reference clock, or nullptr (under Lock()).
  IReferenceClock* Clock() const { return m_Clock.Get(); }
  const std::wstring& DeviceName() const { return m_DeviceName; }
  size_t PinCount() const { return m_Pins.size(); }
  CapturePin* Pin(size_t Index) const;
  // The camera's settings (any thread).
  const CameraSettings& Settings() const { return m_Settings; }
  // For the streaming threads: whether frames may go out (not unplugged, stalled or failed).
  bool Delivers() const { return !m_Unplugged && !m_Stalled && !m_Failed; }

  // For the controller (LmTestCam.h): the device removed, hung or failed, and back again.
  void Unplug();
  void SetStalled(bool Stalled);
  void Fail(HRESULT Error);
  void Replug();

protected:
  explicit CaptureFilter(REFCLSID Clsid);
  virtual ~CaptureFilter();

private:
  // Stopped -> Paused: commits the allocators and starts the streaming threads (under both
  // locks).
  HRESULT StartStreaming();
  HRESULT PauseFromStopped();
  // Sends an event to the graph's sink, naming this filter when Code is EC_DEVICE_LOST (under
  // m_Lock, so that the graph cannot let go of the filter meanwhile).
  void NotifyGraph(long Code, LONG_PTR Param1, LONG_PTR Param2);
  void WakePins();

  const CLSID m_Clsid;
  const std::wstring m_DeviceName;
  std::vector<std::unique_ptr<ComPart<CapturePin>>> m_Pins;  // fixed after construction
  CameraSettings m_Settings;                                  // has a lock of its own
  // Fixed after construction; the RGB cameras have no camera control.
  std::unique_ptr<ComPart<DeviceControl<IAMVideoProcAmp>>> m_VideoProcAmp;
  std::unique_ptr<ComPart<DeviceControl<IAMCameraControl>>> m_CameraControl;

  std::mutex m_StateChange;       // any thread changing the state; never the streaming threads
  std::recursive_mutex m_Lock;    // any thread; never the streaming threads
  std::atomic<FILTER_STATE> m_State{State_Stopped};  // written under both locks, read by all
  std::atomic<REFERENCE_TIME> m_StartTime{0};        // written under both locks by Run
  Microsoft::WRL::ComPtr<IReferenceClock> m_Clock;   // under m_Lock
  IFilterGraph* m_Graph = nullptr;           // raw: the graph holds the filter (under m_Lock)
  IMediaEventSink* m_EventSink = nullptr;    // raw: an interface of m_Graph (under m_Lock)
  std::wstring m_Name;                       // given by JoinFilterGraph (under m_Lock)
  // Set by the controller under m_Lock, read by every thread. A failure lasts until the next
  // stream starts (Stopped -> Paused).
  std::atomic<bool> m_Unplugged{false};
  std::atomic<bool> m_Stalled{false};
  std::atomic<bool> m_Failed{false};
};

}  // namespace lmcam
