// The preview's frame stream on Wine's real capture graph with the test cameras: frames in both
// deliveries, counted, timed and carrying the camera's own counter; a slow Latest handler
// drops frames without memory growing; the layouts of native YUY2, MJPG and NV12 frames and
// RGB frames converted from them (MJPG on a streaming thread too); a handler that closes the
// control.

#include <windows.h>

#include <psapi.h>

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "preview/PreviewProbe.h"
#include "support/TestWindow.h"
#include "testcam/LmTestCam.h"

namespace previewtest {
namespace {

// What a handler saw of one frame (a copy: the frame is lent for the call only).
struct Seen {
  uint64_t Number = 0;
  int64_t SampleTime = 0, ArrivalTime = 0;
  uint32_t Dropped = 0, Bytes = 0;
  int32_t Width = 0, Height = 0, Stride = 0;
  GUID SubType = GUID_NULL;
  DWORD Thread = 0;
  int Counter = -1;
  BYTE Alpha = 0;
};

// The camera's frame counter in a top-down RGB frame: 16 cells of 8 x 8 pixels on rows 0..7,
// most significant bit first; -1 when a cell is neither white nor black.
int CounterOf(const TLmFrame& Frame) {
  const int bytesPerPixel = IsEqualGUID(Frame.SubType, MEDIASUBTYPE_RGB32) ? 4 : 3;
  if (Frame.Width < 128 || Frame.Height < 8 || Frame.Stride <= 0) return -1;
  int value = 0;
  for (int cell = 0; cell < 16; ++cell) {
    const uint8_t* pixel = Frame.Data + 4 * Frame.Stride + (cell * 8 + 4) * bytesPerPixel;
    if (pixel[0] >= 200 && pixel[1] >= 200 && pixel[2] >= 200)
      value = value << 1 | 1;
    else if (pixel[0] <= 55 && pixel[1] <= 55 && pixel[2] <= 55)
      value <<= 1;
    else
      return -1;
  }
  return value;
}

// Collects frames from a handler on any thread.
class FrameLog {
public:
  TVLmFrameEvent Handler(DWORD SleepMs = 0) {
    return [this, SleepMs](TObject*, const TLmFrame& Frame) {
      Seen seen;
      seen.Number = Frame.Number;
      seen.SampleTime = Frame.SampleTime;
      seen.ArrivalTime = Frame.ArrivalTime;
      seen.Dropped = Frame.Dropped;
      seen.Bytes = Frame.Bytes;
      seen.Width = Frame.Width;
      seen.Height = Frame.Height;
      seen.Stride = Frame.Stride;
      seen.SubType = Frame.SubType;
      seen.Thread = GetCurrentThreadId();
      const bool rgb = IsEqualGUID(Frame.SubType, MEDIASUBTYPE_RGB24) || IsEqualGUID(Frame.SubType, MEDIASUBTYPE_RGB32);
      if (rgb) seen.Counter = CounterOf(Frame);
      if (IsEqualGUID(Frame.SubType, MEDIASUBTYPE_RGB32)) seen.Alpha = Frame.Data[Frame.Stride * (Frame.Height / 2) + 3];
      if (SleepMs) Sleep(SleepMs);
      std::lock_guard lock(m_Lock);
      m_Frames.push_back(seen);
    };
  }
  std::vector<Seen> Frames() {
    std::lock_guard lock(m_Lock);
    return m_Frames;
  }
  size_t Count() {
    std::lock_guard lock(m_Lock);
    return m_Frames.size();
  }

private:
  std::mutex m_Lock;
  std::vector<Seen> m_Frames;
};

class FrameProbe : public PreviewProbe {
public:
  using TVLmPreview::m_GrabberSubType;
  using TVLmPreview::m_pVSI;
  using TVLmPreview::m_pVSI_Count;
};

void Host(FrameProbe& Preview) {
  Preview.SetParentWindow(SharedHost());
  Preview.SetBounds(0, 0, 320, 240);
}

// Selects the UVC camera's first entry of SubType and Width.
bool SelectFormat(FrameProbe& Preview, const GUID& SubType, LONG Width) {
  for (int i = 0; i < Preview.m_pVSI_Count[1]; ++i) {
    const TLM_VIDEO_STREAM_INFORMATION& entry = Preview.m_pVSI[static_cast<size_t>(i)];
    if (IsEqualGUID(entry.SubType, SubType) && entry.VideoSize.cx == Width)
      return Preview.GetStreamFormat(i) && Preview.SetStreamFormat(i);
  }
  return false;
}

SIZE_T PrivateBytes() {
  PROCESS_MEMORY_COUNTERS_EX counters{};
  counters.cb = sizeof(counters);
  GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters), sizeof(counters));
  return counters.PrivateUsage;
}

