#include "support/FakeGraph.h"

#include <control.h>

#include <algorithm>
#include <cstring>

#include "support/FakeDeviceEnum.h"
#include "webcam/src/LmDirectShowIds.h"

using Microsoft::WRL::ComPtr;

namespace fakes {
namespace {

std::string GuidName(const GUID* Guid) {
  if (!Guid) return "null";
  if (IsEqualGUID(*Guid, PIN_CATEGORY_PREVIEW)) return "preview";
  if (IsEqualGUID(*Guid, PIN_CATEGORY_CAPTURE)) return "capture";
  if (IsEqualGUID(*Guid, MEDIATYPE_Interleaved)) return "interleaved";
  if (IsEqualGUID(*Guid, MEDIATYPE_Video)) return "video";
  if (IsEqualGUID(*Guid, MEDIASUBTYPE_RGB24)) return "RGB24";
  if (IsEqualGUID(*Guid, FORMAT_VideoInfo)) return "VideoInfo";
  if (IsEqualGUID(*Guid, IID_IAMStreamConfig)) return "IAMStreamConfig";
  if (IsEqualGUID(*Guid, TIME_FORMAT_MEDIA_TIME)) return "media time";
  if (IsEqualGUID(*Guid, TIME_FORMAT_FRAME)) return "frame";
  return GuidText(*Guid);
}

std::string Bool(BOOL Value) { return Value ? "true" : "false"; }

class FakeSampleGrabber;
class FakeFilterGraph;

// Answers the IDispatch part of the graph's automation interfaces: never expected.
#define LM_FAKE_DISPATCH(Iface)                                                                       \
  STDMETHODIMP GetTypeInfoCount(UINT*) override { return Unexpected(Iface "::GetTypeInfoCount"); }    \
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return Unexpected(Iface "::GetTypeInfo"); } \
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {                       \
    return Unexpected(Iface "::GetIDsOfNames");                                                       \
  }                                                                                                   \
  STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override { \
    return Unexpected(Iface "::Invoke");                                                              \
  }

// {329BB360-F6EA-11D1-9038-00A0C9697298}, spelled out: not every import library carries it.
constexpr IID kIID_IBasicVideo2 = {0x329BB360, 0xF6EA, 0x11D1, {0x90, 0x38, 0x00, 0xA0, 0xC9, 0x69, 0x72, 0x98}};

std::string SeekingFlags(DWORD Flags) {
  switch (Flags & AM_SEEKING_PositioningBitsMask) {
    case AM_SEEKING_NoPositioning: return "none";
    case AM_SEEKING_AbsolutePositioning: return "absolute";
    case AM_SEEKING_RelativePositioning: return "relative";
    default: return "incremental";
  }
}

std::string Number(double Value) {
  char text[32];
  snprintf(text, sizeof(text), "%g", Value);
  return text;
}

// The filters of the fake graph as IFilterGraph::EnumFilters hands them out (not logged).
class FakeEnumFilters : public FakeComObject<IEnumFilters> {
public:
  explicit FakeEnumFilters(std::vector<ComPtr<IBaseFilter>> Filters) : m_Filters(std::move(Filters)) {}
  STDMETHODIMP Next(ULONG Count, IBaseFilter** Filters, ULONG* Fetched) override {
    if (Count != 1 || !Filters) return Unexpected("IEnumFilters::Next with a count other than 1");
    if (Fetched) *Fetched = 0;
    if (m_Next >= m_Filters.size()) return S_FALSE;
    *Filters = m_Filters[m_Next++].Get();
    (*Filters)->AddRef();
    if (Fetched) *Fetched = 1;
    return S_OK;
  }
  STDMETHODIMP Reset() override {
    m_Next = 0;
    return S_OK;
  }
  LM_FAKE_UNEXPECTED("IEnumFilters", Skip, ULONG)
  LM_FAKE_UNEXPECTED("IEnumFilters", Clone, IEnumFilters**)

private:
  std::vector<ComPtr<IBaseFilter>> m_Filters;
  size_t m_Next = 0;
};

class FakeFilterGraph : public FakeComObject<IGraphBuilder>,
                        public IMediaControl,
                        public IVideoWindow,
                        public IMediaEventEx,
                        public IMediaSeeking,
                        public IBasicVideo2 {
  using Base = FakeComObject<IGraphBuilder>;

public:
  explicit FakeFilterGraph(std::shared_ptr<FakeGraphSystem> System) : m_System(std::move(System)) {}

  // One IUnknown for all the interfaces; the secondary ones may be refused by script.
  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
    const char* name = nullptr;
    void* answer = nullptr;
    if (IsEqualIID(riid, IID_IMediaControl)) {
      name = "IMediaControl";
      answer = static_cast<IMediaControl*>(this);
    } else if (IsEqualIID(riid, IID_IVideoWindow)) {
      name = "IVideoWindow";
      answer = static_cast<IVideoWindow*>(this);
    } else if (IsEqualIID(riid, IID_IMediaEventEx)) {
      name = "IMediaEventEx";
      answer = static_cast<IMediaEventEx*>(this);
    } else if (IsEqualIID(riid, IID_IMediaEvent)) {
      name = "IMediaEvent";
      answer = static_cast<IMediaEvent*>(static_cast<IMediaEventEx*>(this));
    } else if (IsEqualIID(riid, IID_IMediaSeeking)) {
      name = "IMediaSeeking";
      answer = static_cast<IMediaSeeking*>(this);
    } else if (IsEqualIID(riid, kIID_IBasicVideo2)) {
      name = "IBasicVideo2";
      answer = static_cast<IBasicVideo2*>(this);
    }
    if (!name) return Base::QueryInterface(riid, ppv);
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    const HRESULT hr = m_System->Answer(std::string("IFilterGraph::QueryInterface(") + name + ")");
    if (hr != S_OK) return hr;
    *ppv = answer;
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return Base::AddRef(); }
  STDMETHODIMP_(ULONG) Release() override {
    if (m_System->LogReleases) m_System->Log.Add("Release(graph)");
    return Base::Release();
  }

  // A filter that the capture graph builder put into the graph (not logged).
  void Hold(IBaseFilter* Filter) {
    m_Filters.emplace_back(Filter);
    m_System->GraphFilters.push_back(Label(Filter));
  }

