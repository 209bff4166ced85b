// The test capture graph builder itself: its registration in the prefix, what it hands to the
// platform's builder, what SetOutputFileName builds or refuses, and its writer on a full disk.

#include <windows.h>

#include <dshow.h>
#include <wrl/client.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "recording/FfProbe.h"
#include "recording/RecordingGraph.h"
#include "testbuilder/LmTestCaptureBuilder.h"

namespace {

using Microsoft::WRL::ComPtr;

std::wstring ServerKey() {
  wchar_t clsid[40] = {};
  StringFromGUID2(CLSID_LmCaptureGraphBuilder2, clsid, 40);
  return std::wstring(L"CLSID\\") + clsid + L"\\InprocServer32";
}

std::wstring ReadString(const wchar_t* Name) {
  wchar_t value[MAX_PATH * 2] = {};
  DWORD bytes = sizeof(value);
  if (RegGetValueW(HKEY_CLASSES_ROOT, ServerKey().c_str(), Name, RRF_RT_REG_SZ, nullptr, value, &bytes) !=
      ERROR_SUCCESS)
    return {};
  return value;
}

bool EndsWith(const std::wstring& Text, const std::wstring& End) {
  return Text.size() >= End.size() && _wcsicmp(Text.c_str() + Text.size() - End.size(), End.c_str()) == 0;
}

ComPtr<ICaptureGraphBuilder2> CreateBuilder() {
  ComPtr<ICaptureGraphBuilder2> builder;
  CoCreateInstance(CLSID_CaptureGraphBuilder2, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&builder));
  return builder;
}

ComPtr<IGraphBuilder> CreateGraph() {
  ComPtr<IGraphBuilder> graph;
  CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&graph));
  return graph;
}

int FilterCount(IGraphBuilder* Graph) {
  ComPtr<IEnumFilters> filters;
  if (FAILED(Graph->EnumFilters(&filters))) return -1;
  int count = 0;
  ComPtr<IBaseFilter> filter;
  while (filters->Next(1, filter.ReleaseAndGetAddressOf(), nullptr) == S_OK) ++count;
  return count;
}

// SetOutputFileName(MEDIASUBTYPE_Avi) from a builder, whichever the prefix registers.
HRESULT SetAviOutput(ICaptureGraphBuilder2* Builder, IGraphBuilder* Graph) {
  if (FAILED(Builder->SetFiltergraph(Graph))) return E_FAIL;
  ComPtr<IBaseFilter> writer;
  ComPtr<IFileSinkFilter> sink;
  return Builder->SetOutputFileName(&MEDIASUBTYPE_Avi, L"C:\\unused.avi", &writer, &sink);
}

using DllFunction = HRESULT(__stdcall*)();

TEST(CaptureBuilderRegistration, ReplacesThePlatformBuilderAndUnregisteringGivesItBack) {
  const std::wstring server = ReadString(nullptr);
  ASSERT_TRUE(EndsWith(server, L"LmTestCaptureBuilder.dll")) << "registered server: " << std::string(server.begin(), server.end());
  const std::wstring platform = ReadString(L"LmPreviousServer");
  ASSERT_TRUE(EndsWith(platform, L"qcap.dll"));

  HMODULE module = LoadLibraryW(server.c_str());
  ASSERT_NE(module, nullptr);
  const auto unregister =
      reinterpret_cast<DllFunction>(reinterpret_cast<void*>(GetProcAddress(module, "DllUnregisterServer")));
  const auto reregister =
      reinterpret_cast<DllFunction>(reinterpret_cast<void*>(GetProcAddress(module, "DllRegisterServer")));
  ASSERT_TRUE(unregister && reregister);

  ASSERT_EQ(unregister(), S_OK);
  EXPECT_EQ(ReadString(nullptr), platform);
  EXPECT_EQ(ReadString(L"LmPreviousServer"), L"");
  EXPECT_EQ(ReadString(L"ThreadingModel"), L"Both");
  // Wine's own builder again, with its missing file output.
  EXPECT_EQ(SetAviOutput(CreateBuilder().Get(), CreateGraph().Get()), E_NOTIMPL);
  EXPECT_EQ(unregister(), S_OK) << "a second unregistration changes nothing";
  EXPECT_EQ(ReadString(nullptr), platform);

  // Registered twice, it still keeps the platform's server, not itself.
  ASSERT_EQ(reregister(), S_OK);
  ASSERT_EQ(reregister(), S_OK);
  EXPECT_EQ(ReadString(nullptr), server);
  EXPECT_EQ(ReadString(L"LmPreviousServer"), platform);
  EXPECT_EQ(SetAviOutput(CreateBuilder().Get(), CreateGraph().Get()), S_OK);
  FreeLibrary(module);
}

