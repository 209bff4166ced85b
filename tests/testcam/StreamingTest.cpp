// The camera in Wine's real DirectShow: the capture graph builder renders its preview and
// capture streams into a Sample Grabber fixed to RGB24 and Null Renderers, and the frames that
// arrive are checked: rate, time stamps, the counter in the picture, format switches, restarts,
// and a receiver that blocks.

#include <gtest/gtest.h>

#include <windows.h>

#include <dshow.h>
#include <dvdmedia.h>

#include <algorithm>
#include <thread>

#include "testcam/CameraRig.h"
#include "testcam/LmTestCam.h"

namespace camtest {
namespace {

ComPtr<IPin> Peer(IPin* Pin) {
  ComPtr<IPin> peer;
  if (Pin && FAILED(Pin->ConnectedTo(&peer))) peer.Reset();
  return peer;
}

// Disconnects every pin of the graph's filters (the graph must be stopped).
void DisconnectAll(CaptureRig& Rig) {
  ComPtr<IEnumFilters> filters;
  ASSERT_EQ(Rig.Graph->EnumFilters(&filters), S_OK);
  ComPtr<IBaseFilter> filter;
  while (filters->Next(1, &filter, nullptr) == S_OK) {
    ComPtr<IEnumPins> pins;
    filter->EnumPins(&pins);
    ComPtr<IPin> pin;
    while (pins && pins->Next(1, &pin, nullptr) == S_OK) {
      Rig.Graph->Disconnect(pin.Get());
      pin.Reset();
    }
    filter.Reset();
  }
}

TEST(TestCamGraph, CaptureGraphBuilderRendersTheSinglePinCamera) {
  CaptureRig rig(kLmTestCameraName);
  ASSERT_TRUE(rig.Ready());
  EXPECT_EQ(rig.RenderPreview(), VFW_S_NOPREVIEWPIN) << "a Smart Tee splits the capture pin";
  EXPECT_EQ(rig.RenderCapture(), S_OK);
  LONG width = 0, height = 0;
  ASSERT_TRUE(rig.ConnectedSize(width, height));
  EXPECT_EQ(width, 160);
  EXPECT_EQ(height, 120);
  // The capture pin feeds the Smart Tee, whose pins feed the grabber and the preview sink.
  ComPtr<IPin> teeInput = Peer(PinOf(rig.Camera.Get(), L"Capture").Get());
  ASSERT_TRUE(teeInput);
  PIN_INFO info{};
  ASSERT_EQ(teeInput->QueryPinInfo(&info), S_OK);
  CLSID tee{};
  info.pFilter->GetClassID(&tee);
  info.pFilter->Release();
  EXPECT_TRUE(IsEqualCLSID(tee, CLSID_SmartTee));

  ASSERT_TRUE(SUCCEEDED(rig.Control->Run())) << "S_FALSE: renderers still pausing, which is fine";
  EXPECT_TRUE(rig.Collector->WaitForCount(10, 10000));
  EXPECT_EQ(rig.Control->Stop(), S_OK);
  EXPECT_TRUE(rig.Collector->AllTimed());
  EXPECT_TRUE(rig.Collector->AllSyncPoints());
  // Time stamps: one frame interval apart, or whole intervals when frames were dropped.
  const auto starts = rig.Collector->StartTimes();
  for (size_t i = 1; i < starts.size(); ++i) {
    const REFERENCE_TIME step = starts[i] - starts[i - 1];
    EXPECT_GT(step, 0) << i;
    EXPECT_EQ(step % kLmDefaultFrameInterval, 0) << i << ": " << step;
  }
  // The counter in the picture: 0, 1, 2, ... for the frames of this run.
  const auto counters = rig.Collector->Counters();
  ASSERT_FALSE(counters.empty());
  EXPECT_EQ(counters.front(), 0);
  for (size_t i = 1; i < counters.size(); ++i) EXPECT_EQ(counters[i], counters[i - 1] + 1) << i;
}

TEST(TestCamGraph, CaptureGraphBuilderUsesThePreviewPinOfThePreviewCamera) {
  CaptureRig rig(kLmTestCameraPreviewName);
  ASSERT_TRUE(rig.Ready());
  // The preview through a second grabber, to see its frames too.
  ComPtr<IBaseFilter> previewGrabber;
  ASSERT_EQ(CoCreateInstance(kClsidSampleGrabber, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&previewGrabber)), S_OK);
  auto previewGrab = As<ISampleGrabber>(previewGrabber.Get());
  AM_MEDIA_TYPE rgb24{};
  rgb24.majortype = MEDIATYPE_Video;
  rgb24.subtype = MEDIASUBTYPE_RGB24;
  ASSERT_EQ(previewGrab->SetMediaType(&rgb24), S_OK);
  ComPtr<SampleCollector> previewFrames;
  previewFrames = Adopt(new SampleCollector());
  previewFrames->SetPictureSize(160, 120);
  ASSERT_EQ(previewGrab->SetCallback(previewFrames.Get(), 0), S_OK);
  ASSERT_EQ(rig.Graph->AddFilter(previewGrabber.Get(), L"Preview grabber"), S_OK);