  // IFilterGraph
  STDMETHODIMP AddFilter(IBaseFilter* Filter, LPCWSTR Name) override {
    const HRESULT hr = m_System->Answer("IFilterGraph::AddFilter(" + Narrow(Name ? Name : L"null") + ")",
                                        "IFilterGraph::AddFilter");
    if (hr == S_OK && Filter) {
      m_Filters.emplace_back(Filter);
      m_System->GraphFilters.push_back(Label(Filter));
    }
    return hr;
  }
  STDMETHODIMP RemoveFilter(IBaseFilter* Filter) override {
    const std::string label = Label(Filter);
    const HRESULT hr = m_System->Answer("IFilterGraph::RemoveFilter(" + label + ")", "IFilterGraph::RemoveFilter");
    if (hr != S_OK) return hr;
    const auto held = std::find_if(m_Filters.begin(), m_Filters.end(),
                                   [Filter](const ComPtr<IBaseFilter>& f) { return f.Get() == Filter; });
    if (held != m_Filters.end()) {
      m_Filters.erase(held);
      auto& labels = m_System->GraphFilters;
      labels.erase(std::find(labels.begin(), labels.end(), label));
    }
    return hr;
  }
  STDMETHODIMP Disconnect(IPin* Pin) override {
    auto* pin = dynamic_cast<FakePin*>(Pin);
    const HRESULT hr = m_System->Answer("IFilterGraph::Disconnect(" + (pin ? pin->Label() : Label(Pin)) + ")",
                                        "IFilterGraph::Disconnect");
    if (hr == S_OK && pin) pin->SetPeer(nullptr);
    return hr;
  }
  STDMETHODIMP EnumFilters(IEnumFilters** Filters) override {
    if (!Filters) return E_POINTER;
    *Filters = nullptr;
    const HRESULT hr = m_System->Answer("IFilterGraph::EnumFilters");
    if (hr == S_OK) *Filters = new FakeEnumFilters(m_Filters);
    return hr;
  }
  LM_FAKE_UNEXPECTED("IFilterGraph", FindFilterByName, LPCWSTR, IBaseFilter**)
  LM_FAKE_UNEXPECTED("IFilterGraph", ConnectDirect, IPin*, IPin*, const AM_MEDIA_TYPE*)
  LM_FAKE_UNEXPECTED("IFilterGraph", Reconnect, IPin*)
  LM_FAKE_UNEXPECTED("IFilterGraph", SetDefaultSyncSource)
  // IGraphBuilder
  LM_FAKE_UNEXPECTED("IGraphBuilder", Connect, IPin*, IPin*)
  LM_FAKE_UNEXPECTED("IGraphBuilder", Render, IPin*)
  STDMETHODIMP RenderFile(LPCWSTR File, LPCWSTR PlayList) override {
    m_System->RenderedFiles.push_back(Narrow(File ? File : L"null") + ", " + (PlayList ? Narrow(PlayList) : "null"));
    return m_System->Answer("IGraphBuilder::RenderFile");
  }
  LM_FAKE_UNEXPECTED("IGraphBuilder", AddSourceFilter, LPCWSTR, LPCWSTR, IBaseFilter**)
  LM_FAKE_UNEXPECTED("IGraphBuilder", SetLogFile, DWORD_PTR)
  LM_FAKE_UNEXPECTED("IGraphBuilder", Abort)
  LM_FAKE_UNEXPECTED("IGraphBuilder", ShouldOperationContinue)

  // IDispatch (shared by the three automation interfaces)
  LM_FAKE_DISPATCH("IDispatch")

  // IMediaControl
  STDMETHODIMP Run() override { return m_System->Answer("IMediaControl::Run"); }
  STDMETHODIMP Pause() override { return m_System->Answer("IMediaControl::Pause"); }
  STDMETHODIMP Stop() override { return m_System->Answer("IMediaControl::Stop"); }
  LM_FAKE_UNEXPECTED("IMediaControl", GetState, LONG, OAFilterState*)
  STDMETHODIMP RenderFile(BSTR) override { return Unexpected("IMediaControl::RenderFile"); }
  LM_FAKE_UNEXPECTED("IMediaControl", AddSourceFilter, BSTR, IDispatch**)
  LM_FAKE_UNEXPECTED("IMediaControl", get_FilterCollection, IDispatch**)
  LM_FAKE_UNEXPECTED("IMediaControl", get_RegFilterCollection, IDispatch**)
  LM_FAKE_UNEXPECTED("IMediaControl", StopWhenReady)

