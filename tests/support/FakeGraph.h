#pragma once

// Fakes of the components' filter graphs: the filter graph (IGraphBuilder, IMediaControl,
// IVideoWindow, IMediaEventEx, and for playback IMediaSeeking and IBasicVideo2), the capture
// graph builder, the Sample Grabber, the device's
// stream configuration, and small filters with pins for walking connections.
//
// Every call is logged into one CallLog as "Interface::Method(details)". Its result comes from
// a script keyed by that entry or, when the entry has no script, by the bare "Interface::Method";
// a result may be scripted for the Nth call (from 1) only. A call without any script is
// unexpected (E_NOTIMPL). Reference counts are real: the graph holds the filters added to it,
// the builder holds the graph it was given, as in DirectShow.

#include <windows.h>

#include <dshow.h>
#include <qedit.h>
#include <wrl/client.h>

#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "support/FakeCom.h"
#include "support/FakeFileBranch.h"

namespace fakes {

// A media type with a video-info header, as a device or the grabber reports it.
struct FakeFormat {
  GUID MajorType = MEDIATYPE_Video;
  GUID SubType = MEDIASUBTYPE_RGB24;
  GUID FormatType = FORMAT_VideoInfo;
  VIDEOINFOHEADER Header{};
  // Size of the format block handed out (the start of Header); 0 hands out none.
  ULONG FormatBytes = sizeof(VIDEOINFOHEADER);

  // Width x Height at BitCount bits, TimePerFrame in 100 ns; biSizeImage width*height*bits/8.
  static FakeFormat Video(LONG Width, LONG Height, WORD BitCount = 24, REFERENCE_TIME TimePerFrame = 333333,
                          const GUID& SubType = MEDIASUBTYPE_RGB24);
  // Fills Type as DirectShow does: the format block from CoTaskMemAlloc.
  void Fill(AM_MEDIA_TYPE& Type) const;
  // A whole media type from CoTaskMemAlloc, for the caller to delete.
  AM_MEDIA_TYPE* NewMediaType() const;
};

// One capability of the device's stream configuration.
struct FakeCapability {
  FakeFormat Format;
  VIDEO_STREAM_CONFIG_CAPS Caps{};
  // A video capability; the frame intervals default to 30 down to 1 frame per second.
  static FakeCapability Video(LONG Width, LONG Height, REFERENCE_TIME TimePerFrame = 333333,
                              REFERENCE_TIME MinInterval = 333333, REFERENCE_TIME MaxInterval = 10000000);
};

struct FakeEvent {
  long Code = 0;
  LONG_PTR Param1 = 0;
  LONG_PTR Param2 = 0;
};

// What the graph fakes of one test do, and what they saw.
class FakeGraphSystem {
public:
  CallLog Log;

  // Result of every call logged as Call (an entry, or a bare "Interface::Method").
  void Script(const std::string& Call, HRESULT Result) { m_Results[Call] = Result; }
  // Result of the Nth call (from 1) logged as Call; wins over Script.
  void ScriptNth(const std::string& Call, int N, HRESULT Result) { m_NthResults[{Call, N}] = Result; }
  // Scripts S_OK for every call that a successful Open, Start, Pause, Stop, Close and
  // graph-event drain make with a device whose preview renders as interleaved; the stream
  // configuration is found with MEDIATYPE_Video only, GetEvent answers E_ABORT (empty queue).
  void ScriptWorkingGraph();
  // Adds to ScriptWorkingGraph what a recorder's Open makes of the file branch: the output file,
  // the sink's mode, and the ASF writer's profile with its streams.
  void ScriptWorkingRecorder();
  // Adds to ScriptWorkingGraph what a successful playback Open, Start, StartFrom and Close
  // make: RenderFile, the seeking and basic-video interfaces and their calls.
  void ScriptWorkingPlayback();

  // Logs Entry and answers its scripted result (see the header comment). Bare is the
  // "Interface::Method" part of Entry.
  HRESULT Answer(const std::string& Entry, const std::string& Bare);
  HRESULT Answer(const std::string& Entry) { return Answer(Entry, Entry); }

  // Window handle logged as "window" (the control's); 0 is logged as "0", others as "other".
  HWND Window = nullptr;
  std::string WindowText(OAHWND Handle) const;
  // Log "Release(label)" for each Release of the graph, builder and grabber while true.
  bool LogReleases = false;

