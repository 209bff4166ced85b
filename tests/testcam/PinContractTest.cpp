// Contract tests of the filter and its pins on their own (no graph): interface table, state
// machine, connection cases against a strict fake receiving pin, stream configuration, the
// pin category, and delivery that the receiver refuses or blocks.

#include <gtest/gtest.h>

#include <windows.h>

#include <dshow.h>
#include <dvdmedia.h>

#include <cstring>
#include <thread>

#include "support/FakeComTest.h"
#include "testcam/CameraRig.h"
#include "testcam/LmTestCam.h"

namespace camtest {
namespace {

constexpr REFERENCE_TIME kTenFps = 1000000;

class TestCamContract : public fakes::FakeComTest {
protected:
  void SetUp() override {
    FakeComTest::SetUp();
    ASSERT_EQ(CoCreateInstance(CLSID_LmTestCameraPreview, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&m_Filter)),
              S_OK);
    m_Capture = PinOf(m_Filter.Get(), L"Capture");
    m_Preview = PinOf(m_Filter.Get(), L"Preview");
    ASSERT_TRUE(m_Capture && m_Preview);
    m_Config = As<IAMStreamConfig>(m_Capture.Get());
    ASSERT_TRUE(m_Config);
    m_Sink = Adopt(new FakeSinkPin());
  }
  void TearDown() override {
    if (m_Filter) m_Filter->Stop();
    if (m_Capture) m_Capture->Disconnect();
    if (m_Sink) m_Sink->Disconnect();
    m_Config.Reset();
    m_Capture.Reset();
    m_Preview.Reset();
    m_Filter.Reset();
    if (m_Sink) {
      EXPECT_EQ(m_Sink->References(), 1u) << "the camera still holds the receiving pin";
    }
    m_Sink.Reset();
    FakeComTest::TearDown();
  }

  // The type of capability Index at Interval.
  TypeHolder Capability(int Index, REFERENCE_TIME Interval = 0) {
    TypeHolder type;
    VIDEO_STREAM_CONFIG_CAPS caps{};
    EXPECT_EQ(m_Config->GetStreamCaps(Index, type.Put(), reinterpret_cast<BYTE*>(&caps)), S_OK);
    if (Interval && type.Type) {
      if (IsEqualGUID(type.Type->formattype, FORMAT_VideoInfo))
        reinterpret_cast<VIDEOINFOHEADER*>(type.Type->pbFormat)->AvgTimePerFrame = Interval;
      else
        reinterpret_cast<VIDEOINFOHEADER2*>(type.Type->pbFormat)->AvgTimePerFrame = Interval;
    }
    return type;
  }