  // IVideoWindow
  STDMETHODIMP put_Owner(OAHWND Owner) override {
    return m_System->Answer("IVideoWindow::put_Owner(" + m_System->WindowText(Owner) + ")", "IVideoWindow::put_Owner");
  }
  STDMETHODIMP put_MessageDrain(OAHWND Drain) override {
    return m_System->Answer("IVideoWindow::put_MessageDrain(" + m_System->WindowText(Drain) + ")",
                            "IVideoWindow::put_MessageDrain");
  }
  STDMETHODIMP put_WindowStyle(LONG Style) override {
    char text[16];
    snprintf(text, sizeof(text), "0x%08lX", static_cast<unsigned long>(Style));
    return m_System->Answer(std::string("IVideoWindow::put_WindowStyle(") + text + ")", "IVideoWindow::put_WindowStyle");
  }
  STDMETHODIMP put_Visible(LONG Visible) override {
    const std::string value = Visible == OATRUE ? "OATRUE" : Visible == OAFALSE ? "OAFALSE" : std::to_string(Visible);
    return m_System->Answer("IVideoWindow::put_Visible(" + value + ")", "IVideoWindow::put_Visible");
  }
  STDMETHODIMP SetWindowPosition(LONG Left, LONG Top, LONG Width, LONG Height) override {
    return m_System->Answer("IVideoWindow::SetWindowPosition(" + std::to_string(Left) + ", " + std::to_string(Top) +
                                ", " + std::to_string(Width) + ", " + std::to_string(Height) + ")",
                            "IVideoWindow::SetWindowPosition");
  }
  LM_FAKE_UNEXPECTED("IVideoWindow", put_Caption, BSTR)
  LM_FAKE_UNEXPECTED("IVideoWindow", get_Caption, BSTR*)
  LM_FAKE_UNEXPECTED("IVideoWindow", get_WindowStyle, LONG*)
  LM_FAKE_UNEXPECTED("IVideoWindow", put_WindowStyleEx, LONG)
  LM_FAKE_UNEXPECTED("IVideoWindow", get_WindowStyleEx, LONG*)
  LM_FAKE_UNEXPECTED("IVideoWindow", put_AutoShow, LONG)
  LM_FAKE_UNEXPECTED("IVideoWindow", get_AutoShow, LONG*)
  LM_FAKE_UNEXPECTED("IVideoWindow", put_WindowState, LONG)
  LM_FAKE_UNEXPECTED("IVideoWindow", get_WindowState, LONG*)
  LM_FAKE_UNEXPECTED("IVideoWindow", put_BackgroundPalette, LONG)
  LM_FAKE_UNEXPECTED("IVideoWindow", get_BackgroundPalette, LONG*)
  LM_FAKE_UNEXPECTED("IVideoWindow", get_Visible, LONG*)
  LM_FAKE_UNEXPECTED("IVideoWindow", put_Left, LONG)
  LM_FAKE_UNEXPECTED("IVideoWindow", get_Left, LONG*)
  LM_FAKE_UNEXPECTED("IVideoWindow", put_Width, LONG)
  LM_FAKE_UNEXPECTED("IVideoWindow", get_Width, LONG*)
  LM_FAKE_UNEXPECTED("IVideoWindow", put_Top, LONG)
  LM_FAKE_UNEXPECTED("IVideoWindow", get_Top, LONG*)
  LM_FAKE_UNEXPECTED("IVideoWindow", put_Height, LONG)
  LM_FAKE_UNEXPECTED("IVideoWindow", get_Height, LONG*)
  LM_FAKE_UNEXPECTED("IVideoWindow", get_Owner, OAHWND*)
  LM_FAKE_UNEXPECTED("IVideoWindow", get_MessageDrain, OAHWND*)
  LM_FAKE_UNEXPECTED("IVideoWindow", get_BorderColor, LONG*)
  LM_FAKE_UNEXPECTED("IVideoWindow", put_BorderColor, LONG)
  LM_FAKE_UNEXPECTED("IVideoWindow", get_FullScreenMode, LONG*)
  LM_FAKE_UNEXPECTED("IVideoWindow", put_FullScreenMode, LONG)
  LM_FAKE_UNEXPECTED("IVideoWindow", SetWindowForeground, LONG)
  LM_FAKE_UNEXPECTED("IVideoWindow", NotifyOwnerMessage, OAHWND, LONG, LONG_PTR, LONG_PTR)
  LM_FAKE_UNEXPECTED("IVideoWindow", GetWindowPosition, LONG*, LONG*, LONG*, LONG*)
  LM_FAKE_UNEXPECTED("IVideoWindow", GetMinIdealImageSize, LONG*, LONG*)
  LM_FAKE_UNEXPECTED("IVideoWindow", GetMaxIdealImageSize, LONG*, LONG*)
  LM_FAKE_UNEXPECTED("IVideoWindow", GetRestorePosition, LONG*, LONG*, LONG*, LONG*)
  LM_FAKE_UNEXPECTED("IVideoWindow", HideCursor, LONG)
  LM_FAKE_UNEXPECTED("IVideoWindow", IsCursorHidden, LONG*)

  // IMediaEvent, IMediaEventEx
  STDMETHODIMP GetEvent(LONG* Code, LONG_PTR* Param1, LONG_PTR* Param2, LONG Timeout) override {
    const HRESULT hr = m_System->Answer("IMediaEventEx::GetEvent(" + std::to_string(Timeout) + ")",
                                        "IMediaEventEx::GetEvent");
    FakeEvent event;
    if (hr == S_OK && !m_System->Events.empty()) {
      event = m_System->Events.front();
      m_System->Events.pop_front();
    }
    *Code = event.Code;
    *Param1 = event.Param1;
    *Param2 = event.Param2;
    return hr;
  }
  STDMETHODIMP FreeEventParams(LONG Code, LONG_PTR Param1, LONG_PTR Param2) override {
    m_System->FreedEvents.push_back(FakeEvent{Code, Param1, Param2});
    return m_System->Answer("IMediaEventEx::FreeEventParams(" + std::to_string(Code) + ")",
                            "IMediaEventEx::FreeEventParams");
  }
  STDMETHODIMP SetNotifyWindow(OAHWND Window, LONG Message, LONG_PTR Instance) override {
    return m_System->Answer("IMediaEventEx::SetNotifyWindow(" + m_System->WindowText(Window) + ", " +
                                std::to_string(Message) + ", " + std::to_string(Instance) + ")",
                            "IMediaEventEx::SetNotifyWindow");
  }
  LM_FAKE_UNEXPECTED("IMediaEvent", GetEventHandle, OAEVENT*)
  LM_FAKE_UNEXPECTED("IMediaEvent", WaitForCompletion, LONG, LONG*)
  LM_FAKE_UNEXPECTED("IMediaEvent", CancelDefaultHandling, LONG)
  LM_FAKE_UNEXPECTED("IMediaEvent", RestoreDefaultHandling, LONG)
  LM_FAKE_UNEXPECTED("IMediaEventEx", SetNotifyFlags, LONG)
  LM_FAKE_UNEXPECTED("IMediaEventEx", GetNotifyFlags, LONG*)

