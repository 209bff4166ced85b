#pragma once

// The capture graph builder that the test and demo prefixes register under
// CLSID_CaptureGraphBuilder2: the platform's own builder (from qcap.dll) does everything except
// SetOutputFileName, which builds the file branch itself (see LmTestCaptureBuilder.h).

#include <windows.h>

#include <dshow.h>
#include <wrl/client.h>

#include <utility>

namespace lmbuilder {

class CaptureBuilder : public ICaptureGraphBuilder2 {
public:
  using PrimaryInterface = ICaptureGraphBuilder2;

  static HRESULT Create(REFCLSID Clsid, REFIID riid, void** ppv);

  // IUnknown (AddRef and Release come from ComObject)
  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
  STDMETHODIMP_(ULONG) AddRef() override = 0;
  STDMETHODIMP_(ULONG) Release() override = 0;

  // ICaptureGraphBuilder2
  STDMETHODIMP SetFiltergraph(IGraphBuilder* pfg) override;
  STDMETHODIMP GetFiltergraph(IGraphBuilder** ppfg) override;
  STDMETHODIMP SetOutputFileName(const GUID* pType, LPCOLESTR lpstrFile, IBaseFilter** ppf,
                                 IFileSinkFilter** ppSink) override;
  STDMETHODIMP FindInterface(const GUID* pCategory, const GUID* pType, IBaseFilter* pf, REFIID riid,
                             void** ppint) override;
  STDMETHODIMP RenderStream(const GUID* pCategory, const GUID* pType, IUnknown* pSource, IBaseFilter* pfCompressor,
                            IBaseFilter* pfRenderer) override;
  STDMETHODIMP ControlStream(const GUID* pCategory, const GUID* pType, IBaseFilter* pFilter, REFERENCE_TIME* pstart,
                             REFERENCE_TIME* pstop, WORD wStartCookie, WORD wStopCookie) override;
  STDMETHODIMP AllocCapFile(LPCOLESTR lpstr, DWORDLONG dwlSize) override;
  STDMETHODIMP CopyCaptureFile(LPOLESTR lpwstrOld, LPOLESTR lpwstrNew, int fAllowEscAbort,
                               IAMCopyCaptureFileProgress* pCallback) override;
  STDMETHODIMP FindPin(IUnknown* pSource, PIN_DIRECTION pindir, const GUID* pCategory, const GUID* pType,
                       BOOL fUnconnected, int num, IPin** ppPin) override;

protected:
  explicit CaptureBuilder(Microsoft::WRL::ComPtr<ICaptureGraphBuilder2> Platform)
      : m_Platform(std::move(Platform)) {}
  virtual ~CaptureBuilder() = default;

private:
  // Creates a file writer Filter (named Name) for File, adds it to the builder's graph and
  // hands out its two interfaces.
  HRESULT AddFileWriter(IBaseFilter* Filter, const wchar_t* Name, LPCOLESTR File, IBaseFilter** ppf,
                        IFileSinkFilter** ppSink);

  const Microsoft::WRL::ComPtr<ICaptureGraphBuilder2> m_Platform;
};

}  // namespace lmbuilder
