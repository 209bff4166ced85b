// The UVC variant of the camera: its nine formats, the SetFormat contract that every variant
// keeps, and frames of each subtype through Wine's capture graph, read back through the
// camera library's frame converter (colours, counter, orientation) and delivered at their
// highest rates.

#include <gtest/gtest.h>

#include <windows.h>

#include <dshow.h>
#include <dvdmedia.h>

#include "support/FakeComTest.h"
#include "testcam/CameraRig.h"
#include "testcam/LmTestCam.h"

namespace camtest {
namespace {

constexpr REFERENCE_TIME k30Fps = 333333;
constexpr REFERENCE_TIME k15Fps = 666666;
constexpr REFERENCE_TIME k10Fps = 1000000;

struct Offered {
  GUID SubType;
  LONG Width, Height;
  DWORD Compression;
  WORD BitCount;
  REFERENCE_TIME Fastest;
};
const Offered kUvcFormats[] = {
    {MEDIASUBTYPE_YUY2, 160, 120, MAKEFOURCC('Y', 'U', 'Y', '2'), 16, k30Fps},
    {MEDIASUBTYPE_YUY2, 320, 240, MAKEFOURCC('Y', 'U', 'Y', '2'), 16, k30Fps},
    {MEDIASUBTYPE_YUY2, 640, 480, MAKEFOURCC('Y', 'U', 'Y', '2'), 16, k30Fps},
    {MEDIASUBTYPE_YUY2, 1280, 720, MAKEFOURCC('Y', 'U', 'Y', '2'), 16, k10Fps},
    {MEDIASUBTYPE_MJPG, 640, 480, MAKEFOURCC('M', 'J', 'P', 'G'), 24, k30Fps},
    {MEDIASUBTYPE_MJPG, 1280, 720, MAKEFOURCC('M', 'J', 'P', 'G'), 24, k30Fps},
    {MEDIASUBTYPE_MJPG, 1920, 1080, MAKEFOURCC('M', 'J', 'P', 'G'), 24, k30Fps},
    {MEDIASUBTYPE_NV12, 640, 480, MAKEFOURCC('N', 'V', '1', '2'), 12, k30Fps},
    {MEDIASUBTYPE_NV12, 1280, 720, MAKEFOURCC('N', 'V', '1', '2'), 12, k30Fps},
};

ComPtr<IAMStreamConfig> CaptureConfig(IBaseFilter* Filter) { return As<IAMStreamConfig>(PinOf(Filter, L"Capture").Get()); }

TypeHolder Capability(IAMStreamConfig* Config, int Index, REFERENCE_TIME Interval = 0) {
  TypeHolder type;
  VIDEO_STREAM_CONFIG_CAPS caps{};
  EXPECT_EQ(Config->GetStreamCaps(Index, type.Put(), reinterpret_cast<BYTE*>(&caps)), S_OK);
  if (Interval && type.Type) reinterpret_cast<VIDEOINFOHEADER*>(type.Type->pbFormat)->AvgTimePerFrame = Interval;
  return type;
}

TEST(TestCamUvc, OffersTheNineFormatsOfAUsbCamera) {
  ComPtr<IBaseFilter> filter;
  ASSERT_EQ(CoCreateInstance(CLSID_LmTestCameraUvc, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&filter)), S_OK);
  auto config = CaptureConfig(filter.Get());
  ASSERT_TRUE(config);
  int count = 0, size = 0;
  ASSERT_EQ(config->GetNumberOfCapabilities(&count, &size), S_OK);
  ASSERT_EQ(count, 9);
  for (int i = 0; i < count; ++i) {
    const Offered& expected = kUvcFormats[i];
    TypeHolder type;
    VIDEO_STREAM_CONFIG_CAPS caps{};
    ASSERT_EQ(config->GetStreamCaps(i, type.Put(), reinterpret_cast<BYTE*>(&caps)), S_OK) << i;
    EXPECT_TRUE(IsEqualGUID(type.Type->subtype, expected.SubType)) << i;
    const BITMAPINFOHEADER* bmi = BitmapOf(*type.Type);
    ASSERT_TRUE(bmi);
    EXPECT_EQ(bmi->biWidth, expected.Width) << i;
    EXPECT_EQ(bmi->biHeight, expected.Height) << i;
    EXPECT_EQ(bmi->biCompression, expected.Compression) << i;
    EXPECT_EQ(bmi->biBitCount, expected.BitCount) << i;
    EXPECT_EQ(caps.MinFrameInterval, expected.Fastest) << i;
    EXPECT_EQ(caps.MaxFrameInterval, 2000000) << i;
    // The default rate: 30 frames per second, or the highest where that is lower.
    EXPECT_EQ(FrameIntervalOf(*type.Type), expected.Fastest) << i;
    const bool compressed = IsEqualGUID(expected.SubType, MEDIASUBTYPE_MJPG);
    EXPECT_EQ(type.Type->bFixedSizeSamples, compressed ? FALSE : TRUE) << i;
    // MJPG: the bound of a frame, two bytes per pixel.
    const LONG pixels = expected.Width * expected.Height;
    EXPECT_EQ(bmi->biSizeImage, static_cast<DWORD>(compressed ? pixels * 2 : pixels * expected.BitCount / 8)) << i;
  }
  // Rates above a format's highest are refused; RGB24 is not offered at all.
  TypeHolder mjpgAt60 = Capability(config.Get(), 4, 166666);
  EXPECT_EQ(config->SetFormat(mjpgAt60.Type), VFW_E_INVALIDMEDIATYPE);
  TypeHolder hdYuy2At30 = Capability(config.Get(), 3, k30Fps);
  EXPECT_EQ(config->SetFormat(hdYuy2At30.Type), VFW_E_INVALIDMEDIATYPE);
  TypeHolder hdYuy2At10 = Capability(config.Get(), 3, k10Fps);
  EXPECT_EQ(config->SetFormat(hdYuy2At10.Type), S_OK);
  TypeHolder rgb = Capability(config.Get(), 1);
  rgb.Type->subtype = MEDIASUBTYPE_RGB24;
  reinterpret_cast<VIDEOINFOHEADER*>(rgb.Type->pbFormat)->bmiHeader.biCompression = BI_RGB;
  reinterpret_cast<VIDEOINFOHEADER*>(rgb.Type->pbFormat)->bmiHeader.biBitCount = 24;
  EXPECT_EQ(PinOf(filter.Get(), L"Capture")->QueryAccept(rgb.Type), S_FALSE);
  EXPECT_EQ(config->SetFormat(rgb.Type), VFW_E_INVALIDMEDIATYPE);
}

class TestCamSetFormat : public fakes::FakeComTest, public testing::WithParamInterface<const GUID*> {};

// Once a format is set, the pin lists it alone and connects with nothing else, as capture
// drivers do.
TEST_P(TestCamSetFormat, PinListsAndConnectsWithTheSetFormatOnly) {
  ComPtr<IBaseFilter> filter;
  ASSERT_EQ(CoCreateInstance(*GetParam(), nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&filter)), S_OK);
  ComPtr<IPin> pin = PinOf(filter.Get(), L"Capture");
  auto config = CaptureConfig(filter.Get());
  TypeHolder chosen = Capability(config.Get(), 2, k15Fps);
  ASSERT_EQ(config->SetFormat(chosen.Type), S_OK);

