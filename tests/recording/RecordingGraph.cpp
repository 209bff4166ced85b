#include "recording/RecordingGraph.h"

#include "testcam/CameraRig.h"
#include "testcam/LmTestCam.h"

namespace rectest {

bool RecordingGraph::Check(HRESULT hr, const char* StepName) {
  if (SUCCEEDED(hr)) return true;
  Result = hr;
  Step = StepName;
  return false;
}

RecordingGraph::RecordingGraph(const std::wstring& File, LONG Width, LONG Height, REFERENCE_TIME FrameInterval,
                               const GUID& SubType, const std::wstring& CameraName) {
  Camera = camtest::BindCamera(CameraName);
  if (!Check(Camera ? S_OK : E_FAIL, "bind the test camera")) return;
  if (!Check(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&Graph)), "graph") ||
      !Check(CoCreateInstance(CLSID_CaptureGraphBuilder2, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&Builder)),
             "builder") ||
      !Check(Builder->SetFiltergraph(Graph.Get()), "SetFiltergraph") ||
      !Check(Graph->AddFilter(Camera.Get(), L"Video Capture"), "AddFilter") ||
      !Check(Graph.As(&Control), "IMediaControl"))
    return;

  // The capture pin's format: the capability of that size and subtype at the given interval.
  ComPtr<IAMStreamConfig> config;
  if (!Check(Builder->FindInterface(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, Camera.Get(), IID_IAMStreamConfig,
                                    reinterpret_cast<void**>(config.GetAddressOf())),
             "FindInterface"))
    return;
  int count = 0, size = 0;
  config->GetNumberOfCapabilities(&count, &size);
  bool set = false;
  for (int i = 0; i < count && !set; ++i) {
    AM_MEDIA_TYPE* type = nullptr;
    VIDEO_STREAM_CONFIG_CAPS caps{};
    if (FAILED(config->GetStreamCaps(i, &type, reinterpret_cast<BYTE*>(&caps)))) continue;
    const BITMAPINFOHEADER* bitmap = camtest::BitmapOf(*type);
    if (IsEqualGUID(type->formattype, FORMAT_VideoInfo) && IsEqualGUID(type->subtype, SubType) && bitmap &&
        bitmap->biWidth == Width && bitmap->biHeight == Height) {
      reinterpret_cast<VIDEOINFOHEADER*>(type->pbFormat)->AvgTimePerFrame = FrameInterval;
      set = Check(config->SetFormat(type), "SetFormat");
    }
    camtest::DeleteType(type);
  }
  if (!set) {
    if (Step.empty()) Check(E_INVALIDARG, "find the format");
    return;
  }

  if (!Check(Builder->SetOutputFileName(&MEDIASUBTYPE_Avi, File.c_str(), &Writer, &Sink), "SetOutputFileName"))
    return;
  ComPtr<IFileSinkFilter2> sink2;
  if (!Check(Sink.As(&sink2), "IFileSinkFilter2") || !Check(sink2->SetMode(AM_FILE_OVERWRITE), "SetMode")) return;
  if (!Check(CoCreateInstance(camtest::kClsidNullRenderer, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&PreviewSink)),
             "Null Renderer") ||
      !Check(Graph->AddFilter(PreviewSink.Get(), L"Preview"), "AddFilter preview") ||
      !Check(Builder->RenderStream(&PIN_CATEGORY_PREVIEW, &MEDIATYPE_Video, Camera.Get(), nullptr, PreviewSink.Get()),
             "RenderStream preview") ||
      !Check(Builder->RenderStream(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, Camera.Get(), nullptr, Writer.Get()),
             "RenderStream capture"))
    return;
  Result = S_OK;
}

RecordingGraph::~RecordingGraph() {
  if (Control) Control->Stop();
}

void RecordingGraph::StopEveryFilter() {
  ComPtr<IEnumFilters> filters;
  if (FAILED(Graph->EnumFilters(&filters))) return;
  ComPtr<IBaseFilter> filter;
  while (filters->Next(1, filter.ReleaseAndGetAddressOf(), nullptr) == S_OK) filter->Stop();
}

bool RecordingGraph::Record(DWORD Milliseconds) {
  // A live source: Run answers S_FALSE until it has something, which counts as running.
  if (FAILED(Control->Run())) return false;
  Sleep(Milliseconds);
  return Control->Stop() == S_OK;
}

HRESULT BuilderCanUnloadNow() {
  HMODULE module = GetModuleHandleW(L"LmTestCaptureBuilder.dll");
  if (!module) module = LoadLibraryW(L"LmTestCaptureBuilder.dll");
  using CanUnloadNow = HRESULT(__stdcall*)();
  const auto canUnloadNow = module ? reinterpret_cast<CanUnloadNow>(reinterpret_cast<void*>(
                                         GetProcAddress(module, "DllCanUnloadNow")))
                                   : nullptr;
  return canUnloadNow ? canUnloadNow() : E_FAIL;
}

LONGLONG FileSize(const std::wstring& Path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(Path.c_str(), GetFileExInfoStandard, &data)) return -1;
  return (static_cast<LONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

}  // namespace rectest