TEST(CaptureBuilderStandIn, HandsTheGraphCallsToThePlatformBuilder) {
  const ComPtr<ICaptureGraphBuilder2> builder = CreateBuilder();
  ASSERT_TRUE(builder);
  ComPtr<IGraphBuilder> graph;
  // Wine's builder has no graph of its own until it is given one.
  EXPECT_EQ(builder->GetFiltergraph(&graph), E_UNEXPECTED);
  const ComPtr<IGraphBuilder> given = CreateGraph();
  ASSERT_EQ(builder->SetFiltergraph(given.Get()), S_OK);
  EXPECT_EQ(builder->SetFiltergraph(given.Get()), E_UNEXPECTED) << "the platform's answer to a second graph";
  ASSERT_EQ(builder->GetFiltergraph(&graph), S_OK);
  EXPECT_EQ(graph.Get(), given.Get());
  // A subtype it does not build itself is the platform's business.
  ComPtr<IBaseFilter> filter;
  EXPECT_EQ(builder->SetOutputFileName(&MEDIASUBTYPE_RGB24, L"C:\\x.raw", &filter, nullptr), E_NOTIMPL);
  ComPtr<ICaptureGraphBuilder> first;
  EXPECT_EQ(builder.As(&first), E_NOINTERFACE);
}

TEST(CaptureBuilderStandIn, SetOutputFileNameRefusesMissingArgumentsAndAMissingGraph) {
  const ComPtr<ICaptureGraphBuilder2> builder = CreateBuilder();
  ASSERT_TRUE(builder);
  IBaseFilter* filter = reinterpret_cast<IBaseFilter*>(1);
  IFileSinkFilter* sink = reinterpret_cast<IFileSinkFilter*>(1);
  EXPECT_EQ(builder->SetOutputFileName(nullptr, L"C:\\a.avi", &filter, &sink), E_POINTER);
  EXPECT_EQ(builder->SetOutputFileName(&MEDIASUBTYPE_Avi, nullptr, &filter, &sink), E_POINTER);
  EXPECT_EQ(builder->SetOutputFileName(&MEDIASUBTYPE_Avi, L"C:\\a.avi", nullptr, &sink), E_POINTER);
  // No graph yet: the platform builder's answer, and nothing handed out.
  EXPECT_EQ(builder->SetOutputFileName(&MEDIASUBTYPE_Avi, L"C:\\a.avi", &filter, &sink), E_UNEXPECTED);
  EXPECT_EQ(filter, nullptr);
  EXPECT_EQ(sink, nullptr);
}

TEST(CaptureBuilderStandIn, AsfFailsAsCreatingTheAsfWriterFailsAndAddsNothing) {
  ComPtr<IBaseFilter> asfWriter;
  const HRESULT created = CoCreateInstance(CLSID_LmWMAsfWriter, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&asfWriter));
  ASSERT_EQ(created, REGDB_E_CLASSNOTREG) << "Wine has no WM ASF Writer";
  const ComPtr<ICaptureGraphBuilder2> builder = CreateBuilder();
  const ComPtr<IGraphBuilder> graph = CreateGraph();
  ASSERT_EQ(builder->SetFiltergraph(graph.Get()), S_OK);
  IBaseFilter* filter = reinterpret_cast<IBaseFilter*>(1);
  IFileSinkFilter* sink = reinterpret_cast<IFileSinkFilter*>(1);
  EXPECT_EQ(builder->SetOutputFileName(&MEDIASUBTYPE_Asf, L"C:\\a.asf", &filter, &sink), created);
  EXPECT_EQ(filter, nullptr);
  EXPECT_EQ(sink, nullptr);
  EXPECT_EQ(FilterCount(graph.Get()), 0);
}