  ComPtr<IEnumMediaTypes> types;
  ASSERT_EQ(pin->EnumMediaTypes(&types), S_OK);
  TypeHolder first, second;
  ASSERT_EQ(types->Next(1, first.Put(), nullptr), S_OK);
  EXPECT_EQ(types->Next(1, second.Put(), nullptr), S_FALSE) << "only the set format is listed";
  EXPECT_TRUE(IsEqualGUID(first.Type->subtype, chosen.Type->subtype));
  EXPECT_EQ(BitmapOf(*first.Type)->biWidth, BitmapOf(*chosen.Type)->biWidth);
  EXPECT_EQ(FrameIntervalOf(*first.Type), k15Fps);

  auto sink = Adopt(new FakeSinkPin());
  TypeHolder other = Capability(config.Get(), 1);
  EXPECT_EQ(pin->Connect(sink.Get(), other.Type), VFW_E_TYPE_NOT_ACCEPTED);
  TypeHolder otherRate = Capability(config.Get(), 2, k30Fps);
  EXPECT_EQ(pin->Connect(sink.Get(), otherRate.Type), VFW_E_TYPE_NOT_ACCEPTED);
  EXPECT_EQ(sink->ReceiveConnectionCount, 0) << "refused before asking the receiver";

  AM_MEDIA_TYPE anyVideo{};
  anyVideo.majortype = MEDIATYPE_Video;
  ASSERT_EQ(pin->Connect(sink.Get(), &anyVideo), S_OK);
  AM_MEDIA_TYPE connected{};
  ASSERT_EQ(pin->ConnectionMediaType(&connected), S_OK);
  EXPECT_EQ(BitmapOf(connected)->biWidth, BitmapOf(*chosen.Type)->biWidth);
  EXPECT_EQ(FrameIntervalOf(connected), k15Fps);
  CoTaskMemFree(connected.pbFormat);
  ASSERT_EQ(pin->Disconnect(), S_OK);
  sink->Disconnect();
}