  ComPtr<IBaseFilter> m_Filter;
  ComPtr<IPin> m_Capture;
  ComPtr<IPin> m_Preview;
  ComPtr<IAMStreamConfig> m_Config;
  ComPtr<FakeSinkPin> m_Sink;
};

bool Answers(IUnknown* Object, REFIID Iid) {
  void* raw = reinterpret_cast<void*>(1);
  const HRESULT hr = Object->QueryInterface(Iid, &raw);
  if (FAILED(hr)) {
    EXPECT_EQ(raw, nullptr) << "QueryInterface must clear the out pointer on failure";
    return false;
  }
  Adopt(static_cast<IUnknown*>(raw));  // drops the reference the answer added
  return hr == S_OK;
}

TEST_F(TestCamContract, InterfaceTable) {
  struct Row {
    const char* Name;
    IID Iid;
    bool Filter;
    bool Pin;
  };
  const Row table[] = {
      {"IUnknown", IID_IUnknown, true, true},
      {"IPersist", IID_IPersist, true, false},
      {"IMediaFilter", IID_IMediaFilter, true, false},
      {"IBaseFilter", IID_IBaseFilter, true, false},
      {"IAMFilterMiscFlags", IID_IAMFilterMiscFlags, true, false},
      {"ISpecifyPropertyPages", IID_ISpecifyPropertyPages, true, true},
      {"IPin", IID_IPin, false, true},
      {"IAMStreamConfig", IID_IAMStreamConfig, false, true},
      {"IKsPropertySet", IID_IKsPropertySet, false, true},
      {"IAMVideoProcAmp", IID_IAMVideoProcAmp, true, false},
      {"IAMCameraControl (the UVC camera's only)", IID_IAMCameraControl, false, false},
      {"IMemInputPin", IID_IMemInputPin, false, false},
      {"IReferenceClock", IID_IReferenceClock, false, false},
      {"IFileSourceFilter", IID_IFileSourceFilter, false, false},
      {"IMediaSeeking", IID_IMediaSeeking, false, false},
  };
  for (const Row& row : table) {
    EXPECT_EQ(Answers(m_Filter.Get(), row.Iid), row.Filter) << "filter, " << row.Name;
    EXPECT_EQ(Answers(m_Capture.Get(), row.Iid), row.Pin) << "capture pin, " << row.Name;
    EXPECT_EQ(Answers(m_Preview.Get(), row.Iid), row.Pin) << "preview pin, " << row.Name;
  }
  // COM identity: every interface of the pin leads to the same IUnknown.
  ComPtr<IUnknown> a, b;
  ASSERT_EQ(m_Capture->QueryInterface(IID_PPV_ARGS(&a)), S_OK);
  ASSERT_EQ(m_Config->QueryInterface(IID_PPV_ARGS(&b)), S_OK);
  EXPECT_EQ(a.Get(), b.Get());
  EXPECT_EQ(m_Filter->QueryInterface(IID_IUnknown, nullptr), E_POINTER);
}

TEST_F(TestCamContract, FilterStateMachineOfALiveSource) {
  FILTER_STATE state;
  EXPECT_EQ(m_Filter->GetState(0, nullptr), E_POINTER);
  EXPECT_EQ(m_Filter->GetState(0, &state), S_OK);
  EXPECT_EQ(state, State_Stopped);
  EXPECT_EQ(m_Filter->Pause(), S_OK);
  EXPECT_EQ(m_Filter->GetState(0, &state), VFW_S_CANT_CUE);
  EXPECT_EQ(state, State_Paused);
  EXPECT_EQ(m_Filter->Run(0), S_OK);
  EXPECT_EQ(m_Filter->GetState(0, &state), S_OK);
  EXPECT_EQ(state, State_Running);
  EXPECT_EQ(m_Filter->Pause(), S_OK);
  EXPECT_EQ(m_Filter->GetState(INFINITE, &state), VFW_S_CANT_CUE);
  EXPECT_EQ(state, State_Paused);
  EXPECT_EQ(m_Filter->Stop(), S_OK);
  EXPECT_EQ(m_Filter->GetState(0, &state), S_OK);
  EXPECT_EQ(state, State_Stopped);
  EXPECT_EQ(m_Filter->Run(0), S_OK) << "Stopped -> Running passes through Paused";
  EXPECT_EQ(m_Filter->GetState(0, &state), S_OK);
  EXPECT_EQ(state, State_Running);
  EXPECT_EQ(m_Filter->Stop(), S_OK);
  EXPECT_EQ(m_Filter->Stop(), S_OK);

  auto flags = As<IAMFilterMiscFlags>(m_Filter.Get());
  ASSERT_TRUE(flags);
  EXPECT_EQ(flags->GetMiscFlags(), static_cast<ULONG>(AM_FILTER_MISC_FLAGS_IS_SOURCE));
}

TEST_F(TestCamContract, FilterInformationAndPins) {
  FILTER_INFO info{};
  ASSERT_EQ(m_Filter->QueryFilterInfo(&info), S_OK);
  EXPECT_EQ(info.pGraph, nullptr);
  ComPtr<IPin> pin;
  EXPECT_EQ(m_Filter->FindPin(L"Nothing", &pin), VFW_E_NOT_FOUND);
  EXPECT_EQ(m_Filter->FindPin(L"Capture", nullptr), E_POINTER);
  EXPECT_EQ(m_Filter->EnumPins(nullptr), E_POINTER);
  ComPtr<IEnumPins> pins;
  ASSERT_EQ(m_Filter->EnumPins(&pins), S_OK);
  IPin* fetched[3] = {};
  ULONG count = 0;
  EXPECT_EQ(pins->Next(3, fetched, &count), S_FALSE);
  EXPECT_EQ(count, 2u);
  for (ULONG i = 0; i < count; ++i) fetched[i]->Release();
  EXPECT_EQ(pins->Next(2, fetched, nullptr), E_INVALIDARG);
  EXPECT_EQ(pins->Reset(), S_OK);
  EXPECT_EQ(pins->Skip(2), S_OK);
  EXPECT_EQ(pins->Skip(1), S_FALSE);
}

TEST_F(TestCamContract, PinInformation) {
  PIN_INFO info{};
  EXPECT_EQ(m_Capture->QueryPinInfo(nullptr), E_POINTER);
  ASSERT_EQ(m_Capture->QueryPinInfo(&info), S_OK);
  EXPECT_EQ(info.dir, PINDIR_OUTPUT);
  EXPECT_STREQ(info.achName, L"Capture");
  EXPECT_EQ(info.pFilter, m_Filter.Get());
  if (info.pFilter) info.pFilter->Release();
  PIN_DIRECTION direction;
  EXPECT_EQ(m_Preview->QueryDirection(nullptr), E_POINTER);
  EXPECT_EQ(m_Preview->QueryDirection(&direction), S_OK);
  EXPECT_EQ(direction, PINDIR_OUTPUT);
  LPWSTR id = nullptr;
  EXPECT_EQ(m_Preview->QueryId(nullptr), E_POINTER);
  ASSERT_EQ(m_Preview->QueryId(&id), S_OK);
  EXPECT_STREQ(id, L"Preview");
  CoTaskMemFree(id);
  EXPECT_EQ(m_Capture->EndOfStream(), E_UNEXPECTED);
  EXPECT_EQ(m_Capture->BeginFlush(), E_UNEXPECTED);
  EXPECT_EQ(m_Capture->EndFlush(), E_UNEXPECTED);
  EXPECT_EQ(m_Capture->NewSegment(0, 10000000, 1.0), S_OK);
  ULONG n = 0;
  EXPECT_EQ(m_Capture->QueryInternalConnections(nullptr, &n), E_NOTIMPL);
}

TEST_F(TestCamContract, PinCategoryThroughKsPropertySet) {
  for (const auto& [pin, category] :
       {std::pair{m_Capture, PIN_CATEGORY_CAPTURE}, std::pair{m_Preview, PIN_CATEGORY_PREVIEW}}) {
    auto properties = As<IKsPropertySet>(pin.Get());
    ASSERT_TRUE(properties);
    GUID value{};
    DWORD returned = 0;
    EXPECT_EQ(properties->Get(AMPROPSETID_Pin, AMPROPERTY_PIN_CATEGORY, nullptr, 0, &value, sizeof(value), &returned),
              S_OK);
    EXPECT_TRUE(IsEqualGUID(value, category));
    EXPECT_EQ(returned, sizeof(GUID));
    returned = 0;
    EXPECT_EQ(properties->Get(AMPROPSETID_Pin, AMPROPERTY_PIN_CATEGORY, nullptr, 0, nullptr, 0, &returned), S_OK);
    EXPECT_EQ(returned, sizeof(GUID));
    EXPECT_EQ(properties->Get(AMPROPSETID_Pin, AMPROPERTY_PIN_CATEGORY, nullptr, 0, &value, 4, &returned),
              E_UNEXPECTED);
    EXPECT_EQ(properties->Get(AMPROPSETID_Pin, AMPROPERTY_PIN_MEDIUM, nullptr, 0, &value, sizeof(value), &returned),
              E_PROP_ID_UNSUPPORTED);
    EXPECT_EQ(properties->Get(PIN_CATEGORY_CAPTURE, AMPROPERTY_PIN_CATEGORY, nullptr, 0, &value, sizeof(value),
                              &returned),
              E_PROP_SET_UNSUPPORTED);
    DWORD support = 0;
    EXPECT_EQ(properties->QuerySupported(AMPROPSETID_Pin, AMPROPERTY_PIN_CATEGORY, &support), S_OK);
    EXPECT_EQ(support, static_cast<DWORD>(KSPROPERTY_SUPPORT_GET));
    EXPECT_TRUE(FAILED(properties->Set(AMPROPSETID_Pin, AMPROPERTY_PIN_CATEGORY, nullptr, 0, &value, sizeof(value))));
  }
}

TEST_F(TestCamContract, UnconnectedPinAnswers) {
  ComPtr<IPin> peer;
  IPin* raw = reinterpret_cast<IPin*>(1);
  EXPECT_EQ(m_Capture->ConnectedTo(&raw), VFW_E_NOT_CONNECTED);
  EXPECT_EQ(raw, nullptr);
  EXPECT_EQ(m_Capture->ConnectedTo(nullptr), E_POINTER);
  AM_MEDIA_TYPE type;
  std::memset(&type, 0xCC, sizeof(type));
  EXPECT_EQ(m_Capture->ConnectionMediaType(&type), VFW_E_NOT_CONNECTED);
  EXPECT_TRUE(IsEqualGUID(type.majortype, GUID_NULL));
  EXPECT_EQ(m_Capture->ConnectionMediaType(nullptr), E_POINTER);
  EXPECT_EQ(m_Capture->Disconnect(), S_FALSE);
  EXPECT_EQ(m_Capture->Connect(nullptr, nullptr), E_POINTER);
  EXPECT_EQ(m_Capture->EnumMediaTypes(nullptr), E_POINTER);
  EXPECT_EQ(m_Capture->QueryAccept(nullptr), E_POINTER);
  TypeHolder any = Capability(1);
  EXPECT_EQ(m_Capture->ReceiveConnection(m_Sink.Get(), any.Type), E_UNEXPECTED);
}

TEST_F(TestCamContract, ConnectNegotiatesTheFirstTypeAndAnAllocator) {
  m_Sink->Requirements.cBuffers = 2;
  m_Sink->Requirements.cbAlign = 16;
  ASSERT_EQ(m_Capture->Connect(m_Sink.Get(), nullptr), S_OK);
  EXPECT_EQ(m_Sink->ReceiveConnectionCount, 1);
  ComPtr<IPin> peer;
  ASSERT_EQ(m_Capture->ConnectedTo(&peer), S_OK);
  EXPECT_EQ(peer.Get(), static_cast<IPin*>(m_Sink.Get()));
  AM_MEDIA_TYPE type{};
  ASSERT_EQ(m_Capture->ConnectionMediaType(&type), S_OK);
  const BITMAPINFOHEADER* bmi = BitmapOf(type);
  ASSERT_TRUE(bmi);
  EXPECT_EQ(bmi->biWidth, 160);
  EXPECT_EQ(bmi->biHeight, 120);
  EXPECT_TRUE(IsEqualGUID(type.subtype, MEDIASUBTYPE_RGB24));
  EXPECT_EQ(FrameIntervalOf(type), kLmDefaultFrameInterval);
  CoTaskMemFree(type.pbFormat);

  ASSERT_TRUE(m_Sink->Allocator) << "NotifyAllocator was not called";
  ALLOCATOR_PROPERTIES properties{};
  ASSERT_EQ(m_Sink->Allocator->GetProperties(&properties), S_OK);
  EXPECT_GE(properties.cbBuffer, 160 * 3 * 120);
  EXPECT_GE(properties.cBuffers, 2);
  EXPECT_EQ(properties.cbAlign, 16);

  EXPECT_EQ(m_Capture->Connect(m_Sink.Get(), nullptr), VFW_E_ALREADY_CONNECTED);
  EXPECT_EQ(m_Filter->Pause(), S_OK);
  EXPECT_EQ(m_Capture->Disconnect(), VFW_E_NOT_STOPPED);
  EXPECT_EQ(m_Filter->Stop(), S_OK);
  EXPECT_EQ(m_Capture->Disconnect(), S_OK);
  EXPECT_EQ(m_Capture->Disconnect(), S_FALSE);
  EXPECT_EQ(m_Capture->ConnectedTo(&peer), VFW_E_NOT_CONNECTED);
}

TEST_F(TestCamContract, ConnectHonoursTheTypeAskedFor) {
  AM_MEDIA_TYPE partial{};
  partial.majortype = MEDIATYPE_Video;
  partial.formattype = FORMAT_VideoInfo2;
  ASSERT_EQ(m_Capture->Connect(m_Sink.Get(), &partial), S_OK);
  AM_MEDIA_TYPE type{};
  ASSERT_EQ(m_Capture->ConnectionMediaType(&type), S_OK);
  EXPECT_TRUE(IsEqualGUID(type.formattype, FORMAT_VideoInfo2));
  CoTaskMemFree(type.pbFormat);
  ASSERT_EQ(m_Capture->Disconnect(), S_OK);
  m_Sink->Disconnect();

  TypeHolder large = Capability(3);
  ASSERT_EQ(m_Capture->Connect(m_Sink.Get(), large.Type), S_OK);
  ASSERT_EQ(m_Capture->ConnectionMediaType(&type), S_OK);
  EXPECT_EQ(BitmapOf(type)->biWidth, 1280);
  CoTaskMemFree(type.pbFormat);
  ASSERT_EQ(m_Capture->Disconnect(), S_OK);
  m_Sink->Disconnect();

  AM_MEDIA_TYPE yuy2{};
  yuy2.majortype = MEDIATYPE_Video;
  yuy2.subtype = MEDIASUBTYPE_YUY2;
  EXPECT_EQ(m_Capture->Connect(m_Sink.Get(), &yuy2), VFW_E_NO_ACCEPTABLE_TYPES);
  TypeHolder wrong = Capability(0);
  reinterpret_cast<VIDEOINFOHEADER*>(wrong.Type->pbFormat)->bmiHeader.biWidth = 100;
  EXPECT_EQ(m_Capture->Connect(m_Sink.Get(), wrong.Type), VFW_E_TYPE_NOT_ACCEPTED);
  EXPECT_EQ(m_Sink->ReceiveConnectionCount, 2) << "refused types must not reach the receiver";
}

TEST_F(TestCamContract, ConnectFailsCleanlyWhenTheReceiverRefusesEverything) {
  m_Sink->ReceiveConnectionResult = VFW_E_TYPE_NOT_ACCEPTED;
  EXPECT_EQ(m_Capture->Connect(m_Sink.Get(), nullptr), VFW_E_NO_ACCEPTABLE_TYPES);
  EXPECT_EQ(m_Sink->ReceiveConnectionCount, 6) << "every offered type is tried once";
  ComPtr<IPin> peer;
  EXPECT_EQ(m_Capture->ConnectedTo(&peer), VFW_E_NOT_CONNECTED);
  EXPECT_EQ(m_Capture->Disconnect(), S_FALSE);
}

TEST_F(TestCamContract, ConnectWhileNotStoppedIsRefused) {
  ASSERT_EQ(m_Filter->Pause(), S_OK);
  EXPECT_EQ(m_Capture->Connect(m_Sink.Get(), nullptr), VFW_E_NOT_STOPPED);
  EXPECT_EQ(m_Sink->ReceiveConnectionCount, 0);
}

TEST_F(TestCamContract, StreamCapabilities) {
  int count = 0, size = 0;
  EXPECT_EQ(m_Config->GetNumberOfCapabilities(nullptr, &size), E_POINTER);
  ASSERT_EQ(m_Config->GetNumberOfCapabilities(&count, &size), S_OK);
  ASSERT_EQ(count, 6);
  EXPECT_EQ(size, 128);
  EXPECT_EQ(sizeof(VIDEO_STREAM_CONFIG_CAPS), 128u);
  const struct {
    LONG Width, Height;
    GUID FormatType;
  } expected[] = {{160, 120, FORMAT_VideoInfo},  {320, 240, FORMAT_VideoInfo}, {640, 480, FORMAT_VideoInfo},
                  {1280, 720, FORMAT_VideoInfo}, {162, 120, FORMAT_VideoInfo}, {320, 240, FORMAT_VideoInfo2}};
  for (int i = 0; i < count; ++i) {
    TypeHolder type;
    VIDEO_STREAM_CONFIG_CAPS caps{};
    ASSERT_EQ(m_Config->GetStreamCaps(i, type.Put(), reinterpret_cast<BYTE*>(&caps)), S_OK) << i;
    EXPECT_TRUE(IsEqualGUID(type.Type->majortype, MEDIATYPE_Video));
    EXPECT_TRUE(IsEqualGUID(type.Type->subtype, MEDIASUBTYPE_RGB24));
    EXPECT_TRUE(IsEqualGUID(type.Type->formattype, expected[i].FormatType)) << i;
    EXPECT_TRUE(IsEqualGUID(caps.guid, expected[i].FormatType)) << i;
    const BITMAPINFOHEADER* bmi = BitmapOf(*type.Type);
    ASSERT_TRUE(bmi);
    EXPECT_EQ(bmi->biWidth, expected[i].Width) << i;
    EXPECT_EQ(bmi->biHeight, expected[i].Height) << i;
    EXPECT_EQ(bmi->biBitCount, 24);
    const DWORD stride = (expected[i].Width * 3 + 3) & ~3;
    EXPECT_EQ(bmi->biSizeImage, stride * expected[i].Height) << i;
    EXPECT_EQ(type.Type->lSampleSize, bmi->biSizeImage);
    EXPECT_EQ(FrameIntervalOf(*type.Type), kLmDefaultFrameInterval);
    EXPECT_EQ(caps.MinFrameInterval, 166666);
    EXPECT_EQ(caps.MaxFrameInterval, 2000000);
    EXPECT_EQ(caps.MaxOutputSize.cx, expected[i].Width);
    EXPECT_EQ(caps.MinOutputSize.cy, expected[i].Height);
    EXPECT_EQ(caps.InputSize.cx, expected[i].Width);
  }
  TypeHolder none;
  VIDEO_STREAM_CONFIG_CAPS caps{};
  EXPECT_EQ(m_Config->GetStreamCaps(6, none.Put(), reinterpret_cast<BYTE*>(&caps)), S_FALSE);
  EXPECT_EQ(m_Config->GetStreamCaps(-1, none.Put(), reinterpret_cast<BYTE*>(&caps)), E_INVALIDARG);
  EXPECT_EQ(m_Config->GetStreamCaps(0, nullptr, reinterpret_cast<BYTE*>(&caps)), E_POINTER);
}

TEST_F(TestCamContract, GetFormatBeforeSetFormatIsTheFirstCapabilityAt30Fps) {
  TypeHolder format;
  EXPECT_EQ(m_Config->GetFormat(nullptr), E_POINTER);
  ASSERT_EQ(m_Config->GetFormat(format.Put()), S_OK);
  EXPECT_TRUE(IsEqualGUID(format.Type->formattype, FORMAT_VideoInfo));
  EXPECT_EQ(BitmapOf(*format.Type)->biWidth, 160);
  EXPECT_EQ(BitmapOf(*format.Type)->biHeight, 120);
  EXPECT_EQ(FrameIntervalOf(*format.Type), 333333);
}

TEST_F(TestCamContract, EveryEnumeratedTypeIsAcceptedBackBySetFormat) {
  for (const ComPtr<IPin>& pin : {m_Capture, m_Preview}) {
    auto config = As<IAMStreamConfig>(pin.Get());
    ComPtr<IEnumMediaTypes> types;
    ASSERT_EQ(pin->EnumMediaTypes(&types), S_OK);
    int seen = 0;
    AM_MEDIA_TYPE* next = nullptr;
    while (types->Next(1, &next, nullptr) == S_OK) {
      TypeHolder type{next};
      ++seen;
      EXPECT_EQ(pin->QueryAccept(type.Type), S_OK) << seen;
      EXPECT_EQ(config->SetFormat(type.Type), S_OK) << seen;
      TypeHolder now;
      ASSERT_EQ(config->GetFormat(now.Put()), S_OK);
      EXPECT_TRUE(IsEqualGUID(now.Type->formattype, type.Type->formattype));
      EXPECT_EQ(BitmapOf(*now.Type)->biWidth, BitmapOf(*type.Type)->biWidth);
      EXPECT_EQ(BitmapOf(*now.Type)->biHeight, BitmapOf(*type.Type)->biHeight);
    }
    EXPECT_EQ(seen, 6);
  }
}

TEST_F(TestCamContract, SetFormatTakesANewFrameRateAndListsTheSetFormatFirst) {
  TypeHolder vga = Capability(2, kTenFps);
  ASSERT_EQ(m_Config->SetFormat(vga.Type), S_OK);
  TypeHolder now;
  ASSERT_EQ(m_Config->GetFormat(now.Put()), S_OK);
  EXPECT_EQ(BitmapOf(*now.Type)->biWidth, 640);
  EXPECT_EQ(FrameIntervalOf(*now.Type), kTenFps);

  ComPtr<IEnumMediaTypes> types;
  ASSERT_EQ(m_Capture->EnumMediaTypes(&types), S_OK);
  TypeHolder first;
  ASSERT_EQ(types->Next(1, first.Put(), nullptr), S_OK);
  EXPECT_EQ(BitmapOf(*first.Type)->biWidth, 640);
  EXPECT_EQ(FrameIntervalOf(*first.Type), kTenFps);

  // The next connection uses it.
  ASSERT_EQ(m_Capture->Connect(m_Sink.Get(), nullptr), S_OK);
  AM_MEDIA_TYPE type{};
  ASSERT_EQ(m_Capture->ConnectionMediaType(&type), S_OK);
  EXPECT_EQ(BitmapOf(type)->biWidth, 640);
  EXPECT_EQ(FrameIntervalOf(type), kTenFps);
  CoTaskMemFree(type.pbFormat);
  // The preview pin has its own format.
  auto previewConfig = As<IAMStreamConfig>(m_Preview.Get());
  TypeHolder preview;
  ASSERT_EQ(previewConfig->GetFormat(preview.Put()), S_OK);
  EXPECT_EQ(BitmapOf(*preview.Type)->biWidth, 160);
}

TEST_F(TestCamContract, SetFormatRefusesWhatIsNotOffered) {
  EXPECT_EQ(m_Config->SetFormat(nullptr), E_POINTER);
  TypeHolder tooFast = Capability(1, 100000);  // 100 frames per second
  EXPECT_EQ(m_Config->SetFormat(tooFast.Type), VFW_E_INVALIDMEDIATYPE);
  TypeHolder tooSlow = Capability(1, 4000000);  // 2.5 frames per second
  EXPECT_EQ(m_Config->SetFormat(tooSlow.Type), VFW_E_INVALIDMEDIATYPE);
  TypeHolder oddSize = Capability(1);
  reinterpret_cast<VIDEOINFOHEADER*>(oddSize.Type->pbFormat)->bmiHeader.biHeight = 200;
  EXPECT_EQ(m_Config->SetFormat(oddSize.Type), VFW_E_INVALIDMEDIATYPE);
  TypeHolder topDown = Capability(1);
  reinterpret_cast<VIDEOINFOHEADER*>(topDown.Type->pbFormat)->bmiHeader.biHeight = -240;
  EXPECT_EQ(m_Config->SetFormat(topDown.Type), VFW_E_INVALIDMEDIATYPE);
  TypeHolder yuy2 = Capability(1);
  yuy2.Type->subtype = MEDIASUBTYPE_YUY2;
  EXPECT_EQ(m_Config->SetFormat(yuy2.Type), VFW_E_INVALIDMEDIATYPE);
  TypeHolder vi2AtVgaSize = Capability(5);
  reinterpret_cast<VIDEOINFOHEADER2*>(vi2AtVgaSize.Type->pbFormat)->bmiHeader.biWidth = 640;
  reinterpret_cast<VIDEOINFOHEADER2*>(vi2AtVgaSize.Type->pbFormat)->bmiHeader.biHeight = 480;
  EXPECT_EQ(m_Config->SetFormat(vi2AtVgaSize.Type), VFW_E_INVALIDMEDIATYPE);
  TypeHolder now;
  ASSERT_EQ(m_Config->GetFormat(now.Put()), S_OK);
  EXPECT_EQ(BitmapOf(*now.Type)->biWidth, 160) << "a refused format changes nothing";

  ASSERT_EQ(m_Filter->Pause(), S_OK);
  TypeHolder good = Capability(1);
  EXPECT_EQ(m_Config->SetFormat(good.Type), VFW_E_NOT_STOPPED);
}

TEST_F(TestCamContract, SetFormatWhileConnectedNeedsTheReceiversConsent) {
  ASSERT_EQ(m_Capture->Connect(m_Sink.Get(), nullptr), S_OK);
  m_Sink->QueryAcceptResult = S_FALSE;
  TypeHolder vga = Capability(2);
  EXPECT_EQ(m_Config->SetFormat(vga.Type), VFW_E_INVALIDMEDIATYPE);
  TypeHolder now;
  ASSERT_EQ(m_Config->GetFormat(now.Put()), S_OK);
  EXPECT_EQ(BitmapOf(*now.Type)->biWidth, 160);
  // Accepted, but with no graph to reconnect the pins it cannot be done.
  m_Sink->QueryAcceptResult = S_OK;
  EXPECT_EQ(m_Config->SetFormat(vga.Type), VFW_E_NOT_IN_GRAPH);
}

// Delivery to the fake receiver.

class TestCamDelivery : public TestCamContract {
protected:
  void SetUp() override {
    TestCamContract::SetUp();
    m_Graph = Adopt(new FakeEventGraph());
    ASSERT_EQ(m_Filter->JoinFilterGraph(m_Graph.Get(), L"camera"), S_OK);
  }
  void TearDown() override {
    if (m_Filter) {
      m_Filter->Stop();
      m_Filter->JoinFilterGraph(nullptr, nullptr);
    }
    m_Graph.Reset();
    TestCamContract::TearDown();
  }
  bool WaitForReceived(int N, DWORD TimeoutMs) {
    const DWORD start = GetTickCount();
    while (m_Sink->Received() < N) {
      if (GetTickCount() - start > TimeoutMs) return false;
      Sleep(5);
    }
    return true;
  }
  ComPtr<FakeEventGraph> m_Graph;
};

TEST_F(TestCamDelivery, FramesFlowOnlyWhileRunning) {
  ASSERT_EQ(m_Capture->Connect(m_Sink.Get(), nullptr), S_OK);
  ASSERT_EQ(m_Filter->Pause(), S_OK);
  Sleep(200);
  EXPECT_EQ(m_Sink->Received(), 0) << "a paused live source sends nothing";
  ASSERT_EQ(m_Filter->Run(0), S_OK);
  EXPECT_TRUE(WaitForReceived(3, 5000));
  ASSERT_EQ(m_Filter->Stop(), S_OK);
  const int afterStop = m_Sink->Received();
  Sleep(200);
  EXPECT_EQ(m_Sink->Received(), afterStop) << "nothing arrives after Stop returned";
  EXPECT_TRUE(m_Graph->Events().empty());
}

TEST_F(TestCamDelivery, ReceiverSayingSFalseEndsDeliveryQuietly) {
  ASSERT_EQ(m_Capture->Connect(m_Sink.Get(), nullptr), S_OK);
  m_Sink->ReceiveResult = S_FALSE;
  ASSERT_EQ(m_Filter->Run(0), S_OK);
  ASSERT_TRUE(WaitForReceived(1, 5000));
  Sleep(300);
  EXPECT_EQ(m_Sink->Received(), 1) << "no frame after S_FALSE";
  EXPECT_TRUE(m_Graph->Events().empty());
  EXPECT_TRUE(FinishesWithin([&] { m_Filter->Stop(); }, 10000));
}

TEST_F(TestCamDelivery, ReceiverErrorEndsDeliveryWithErrorAbort) {
  ASSERT_EQ(m_Capture->Connect(m_Sink.Get(), nullptr), S_OK);
  m_Sink->ReceiveResult = E_OUTOFMEMORY;
  ASSERT_EQ(m_Filter->Run(0), S_OK);
  ASSERT_TRUE(WaitForReceived(1, 5000));
  Sleep(300);
  EXPECT_EQ(m_Sink->Received(), 1);
  const auto events = m_Graph->Events();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].first, EC_ERRORABORT);
  EXPECT_EQ(events[0].second, E_OUTOFMEMORY);
  EXPECT_TRUE(FinishesWithin([&] { m_Filter->Stop(); }, 10000));
}