  // IMediaSeeking
  STDMETHODIMP GetTimeFormat(GUID* Format) override {
    const HRESULT hr = m_System->Answer("IMediaSeeking::GetTimeFormat");
    *Format = hr == S_OK ? m_System->TimeFormat : GUID_NULL;
    return hr;
  }
  STDMETHODIMP SetTimeFormat(const GUID* Format) override {
    const HRESULT hr = m_System->Answer("IMediaSeeking::SetTimeFormat(" + GuidName(Format) + ")",
                                        "IMediaSeeking::SetTimeFormat");
    if (hr == S_OK && Format) m_System->TimeFormat = *Format;
    return hr;
  }
  STDMETHODIMP GetDuration(LONGLONG* Duration) override {
    const HRESULT hr = m_System->Answer("IMediaSeeking::GetDuration");
    *Duration = hr == S_OK ? m_System->Duration : 0;
    return hr;
  }
  STDMETHODIMP SetPositions(LONGLONG* Current, DWORD CurrentFlags, LONGLONG* Stop, DWORD StopFlags) override {
    const auto value = [](const LONGLONG* Time) { return Time ? std::to_string(*Time) : std::string("null"); };
    return m_System->Answer("IMediaSeeking::SetPositions(" + value(Current) + ", " + SeekingFlags(CurrentFlags) + ", " +
                                value(Stop) + ", " + SeekingFlags(StopFlags) + ")",
                            "IMediaSeeking::SetPositions");
  }
  STDMETHODIMP SetRate(double Rate) override {
    return m_System->Answer("IMediaSeeking::SetRate(" + Number(Rate) + ")", "IMediaSeeking::SetRate");
  }
  LM_FAKE_UNEXPECTED("IMediaSeeking", GetCapabilities, DWORD*)
  LM_FAKE_UNEXPECTED("IMediaSeeking", CheckCapabilities, DWORD*)
  LM_FAKE_UNEXPECTED("IMediaSeeking", IsFormatSupported, const GUID*)
  LM_FAKE_UNEXPECTED("IMediaSeeking", QueryPreferredFormat, GUID*)
  LM_FAKE_UNEXPECTED("IMediaSeeking", IsUsingTimeFormat, const GUID*)
  LM_FAKE_UNEXPECTED("IMediaSeeking", GetStopPosition, LONGLONG*)
  LM_FAKE_UNEXPECTED("IMediaSeeking", GetCurrentPosition, LONGLONG*)
  LM_FAKE_UNEXPECTED("IMediaSeeking", ConvertTimeFormat, LONGLONG*, const GUID*, LONGLONG, const GUID*)
  LM_FAKE_UNEXPECTED("IMediaSeeking", GetPositions, LONGLONG*, LONGLONG*)
  LM_FAKE_UNEXPECTED("IMediaSeeking", GetAvailable, LONGLONG*, LONGLONG*)
  LM_FAKE_UNEXPECTED("IMediaSeeking", GetRate, double*)
  LM_FAKE_UNEXPECTED("IMediaSeeking", GetPreroll, LONGLONG*)

  // IBasicVideo, IBasicVideo2
  STDMETHODIMP get_AvgTimePerFrame(REFTIME* Time) override {
    const HRESULT hr = m_System->Answer("IBasicVideo::get_AvgTimePerFrame");
    *Time = hr == S_OK ? m_System->AvgTimePerFrame : 0;
    return hr;
  }
  STDMETHODIMP get_BitRate(LONG* BitRate) override {
    const HRESULT hr = m_System->Answer("IBasicVideo::get_BitRate");
    *BitRate = hr == S_OK ? m_System->BitRate : 0;
    return hr;
  }
  STDMETHODIMP GetVideoSize(LONG* Width, LONG* Height) override {
    const HRESULT hr = m_System->Answer("IBasicVideo::GetVideoSize");
    *Width = hr == S_OK ? m_System->VideoWidth : 0;
    *Height = hr == S_OK ? m_System->VideoHeight : 0;
    return hr;
  }
  LM_FAKE_UNEXPECTED("IBasicVideo", get_BitErrorRate, LONG*)
  LM_FAKE_UNEXPECTED("IBasicVideo", get_VideoWidth, LONG*)
  LM_FAKE_UNEXPECTED("IBasicVideo", get_VideoHeight, LONG*)
  LM_FAKE_UNEXPECTED("IBasicVideo", put_SourceLeft, LONG)
  LM_FAKE_UNEXPECTED("IBasicVideo", get_SourceLeft, LONG*)
  LM_FAKE_UNEXPECTED("IBasicVideo", put_SourceWidth, LONG)
  LM_FAKE_UNEXPECTED("IBasicVideo", get_SourceWidth, LONG*)
  LM_FAKE_UNEXPECTED("IBasicVideo", put_SourceTop, LONG)
  LM_FAKE_UNEXPECTED("IBasicVideo", get_SourceTop, LONG*)
  LM_FAKE_UNEXPECTED("IBasicVideo", put_SourceHeight, LONG)
  LM_FAKE_UNEXPECTED("IBasicVideo", get_SourceHeight, LONG*)
  LM_FAKE_UNEXPECTED("IBasicVideo", put_DestinationLeft, LONG)
  LM_FAKE_UNEXPECTED("IBasicVideo", get_DestinationLeft, LONG*)
  LM_FAKE_UNEXPECTED("IBasicVideo", put_DestinationWidth, LONG)
  LM_FAKE_UNEXPECTED("IBasicVideo", get_DestinationWidth, LONG*)
  LM_FAKE_UNEXPECTED("IBasicVideo", put_DestinationTop, LONG)
  LM_FAKE_UNEXPECTED("IBasicVideo", get_DestinationTop, LONG*)
  LM_FAKE_UNEXPECTED("IBasicVideo", put_DestinationHeight, LONG)
  LM_FAKE_UNEXPECTED("IBasicVideo", get_DestinationHeight, LONG*)
  LM_FAKE_UNEXPECTED("IBasicVideo", SetSourcePosition, LONG, LONG, LONG, LONG)
  LM_FAKE_UNEXPECTED("IBasicVideo", GetSourcePosition, LONG*, LONG*, LONG*, LONG*)
  LM_FAKE_UNEXPECTED("IBasicVideo", SetDefaultSourcePosition)
  LM_FAKE_UNEXPECTED("IBasicVideo", SetDestinationPosition, LONG, LONG, LONG, LONG)
  LM_FAKE_UNEXPECTED("IBasicVideo", GetDestinationPosition, LONG*, LONG*, LONG*, LONG*)
  LM_FAKE_UNEXPECTED("IBasicVideo", SetDefaultDestinationPosition)
  LM_FAKE_UNEXPECTED("IBasicVideo", GetVideoPaletteEntries, LONG, LONG, LONG*, LONG*)
  LM_FAKE_UNEXPECTED("IBasicVideo", GetCurrentImage, LONG*, LONG*)
  LM_FAKE_UNEXPECTED("IBasicVideo", IsUsingDefaultSource)
  LM_FAKE_UNEXPECTED("IBasicVideo", IsUsingDefaultDestination)
  LM_FAKE_UNEXPECTED("IBasicVideo2", GetPreferredAspectRatio, LONG*, LONG*)

protected:
  ~FakeFilterGraph() override { m_System->GraphFilters.clear(); }
  void* QueryInterfaceExtra(REFIID riid) override {
    if (IsEqualIID(riid, IID_IFilterGraph)) return static_cast<IFilterGraph*>(this);
    return nullptr;
  }

private:
  std::shared_ptr<FakeGraphSystem> m_System;
  std::vector<ComPtr<IBaseFilter>> m_Filters;  // the graph holds what was added to it
};