TEST(FrameStream, BothDeliveriesCountTimeAndCarryTheCamerasCounter) {
  for (const TVLmFrameDelivery delivery : {vlmFrameLatest, vlmFrameDirect}) {
    SCOPED_TRACE(delivery == vlmFrameLatest ? "Latest" : "Direct");
    FrameProbe preview;
    Host(preview);
    FrameLog log;
    preview.SetFrameDelivery(delivery);
    preview.SetOnFrame(log.Handler());
    ASSERT_TRUE(preview.OpenDevice(kLmTestCameraDevicePath)) << preview.ErrorStatus();
    ASSERT_TRUE(preview.Start(vlmVideoStretch));
    ASSERT_TRUE(testwin::PumpUntil([&] { return log.Count() >= 15; }, 5000));
    ASSERT_TRUE(preview.Stop());
    const size_t atStop = log.Count();
    testwin::PumpMessages(200);
    EXPECT_EQ(log.Count(), atStop) << "nothing is delivered after Stop";

    const std::vector<Seen> frames = log.Frames();
    const DWORD gui = GetCurrentThreadId();
    for (size_t i = 0; i < frames.size(); ++i) {
      const Seen& f = frames[i];
      SCOPED_TRACE(i);
      EXPECT_TRUE(IsEqualGUID(f.SubType, MEDIASUBTYPE_RGB24));
      EXPECT_EQ(f.Width, 160);
      EXPECT_EQ(f.Height, 120);
      EXPECT_EQ(f.Stride, 480);
      EXPECT_EQ(f.Bytes, 480u * 120);
      EXPECT_GE(f.SampleTime, 0) << "the test camera stamps its samples";
      EXPECT_GE(f.Counter, 0) << "the picture is upright";
      if (delivery == vlmFrameLatest) {
        EXPECT_EQ(f.Thread, gui);
      } else {
        EXPECT_NE(f.Thread, gui);
      }
      if (i == 0) continue;
      const Seen& before = frames[i - 1];
      EXPECT_EQ(f.Number, before.Number + 1 + f.Dropped);
      EXPECT_GT(f.SampleTime, before.SampleTime);
      EXPECT_GE(f.ArrivalTime, before.ArrivalTime);
      // Every frame the camera sent reached the library: its counter moves with Number.
      EXPECT_EQ(f.Counter - before.Counter, static_cast<int>(f.Number - before.Number));
    }
    if (delivery == vlmFrameDirect) {
      EXPECT_EQ(frames.front().Number, 0u) << "numbered from Start";
    }
    EXPECT_TRUE(preview.Close());
  }
}

// A camera with a preview pin of its own: the capture pin still feeds the frames.
TEST(FrameStream, TheCameraWithAPreviewPinDeliversFramesToo) {
  FrameProbe preview;
  Host(preview);
  FrameLog log;
  preview.SetOnFrame(log.Handler());
  ASSERT_TRUE(preview.OpenDevice(kLmTestCameraPreviewDevicePath)) << preview.ErrorStatus();
  ASSERT_TRUE(preview.Start(vlmVideoStretch));
  ASSERT_TRUE(testwin::PumpUntil([&] { return log.Count() >= 5; }, 5000));
  ASSERT_TRUE(preview.Close());
  const std::vector<Seen> frames = log.Frames();
  for (size_t i = 1; i < frames.size(); ++i) {
    EXPECT_GT(frames[i].Number, frames[i - 1].Number);
    EXPECT_GT(frames[i].Counter, frames[i - 1].Counter);
  }
  EXPECT_GT(frames.back().Width, 0);
  EXPECT_EQ(frames.back().Stride, (frames.back().Width * 3 + 3) / 4 * 4);
}

TEST(FrameStream, ASlowLatestHandlerDropsFramesWithoutMemoryGrowing) {
  FrameProbe preview;
  Host(preview);
  FrameLog log;
  preview.SetOnFrame(log.Handler(100));  // 10 frames a second at most, of the camera's 30
  ASSERT_TRUE(preview.OpenDevice(kLmTestCameraUvcDevicePath)) << preview.ErrorStatus();
  ASSERT_TRUE(SelectFormat(preview, MEDIASUBTYPE_YUY2, 640));
  ASSERT_TRUE(preview.Start(vlmVideoStretch));
  testwin::PumpMessages(1000);
  const SIZE_T early = PrivateBytes();
  testwin::PumpMessages(2500);
  const SIZE_T late = PrivateBytes();
  ASSERT_TRUE(preview.Stop());
  const std::vector<Seen> frames = log.Frames();
  ASSERT_GE(frames.size(), 10u);
  uint64_t dropped = 0;
  for (const Seen& f : frames) dropped += f.Dropped;
  EXPECT_GT(dropped, frames.size()) << "most frames were replaced while the handler slept";
  EXPECT_EQ(frames.back().Number + 1, frames.size() + dropped) << "every frame received is delivered or dropped";
  EXPECT_LT(late, early + 4 * 1024 * 1024) << "no frames pile up";
  EXPECT_TRUE(preview.Close());
}

