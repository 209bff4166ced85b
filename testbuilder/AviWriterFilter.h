#pragma once

// The AVI File Writer: a renderer filter with one input pin that writes the video it receives
// into an AVI file (AviFile), IFileSinkFilter2 to name the file and set its mode, and the
// tests' full-disk switch ILmAviWriterDiskFull. See LmTestCaptureBuilder.h for its behaviour.
//
// Locking, as a live source does it: the lock that answers questions is never held across disk
// I/O. Three locks, always taken in this order:
//   m_StateChange  serialises Stop, Pause and Run (held while the file is opened or completed);
//   m_StreamLock   guards the file: the streaming thread holds it while it writes a sample, and
//                  the state changes to and from Stopped hold it while they open or complete
//                  the file, so Stop waits for a sample being written and refuses the ones after;
//   m_StateLock    guards the other fields of the filter and of its pin, held only to read or
//                  change them: GetState, Pause from Paused or Running, ConnectedTo and the rest
//                  answer while a frame is being written.
// m_State changes to or from Stopped under m_StreamLock and m_StateLock both, so the writer,
// holding m_StreamLock, sees a state that stays "not Stopped" while it writes.

#include <windows.h>

#include <dshow.h>
#include <wrl/client.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <string>

#include "testbuilder/AviFile.h"
#include "testbuilder/LmTestCaptureBuilder.h"
#include "testcam/ComObject.h"
#include "testcam/MediaType.h"

namespace lmbuilder {

class AviWriterPin;

class AviWriterFilter : public IBaseFilter, public IFileSinkFilter2, public ILmAviWriterDiskFull {
public:
  using PrimaryInterface = IBaseFilter;

  static HRESULT Create(REFIID riid, void** ppv);

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

  // IFileSinkFilter
  STDMETHODIMP SetFileName(LPCOLESTR pszFileName, const AM_MEDIA_TYPE* pmt) override;
  STDMETHODIMP GetCurFile(LPOLESTR* ppszFileName, AM_MEDIA_TYPE* pmt) override;
  // IFileSinkFilter2
  STDMETHODIMP SetMode(DWORD dwFlags) override;
  STDMETHODIMP GetMode(DWORD* pdwFlags) override;

  // ILmAviWriterDiskFull
  STDMETHODIMP FailWritesAfter(ULONGLONG Bytes) override;

  // For the pin.
  std::mutex& StateLock() { return m_StateLock; }
  FILTER_STATE State() const { return m_State.load(); }
  // Writes one sample into the file (takes the stream lock only); VFW_E_WRONG_STATE while
  // stopped. The first sample of a file that cannot be written is reported to the graph.
  HRESULT WriteSample(IMediaSample* Sample);

protected:
  AviWriterFilter();
  virtual ~AviWriterFilter();

private:
  // Stopped -> Paused: opens the file for the connected type, if any (under m_StateChange).
  HRESULT PauseFromStopped();
  void SetState(FILTER_STATE State);  // under m_StateChange, and m_StreamLock to or from Stopped
  // Sends EC_ERRORABORT with Error to the graph, if the filter is in one (takes no lock of the
  // stream's).
  void ReportWriteFailure(HRESULT Error);

  std::unique_ptr<lmcam::ComPart<AviWriterPin>> m_Pin;  // fixed after construction

  std::mutex m_StateChange;
  std::mutex m_StreamLock;
  std::mutex m_StateLock;
  std::atomic<FILTER_STATE> m_State{State_Stopped};  // see above; read by any thread

  // Under m_StateLock.
  Microsoft::WRL::ComPtr<IReferenceClock> m_Clock;
  IFilterGraph* m_Graph = nullptr;  // raw: the graph holds the filter, and clears this when it lets go
  std::wstring m_Name;              // given by JoinFilterGraph
  std::wstring m_FileName;
  lmcam::MediaType m_FileType;      // given with the file name, if any
  DWORD m_Mode = 0;                 // 0 or AM_FILE_OVERWRITE

  // Under m_StreamLock: the file, open from Stopped -> Paused until Stop, whether its frames
  // may depend on others (else every frame is a key frame), and whether a frame that could not
  // be written was reported.
  AviFile m_File;
  bool m_TemporalCompression = false;
  bool m_WriteFailureReported = false;  // for the file open now
};

}  // namespace lmbuilder