// The stream configuration also answers ISpecifyPropertyPages while ConfigHasPages is set
// (stream-format additions).
class FakeStreamConfig : public FakeComObject<IAMStreamConfig>, public ISpecifyPropertyPages {
public:
  explicit FakeStreamConfig(std::shared_ptr<FakeGraphSystem> System) : m_System(std::move(System)) {}

  // One IUnknown for both interfaces.
  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override { return FakeComObject::QueryInterface(riid, ppv); }
  STDMETHODIMP_(ULONG) AddRef() override { return FakeComObject::AddRef(); }
  STDMETHODIMP_(ULONG) Release() override { return FakeComObject::Release(); }

  // ISpecifyPropertyPages (stream-format additions)
  STDMETHODIMP GetPages(CAUUID* Pages) override {
    Pages->cElems = 0;
    Pages->pElems = nullptr;
    const HRESULT hr = m_System->Answer("ISpecifyPropertyPages::GetPages(config)", "ISpecifyPropertyPages::GetPages");
    if (hr != S_OK) return hr;
    const auto count = static_cast<ULONG>(m_System->ConfigPages.size());
    Pages->pElems = static_cast<GUID*>(CoTaskMemAlloc(sizeof(GUID) * (count ? count : 1)));
    if (!Pages->pElems) return E_OUTOFMEMORY;
    for (ULONG i = 0; i < count; ++i) Pages->pElems[i] = m_System->ConfigPages[i];
    Pages->cElems = count;
    m_System->PageArrays.push_back(Pages->pElems);
    return hr;
  }

  STDMETHODIMP GetNumberOfCapabilities(int* Count, int* Size) override {
    *Count = static_cast<int>(m_System->Capabilities.size());
    *Size = m_System->CapabilitySize;
    return m_System->Answer("IAMStreamConfig::GetNumberOfCapabilities");
  }
  STDMETHODIMP GetFormat(AM_MEDIA_TYPE** Type) override {
    *Type = nullptr;
    const HRESULT hr = m_System->Answer("IAMStreamConfig::GetFormat");
    if (hr == S_OK && m_System->CurrentFormat) *Type = m_System->CurrentFormat->NewMediaType();
    return hr;
  }
  STDMETHODIMP GetStreamCaps(int Index, AM_MEDIA_TYPE** Type, BYTE* Caps) override {
    *Type = nullptr;
    const HRESULT hr =
        m_System->Answer("IAMStreamConfig::GetStreamCaps(" + std::to_string(Index) + ")", "IAMStreamConfig::GetStreamCaps");
    if (hr != S_OK) return hr;
    if (Index < 0 || static_cast<size_t>(Index) >= m_System->Capabilities.size()) return E_INVALIDARG;
    const FakeCapability& capability = m_System->Capabilities[static_cast<size_t>(Index)];
    *Type = capability.Format.NewMediaType();
    std::memcpy(Caps, &capability.Caps, sizeof(capability.Caps));
    return hr;
  }
  STDMETHODIMP SetFormat(AM_MEDIA_TYPE* Type) override {
    // Stream-format additions: record what was applied.
    if (Type) {
      FakeFormat applied;
      applied.MajorType = Type->majortype;
      applied.SubType = Type->subtype;
      applied.FormatType = Type->formattype;
      if (Type->pbFormat && Type->cbFormat >= sizeof(VIDEOINFOHEADER))
        std::memcpy(&applied.Header, Type->pbFormat, sizeof(VIDEOINFOHEADER));
      m_System->AppliedFormats.push_back(applied);
    }
    return m_System->Answer("IAMStreamConfig::SetFormat");
  }

protected:
  void* QueryInterfaceExtra(REFIID riid) override {
    if (IsEqualIID(riid, IID_ISpecifyPropertyPages) && m_System->ConfigHasPages)
      return static_cast<ISpecifyPropertyPages*>(this);
    return nullptr;
  }

private:
  std::shared_ptr<FakeGraphSystem> m_System;
};

class FakeCaptureGraphBuilder : public FakeComObject<ICaptureGraphBuilder2> {
public:
  explicit FakeCaptureGraphBuilder(std::shared_ptr<FakeGraphSystem> System) : m_System(std::move(System)) {}

  STDMETHODIMP_(ULONG) Release() override {
    if (m_System->LogReleases) m_System->Log.Add("Release(builder)");
    return FakeComObject::Release();
  }

