#pragma once

// The AVI File Writer: a renderer filter with one input pin that writes the video it receives
// into an AVI file (AviFile), and IFileSinkFilter2 to name the file and set its mode. See
// LmTestCaptureBuilder.h for its behaviour.
//
// Locking: m_Lock guards every field of the filter and its pin. The streaming thread holds it
// while it writes a sample, so Stop, which completes the file under it, waits for a sample
// being written and refuses the ones after it.

#include <windows.h>

#include <dshow.h>
#include <wrl/client.h>

#include <memory>
#include <mutex>
#include <string>

#include "testbuilder/AviFile.h"
#include "testcam/ComObject.h"
#include "testcam/MediaType.h"

namespace lmbuilder {

class AviWriterPin;

class AviWriterFilter : public IBaseFilter, public IFileSinkFilter2 {
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

  // For the pin.
  std::mutex& Lock() { return m_Lock; }
  FILTER_STATE StateLocked() const { return m_State; }  // under Lock()
  // Writes one sample into the file (takes Lock()); VFW_E_WRONG_STATE while stopped.
  HRESULT WriteSample(IMediaSample* Sample);

protected:
  AviWriterFilter();
  virtual ~AviWriterFilter();

private:
  HRESULT PauseLocked();

  std::unique_ptr<lmcam::ComPart<AviWriterPin>> m_Pin;  // fixed after construction

  std::mutex m_Lock;
  FILTER_STATE m_State = State_Stopped;
  Microsoft::WRL::ComPtr<IReferenceClock> m_Clock;
  IFilterGraph* m_Graph = nullptr;  // raw: the graph holds the filter, and clears this when it lets go
  std::wstring m_Name;              // given by JoinFilterGraph
  std::wstring m_FileName;
  lmcam::MediaType m_FileType;      // given with the file name, if any
  DWORD m_Mode = 0;                 // 0 or AM_FILE_OVERWRITE
  AviFile m_File;                   // open from Stopped -> Paused until Stop
};

}  // namespace lmbuilder