TEST_F(TestCamDelivery, ReceiverBlockingInReceiveDoesNotHangTheFilter) {
  HANDLE gate = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  m_Sink->ReceiveGate = gate;
  ASSERT_EQ(m_Capture->Connect(m_Sink.Get(), nullptr), S_OK);
  ASSERT_EQ(m_Filter->Run(0), S_OK);
  ASSERT_TRUE(WaitForReceived(1, 5000));
  // The streaming thread is inside Receive: the filter must still answer.
  FILTER_STATE state;
  EXPECT_TRUE(FinishesWithin([&] { m_Filter->GetState(0, &state); }, 5000));
  EXPECT_TRUE(FinishesWithin(
      [&] {
        TypeHolder format;
        m_Config->GetFormat(format.Put());
      },
      5000));
  // Stop waits for the thread, which returns once the receiver lets go.
  HANDLE stopped = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  const bool stopFinished = FinishesWithin(
      [&] {
        std::thread releaser([&] {
          Sleep(300);
          SetEvent(gate);
        });
        m_Filter->Stop();
        SetEvent(stopped);
        releaser.join();
      },
      15000);
  EXPECT_TRUE(stopFinished) << "Stop deadlocked with a receiver that blocked";
  if (!stopFinished) {
    // Leave the objects to the stuck thread rather than free them under it.
    m_Sink.Detach();
    m_Filter.Detach();
    m_Capture.Detach();
    m_Preview.Detach();
    m_Config.Detach();
    m_Graph.Detach();
    return;
  }
  m_Sink->ReceiveGate = nullptr;
  CloseHandle(gate);
  CloseHandle(stopped);
}

}  // namespace
}  // namespace camtest