  STDMETHODIMP SetFiltergraph(IGraphBuilder* Graph) override {
    const HRESULT hr = m_System->Answer("ICaptureGraphBuilder2::SetFiltergraph(" + Label(Graph) + ")",
                                        "ICaptureGraphBuilder2::SetFiltergraph");
    if (hr == S_OK) m_Graph = Graph;  // the builder holds the graph, as DirectShow's does
    return hr;
  }
  STDMETHODIMP RenderStream(const GUID* Category, const GUID* Type, IUnknown* Source, IBaseFilter* Intermediate,
                            IBaseFilter* Renderer) override {
    m_System->RenderStreamFilters.push_back(Label(Source) + ", " + Label(Intermediate) + ", " + Label(Renderer));
    return m_System->Answer("ICaptureGraphBuilder2::RenderStream(" + GuidName(Category) + ", " + GuidName(Type) + ")",
                            "ICaptureGraphBuilder2::RenderStream");
  }
  STDMETHODIMP FindInterface(const GUID* Category, const GUID* Type, IBaseFilter* Filter, REFIID riid,
                             void** ppv) override {
    *ppv = nullptr;
    m_System->FindInterfaceFilters.push_back(Label(Filter));
    const HRESULT hr = m_System->Answer("ICaptureGraphBuilder2::FindInterface(" + GuidName(Category) + ", " +
                                            GuidName(Type) + ", " + GuidName(&riid) + ")",
                                        "ICaptureGraphBuilder2::FindInterface");
    if (hr != S_OK) return hr;
    if (!IsEqualIID(riid, IID_IAMStreamConfig)) return E_NOINTERFACE;
    return HandOut(new FakeStreamConfig(m_System), riid, ppv);
  }
  LM_FAKE_UNEXPECTED("ICaptureGraphBuilder2", GetFiltergraph, IGraphBuilder**)
  STDMETHODIMP SetOutputFileName(const GUID* Subtype, LPCOLESTR File, IBaseFilter** Writer,
                                 IFileSinkFilter** Sink) override {
    const HRESULT hr = HandOutFileBranch(m_System, Subtype, File, Writer, Sink);
    // The builder puts the file branch into its graph, which holds it from then on.
    if (hr == S_OK && Writer && *Writer)
      if (auto* graph = dynamic_cast<FakeFilterGraph*>(m_Graph.Get())) graph->Hold(*Writer);
    return hr;
  }
  LM_FAKE_UNEXPECTED("ICaptureGraphBuilder2", ControlStream, const GUID*, const GUID*, IBaseFilter*,
                     REFERENCE_TIME*, REFERENCE_TIME*, WORD, WORD)
  LM_FAKE_UNEXPECTED("ICaptureGraphBuilder2", AllocCapFile, LPCOLESTR, DWORDLONG)
  LM_FAKE_UNEXPECTED("ICaptureGraphBuilder2", CopyCaptureFile, LPOLESTR, LPOLESTR, int, IAMCopyCaptureFileProgress*)
  LM_FAKE_UNEXPECTED("ICaptureGraphBuilder2", FindPin, IUnknown*, PIN_DIRECTION, const GUID*, const GUID*, WINBOOL,
                     int, IPin**)

private:
  std::shared_ptr<FakeGraphSystem> m_System;
  ComPtr<IGraphBuilder> m_Graph;
};

class FakeSampleGrabber : public FakeComObject<IBaseFilter, ISampleGrabber> {
  using Base = FakeComObject<IBaseFilter, ISampleGrabber>;

public:
  explicit FakeSampleGrabber(std::shared_ptr<FakeGraphSystem> System) : m_System(std::move(System)) {}

  // The grabber interface may be refused by script; the rest is the base's.
  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
    if (ppv && IsEqualIID(riid, IID_ISampleGrabber)) {
      *ppv = nullptr;
      const HRESULT hr = m_System->Answer("IBaseFilter::QueryInterface(ISampleGrabber)");
      if (hr != S_OK) return hr;
    }
    return Base::QueryInterface(riid, ppv);
  }
  STDMETHODIMP_(ULONG) Release() override {
    if (m_System->LogReleases) m_System->Log.Add("Release(grabber)");
    return Base::Release();
  }

  // ISampleGrabber
  STDMETHODIMP SetMediaType(const AM_MEDIA_TYPE* Type) override {
    if (Type) m_System->GrabberType = *Type;
    return m_System->Answer("ISampleGrabber::SetMediaType(" + GuidName(&Type->majortype) + ", " +
                                GuidName(&Type->subtype) + ", " + GuidName(&Type->formattype) + ")",
                            "ISampleGrabber::SetMediaType");
  }
  STDMETHODIMP GetConnectedMediaType(AM_MEDIA_TYPE* Type) override {
    const HRESULT hr = m_System->Answer("ISampleGrabber::GetConnectedMediaType");
    if (hr == S_OK) m_System->Connected.Fill(*Type);
    return hr;
  }
  STDMETHODIMP SetBufferSamples(WINBOOL Buffer) override {
    return m_System->Answer("ISampleGrabber::SetBufferSamples(" + Bool(Buffer) + ")", "ISampleGrabber::SetBufferSamples");
  }
  STDMETHODIMP SetOneShot(WINBOOL OneShot) override {
    return m_System->Answer("ISampleGrabber::SetOneShot(" + Bool(OneShot) + ")", "ISampleGrabber::SetOneShot");
  }
  STDMETHODIMP SetCallback(ISampleGrabberCB* Callback, LONG Method) override {
    return m_System->Answer(std::string("ISampleGrabber::SetCallback(") + (Callback ? "callback" : "null") + ", " +
                                std::to_string(Method) + ")",
                            "ISampleGrabber::SetCallback");
  }
  LM_FAKE_UNEXPECTED("ISampleGrabber", GetCurrentBuffer, LONG*, LONG*)
  LM_FAKE_UNEXPECTED("ISampleGrabber", GetCurrentSample, IMediaSample**)

  // IBaseFilter: none of it is expected from the component.
  LM_FAKE_UNEXPECTED("IBaseFilter", GetClassID, CLSID*)
  LM_FAKE_UNEXPECTED("IBaseFilter", Stop)
  LM_FAKE_UNEXPECTED("IBaseFilter", Pause)
  LM_FAKE_UNEXPECTED("IBaseFilter", Run, REFERENCE_TIME)
  LM_FAKE_UNEXPECTED("IBaseFilter", GetState, DWORD, FILTER_STATE*)
  LM_FAKE_UNEXPECTED("IBaseFilter", SetSyncSource, IReferenceClock*)
  LM_FAKE_UNEXPECTED("IBaseFilter", GetSyncSource, IReferenceClock**)
  LM_FAKE_UNEXPECTED("IBaseFilter", EnumPins, IEnumPins**)
  LM_FAKE_UNEXPECTED("IBaseFilter", FindPin, LPCWSTR, IPin**)
  LM_FAKE_UNEXPECTED("IBaseFilter", QueryFilterInfo, FILTER_INFO*)
  LM_FAKE_UNEXPECTED("IBaseFilter", JoinFilterGraph, IFilterGraph*, LPCWSTR)
  LM_FAKE_UNEXPECTED("IBaseFilter", QueryVendorInfo, LPWSTR*)

protected:
  void* QueryInterfaceExtra(REFIID riid) override {
    if (IsEqualIID(riid, IID_IMediaFilter)) return static_cast<IMediaFilter*>(this);
    if (IsEqualIID(riid, IID_IPersist)) return static_cast<IPersist*>(this);
    return nullptr;
  }

private:
  std::shared_ptr<FakeGraphSystem> m_System;
};

class FakeEnumPins : public FakeComObject<IEnumPins> {
public:
  FakeEnumPins(std::shared_ptr<FakeGraphSystem> System, std::string Owner, std::vector<ComPtr<FakePin>> Pins)
      : m_System(std::move(System)), m_Owner(std::move(Owner)), m_Pins(std::move(Pins)) {}