  EXPECT_EQ(rig.Builder->RenderStream(&PIN_CATEGORY_PREVIEW, &MEDIATYPE_Video, rig.Camera.Get(),
                                      previewGrabber.Get(), rig.PreviewSink.Get()),
            S_OK);
  EXPECT_EQ(rig.RenderCapture(), S_OK);
  // Each pin goes straight to its grabber: no Smart Tee.
  ComPtr<IPin> capturePeer = Peer(PinOf(rig.Camera.Get(), L"Capture").Get());
  ComPtr<IPin> previewPeer = Peer(PinOf(rig.Camera.Get(), L"Preview").Get());
  ASSERT_TRUE(capturePeer && previewPeer);
  PIN_INFO info{};
  ASSERT_EQ(capturePeer->QueryPinInfo(&info), S_OK);
  EXPECT_EQ(info.pFilter, rig.Grabber.Get());
  info.pFilter->Release();
  ASSERT_EQ(previewPeer->QueryPinInfo(&info), S_OK);
  EXPECT_EQ(info.pFilter, previewGrabber.Get());
  info.pFilter->Release();

  ASSERT_TRUE(SUCCEEDED(rig.Control->Run())) << "S_FALSE: renderers still pausing, which is fine";
  EXPECT_TRUE(rig.Collector->WaitForCount(5, 10000));
  EXPECT_TRUE(previewFrames->WaitForCount(5, 10000));
  EXPECT_EQ(rig.Control->Stop(), S_OK);
  const auto counters = previewFrames->Counters();
  ASSERT_FALSE(counters.empty());
  EXPECT_EQ(counters.front(), 0) << "the preview pin draws the same picture";
  previewGrab->SetCallback(nullptr, 0);
}

TEST(TestCamGraph, FramesArriveAtTheRequestedRate) {
  for (const REFERENCE_TIME interval : {REFERENCE_TIME{1000000}, REFERENCE_TIME{333333}}) {
    CaptureRig rig(kLmTestCameraName);
    ASSERT_TRUE(rig.Ready());
    ASSERT_EQ(SetCaptureFormat(rig.Camera.Get(), 1, interval), S_OK);
    ASSERT_EQ(rig.RenderCapture(), S_OK);
    const double wanted = 10000000.0 / static_cast<double>(interval);
    const double measured = rig.MeasureFrameRate(2000);
    EXPECT_GT(measured, wanted * 0.6) << "at " << wanted << " frames per second";
    EXPECT_LT(measured, wanted * 1.4) << "at " << wanted << " frames per second";
    const auto starts = rig.Collector->StartTimes();
    for (size_t i = 1; i < starts.size(); ++i) EXPECT_EQ((starts[i] - starts[i - 1]) % interval, 0) << i;
  }
}

TEST(TestCamGraph, FormatSwitchesBetweenConnections) {
  CaptureRig rig(kLmTestCameraName);
  ASSERT_TRUE(rig.Ready());
  ASSERT_EQ(rig.RenderCapture(), S_OK);
  LONG width = 0, height = 0;
  ASSERT_TRUE(rig.ConnectedSize(width, height));
  EXPECT_EQ(width, 160);

  // Stopped and disconnected: set 320 x 240, reconnect.
  DisconnectAll(rig);
  ASSERT_EQ(SetCaptureFormat(rig.Camera.Get(), 1, kLmDefaultFrameInterval), S_OK);
  ASSERT_EQ(rig.RenderCapture(), S_OK);
  ASSERT_TRUE(rig.ConnectedSize(width, height));
  EXPECT_EQ(width, 320);
  EXPECT_EQ(height, 240);
  ASSERT_TRUE(SUCCEEDED(rig.Control->Run())) << "S_FALSE: renderers still pausing, which is fine";
  EXPECT_TRUE(rig.Collector->WaitForCount(3, 10000));
  ASSERT_EQ(rig.Control->Stop(), S_OK);
  EXPECT_EQ(rig.Collector->Counters().front(), 0);

  // 162 x 120: rows padded to 488 bytes, the counter still decodes.
  DisconnectAll(rig);
  rig.Collector->Reset();
  ASSERT_EQ(SetCaptureFormat(rig.Camera.Get(), 4, kLmDefaultFrameInterval), S_OK);
  ASSERT_EQ(rig.RenderCapture(), S_OK);
  ASSERT_TRUE(rig.ConnectedSize(width, height));
  EXPECT_EQ(width, 162);
  ASSERT_TRUE(SUCCEEDED(rig.Control->Run())) << "S_FALSE: renderers still pausing, which is fine";
  EXPECT_TRUE(rig.Collector->WaitForCount(3, 10000));
  ASSERT_EQ(rig.Control->Stop(), S_OK);
  const auto counters = rig.Collector->Counters();
  ASSERT_GE(counters.size(), 3u);
  EXPECT_EQ(counters[0], 0);
  EXPECT_EQ(counters[2], 2);
}

TEST(TestCamGraph, SetFormatWhileConnectedReconnectsThroughTheGraph) {
  CaptureRig rig(kLmTestCameraPreviewName);
  ASSERT_TRUE(rig.Ready());
  ASSERT_EQ(rig.RenderCapture(), S_OK);
  ASSERT_EQ(SetCaptureFormat(rig.Camera.Get(), 2, kLmDefaultFrameInterval), S_OK);
  LONG width = 0, height = 0;
  ASSERT_TRUE(rig.ConnectedSize(width, height));
  EXPECT_EQ(width, 640);
  EXPECT_EQ(height, 480);
  // Not while running.
  ASSERT_TRUE(SUCCEEDED(rig.Control->Run())) << "S_FALSE: renderers still pausing, which is fine";
  EXPECT_EQ(SetCaptureFormat(rig.Camera.Get(), 1, kLmDefaultFrameInterval), VFW_E_NOT_STOPPED);
  ASSERT_EQ(rig.Control->Stop(), S_OK);
}

TEST(TestCamGraph, StopsAndRestartsCleanlyAHundredTimes) {
  CaptureRig rig(kLmTestCameraName);
  ASSERT_TRUE(rig.Ready());
  ASSERT_EQ(rig.RenderPreview(), VFW_S_NOPREVIEWPIN);
  ASSERT_EQ(rig.RenderCapture(), S_OK);
  int runsWithFrames = 0;
  const bool finished = FinishesWithin(
      [&] {
        for (int i = 0; i < 100; ++i) {
          rig.Collector->Reset();
          if (FAILED(rig.Control->Run())) break;
          if (rig.Collector->WaitForCount(1, 5000)) ++runsWithFrames;
          if (i % 2) rig.Control->Pause();
          if (FAILED(rig.Control->Stop())) break;
        }
      },
      240000);
  ASSERT_TRUE(finished) << "Run / Stop hung";
  EXPECT_EQ(runsWithFrames, 100);
  OAFilterState state;
  EXPECT_EQ(rig.Control->GetState(1000, &state), S_OK);
  EXPECT_EQ(state, State_Stopped);
}

TEST(TestCamGraph, CounterAdvancesBetweenTwoSnapshots) {
  CaptureRig rig(kLmTestCameraName);
  ASSERT_TRUE(rig.Ready());
  ASSERT_EQ(rig.Grab->SetBufferSamples(TRUE), S_OK);
  ASSERT_EQ(rig.RenderCapture(), S_OK);
  ASSERT_TRUE(SUCCEEDED(rig.Control->Run())) << "S_FALSE: renderers still pausing, which is fine";
  ASSERT_TRUE(rig.Collector->WaitForCount(2, 10000));
  auto snapshot = [&]() {
    long size = 0;
    if (FAILED(rig.Grab->GetCurrentBuffer(&size, nullptr)) || size <= 0) return -2;
    std::vector<BYTE> buffer(static_cast<size_t>(size));
    if (FAILED(rig.Grab->GetCurrentBuffer(&size, reinterpret_cast<long*>(buffer.data())))) return -2;
    return DecodeCounter(buffer.data(), 160, 120);
  };
  const int first = snapshot();
  Sleep(300);
  const int second = snapshot();
  ASSERT_EQ(rig.Control->Stop(), S_OK);
  EXPECT_GE(first, 1);
  EXPECT_GT(second, first) << "the second snapshot must show a later frame";
}

TEST(TestCamGraph, ReceiverThatBlocksDoesNotHangStop) {
  CaptureRig rig(kLmTestCameraName);
  ASSERT_TRUE(rig.Ready());
  ASSERT_EQ(rig.RenderCapture(), S_OK);
  HANDLE gate = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  // Each frame is held inside Receive for up to 2 s unless the gate opens.
  rig.Collector->BlockOn(gate, 2000);
  ASSERT_TRUE(SUCCEEDED(rig.Control->Run())) << "S_FALSE: renderers still pausing, which is fine";
  ASSERT_TRUE(rig.Collector->WaitForCount(1, 10000));
  std::thread opener([gate] {
    Sleep(500);
    SetEvent(gate);
  });
  const bool stopped = FinishesWithin([&] { rig.Control->Stop(); }, 20000);
  opener.join();
  EXPECT_TRUE(stopped) << "Stop deadlocked while a frame was held downstream";
  if (!stopped) {
    // The graph belongs to the stuck thread now.
    rig.Graph.Detach();
    rig.Control.Detach();
    return;
  }
  rig.Collector->BlockOn(nullptr, 0);
  CloseHandle(gate);
  // And the graph still runs afterwards.
  rig.Collector->Reset();
  ASSERT_TRUE(SUCCEEDED(rig.Control->Run())) << "S_FALSE: renderers still pausing, which is fine";
  EXPECT_TRUE(rig.Collector->WaitForCount(3, 10000));
  EXPECT_EQ(rig.Control->Stop(), S_OK);
}

}  // namespace
}  // namespace camtest