TEST(CaptureBuilderStandIn, AviAddsOneWriterAndHandsOutOneReferencePerInterface) {
  const ComPtr<ICaptureGraphBuilder2> builder = CreateBuilder();
  const ComPtr<IGraphBuilder> graph = CreateGraph();
  ASSERT_EQ(builder->SetFiltergraph(graph.Get()), S_OK);
  IBaseFilter* writer = nullptr;
  IFileSinkFilter* sink = nullptr;
  ASSERT_EQ(builder->SetOutputFileName(&MEDIASUBTYPE_Avi, L"C:\\record.avi", &writer, &sink), S_OK);
  ASSERT_TRUE(writer && sink);
  ASSERT_EQ(FilterCount(graph.Get()), 1);
  ComPtr<IBaseFilter> found;
  ASSERT_EQ(graph->FindFilterByName(kLmAviFileWriterName, &found), S_OK);
  EXPECT_EQ(found.Get(), writer);
  ComPtr<IUnknown> writerIdentity, sinkIdentity;
  writer->QueryInterface(IID_PPV_ARGS(&writerIdentity));
  sink->QueryInterface(IID_PPV_ARGS(&sinkIdentity));
  EXPECT_EQ(writerIdentity.Get(), sinkIdentity.Get()) << "the writer is its own sink";
  writerIdentity.Reset();
  sinkIdentity.Reset();
  found.Reset();

  LPOLESTR name = nullptr;
  AM_MEDIA_TYPE type{};
  ASSERT_EQ(sink->GetCurFile(&name, &type), S_OK);
  EXPECT_STREQ(name, L"C:\\record.avi");
  CoTaskMemFree(name);
  ComPtr<IFileSinkFilter2> sink2;
  ASSERT_EQ(sink->QueryInterface(IID_PPV_ARGS(&sink2)), S_OK);
  DWORD mode = 99;
  EXPECT_EQ(sink2->GetMode(&mode), S_OK);
  EXPECT_EQ(mode, 0u);
  EXPECT_EQ(sink2->SetMode(2), E_INVALIDARG);
  EXPECT_EQ(sink2->SetMode(AM_FILE_OVERWRITE), S_OK);
  EXPECT_EQ(sink2->GetMode(&mode), S_OK);
  EXPECT_EQ(mode, static_cast<DWORD>(AM_FILE_OVERWRITE));
  EXPECT_EQ(sink2->GetMode(nullptr), E_POINTER);
  sink2.Reset();

  // The graph, the sink and the filter hold one reference each: once the graph lets go and
  // the sink is released, the filter's own reference is the last.
  ASSERT_EQ(graph->RemoveFilter(writer), S_OK);
  EXPECT_EQ(sink->Release(), 1u);
  EXPECT_EQ(writer->Release(), 0u);
}

TEST(CaptureBuilderStandIn, WriterPinTakesVideoWithAVideoInfoHeaderOnly) {
  const ComPtr<ICaptureGraphBuilder2> builder = CreateBuilder();
  const ComPtr<IGraphBuilder> graph = CreateGraph();
  ASSERT_EQ(builder->SetFiltergraph(graph.Get()), S_OK);
  ComPtr<IBaseFilter> writer;
  ASSERT_EQ(builder->SetOutputFileName(&MEDIASUBTYPE_Avi, L"C:\\pin.avi", &writer, nullptr), S_OK);
  ComPtr<IPin> pin;
  ASSERT_EQ(writer->FindPin(L"In", &pin), S_OK);
  ComPtr<IPin> other;
  EXPECT_EQ(writer->FindPin(L"Out", &other), VFW_E_NOT_FOUND);

  VIDEOINFOHEADER video{};
  video.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  video.bmiHeader.biWidth = 320;
  video.bmiHeader.biHeight = 240;
  AM_MEDIA_TYPE type{};
  type.majortype = MEDIATYPE_Video;
  type.subtype = MEDIASUBTYPE_RGB24;
  type.formattype = FORMAT_VideoInfo;
  type.cbFormat = sizeof(video);
  type.pbFormat = reinterpret_cast<BYTE*>(&video);
  EXPECT_EQ(pin->QueryAccept(&type), S_OK);
  type.majortype = MEDIATYPE_Audio;
  EXPECT_EQ(pin->QueryAccept(&type), S_FALSE);
  type.majortype = MEDIATYPE_Video;
  type.cbFormat = sizeof(video) - 1;
  EXPECT_EQ(pin->QueryAccept(&type), S_FALSE) << "a format block too short";
  type.cbFormat = sizeof(video);
  video.bmiHeader.biWidth = 0;
  EXPECT_EQ(pin->QueryAccept(&type), S_FALSE) << "no picture";

  ComPtr<IPin> peer;
  EXPECT_EQ(pin->ConnectedTo(&peer), VFW_E_NOT_CONNECTED);
  EXPECT_EQ(pin->Disconnect(), S_FALSE);
  PIN_DIRECTION direction = PINDIR_OUTPUT;
  EXPECT_EQ(pin->QueryDirection(&direction), S_OK);
  EXPECT_EQ(direction, PINDIR_INPUT);
  EXPECT_EQ(pin->Connect(nullptr, nullptr), E_UNEXPECTED);
  // A graph run with nothing connected opens no file and stops cleanly.
  ComPtr<IMediaControl> control;
  ASSERT_EQ(graph.As(&control), S_OK);
  EXPECT_TRUE(SUCCEEDED(control->Run()));
  EXPECT_EQ(control->Stop(), S_OK);
}