TEST(FrameStream, NativeAndConvertedFramesOfEveryUsbFormat) {
  struct Case {
    const char* Name;
    GUID SubType;
    TVLmFrameFormat Picture;
    TVLmFrameDelivery Delivery;
    int32_t Stride;  // 0: compressed
  };
  const Case cases[] = {
      {"YUY2 native", MEDIASUBTYPE_YUY2, vlmFrameNative, vlmFrameLatest, 640 * 2},
      {"NV12 native", MEDIASUBTYPE_NV12, vlmFrameNative, vlmFrameDirect, 640},
      {"MJPG native", MEDIASUBTYPE_MJPG, vlmFrameNative, vlmFrameLatest, 0},
      {"NV12 as RGB24", MEDIASUBTYPE_NV12, vlmFrameRGB24, vlmFrameLatest, 640 * 3},
      {"MJPG as RGB32 on a streaming thread", MEDIASUBTYPE_MJPG, vlmFrameRGB32, vlmFrameDirect, 640 * 4},
      {"YUY2 as RGB32", MEDIASUBTYPE_YUY2, vlmFrameRGB32, vlmFrameLatest, 640 * 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    FrameProbe preview;
    Host(preview);
    ASSERT_TRUE(preview.OpenDevice(kLmTestCameraUvcDevicePath)) << preview.ErrorStatus();
    ASSERT_TRUE(SelectFormat(preview, c.SubType, 640));
    FrameLog log;
    preview.SetFrameDelivery(c.Delivery);
    preview.SetFrameFormat(c.Picture);
    preview.SetOnFrame(log.Handler());
    ASSERT_TRUE(preview.Start(vlmVideoStretch));
    ASSERT_TRUE(testwin::PumpUntil([&] { return log.Count() >= 3; }, 5000));
    ASSERT_TRUE(preview.Close());
    const Seen f = log.Frames().back();
    EXPECT_EQ(f.Width, 640);
    EXPECT_EQ(f.Height, 480);
    EXPECT_EQ(f.Stride, c.Stride);
    if (c.Picture == vlmFrameNative) {
      EXPECT_TRUE(IsEqualGUID(f.SubType, c.SubType));
      const uint32_t full = IsEqualGUID(c.SubType, MEDIASUBTYPE_NV12) ? 640 * 480 * 3 / 2 : 640 * 480 * 2;
      if (c.Stride) {
        EXPECT_EQ(f.Bytes, full);
      } else {
        EXPECT_LT(f.Bytes, full) << "an MJPG frame is as long as its JPEG";
      }
    } else {
      EXPECT_TRUE(IsEqualGUID(f.SubType, c.Picture == vlmFrameRGB32 ? MEDIASUBTYPE_RGB32 : MEDIASUBTYPE_RGB24));
      EXPECT_EQ(f.Bytes, static_cast<uint32_t>(c.Stride) * 480);
      EXPECT_GE(f.Counter, 0) << "upright, with the camera's counter";
      if (c.Picture == vlmFrameRGB32) {
        EXPECT_EQ(f.Alpha, 255);
      }
    }
  }
}

TEST(FrameStream, FramesAndSnapshotsGoOnAfterAFormatChange) {
  FrameProbe preview;
  Host(preview);
  FrameLog log;
  preview.SetOnFrame(log.Handler());
  ASSERT_TRUE(preview.OpenDevice(kLmTestCameraUvcDevicePath));
  ASSERT_TRUE(preview.Start(vlmVideoStretch));
  ASSERT_TRUE(testwin::PumpUntil([&] { return log.Count() >= 2; }, 5000));
  ASSERT_TRUE(preview.Stop());
  ASSERT_TRUE(SelectFormat(preview, MEDIASUBTYPE_MJPG, 640));  // the graph is built anew
  const size_t before = log.Count();
  ASSERT_TRUE(preview.Start(vlmVideoStretch));
  EXPECT_TRUE(testwin::PumpUntil([&] { return log.Count() >= before + 2; }, 5000));
  EXPECT_EQ(log.Frames().back().Width, 640);
  bool shot = false;
  preview.SetOnSnapshot([&](TObject*, UINT_PTR, bool&) { shot = true; });
  ASSERT_TRUE(preview.TakeSnapshot());
  EXPECT_TRUE(testwin::PumpUntil([&] { return shot; }, 5000));
  EXPECT_TRUE(preview.Close());
}

TEST(FrameStream, ALatestHandlerMayCloseTheControl) {
  FrameProbe preview;
  Host(preview);
  int calls = 0;
  preview.SetOnFrame([&](TObject*, const TLmFrame&) {
    ++calls;
    EXPECT_TRUE(preview.Close());
  });
  ASSERT_TRUE(preview.OpenDevice(kLmTestCameraDevicePath));
  ASSERT_TRUE(preview.Start(vlmVideoStretch));
  ASSERT_TRUE(testwin::PumpUntil([&] { return calls > 0; }, 5000));
  testwin::PumpMessages(300);
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(preview.State(), vlmStateClosed);
}

}  // namespace
}  // namespace previewtest