INSTANTIATE_TEST_SUITE_P(EveryVariant, TestCamSetFormat,
                         testing::Values(&CLSID_LmTestCamera, &CLSID_LmTestCameraPreview, &CLSID_LmTestCameraUvc));

// The camera -> a Sample Grabber fixed to the camera's own subtype -> Null Renderer, through
// Wine's capture graph builder; every frame converted and read.
TEST(TestCamUvcGraph, EverySubtypeStreamsThePatternUpright) {
  const struct {
    int Index;
    GUID SubType;
  } cases[] = {{1, MEDIASUBTYPE_YUY2}, {3, MEDIASUBTYPE_YUY2}, {4, MEDIASUBTYPE_MJPG},
               {6, MEDIASUBTYPE_MJPG}, {7, MEDIASUBTYPE_NV12}, {8, MEDIASUBTYPE_NV12}};
  for (const auto& test : cases) {
    SCOPED_TRACE(test.Index);
    CaptureRig rig(kLmTestCameraUvcName, test.SubType);
    ASSERT_TRUE(rig.Ready());
    ASSERT_EQ(SetCaptureFormat(rig.Camera.Get(), test.Index), S_OK);
    ASSERT_EQ(rig.RenderCapture(), S_OK);
    ASSERT_TRUE(SUCCEEDED(rig.Control->Run()));
    EXPECT_TRUE(rig.Collector->WaitForCount(6, 15000));
    ASSERT_EQ(rig.Control->Stop(), S_OK);
    const auto counters = rig.Collector->Counters();
    ASSERT_GE(counters.size(), 6u);
    EXPECT_EQ(counters.front(), 0);
    for (size_t i = 1; i < counters.size(); ++i) EXPECT_EQ(counters[i], counters[i - 1] + 1) << i;
    EXPECT_EQ(rig.Collector->BadBars(), 0) << "colour bars off the documented colours";
  }
}

TEST(TestCamUvcGraph, DeliversTheHighestRateOfTheLargestFormats) {
  const struct {
    int Index;
    GUID SubType;
    REFERENCE_TIME Interval;
  } cases[] = {{6, MEDIASUBTYPE_MJPG, k30Fps}, {3, MEDIASUBTYPE_YUY2, k10Fps}, {8, MEDIASUBTYPE_NV12, k30Fps}};
  for (const auto& test : cases) {
    CaptureRig rig(kLmTestCameraUvcName, test.SubType);
    ASSERT_TRUE(rig.Ready());
    ASSERT_EQ(SetCaptureFormat(rig.Camera.Get(), test.Index, test.Interval), S_OK);
    ASSERT_EQ(rig.RenderCapture(), S_OK);
    rig.Collector->SetFrameFormat(lm::FrameFormat{});  // count the frames only
    const double wanted = 10000000.0 / static_cast<double>(test.Interval);
    const double measured = rig.MeasureFrameRate(2000);
    EXPECT_GT(measured, wanted * 0.8) << "format " << test.Index;
    EXPECT_LT(measured, wanted * 1.2) << "format " << test.Index;
  }
}

}  // namespace
}  // namespace camtest
