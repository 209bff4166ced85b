// The camera's settings seen in its running picture, through Wine's capture graph: colour
// settings on the bars (exact in RGB24, within coding loss in YUY2 and MJPG), zoom around the
// centre (in YUY2 and MJPG), exposure in stops, the counter readable at extreme settings, and a long exposure that
// lowers the frame rate. Expected values follow the rules of testcam/LmTestCam.h.

#include <gtest/gtest.h>

#include <windows.h>

#include <dshow.h>

#include <cstdlib>

#include "testcam/CameraRig.h"
#include "testcam/FrameKeeper.h"
#include "testcam/LmTestCam.h"

namespace camtest {
namespace {

constexpr LONG kManual = VideoProcAmp_Flags_Manual;

// The bars' colours, left to right (LmTestCam.h).
constexpr Frame::Colour kBars[8] = {{255, 255, 255}, {255, 255, 0}, {0, 255, 255}, {0, 255, 0},
                                    {255, 0, 255},   {255, 0, 0},   {0, 0, 255},   {0, 0, 0}};
enum Bar { kWhite, kYellow, kCyan, kGreen, kMagenta, kRed, kBlue, kBlack };

// The bar that column X of a bar row shows in frame Counter at Zoom.
int BarAt(LONG X, LONG Width, int Counter, LONG Zoom) {
  const LONG centre = Width / 2;
  const LONG offset = (X - centre) * 100;
  const LONG u = centre + (offset >= 0 ? offset / Zoom : -((-offset + Zoom - 1) / Zoom));
  const LONG shift = static_cast<LONG>(Counter) * 4 % Width;
  return static_cast<int>((u - shift + Width) % Width * 8 / Width);
}

// The colour in the middle of bar Which on the middle bar row of an unzoomed frame.
Frame::Colour BarColour(const Frame& Picture, int Which) {
  const LONG shift = static_cast<LONG>(Picture.Counter) * 4 % Picture.Width;
  const LONG x = (shift + Which * Picture.Width / 8 + Picture.Width / 16) % Picture.Width;
  return Picture.At(x, 8 + (Picture.Height - 8) / 2);
}

bool Near(const Frame::Colour& A, const Frame::Colour& B, int Tolerance) {
  return std::abs(A.R - B.R) <= Tolerance && std::abs(A.G - B.G) <= Tolerance && std::abs(A.B - B.B) <= Tolerance;
}

::testing::AssertionResult BarIs(const Frame& Picture, int Which, Frame::Colour Expected, int Tolerance) {
  const Frame::Colour seen = BarColour(Picture, Which);
  if (Near(seen, Expected, Tolerance)) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "bar " << Which << " of frame " << Picture.Counter << " is (" << seen.R
                                       << ", " << seen.G << ", " << seen.B << "), expected (" << Expected.R << ", "
                                       << Expected.G << ", " << Expected.B << ") within " << Tolerance;
}

// A running capture graph of Camera in the format of capability Index, its frames kept.
class RunningCamera {
public:
  RunningCamera(const wchar_t* Name, int Index, const GUID& Subtype) : Rig(Name, Subtype) {
    Keeper = Adopt(new FrameKeeper());
    if (!Rig.Ready() || SetCaptureFormat(Rig.Camera.Get(), Index) != S_OK || Rig.RenderCapture() != S_OK ||
        Keeper->Attach(Rig) != S_OK || FAILED(Rig.Control->Run()))
      return;
    ProcAmp = As<IAMVideoProcAmp>(Rig.Camera.Get());
    Camera = As<IAMCameraControl>(Rig.Camera.Get());
    Frame first;
    Ready = Keeper->NextFrameAfter(-1, 10000, first);
  }
  ~RunningCamera() { Rig.Control->Stop(); }
  // A frame painted after everything set so far: the one after the next, since the next may
  // have been painted already.
  Frame Fresh() {
    Frame frame;
    EXPECT_TRUE(Keeper->NextFrameAfter(Keeper->NewestCounter() + 1, 10000, frame)) << "no frame with a counter";
    return frame;
  }