  STDMETHODIMP Next(ULONG Count, IPin** Pins, ULONG* Fetched) override {
    if (Fetched) *Fetched = 0;
    *Pins = nullptr;
    if (Count != 1) return Unexpected("IEnumPins::Next with a count other than 1");
    const HRESULT hr = m_System->Answer("IEnumPins::Next(" + m_Owner + ")", "IEnumPins::Next");
    if (hr != S_OK) return hr;
    if (m_Position >= m_Pins.size()) return S_FALSE;
    *Pins = m_Pins[m_Position++].Get();
    (*Pins)->AddRef();
    if (Fetched) *Fetched = 1;
    return S_OK;
  }
  STDMETHODIMP Reset() override {
    m_Position = 0;
    return m_System->Answer("IEnumPins::Reset(" + m_Owner + ")", "IEnumPins::Reset");
  }
  LM_FAKE_UNEXPECTED("IEnumPins", Skip, ULONG)
  LM_FAKE_UNEXPECTED("IEnumPins", Clone, IEnumPins**)

private:
  std::shared_ptr<FakeGraphSystem> m_System;
  std::string m_Owner;
  std::vector<ComPtr<FakePin>> m_Pins;
  size_t m_Position = 0;
};

template <typename Fake>
FakeCreator Creator(std::shared_ptr<FakeGraphSystem> System, const char* Name) {
  return [System, Name](REFIID riid, void** ppv) -> HRESULT {
    const HRESULT hr = System->Answer(std::string("CoCreateInstance(") + Name + ")");
    if (FAILED(hr)) return hr;
    return HandOut(new Fake(System), riid, ppv);
  };
}

}  // namespace

FakeFormat FakeFormat::Video(LONG Width, LONG Height, WORD BitCount, REFERENCE_TIME TimePerFrame, const GUID& SubType) {
  FakeFormat format;
  format.SubType = SubType;
  BITMAPINFOHEADER& header = format.Header.bmiHeader;
  header.biSize = sizeof(BITMAPINFOHEADER);
  header.biWidth = Width;
  header.biHeight = Height;
  header.biPlanes = 1;
  header.biBitCount = BitCount;
  header.biSizeImage = static_cast<DWORD>(Width * Height * BitCount / 8);
  format.Header.AvgTimePerFrame = TimePerFrame;
  format.Header.dwBitRate = header.biSizeImage * 8 * (TimePerFrame > 0 ? static_cast<DWORD>(10000000 / TimePerFrame) : 0);
  return format;
}

void FakeFormat::Fill(AM_MEDIA_TYPE& Type) const {
  ZeroMemory(&Type, sizeof(Type));
  Type.majortype = MajorType;
  Type.subtype = SubType;
  Type.formattype = FormatType;
  Type.bFixedSizeSamples = TRUE;
  Type.lSampleSize = Header.bmiHeader.biSizeImage;
  const ULONG bytes = std::min<ULONG>(FormatBytes, sizeof(VIDEOINFOHEADER));
  Type.cbFormat = bytes;
  Type.pbFormat = bytes ? static_cast<BYTE*>(CoTaskMemAlloc(bytes)) : nullptr;
  if (bytes) std::memcpy(Type.pbFormat, &Header, bytes);
}

AM_MEDIA_TYPE* FakeFormat::NewMediaType() const {
  auto* type = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
  Fill(*type);
  return type;
}

FakeCapability FakeCapability::Video(LONG Width, LONG Height, REFERENCE_TIME TimePerFrame, REFERENCE_TIME MinInterval,
                                     REFERENCE_TIME MaxInterval) {
  FakeCapability capability;
  capability.Format = FakeFormat::Video(Width, Height, 24, TimePerFrame);
  capability.Caps.guid = FORMAT_VideoInfo;
  capability.Caps.InputSize = SIZE{Width, Height};
  capability.Caps.MinFrameInterval = MinInterval;
  capability.Caps.MaxFrameInterval = MaxInterval;
  capability.Caps.MinBitsPerSecond = 1000;
  capability.Caps.MaxBitsPerSecond = 2000000;
  return capability;
}

HRESULT FakeGraphSystem::Answer(const std::string& Entry, const std::string& Bare) {
  Log.Add(Entry);
  const int entryCount = ++m_Counts[Entry];
  const int bareCount = Bare == Entry ? entryCount : ++m_Counts[Bare];
  for (const auto& [call, count] : {std::pair{Entry, entryCount}, std::pair{Bare, bareCount}}) {
    const auto nth = m_NthResults.find({call, count});
    if (nth != m_NthResults.end()) return nth->second;
    const auto every = m_Results.find(call);
    if (every != m_Results.end()) return every->second;
  }
  return Unexpected(Entry.c_str());
}

std::string FakeGraphSystem::WindowText(OAHWND Handle) const {
  if (Handle == 0) return "0";
  return reinterpret_cast<HWND>(Handle) == Window ? "window" : "other";
}

void FakeGraphSystem::ScriptWorkingGraph() {
  for (const char* call : {
           "CoCreateInstance(CLSID_FilterGraph)",
           "CoCreateInstance(CLSID_CaptureGraphBuilder2)",
           "CoCreateInstance(CLSID_SampleGrabber)",
           "IBaseFilter::QueryInterface(ISampleGrabber)",
           "IFilterGraph::QueryInterface(IMediaControl)",
           "IFilterGraph::QueryInterface(IVideoWindow)",
           "IFilterGraph::QueryInterface(IMediaEventEx)",
           "IFilterGraph::QueryInterface(IMediaEvent)",
           "ICaptureGraphBuilder2::SetFiltergraph",
           "IFilterGraph::AddFilter(Video Capture)",
           "IFilterGraph::AddFilter(Sample Grabber)",
           "ISampleGrabber::SetMediaType",
           "IAMStreamConfig::GetNumberOfCapabilities",
           "IAMStreamConfig::GetFormat",
           "IAMStreamConfig::GetStreamCaps",
           "ICaptureGraphBuilder2::RenderStream(preview, interleaved)",
           "ICaptureGraphBuilder2::RenderStream(capture, video)",
           "ISampleGrabber::GetConnectedMediaType",
           "ISampleGrabber::SetBufferSamples",
           "ISampleGrabber::SetOneShot",
           "ISampleGrabber::SetCallback",
           "IVideoWindow::put_Owner",
           "IVideoWindow::put_MessageDrain",
           "IVideoWindow::put_WindowStyle",
           "IVideoWindow::SetWindowPosition",
           "IVideoWindow::put_Visible",
           "IMediaEventEx::SetNotifyWindow",
           "IMediaEventEx::FreeEventParams",
           "IMediaControl::Run",
           "IMediaControl::Pause",
           "IMediaControl::Stop",
           "IFilterGraph::Disconnect",
           "IFilterGraph::RemoveFilter",
           "IBaseFilter::EnumPins",
           "IEnumPins::Reset",
           "IEnumPins::Next",
           "IPin::ConnectedTo",
           "IPin::QueryPinInfo",
       })
    Script(call, S_OK);
  Script("ICaptureGraphBuilder2::FindInterface", E_NOINTERFACE);
  Script("ICaptureGraphBuilder2::FindInterface(capture, video, IAMStreamConfig)", S_OK);
  Script("IMediaEventEx::GetEvent", E_ABORT);
}

