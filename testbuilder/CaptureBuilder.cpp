#include "testbuilder/CaptureBuilder.h"

#include <utility>

#include "testbuilder/AviWriterFilter.h"
#include "testbuilder/LmTestCaptureBuilder.h"
#include "testcam/ComBoundary.h"
#include "testcam/ComObject.h"

using lmcam::ComBoundary;
using Microsoft::WRL::ComPtr;

namespace lmbuilder {
namespace {

using GetClassObjectFunction = HRESULT(__stdcall*)(REFCLSID, REFIID, void**);

// The platform's builder, created through qcap.dll's own class object: the registry entry of
// the class names this DLL instead. qcap.dll stays loaded for the rest of the process.
HRESULT CreatePlatformBuilder(ComPtr<ICaptureGraphBuilder2>& Builder) {
  static const HMODULE qcap = LoadLibraryW(L"qcap.dll");
  if (!qcap) return HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND);
  const auto getClassObject =
      reinterpret_cast<GetClassObjectFunction>(reinterpret_cast<void*>(GetProcAddress(qcap, "DllGetClassObject")));
  if (!getClassObject) return HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
  ComPtr<IClassFactory> factory;
  HRESULT hr = getClassObject(CLSID_LmCaptureGraphBuilder2, IID_IClassFactory,
                              reinterpret_cast<void**>(factory.GetAddressOf()));
  if (FAILED(hr)) return hr;
  return factory->CreateInstance(nullptr, IID_ICaptureGraphBuilder2, reinterpret_cast<void**>(Builder.GetAddressOf()));
}

}  // namespace

HRESULT CaptureBuilder::Create(REFCLSID, REFIID riid, void** ppv) {
  return ComBoundary([&]() -> HRESULT {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    ComPtr<ICaptureGraphBuilder2> platform;
    const HRESULT hr = CreatePlatformBuilder(platform);
    if (FAILED(hr)) return hr;
    return lmcam::CreateComObject<CaptureBuilder>(riid, ppv, std::move(platform));
  });
}

STDMETHODIMP CaptureBuilder::QueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_ICaptureGraphBuilder2)) {
    *ppv = static_cast<ICaptureGraphBuilder2*>(this);
    AddRef();
    return S_OK;
  }
  return E_NOINTERFACE;
}

STDMETHODIMP CaptureBuilder::SetFiltergraph(IGraphBuilder* pfg) { return m_Platform->SetFiltergraph(pfg); }

STDMETHODIMP CaptureBuilder::GetFiltergraph(IGraphBuilder** ppfg) { return m_Platform->GetFiltergraph(ppfg); }

STDMETHODIMP CaptureBuilder::SetOutputFileName(const GUID* pType, LPCOLESTR lpstrFile, IBaseFilter** ppf,
                                               IFileSinkFilter** ppSink) {
  return ComBoundary([&]() -> HRESULT {
    if (!pType || !lpstrFile || !ppf) return E_POINTER;
    *ppf = nullptr;
    if (ppSink) *ppSink = nullptr;
    if (IsEqualGUID(*pType, MEDIASUBTYPE_Avi)) {
      ComPtr<IBaseFilter> writer;
      const HRESULT hr = AviWriterFilter::Create(IID_IBaseFilter, reinterpret_cast<void**>(writer.GetAddressOf()));
      if (FAILED(hr)) return hr;
      return AddFileWriter(writer.Get(), kLmAviFileWriterName, lpstrFile, ppf, ppSink);
    }
    if (IsEqualGUID(*pType, MEDIASUBTYPE_Asf)) {
      // The platform's ASF writer, where there is one; its creation's failure otherwise.
      ComPtr<IBaseFilter> writer;
      const HRESULT hr = CoCreateInstance(CLSID_LmWMAsfWriter, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                          reinterpret_cast<void**>(writer.GetAddressOf()));
      if (FAILED(hr)) return hr;
      return AddFileWriter(writer.Get(), kLmAsfWriterName, lpstrFile, ppf, ppSink);
    }
    return m_Platform->SetOutputFileName(pType, lpstrFile, ppf, ppSink);
  });
}

HRESULT CaptureBuilder::AddFileWriter(IBaseFilter* Filter, const wchar_t* Name, LPCOLESTR File, IBaseFilter** ppf,
                                      IFileSinkFilter** ppSink) {
  ComPtr<IGraphBuilder> graph;
  HRESULT hr = m_Platform->GetFiltergraph(&graph);
  if (FAILED(hr)) return hr;
  ComPtr<IFileSinkFilter> sink;
  hr = Filter->QueryInterface(IID_IFileSinkFilter, reinterpret_cast<void**>(sink.GetAddressOf()));
  if (FAILED(hr)) return hr;
  // Named before it joins the graph, so that a refused name leaves the graph as it was.
  hr = sink->SetFileName(File, nullptr);
  if (FAILED(hr)) return hr;
  hr = graph->AddFilter(Filter, Name);
  if (FAILED(hr)) return hr;
  *ppf = Filter;
  Filter->AddRef();
  if (ppSink) *ppSink = sink.Detach();
  return S_OK;
}

STDMETHODIMP CaptureBuilder::FindInterface(const GUID* pCategory, const GUID* pType, IBaseFilter* pf, REFIID riid,
                                           void** ppint) {
  return m_Platform->FindInterface(pCategory, pType, pf, riid, ppint);
}

STDMETHODIMP CaptureBuilder::RenderStream(const GUID* pCategory, const GUID* pType, IUnknown* pSource,
                                          IBaseFilter* pfCompressor, IBaseFilter* pfRenderer) {
  return m_Platform->RenderStream(pCategory, pType, pSource, pfCompressor, pfRenderer);
}

STDMETHODIMP CaptureBuilder::ControlStream(const GUID* pCategory, const GUID* pType, IBaseFilter* pFilter,
                                           REFERENCE_TIME* pstart, REFERENCE_TIME* pstop, WORD wStartCookie,
                                           WORD wStopCookie) {
  return m_Platform->ControlStream(pCategory, pType, pFilter, pstart, pstop, wStartCookie, wStopCookie);
}

STDMETHODIMP CaptureBuilder::AllocCapFile(LPCOLESTR lpstr, DWORDLONG dwlSize) {
  return m_Platform->AllocCapFile(lpstr, dwlSize);
}

STDMETHODIMP CaptureBuilder::CopyCaptureFile(LPOLESTR lpwstrOld, LPOLESTR lpwstrNew, int fAllowEscAbort,
                                             IAMCopyCaptureFileProgress* pCallback) {
  return m_Platform->CopyCaptureFile(lpwstrOld, lpwstrNew, fAllowEscAbort, pCallback);
}

STDMETHODIMP CaptureBuilder::FindPin(IUnknown* pSource, PIN_DIRECTION pindir, const GUID* pCategory,
                                     const GUID* pType, BOOL fUnconnected, int num, IPin** ppPin) {
  return m_Platform->FindPin(pSource, pindir, pCategory, pType, fUnconnected, num, ppPin);
}

}  // namespace lmbuilder