  CaptureRig Rig;
  ComPtr<FrameKeeper> Keeper;
  ComPtr<IAMVideoProcAmp> ProcAmp;
  ComPtr<IAMCameraControl> Camera;
  bool Ready = false;
};

TEST(TestCamPicture, BrightnessAndContrastChangeTheRunningRgbPictureExactly) {
  RunningCamera camera(kLmTestCameraName, 1, MEDIASUBTYPE_RGB24);  // 320 x 240 RGB24
  ASSERT_TRUE(camera.Ready);
  ASSERT_EQ(camera.ProcAmp->Set(VideoProcAmp_Brightness, 40, kManual), S_OK);
  Frame frame = camera.Fresh();
  EXPECT_TRUE(BarIs(frame, kWhite, {255, 255, 255}, 0));
  EXPECT_TRUE(BarIs(frame, kYellow, {255, 255, 40}, 0));
  EXPECT_TRUE(BarIs(frame, kBlack, {40, 40, 40}, 0));

  // Contrast 16 halves each channel's distance from 128, before the brightness is added.
  ASSERT_EQ(camera.ProcAmp->Set(VideoProcAmp_Contrast, 16, kManual), S_OK);
  frame = camera.Fresh();
  EXPECT_TRUE(BarIs(frame, kWhite, {232, 232, 232}, 0));  // 128 + 127 / 2 + 40 = 231.5, rounded up
  EXPECT_TRUE(BarIs(frame, kBlue, {104, 104, 232}, 0));
  ASSERT_EQ(camera.ProcAmp->Set(VideoProcAmp_Brightness, 0, kManual), S_OK);
  frame = camera.Fresh();
  EXPECT_TRUE(BarIs(frame, kRed, {192, 64, 64}, 0));
  // The counter band is drawn over the effects: its grey is untouched.
  const Frame::Colour grey = frame.At(200, 4);
  EXPECT_TRUE(Near(grey, {128, 128, 128}, 0)) << grey.R;
}

TEST(TestCamPicture, SaturationAndZoomInYuy2AndMjpg) {
  const struct {
    int Index;  // 640 x 480
    GUID Subtype;
    int Tolerance;
    LONG Margin;  // columns next to a bar edge that coding blurs
  } cases[] = {{2, MEDIASUBTYPE_YUY2, 3, 2}, {4, MEDIASUBTYPE_MJPG, 8, 8}};
  for (const auto& test : cases) {
    SCOPED_TRACE(test.Index);
    RunningCamera camera(kLmTestCameraUvcName, test.Index, test.Subtype);
    ASSERT_TRUE(camera.Ready);
    // Saturation 0: each bar is the grey of its BT.601 luma.
    ASSERT_EQ(camera.ProcAmp->Set(VideoProcAmp_Saturation, 0, kManual), S_OK);
    Frame frame = camera.Fresh();
    EXPECT_TRUE(BarIs(frame, kYellow, {226, 226, 226}, test.Tolerance));
    EXPECT_TRUE(BarIs(frame, kBlue, {29, 29, 29}, test.Tolerance));
    EXPECT_TRUE(BarIs(frame, kWhite, {255, 255, 255}, test.Tolerance));
    ASSERT_EQ(camera.ProcAmp->Set(VideoProcAmp_Saturation, kLmTestCameraSaturation.Default, kManual), S_OK);

    // Zoom 250: every column shows the bar of its unzoomed column, the bars 2.5 times as wide.
    ASSERT_EQ(camera.Camera->Set(CameraControl_Zoom, 250, kManual), S_OK);
    frame = camera.Fresh();
    int checked = 0, edges = 0, wrong = 0;
    LONG firstWrong = -1;
    for (LONG x = test.Margin; x + test.Margin < frame.Width; x += 3) {
      const int bar = BarAt(x, frame.Width, frame.Counter, 250);
      if (BarAt(x - test.Margin, frame.Width, frame.Counter, 250) != bar ||
          BarAt(x + test.Margin, frame.Width, frame.Counter, 250) != bar) {
        ++edges;
        continue;
      }
      ++checked;
      if (!Near(frame.At(x, frame.Height / 2), kBars[bar], test.Tolerance) && wrong++ == 0) firstWrong = x;
    }
    EXPECT_EQ(wrong, 0) << "of " << checked << " columns, the first at " << firstWrong;
    EXPECT_LE(edges, 4 * (2 * test.Margin / 3 + 1)) << "at most four bar edges in view";
  }
}

TEST(TestCamPicture, ExposureInStopsAndTheCounterReadableAtExtremesInMjpg) {
  RunningCamera camera(kLmTestCameraUvcName, 4, MEDIASUBTYPE_MJPG);  // 640 x 480 MJPG
  ASSERT_TRUE(camera.Ready);
  // Once the bars have been at each of their 160 positions, the camera has coded every row
  // it needs at these settings; a change must not reuse them.
  Frame cycled;
  ASSERT_TRUE(camera.Keeper->NextFrameAfter(640 / 4, 15000, cycled));
  // One stop per step: -8 quarters the bars, -7 (a stop brighter) halves them.
  ASSERT_EQ(camera.Camera->Set(CameraControl_Exposure, -8, kManual), S_OK);
  Frame frame = camera.Fresh();
  EXPECT_TRUE(BarIs(frame, kWhite, {64, 64, 64}, 8));
  ASSERT_EQ(camera.Camera->Set(CameraControl_Exposure, -7, kManual), S_OK);
  frame = camera.Fresh();
  EXPECT_TRUE(BarIs(frame, kWhite, {128, 128, 128}, 8));
  EXPECT_TRUE(BarIs(frame, kCyan, {0, 128, 128}, 8));
  // Brighter than auto's -6, full channels stay at full scale (the sensor saturates).
  ASSERT_EQ(camera.Camera->Set(CameraControl_Exposure, -4, kManual), S_OK);
  frame = camera.Fresh();
  EXPECT_TRUE(BarIs(frame, kMagenta, {255, 0, 255}, 8));

  // The counter reads at the extremes: Fresh() takes only frames whose counter decodes.
  ASSERT_EQ(camera.ProcAmp->Set(VideoProcAmp_Brightness, kLmTestCameraBrightness.Max, kManual), S_OK);
  ASSERT_EQ(camera.ProcAmp->Set(VideoProcAmp_Contrast, kLmTestCameraContrast.Max, kManual), S_OK);
  ASSERT_EQ(camera.ProcAmp->Set(VideoProcAmp_Saturation, kLmTestCameraSaturation.Max, kManual), S_OK);
  ASSERT_EQ(camera.Camera->Set(CameraControl_Zoom, kLmTestCameraZoom.Max, kManual), S_OK);
  const int bright = camera.Fresh().Counter;
  ASSERT_EQ(camera.ProcAmp->Set(VideoProcAmp_Brightness, kLmTestCameraBrightness.Min, kManual), S_OK);
  ASSERT_EQ(camera.ProcAmp->Set(VideoProcAmp_Contrast, kLmTestCameraContrast.Min, kManual), S_OK);
  ASSERT_EQ(camera.Camera->Set(CameraControl_Exposure, kLmTestCameraExposure.Min, kManual), S_OK);
  EXPECT_GT(camera.Fresh().Counter, bright);
}

TEST(TestCamPicture, ExposureLongerThanTheFrameIntervalLowersTheRate) {
  CaptureRig rig(kLmTestCameraUvcName, MEDIASUBTYPE_YUY2);
  ASSERT_TRUE(rig.Ready());
  ASSERT_EQ(rig.RenderCapture(), S_OK);  // 160 x 120 at 30 frames per second
  // 1/8 s takes four intervals of 1/30 s: 7.5 frames per second.
  ASSERT_EQ(As<IAMCameraControl>(rig.Camera.Get())->Set(CameraControl_Exposure, -3, kManual), S_OK);
  const double rate = rig.MeasureFrameRate(2500);
  EXPECT_GT(rate, 7.5 * 0.8);
  EXPECT_LT(rate, 7.5 * 1.2);
  // Samples four intervals apart (or more, where the thread came late), whole intervals still;
  // the counter counts every delivered frame.
  const auto starts = rig.Collector->StartTimes();
  const auto counters = rig.Collector->Counters();
  ASSERT_GE(starts.size(), 3u);
  for (size_t i = 1; i < starts.size(); ++i) {
    ASSERT_EQ((starts[i] - starts[i - 1]) % kLmDefaultFrameInterval, 0) << i;
    ASSERT_GE(starts[i] - starts[i - 1], 4 * kLmDefaultFrameInterval) << i;
    ASSERT_EQ(counters[i], counters[i - 1] + 1) << i;
  }
}

}  // namespace
}  // namespace camtest
