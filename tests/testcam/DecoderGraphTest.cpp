// The test decoder (testcodec/, registered in the prefix) as Windows's YUV and MJPEG decoders
// serve: found by FOURCC through the Video for Windows codec manager, and inserted by Wine's
// graph builder as the AVI Decompressor's codec between the UVC camera and an RGB24 Sample
// Grabber (YUY2, MJPG; not NV12) or the Video Renderer (every subtype).

#include <gtest/gtest.h>

#include <windows.h>

#include <dshow.h>
#include <vfw.h>

#include <cstring>
#include <vector>

#include "testcam/CameraRig.h"
#include "support/TestWindow.h"
#include "testcam/LmTestCam.h"

namespace camtest {
namespace {

BITMAPINFOHEADER Picture(DWORD Compression, WORD BitCount, LONG Width = 640, LONG Height = 480) {
  BITMAPINFOHEADER header{};
  header.biSize = sizeof(header);
  header.biWidth = Width;
  header.biHeight = Height;
  header.biPlanes = 1;
  header.biBitCount = BitCount;
  header.biCompression = Compression;
  return header;
}

TEST(TestDecoder, CodecManagerFindsItByFourccWithTheOutputsWindowsOffers) {
  const struct {
    DWORD Fourcc;
    WORD Bits;
    bool Rgb24;
  } cases[] = {{MAKEFOURCC('Y', 'U', 'Y', '2'), 16, true},
               {MAKEFOURCC('M', 'J', 'P', 'G'), 24, true},
               {MAKEFOURCC('N', 'V', '1', '2'), 12, false}};
  for (const auto& test : cases) {
    BITMAPINFOHEADER in = Picture(test.Fourcc, test.Bits);
    HIC codec = ICLocate(ICTYPE_VIDEO, test.Fourcc, &in, nullptr, ICMODE_DECOMPRESS);
    ASSERT_TRUE(codec) << test.Fourcc;
    BITMAPINFOHEADER rgb24 = Picture(BI_RGB, 24), rgb32 = Picture(BI_RGB, 32), topDown = Picture(BI_RGB, 32, 640, -480);
    EXPECT_EQ(ICDecompressQuery(codec, &in, &rgb24) == ICERR_OK, test.Rgb24) << test.Fourcc;
    EXPECT_EQ(ICDecompressQuery(codec, &in, &rgb32), ICERR_OK) << test.Fourcc;
    EXPECT_EQ(ICDecompressQuery(codec, &in, &topDown), ICERR_OK) << test.Fourcc;
    BITMAPINFOHEADER otherSize = Picture(BI_RGB, 32, 320, 240);
    EXPECT_EQ(ICDecompressQuery(codec, &in, &otherSize), ICERR_BADFORMAT);
    BITMAPINFOHEADER proposed{};
    if (test.Rgb24) {
      ASSERT_EQ(ICDecompressGetFormat(codec, &in, &proposed), ICERR_OK);
      EXPECT_EQ(proposed.biBitCount, 24);
      EXPECT_EQ(proposed.biHeight, 480) << "bottom-up";
    } else {
      EXPECT_NE(ICDecompressGetFormat(codec, &in, &proposed), ICERR_OK) << "NV12 proposes no format";
    }
    ICClose(codec);
  }
}

// The first filter of class Clsid in Graph.
ComPtr<IBaseFilter> FilterOfClass(IGraphBuilder* Graph, REFCLSID Clsid) {
  ComPtr<IEnumFilters> filters;
  ComPtr<IBaseFilter> filter;
  if (FAILED(Graph->EnumFilters(&filters))) return nullptr;
  while (filters->Next(1, filter.ReleaseAndGetAddressOf(), nullptr) == S_OK) {
    CLSID clsid = GUID_NULL;
    if (SUCCEEDED(filter->GetClassID(&clsid)) && IsEqualCLSID(clsid, Clsid)) return filter;
  }
  return nullptr;
}

// The class of the filter upstream of Filter's input pin.
CLSID UpstreamFilter(IBaseFilter* Filter) {
  CLSID clsid = GUID_NULL;
  ComPtr<IEnumPins> pins;
  ComPtr<IPin> pin, peer;
  if (FAILED(Filter->EnumPins(&pins))) return clsid;
  while (pins->Next(1, pin.ReleaseAndGetAddressOf(), nullptr) == S_OK) {
    PIN_DIRECTION direction;
    if (pin->QueryDirection(&direction) == S_OK && direction == PINDIR_INPUT && pin->ConnectedTo(&peer) == S_OK) {
      PIN_INFO info{};
      peer->QueryPinInfo(&info);
      if (info.pFilter) {
        info.pFilter->GetClassID(&clsid);
        info.pFilter->Release();
      }
      break;
    }
  }
  return clsid;
}

TEST(TestDecoderGraph, RgbGrabberConnectsThroughTheAviDecompressorForYuy2AndMjpgButNotNv12) {
  const struct {
    int Index;
    bool Connects;
  } cases[] = {{2, true}, {4, true}, {5, true}, {7, false}};
  for (const auto& test : cases) {
    SCOPED_TRACE(test.Index);
    CaptureRig rig(kLmTestCameraUvcName);
    ASSERT_TRUE(rig.Ready());
    ASSERT_EQ(SetCaptureFormat(rig.Camera.Get(), test.Index), S_OK);
    const HRESULT hr = rig.RenderCapture();
    if (!test.Connects) {
      EXPECT_TRUE(FAILED(hr)) << "NV12 reached an RGB24 grabber: 0x" << std::hex << hr;
      continue;
    }
    ASSERT_EQ(hr, S_OK);
    EXPECT_TRUE(IsEqualCLSID(UpstreamFilter(rig.Grabber.Get()), CLSID_AVIDec));
    ASSERT_TRUE(SUCCEEDED(rig.Control->Run()));
    EXPECT_TRUE(rig.Collector->WaitForCount(5, 15000));
    ASSERT_EQ(rig.Control->Stop(), S_OK);
    const auto counters = rig.Collector->Counters();
    ASSERT_GE(counters.size(), 5u);
    for (size_t i = 1; i < counters.size(); ++i) EXPECT_EQ(counters[i], counters[i - 1] + 1) << i;
    EXPECT_EQ(rig.Collector->BadBars(), 0);
  }
}

// The camera's preview, as an application shows it: the capture graph builder adds the Video
// Renderer, whose window is placed in a host window; the picture is read from the screen.
TEST(TestDecoderGraph, CaptureGraphBuilderRendersThePreviewOfEverySubtype) {
  for (const int index : {1, 4, 7}) {  // YUY2, MJPG, NV12 at 320 x 240 or 640 x 480
    SCOPED_TRACE(index);
    ComPtr<IGraphBuilder> graph;
    ComPtr<ICaptureGraphBuilder2> builder;
    ASSERT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&graph)), S_OK);
    ASSERT_EQ(CoCreateInstance(CLSID_CaptureGraphBuilder2, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&builder)), S_OK);
    ASSERT_EQ(builder->SetFiltergraph(graph.Get()), S_OK);
    ComPtr<IBaseFilter> camera = BindCamera(kLmTestCameraUvcName);
    ASSERT_TRUE(camera);
    ASSERT_EQ(graph->AddFilter(camera.Get(), L"Camera"), S_OK);
    ASSERT_EQ(SetCaptureFormat(camera.Get(), index), S_OK);
    // No renderer given: the builder adds the Video Renderer.
    ASSERT_EQ(builder->RenderStream(&PIN_CATEGORY_PREVIEW, &MEDIATYPE_Video, camera.Get(), nullptr, nullptr),
              VFW_S_NOPREVIEWPIN);
    ComPtr<IBaseFilter> renderer = FilterOfClass(graph.Get(), CLSID_VideoRenderer);
    ASSERT_TRUE(renderer);
    EXPECT_TRUE(IsEqualCLSID(UpstreamFilter(renderer.Get()), CLSID_AVIDec));

    TypeHolder format;
    ASSERT_EQ(As<IAMStreamConfig>(PinOf(camera.Get(), L"Capture").Get())->GetFormat(format.Put()), S_OK);
    const LONG width = BitmapOf(*format.Type)->biWidth, height = BitmapOf(*format.Type)->biHeight;
    testwin::HostWindow host(width, height);
    // (mingw-w64 gives IVideoWindow no __uuidof: asked for by IID.)
    ComPtr<IVideoWindow> window;
    ASSERT_EQ(graph->QueryInterface(IID_IVideoWindow, reinterpret_cast<void**>(window.GetAddressOf())), S_OK);
    ASSERT_EQ(window->put_Owner(reinterpret_cast<OAHWND>(host.Handle())), S_OK);
    ASSERT_EQ(window->put_WindowStyle(WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN), S_OK);
    ASSERT_EQ(window->SetWindowPosition(0, 0, width, height), S_OK);
    auto control = As<IMediaControl>(graph.Get());
    ASSERT_TRUE(SUCCEEDED(control->Run()));
    testwin::PumpMessages(1500);
    const std::vector<BYTE> picture = ScreenPicture(host.Handle(), width, height);
    control->Stop();
    window->put_Visible(OAFALSE);
    window->put_Owner(0);
    const int counter = DecodeCounter(picture.data(), width, height);
    EXPECT_GT(counter, 0) << "no counter on screen";
    EXPECT_TRUE(BarsMatch(picture.data(), width, height, counter, 24)) << "colour bars off on screen";
  }
}

}  // namespace
}  // namespace camtest