  // The device's stream configuration (found through FindInterface).
  std::vector<FakeCapability> Capabilities{FakeCapability::Video(320, 240)};
  int CapabilitySize = sizeof(VIDEO_STREAM_CONFIG_CAPS);
  std::optional<FakeFormat> CurrentFormat = FakeFormat::Video(320, 240);
  // What the grabber reports as its connection.
  FakeFormat Connected = FakeFormat::Video(320, 240);
  // The media type last given to the grabber.
  std::optional<AM_MEDIA_TYPE> GrabberType;
  // Events GetEvent hands out, and the parameters FreeEventParams was given.
  std::deque<FakeEvent> Events;
  std::vector<FakeEvent> FreedEvents;
  // Playback: what IBasicVideo2 and IMediaSeeking report (on success), and what they were given.
  LONG VideoWidth = 640, VideoHeight = 480;
  double AvgTimePerFrame = 0.04;  // seconds
  LONG BitRate = 1234567;
  LONGLONG Duration = 20000000;  // 100 ns units
  GUID TimeFormat = TIME_FORMAT_MEDIA_TIME;
  // Per RenderFile: the file name (UTF-8) and the play list ("null" for none).
  std::vector<std::string> RenderedFiles;
  // Per RenderStream: "source, intermediate, renderer" by label ("null" for none).
  std::vector<std::string> RenderStreamFilters;
  // Per FindInterface: the label of the filter asked.
  std::vector<std::string> FindInterfaceFilters;
  // Labels of the filters in the live graph, in the order added.
  std::vector<std::string> GraphFilters;

  // ---- Stream formats and property pages (tests/unit/FormatsTest.cpp) ----
  // Every media type IAMStreamConfig::SetFormat was given, whatever it answered.
  std::vector<FakeFormat> AppliedFormats;
  // While true the stream configuration answers ISpecifyPropertyPages. Its GetPages is logged
  // as "ISpecifyPropertyPages::GetPages(config)" and scripted; on S_OK it hands out ConfigPages
  // in an array from CoTaskMemAlloc whose address is added to PageArrays.
  bool ConfigHasPages = false;
  std::vector<CLSID> ConfigPages;
  std::vector<void*> PageArrays;
  // ---- end of the stream-format additions ----

  // The recorder's file branch (support/FakeFileBranch.h).
  FakeFileBranch File;

private:
  std::map<std::string, HRESULT> m_Results;
  std::map<std::pair<std::string, int>, HRESULT> m_NthResults;
  std::map<std::string, int> m_Counts;
};

// Registers the graph fakes under CLSID_FilterGraph, CLSID_CaptureGraphBuilder2 and
// CLSID_SampleGrabber while it lives. Creation is logged as "CoCreateInstance(CLSID_x)" and
// scripted like any call (a failure creates nothing).
class FakeGraphRegistration {
public:
  explicit FakeGraphRegistration(std::shared_ptr<FakeGraphSystem> System);
  bool Registered() const;

private:
  ScopedClassRegistration m_Graph;
  ScopedClassRegistration m_Builder;
  ScopedClassRegistration m_Grabber;
};

class FakeFilter;

// A pin of a FakeFilter. Connections are not counted references (the test owns the filters);
// ConnectedTo and QueryPinInfo hand out counted ones.
class FakePin : public FakeComObject<IPin> {
public:
  FakePin(FakeGraphSystem* System, FakeFilter* Owner, std::string Label, PIN_DIRECTION Direction)
      : m_System(System), m_Owner(Owner), m_Label(std::move(Label)), m_Direction(Direction) {}

  const std::string& Label() const { return m_Label; }
  IPin* Peer() const { return m_Peer; }
  void SetPeer(IPin* Peer) { m_Peer = Peer; }