// The EC_ERRORABORT events' codes that Events delivers until one arrives or TimeoutMs passes.
std::vector<HRESULT> AbortCodes(IMediaEventEx* Events, DWORD TimeoutMs) {
  std::vector<HRESULT> codes;
  const ULONGLONG deadline = GetTickCount64() + TimeoutMs;
  long code = 0;
  LONG_PTR first = 0, second = 0;
  while (codes.empty() && GetTickCount64() < deadline) {
    if (Events->GetEvent(&code, &first, &second, 50) != S_OK) continue;
    if (code == EC_ERRORABORT) codes.push_back(static_cast<HRESULT>(first));
    Events->FreeEventParams(code, first, second);
  }
  return codes;
}

TEST(CaptureBuilderWriter, AFullDiskFailsEveryWriteAfterItsLimitAndKeepsTheFramesBeforeReadable) {
  const std::string name = "disk-full.avi";
  const std::wstring path = rectest::RecordingWindowsPath(name);
  rectest::RecordingGraph graph(path, 160, 120, 666666);
  ASSERT_EQ(graph.Result, S_OK) << graph.Step;
  ComPtr<ILmAviWriterDiskFull> disk;
  ASSERT_EQ(graph.Writer->QueryInterface(IID_ILmAviWriterDiskFull, reinterpret_cast<void**>(disk.GetAddressOf())),
            S_OK);
  // The headers and three frames of 8 + 160 * 120 * 3 bytes fit; the fourth does not.
  constexpr size_t kChunk = 8 + 160 * 120 * 3;
  constexpr ULONGLONG kLimit = 3 * kChunk + 20000;
  ASSERT_EQ(disk->FailWritesAfter(kLimit), S_OK);
  ComPtr<IMediaEventEx> events;
  ASSERT_EQ(graph.Graph->QueryInterface(IID_IMediaEventEx, reinterpret_cast<void**>(events.GetAddressOf())), S_OK);

  ASSERT_TRUE(SUCCEEDED(graph.Control->Run()));
  const std::vector<HRESULT> aborts = AbortCodes(events.Get(), 10000);
  graph.Control->Stop();
  ASSERT_FALSE(aborts.empty()) << "the graph heard nothing of the failed write";
  EXPECT_EQ(aborts[0], HRESULT_FROM_WIN32(ERROR_DISK_FULL));

  // Nothing was written past the limit, not even the index and the final headers (the RIFF
  // size still says "to the end of the file"), and ffprobe reads the whole frames before it.
  const std::string file = rectest::ReadWholeFile(path);
  ASSERT_GT(file.size(), 12u);
  EXPECT_LE(file.size(), kLimit);
  EXPECT_EQ(file.find("idx1"), std::string::npos);
  DWORD riffSize = 1;
  std::memcpy(&riffSize, file.data() + 4, sizeof(riffSize));
  EXPECT_EQ(riffSize, 0u);
  const size_t movi = file.find("movi");
  ASSERT_NE(movi, std::string::npos);
  const size_t wholeFrames = (file.size() - (movi + 4)) / kChunk;
  EXPECT_EQ(wholeFrames, 3u);
  const rectest::VideoProbe probe = rectest::ProbeVideo(rectest::RecordingUnixPath(name));
  ASSERT_TRUE(probe.Read) << probe.Output;
  EXPECT_EQ(probe.Frames, static_cast<int>(wholeFrames)) << probe.Output;
  EXPECT_EQ(probe.Width, 160);

  // A limit below the headers fails the opening of the file, and so the graph's Run.
  ASSERT_EQ(disk->FailWritesAfter(100), S_OK);
  EXPECT_EQ(graph.Control->Run(), HRESULT_FROM_WIN32(ERROR_DISK_FULL));
  graph.StopEveryFilter();
}

}  // namespace