void FakeGraphSystem::ScriptWorkingRecorder() {
  ScriptWorkingGraph();
  for (const char* call : {
           "ICaptureGraphBuilder2::SetOutputFileName",
           "IFileSinkFilter2::SetMode",
           "IConfigAsfWriter::ConfigureFilterUsingProfileGuid",
           "IConfigAsfWriter::GetCurrentProfile",
           "IConfigAsfWriter::ConfigureFilterUsingProfile",
           "IWMProfile::GetStreamCount",
           "IWMProfile::GetStreamByNumber",
           "IWMProfile::ReconfigStream",
           "IWMStreamConfig::GetStreamType",
           "IWMStreamConfig::QueryInterface(IWMVideoMediaProps)",
           "IWMStreamConfig::SetBitrate",
           "IWMVideoMediaProps::GetMediaType",
           "IWMVideoMediaProps::SetMediaType",
       })
    Script(call, S_OK);
}

void FakeGraphSystem::ScriptWorkingPlayback() {
  ScriptWorkingGraph();
  for (const char* call : {
           "IFilterGraph::QueryInterface(IMediaSeeking)",
           "IFilterGraph::QueryInterface(IBasicVideo2)",
           "IFilterGraph::EnumFilters",
           "IGraphBuilder::RenderFile",
           "IBasicVideo::GetVideoSize",
           "IBasicVideo::get_AvgTimePerFrame",
           "IBasicVideo::get_BitRate",
           "IMediaSeeking::GetTimeFormat",
           "IMediaSeeking::SetTimeFormat",
           "IMediaSeeking::GetDuration",
           "IMediaSeeking::SetPositions",
           "IMediaSeeking::SetRate",
       })
    Script(call, S_OK);
}

FakeGraphRegistration::FakeGraphRegistration(std::shared_ptr<FakeGraphSystem> System)
    : m_Graph(CLSID_FilterGraph, Creator<FakeFilterGraph>(System, "CLSID_FilterGraph")),
      m_Builder(CLSID_CaptureGraphBuilder2, Creator<FakeCaptureGraphBuilder>(System, "CLSID_CaptureGraphBuilder2")),
      m_Grabber(CLSID_SampleGrabber, Creator<FakeSampleGrabber>(System, "CLSID_SampleGrabber")) {}

bool FakeGraphRegistration::Registered() const {
  return m_Graph.Result() == S_OK && m_Builder.Result() == S_OK && m_Grabber.Result() == S_OK;
}

STDMETHODIMP FakePin::ConnectedTo(IPin** Pin) {
  *Pin = nullptr;
  const HRESULT hr = m_System->Answer("IPin::ConnectedTo(" + m_Label + ")", "IPin::ConnectedTo");
  if (hr != S_OK) return hr;
  if (!m_Peer) return VFW_E_NOT_CONNECTED;
  *Pin = m_Peer;
  m_Peer->AddRef();
  return S_OK;
}

STDMETHODIMP FakePin::QueryPinInfo(PIN_INFO* Info) {
  ZeroMemory(Info, sizeof(*Info));
  const HRESULT hr = m_System->Answer("IPin::QueryPinInfo(" + m_Label + ")", "IPin::QueryPinInfo");
  if (hr != S_OK) return hr;
  Info->pFilter = m_Owner;
  m_Owner->AddRef();
  Info->dir = m_Direction;
  return S_OK;
}

FakePin* FakeFilter::AddPin(const std::string& Name, PIN_DIRECTION Direction) {
  m_Pins.emplace_back(new FakePin(m_System.get(), this, m_Label + "." + Name, Direction));
  m_Pins.back()->Release();  // the ComPtr took its own reference
  return m_Pins.back().Get();
}

STDMETHODIMP FakeFilter::EnumPins(IEnumPins** Pins) {
  *Pins = nullptr;
  const HRESULT hr = m_System->Answer("IBaseFilter::EnumPins(" + m_Label + ")", "IBaseFilter::EnumPins");
  if (FAILED(hr) || EnumPinsGivesNull) return hr;
  *Pins = new FakeEnumPins(m_System, m_Label, m_Pins);
  return hr;
}

STDMETHODIMP FakeFilter::QueryFilterInfo(FILTER_INFO* Info) {
  ZeroMemory(Info, sizeof(*Info));
  MultiByteToWideChar(CP_UTF8, 0, m_Label.c_str(), -1, Info->achName, MAX_FILTER_NAME - 1);
  return S_OK;
}

void Link(FakePin* Out, FakePin* In) {
  Out->SetPeer(In);
  In->SetPeer(Out);
}

std::string Label(IUnknown* Object) {
  if (!Object) return "null";
  // IUnknown* of a fake with several bases is its first base; reach the class through it.
  if (auto* filter = dynamic_cast<FakeFilter*>(Object)) return filter->Label();
  if (auto* device = dynamic_cast<FakeBaseFilter*>(Object)) return Narrow(device->Name());
  if (dynamic_cast<FakeSampleGrabber*>(Object)) return "grabber";
  if (dynamic_cast<FakeFilterGraph*>(Object)) return "graph";
  if (dynamic_cast<FakeStreamConfig*>(Object)) return "config";  // stream-format additions
  return "other";
}

}  // namespace fakes