  STDMETHODIMP ConnectedTo(IPin** Pin) override;
  STDMETHODIMP QueryPinInfo(PIN_INFO* Info) override;
  STDMETHODIMP Connect(IPin*, const AM_MEDIA_TYPE*) override { return Unexpected("IPin::Connect"); }
  STDMETHODIMP ReceiveConnection(IPin*, const AM_MEDIA_TYPE*) override { return Unexpected("IPin::ReceiveConnection"); }
  STDMETHODIMP Disconnect() override { return Unexpected("IPin::Disconnect"); }
  STDMETHODIMP ConnectionMediaType(AM_MEDIA_TYPE*) override { return Unexpected("IPin::ConnectionMediaType"); }
  STDMETHODIMP QueryDirection(PIN_DIRECTION*) override { return Unexpected("IPin::QueryDirection"); }
  STDMETHODIMP QueryId(LPWSTR*) override { return Unexpected("IPin::QueryId"); }
  STDMETHODIMP QueryAccept(const AM_MEDIA_TYPE*) override { return Unexpected("IPin::QueryAccept"); }
  STDMETHODIMP EnumMediaTypes(IEnumMediaTypes**) override { return Unexpected("IPin::EnumMediaTypes"); }
  STDMETHODIMP QueryInternalConnections(IPin**, ULONG*) override {
    return Unexpected("IPin::QueryInternalConnections");
  }
  STDMETHODIMP EndOfStream() override { return Unexpected("IPin::EndOfStream"); }
  STDMETHODIMP BeginFlush() override { return Unexpected("IPin::BeginFlush"); }
  STDMETHODIMP EndFlush() override { return Unexpected("IPin::EndFlush"); }
  STDMETHODIMP NewSegment(REFERENCE_TIME, REFERENCE_TIME, double) override { return Unexpected("IPin::NewSegment"); }

private:
  FakeGraphSystem* m_System;  // not counted: the filter keeps the system
  FakeFilter* m_Owner;  // not counted: the filter owns its pins
  std::string m_Label;
  PIN_DIRECTION m_Direction;
  IPin* m_Peer = nullptr;  // not counted: the test owns both filters
};

// A filter with named pins, for connection chains. Logged by its label.
class FakeFilter : public FakeComObject<IBaseFilter> {
public:
  FakeFilter(std::shared_ptr<FakeGraphSystem> System, std::string Label)
      : m_System(std::move(System)), m_Label(std::move(Label)) {}

  const std::string& Label() const { return m_Label; }
  // Adds a pin labelled "<filter>.<Name>".
  FakePin* AddPin(const std::string& Name, PIN_DIRECTION Direction);
  // EnumPins answers its script with no enumerator.
  bool EnumPinsGivesNull = false;
  const std::vector<Microsoft::WRL::ComPtr<FakePin>>& Pins() const { return m_Pins; }

  STDMETHODIMP EnumPins(IEnumPins** Pins) override;
  STDMETHODIMP QueryFilterInfo(FILTER_INFO* Info) override;
  STDMETHODIMP GetClassID(CLSID*) override { return Unexpected("IBaseFilter::GetClassID"); }
  STDMETHODIMP Stop() override { return Unexpected("IBaseFilter::Stop"); }
  STDMETHODIMP Pause() override { return Unexpected("IBaseFilter::Pause"); }
  STDMETHODIMP Run(REFERENCE_TIME) override { return Unexpected("IBaseFilter::Run"); }
  STDMETHODIMP GetState(DWORD, FILTER_STATE*) override { return Unexpected("IBaseFilter::GetState"); }
  STDMETHODIMP SetSyncSource(IReferenceClock*) override { return Unexpected("IBaseFilter::SetSyncSource"); }
  STDMETHODIMP GetSyncSource(IReferenceClock**) override { return Unexpected("IBaseFilter::GetSyncSource"); }
  STDMETHODIMP FindPin(LPCWSTR, IPin**) override { return Unexpected("IBaseFilter::FindPin"); }
  STDMETHODIMP JoinFilterGraph(IFilterGraph*, LPCWSTR) override { return Unexpected("IBaseFilter::JoinFilterGraph"); }
  STDMETHODIMP QueryVendorInfo(LPWSTR*) override { return Unexpected("IBaseFilter::QueryVendorInfo"); }

private:
  std::shared_ptr<FakeGraphSystem> m_System;
  std::string m_Label;
  std::vector<Microsoft::WRL::ComPtr<FakePin>> m_Pins;
};

// Connects Out to In both ways (uncounted).
void Link(FakePin* Out, FakePin* In);

// The label a fake is logged by: a FakeFilter's label, a device filter's name, "grabber",
// "graph", "null"; "other" for anything else.
std::string Label(IUnknown* Object);

}  // namespace fakes
