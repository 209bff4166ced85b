// The camera settings of the preview and the recorder against the test cameras on Wine: the
// UVC camera's fifteen settings with their ranges, read back from the device, by hand and
// automatic; brightness, contrast, saturation, exposure and zoom seen in the picture; a change
// made outside the control read through it; a settings text restored; the cameras with two
// settings answering 205 for the rest.

#include <windows.h>

#include <dshow.h>
#include <gtest/gtest.h>
#include <wrl/client.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "preview/PreviewProbe.h"
#include "support/TestWindow.h"
#include "testcam/LmTestCam.h"
#include "webcam/LmRecord.h"

namespace previewtest {
namespace {

// The preview's setting for each of the test camera's, in the enumeration's order: 17 entries,
// Roll and Iris without one.
const LmTestCameraSetting* ExpectedRange(TVLmCameraSetting Setting) {
  static const LmTestCameraSetting* const kSettings[vlmCameraSettingCount] = {
      &kLmTestCameraBrightness, &kLmTestCameraContrast, &kLmTestCameraHue,         &kLmTestCameraSaturation,
      &kLmTestCameraSharpness,  &kLmTestCameraGamma,    &kLmTestCameraColorEnable, &kLmTestCameraWhiteBalance,
      &kLmTestCameraBacklightCompensation, &kLmTestCameraGain, &kLmTestCameraPan, &kLmTestCameraTilt,
      nullptr, &kLmTestCameraZoom, &kLmTestCameraExposure, nullptr, &kLmTestCameraFocus};
  return kSettings[Setting];
}

class SettingsProbe : public PreviewProbe {
public:
  using TVLmPreview::m_pDeviceFilter;
};

void Host(TVLmCaptureControl& Control) {
  Control.SetParentWindow(SharedHost());
  Control.SetBounds(0, 0, 320, 240);
}

// One snapshot's pixels (a bottom-up 24-bit DIB) and size.
struct Picture {
  LONG Width = 0, Height = 0;
  std::vector<BYTE> Pixels;
  // The pixel of picture row Y (from the top) at column X: blue, green, red.
  const BYTE* At(LONG X, LONG Y) const {
    const size_t stride = (static_cast<size_t>(Width) * 3 + 3) & ~size_t{3};
    return Pixels.data() + static_cast<size_t>(Height - 1 - Y) * stride + static_cast<size_t>(X) * 3;
  }
};

bool Snapshot(TVLmPreview& Preview, Picture& Out) {
  bool done = false;
  Preview.SetOnSnapshot([&](TObject*, UINT_PTR Image, bool&) {
    const auto block = reinterpret_cast<HGLOBAL>(Image);
    const auto* bytes = static_cast<const BYTE*>(GlobalLock(block));
    BITMAPINFOHEADER header{};
    std::memcpy(&header, bytes, sizeof(header));
    Out.Width = header.biWidth;
    Out.Height = header.biHeight;
    Out.Pixels.assign(bytes + sizeof(header), bytes + sizeof(header) + header.biSizeImage);
    GlobalUnlock(block);
    done = true;
  });
  testwin::PumpMessages(300);  // a setting shows from the next frames
  const bool asked = Preview.TakeSnapshot();
  const bool delivered = asked && testwin::PumpUntil([&] { return done; }, 5000);
  Preview.SetOnSnapshot(nullptr);
  return delivered;
}

// What the middle row of the bars shows: the darkest and brightest channel values, the largest
// difference between a pixel's channels, and how many times the colour changes along the row.
struct BarRow {
  int Darkest = 255, Brightest = 0, MostColour = 0, Edges = 0;
};
BarRow ReadBars(const Picture& P) {
  BarRow row;
  const LONG y = P.Height / 2;
  for (LONG x = 0; x < P.Width; ++x) {
    const BYTE* pixel = P.At(x, y);
    row.Darkest = std::min({row.Darkest, int{pixel[0]}, int{pixel[1]}, int{pixel[2]}});
    row.Brightest = std::max({row.Brightest, int{pixel[0]}, int{pixel[1]}, int{pixel[2]}});
    row.MostColour = std::max(row.MostColour, std::max({pixel[0], pixel[1], pixel[2]}) - std::min({pixel[0], pixel[1], pixel[2]}));
    if (x > 0) {
      const BYTE* left = P.At(x - 1, y);
      int difference = 0;
      for (int c = 0; c < 3; ++c) difference = std::max(difference, std::abs(pixel[c] - left[c]));
      if (difference > 60) ++row.Edges;
    }
  }
  return row;
}

TEST(CameraSettingsOnCamera, TheUvcCamerasSettingsHaveTheirRangesAndReadBackByHandAndAutomatic) {
  SettingsProbe preview;
  Host(preview);
  TLmCameraSettingRange range{};
  EXPECT_FALSE(preview.GetCameraSettingRange(vlmBrightness, range));
  EXPECT_EQ(preview.ErrorStatus(), LMERR_WRONG_STATE);
  ASSERT_TRUE(preview.OpenDevice(kLmTestCameraUvcDevicePath)) << preview.ErrorStatus();
  int offered = 0;
  for (int32_t i = 0; i < vlmCameraSettingCount; ++i) {
    const auto setting = static_cast<TVLmCameraSetting>(i);
    SCOPED_TRACE(i);
    const LmTestCameraSetting* expected = ExpectedRange(setting);
    const bool got = preview.GetCameraSettingRange(setting, range);
    if (!expected) {
      EXPECT_FALSE(got);
      EXPECT_EQ(preview.ErrorStatus(), LMERR_NOT_SUPPORTED);
      continue;
    }
    ++offered;
    ASSERT_TRUE(got) << preview.ErrorStatus();
    EXPECT_EQ(range.Min, expected->Min);
    EXPECT_EQ(range.Max, expected->Max);
    EXPECT_EQ(range.Step, expected->Step);
    EXPECT_EQ(range.Default, expected->Default);
    EXPECT_EQ(range.CanAuto, (expected->CapsFlags & VideoProcAmp_Flags_Auto) != 0);
    EXPECT_TRUE(range.CanManual);
  }
  EXPECT_EQ(offered, 15);

  // By hand: read back as the camera applied it (rounded to the focus's step of 5).
  int32_t value = 0;
  bool automatic = true;
  ASSERT_TRUE(preview.SetCameraSetting(vlmFocus, 123));
  ASSERT_TRUE(preview.GetCameraSetting(vlmFocus, value, automatic));
  EXPECT_EQ(value % 5, 0);
  EXPECT_NEAR(value, 123, 3);
  EXPECT_FALSE(automatic);
  EXPECT_FALSE(preview.SetCameraSetting(vlmZoom, kLmTestCameraZoom.Max + 1));
  EXPECT_EQ(preview.ErrorStatus(), LMERR_OUT_OF_RANGE);
  EXPECT_FALSE(preview.SetCameraSettingAuto(vlmBrightness));
  EXPECT_EQ(preview.ErrorStatus(), LMERR_NOT_SUPPORTED);

  // Auto, by hand, auto again: the camera's own value while automatic.
  for (const auto& [setting, manual] : {std::pair{vlmExposure, -8}, std::pair{vlmFocus, 200}}) {
    SCOPED_TRACE(setting);
    ASSERT_TRUE(preview.SetCameraSettingAuto(setting));
    ASSERT_TRUE(preview.GetCameraSetting(setting, value, automatic));
    EXPECT_TRUE(automatic);
    EXPECT_EQ(value, ExpectedRange(setting)->AutoValue);
    ASSERT_TRUE(preview.SetCameraSetting(setting, manual));
    ASSERT_TRUE(preview.GetCameraSetting(setting, value, automatic));
    EXPECT_FALSE(automatic);
    EXPECT_EQ(value, manual);
    ASSERT_TRUE(preview.SetCameraSettingAuto(setting));
    ASSERT_TRUE(preview.GetCameraSetting(setting, value, automatic));
    EXPECT_TRUE(automatic);
  }

  // A change made outside the control, through the camera's own interface, is what it reads.
  Microsoft::WRL::ComPtr<IAMVideoProcAmp> amplifier;
  ASSERT_EQ(preview.m_pDeviceFilter.As(&amplifier), S_OK);
  ASSERT_EQ(amplifier->Set(VideoProcAmp_Brightness, 17, VideoProcAmp_Flags_Manual), S_OK);
  ASSERT_TRUE(preview.GetCameraSetting(vlmBrightness, value, automatic));
  EXPECT_EQ(value, 17);
  EXPECT_TRUE(preview.Close());
}

TEST(CameraSettingsOnCamera, BrightnessContrastSaturationExposureAndZoomShowInThePicture) {
  SettingsProbe preview;
  Host(preview);
  ASSERT_TRUE(preview.OpenDevice(kLmTestCameraUvcDevicePath));
  ASSERT_TRUE(preview.Start(vlmVideoStretch));  // YUY2 160 x 120
  Picture picture;
  ASSERT_TRUE(Snapshot(preview, picture));
  const BarRow plain = ReadBars(picture);
  EXPECT_LE(plain.Darkest, 8) << "the black bar";
  EXPECT_GE(plain.Brightest, 247) << "the white bar";
  EXPECT_GE(plain.MostColour, 200) << "coloured bars";

  ASSERT_TRUE(preview.SetCameraSetting(vlmBrightness, 40));
  ASSERT_TRUE(Snapshot(preview, picture));
  EXPECT_NEAR(ReadBars(picture).Darkest, 40, 8) << "brightness lifts the black bar";
  ASSERT_TRUE(preview.SetCameraSetting(vlmBrightness, 0));

  ASSERT_TRUE(preview.SetCameraSetting(vlmContrast, 0));
  ASSERT_TRUE(Snapshot(preview, picture));
  const BarRow flat = ReadBars(picture);
  EXPECT_NEAR(flat.Darkest, 128, 8) << "no contrast: every bar mid grey";
  EXPECT_NEAR(flat.Brightest, 128, 8);
  ASSERT_TRUE(preview.SetCameraSetting(vlmContrast, kLmTestCameraContrast.Default));

  ASSERT_TRUE(preview.SetCameraSetting(vlmSaturation, 0));
  ASSERT_TRUE(Snapshot(preview, picture));
  EXPECT_LE(ReadBars(picture).MostColour, 12) << "no saturation: greys";
  ASSERT_TRUE(preview.SetCameraSetting(vlmSaturation, kLmTestCameraSaturation.Default));

  ASSERT_TRUE(preview.SetCameraSetting(vlmExposure, -8));  // two stops below the automatic -6
  ASSERT_TRUE(Snapshot(preview, picture));
  EXPECT_NEAR(ReadBars(picture).Brightest, 64, 10) << "the white bar at a quarter";
  ASSERT_TRUE(preview.SetCameraSettingAuto(vlmExposure));

  ASSERT_TRUE(preview.SetCameraSetting(vlmZoom, 400));
  ASSERT_TRUE(Snapshot(preview, picture));
  EXPECT_LE(ReadBars(picture).Edges, plain.Edges / 2) << "four times wider bars: fewer edges";
  EXPECT_TRUE(preview.Close());
}

TEST(CameraSettingsOnCamera, ASettingsTextBringsTheSettingsBackAndTheRecorderHasThemToo) {
  TVLmRecord recorder(nullptr);
  Host(recorder);
  ASSERT_TRUE(recorder.OpenDevice(L"settings.avi", kLmTestCameraUvcDevicePath)) << recorder.ErrorStatus();
  const std::wstring saved = recorder.CameraSettings();
  EXPECT_EQ(std::count(saved.begin(), saved.end(), L'\n'), 15) << fakes::Narrow(saved);
  EXPECT_NE(saved.find(L"Exposure=auto\r\n"), std::wstring::npos);
  EXPECT_NE(saved.find(L"Brightness=0\r\n"), std::wstring::npos);

  ASSERT_TRUE(recorder.SetCameraSetting(vlmBrightness, -30));
  ASSERT_TRUE(recorder.SetCameraSetting(vlmExposure, -9));
  ASSERT_TRUE(recorder.SetCameraSetting(vlmZoom, 250));
  EXPECT_NE(recorder.CameraSettings(), saved);
  ASSERT_TRUE(recorder.SetCameraSettings(saved)) << recorder.ErrorStatus();
  EXPECT_EQ(recorder.CameraSettings(), saved);
  EXPECT_TRUE(recorder.Close());

  // The cameras with two settings: those two, and 205 for every other.
  SettingsProbe preview;
  Host(preview);
  ASSERT_TRUE(preview.OpenDevice(kLmTestCameraDevicePath));
  EXPECT_EQ(preview.CameraSettings(), L"Brightness=0\r\nContrast=32\r\n");
  int32_t value = 0;
  bool automatic = false;
  EXPECT_FALSE(preview.GetCameraSetting(vlmZoom, value, automatic));
  EXPECT_EQ(preview.ErrorStatus(), LMERR_NOT_SUPPORTED);
  EXPECT_FALSE(preview.GetCameraSetting(vlmSaturation, value, automatic));
  EXPECT_EQ(preview.ErrorStatus(), LMERR_NOT_SUPPORTED);
  // A text of another camera: what this one lacks is skipped.
  EXPECT_TRUE(preview.SetCameraSettings(saved)) << preview.ErrorStatus();
  EXPECT_TRUE(preview.Close());
}

}  // namespace
}  // namespace previewtest
