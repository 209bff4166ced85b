// The preview's own drawing and input on a real window under the X server: the frame in each
// style, the background inside it, nothing drawn over a stretched running picture, repaints
// only on a change, the dialog code, focus on click, and the cursor and background handed to
// the renderer's window.

#include <gtest/gtest.h>

#include <windows.h>

#include <memory>

#include "preview/PreviewProbe.h"
#include "testcam/LmTestCam.h"

namespace previewtest {
namespace {

constexpr COLORREF kBackground = RGB(0x21, 0x43, 0x65);
constexpr COLORREF kBorder = RGB(0xe0, 0x10, 0x30);
constexpr COLORREF kOther = RGB(0x70, 0xc0, 0x20);

class PreviewPaintTest : public ::testing::Test {
protected:
  void SetUp() override {
    m_Preview = std::make_unique<PreviewProbe>();
    m_Preview->SetParentWindow(SharedHost());
    m_Preview->SetBounds(20, 20, 100, 100);
    m_Preview->SetColor(kBackground);
    m_Preview->SetBorderColor(kBorder);
    m_Preview->Handle();
    UpdateWindow(m_Preview->Handle());
    testwin::PumpMessages(0);
  }
  void TearDown() override {
    m_Preview->m_State = vlmStateClosed;
    m_Preview.reset();
  }
  HWND Window() { return m_Preview->Handle(); }

  std::unique_ptr<PreviewProbe> m_Preview;
};

// Every pixel on the outline of the rectangle from (Left, Top) to (Right, Bottom), both
// inclusive, has Color.
void ExpectRing(const testwin::ClientImage& Image, int Left, int Top, int Right, int Bottom, COLORREF Color) {
  for (int x = Left; x <= Right; ++x) {
    EXPECT_EQ(Image.Pixel(x, Top), Color) << "x " << x << " y " << Top;
    EXPECT_EQ(Image.Pixel(x, Bottom), Color) << "x " << x << " y " << Bottom;
  }
  for (int y = Top; y <= Bottom; ++y) {
    EXPECT_EQ(Image.Pixel(Left, y), Color) << "x " << Left << " y " << y;
    EXPECT_EQ(Image.Pixel(Right, y), Color) << "x " << Right << " y " << y;
  }
}

// A grid of pixels inside the rectangle, both corners inclusive, has Color.
void ExpectFilled(const testwin::ClientImage& Image, int Left, int Top, int Right, int Bottom, COLORREF Color) {
  for (int y = Top; y <= Bottom; y += 7)
    for (int x = Left; x <= Right; x += 7) EXPECT_EQ(Image.Pixel(x, y), Color) << "x " << x << " y " << y;
  EXPECT_EQ(Image.Pixel(Right, Bottom), Color);
}

TEST_F(PreviewPaintTest, FlatFrameInBorderColorAroundTheBackground) {
  const testwin::ClientImage image(Window());
  ExpectRing(image, 0, 0, 99, 99, kBorder);
  ExpectFilled(image, 1, 1, 98, 98, kBackground);
}

TEST_F(PreviewPaintTest, LoweredAndRaisedEdgesAreTwoPixelsOnTheClientRectangleLessOne) {
  const COLORREF shadow = GetSysColor(COLOR_BTNSHADOW);
  const COLORREF dark = GetSysColor(COLOR_3DDKSHADOW);
  const COLORREF light = GetSysColor(COLOR_3DLIGHT);
  const COLORREF highlight = GetSysColor(COLOR_BTNHIGHLIGHT);
  ASSERT_NE(shadow, highlight);

  m_Preview->SetAppearance(vlmLowered);
  {
    const testwin::ClientImage image(Window());
    // The edge covers 0..98: outer ring at 0 and 98, inner ring at 1 and 97.
    EXPECT_EQ(image.Pixel(0, 50), shadow);
    EXPECT_EQ(image.Pixel(50, 0), shadow);
    EXPECT_EQ(image.Pixel(1, 50), dark);
    EXPECT_EQ(image.Pixel(50, 1), dark);
    EXPECT_EQ(image.Pixel(97, 50), light);
    EXPECT_EQ(image.Pixel(50, 97), light);
    EXPECT_EQ(image.Pixel(98, 50), highlight);
    EXPECT_EQ(image.Pixel(50, 98), highlight);
    ExpectFilled(image, 2, 2, 96, 96, kBackground);
  }
  m_Preview->SetAppearance(vlmRaised);
  {
    const testwin::ClientImage image(Window());
    EXPECT_EQ(image.Pixel(0, 50), light);
    EXPECT_EQ(image.Pixel(1, 50), highlight);
    EXPECT_EQ(image.Pixel(97, 50), shadow);
    EXPECT_EQ(image.Pixel(50, 97), shadow);
    EXPECT_EQ(image.Pixel(98, 50), dark);
    EXPECT_EQ(image.Pixel(50, 98), dark);
    ExpectFilled(image, 2, 2, 96, 96, kBackground);
  }
}

TEST_F(PreviewPaintTest, AHiddenFrameIsOverpaintedInTheBackgroundColour) {
  ASSERT_EQ(testwin::ClientPixel(Window(), 0, 50), kBorder);
  m_Preview->SetBorderVisible(false);
  const testwin::ClientImage image(Window());
  ExpectRing(image, 0, 0, 99, 99, kBackground);
  ExpectFilled(image, 0, 0, 99, 99, kBackground);
}

TEST_F(PreviewPaintTest, RunningStretchedFillsNothingInsideTheFrameAndScaledFillsTheBackground) {
  m_Preview->m_State = vlmStateRunning;
  m_Preview->m_Mode = vlmVideoStretch;
  m_Preview->SetColor(kOther);  // the area inside keeps what was painted before
  {
    const testwin::ClientImage image(Window());
    ExpectRing(image, 0, 0, 99, 99, kBorder);
    EXPECT_EQ(image.Pixel(50, 50), kBackground);
    EXPECT_EQ(image.Pixel(1, 1), kBackground);
  }
  m_Preview->m_Mode = vlmVideoScale;
  {
    const testwin::ClientImage image(Window());
    ExpectRing(image, 0, 0, 99, 99, kBorder);
    ExpectFilled(image, 1, 1, 98, 98, kOther);
  }
}

TEST_F(PreviewPaintTest, OnlyAChangedAppearanceRepaints) {
  UpdateWindow(Window());
  testwin::PumpMessages(0);
  const int before = m_Preview->PaintMessages;
  m_Preview->SetBorderVisible(true);
  m_Preview->SetAppearance(vlmFlat);
  m_Preview->SetBorderColor(kBorder);
  EXPECT_FALSE(GetUpdateRect(Window(), nullptr, FALSE));
  UpdateWindow(Window());
  testwin::PumpMessages(0);
  EXPECT_EQ(m_Preview->PaintMessages, before);

  m_Preview->SetBorderVisible(false);
  EXPECT_TRUE(GetUpdateRect(Window(), nullptr, FALSE));
  UpdateWindow(Window());
  EXPECT_EQ(m_Preview->PaintMessages, before + 1);
}

TEST_F(PreviewPaintTest, AsksForTheArrowKeysAndTakesFocusOnALeftClickOutsideTheDesigner) {
  EXPECT_EQ(SendMessageW(Window(), WM_GETDLGCODE, 0, 0), 1);

  const auto press = [&](UINT Down, UINT Up, WPARAM Keys) {
    SendMessageW(Window(), Down, Keys, MAKELPARAM(50, 50));
    SendMessageW(Window(), Up, 0, MAKELPARAM(50, 50));
  };
  ::SetFocus(SharedHost());
  ASSERT_NE(GetFocus(), Window());
  press(WM_RBUTTONDOWN, WM_RBUTTONUP, MK_RBUTTON);
  EXPECT_NE(GetFocus(), Window());
  press(WM_LBUTTONDOWN, WM_LBUTTONUP, MK_LBUTTON);
  EXPECT_EQ(GetFocus(), Window());

  ::SetFocus(SharedHost());
  m_Preview->SetDesigning(true);
  press(WM_LBUTTONDOWN, WM_LBUTTONUP, MK_LBUTTON);
  press(WM_RBUTTONDOWN, WM_RBUTTONUP, MK_RBUTTON);
  EXPECT_NE(GetFocus(), Window());
  m_Preview->SetDesigning(false);
  ::SetFocus(SharedHost());
}

// The cursor the video window shows over its client area.
HCURSOR CursorOver(HWND Video) {
  SetCursor(nullptr);
  SendMessageW(Video, WM_SETCURSOR, reinterpret_cast<WPARAM>(Video), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  return GetCursor();
}

// The colour the video window erases its background with.
COLORREF ErasedColour(HWND Video) {
  const HDC screen = GetDC(Video);
  const HDC memory = CreateCompatibleDC(screen);
  const HBITMAP bitmap = CreateCompatibleBitmap(screen, 8, 8);
  const HGDIOBJ previous = SelectObject(memory, bitmap);
  SendMessageW(Video, WM_ERASEBKGND, reinterpret_cast<WPARAM>(memory), 0);
  const COLORREF colour = GetPixel(memory, 3, 3);
  SelectObject(memory, previous);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(Video, screen);
  return colour;
}

TEST_F(PreviewPaintTest, CursorAndColourReachEachVideoWindowAloneNeverTheSharedClass) {
  // Changed while no graph exists; the default cursor reaches the renderer as the arrow.
  m_Preview->SetCursor(crHandPoint);
  m_Preview->SetCursor(crDefault);
  auto second = std::make_unique<PreviewProbe>();
  second->SetParentWindow(SharedHost());
  second->SetBounds(130, 20, 100, 100);
  second->SetCursor(crCross);
  second->SetColor(kOther);
  const int index = DeviceIndex(*m_Preview, kLmTestCameraName);
  ASSERT_GE(index, 0);
  ASSERT_TRUE(m_Preview->Open(index)) << "error " << m_Preview->ErrorStatus();
  ASSERT_TRUE(second->Open(index)) << "error " << second->ErrorStatus();
  const HWND video = GetWindow(Window(), GW_CHILD);
  const HWND otherVideo = GetWindow(second->Handle(), GW_CHILD);
  ASSERT_NE(video, nullptr);
  ASSERT_NE(otherVideo, nullptr);
  EXPECT_EQ(CursorOver(video), LoadCursorW(nullptr, IDC_ARROW));
  EXPECT_EQ(CursorOver(otherVideo), LoadCursorW(nullptr, IDC_CROSS));
  EXPECT_EQ(ErasedColour(otherVideo), kOther);

  // Changed with the renderer attached: at once, for this control's window only.
  m_Preview->SetCursor(crHandPoint);
  m_Preview->SetColor(kBorder);
  EXPECT_EQ(CursorOver(video), LoadCursorW(nullptr, IDC_HAND));
  EXPECT_EQ(ErasedColour(video), kBorder);
  EXPECT_EQ(CursorOver(otherVideo), LoadCursorW(nullptr, IDC_CROSS));
  EXPECT_EQ(ErasedColour(otherVideo), kOther);
  EXPECT_EQ(GetClassLongPtrW(video, GCLP_HBRBACKGROUND), 0);
  EXPECT_EQ(GetClassLongPtrW(video, GCLP_HCURSOR), 0);

  // One control goes while the other runs: the other keeps its own cursor and background.
  ASSERT_TRUE(second->Start(vlmVideoStretch));
  m_Preview.reset();
  EXPECT_EQ(CursorOver(otherVideo), LoadCursorW(nullptr, IDC_CROSS));
  EXPECT_EQ(ErasedColour(otherVideo), kOther);
  EXPECT_TRUE(second->Close());
  m_Preview = std::make_unique<PreviewProbe>();
}

TEST_F(PreviewPaintTest, CursorAndColourReachEveryNewVideoWindowOfTheControl) {
  m_Preview->SetCursor(crHandPoint);  // the colour was set by SetUp
  const auto expectGiven = [&](const char* When) {
    SCOPED_TRACE(When);
    const HWND video = GetWindow(Window(), GW_CHILD);
    ASSERT_NE(video, nullptr);
    EXPECT_EQ(CursorOver(video), LoadCursorW(nullptr, IDC_HAND));
    EXPECT_EQ(ErasedColour(video), kBackground);
  };
  ASSERT_TRUE(m_Preview->OpenDevice(kLmTestCameraDevicePath)) << m_Preview->ErrorStatus();
  expectGiven("opened");

  ASSERT_TRUE(m_Preview->Close());
  ASSERT_TRUE(m_Preview->OpenDevice(kLmTestCameraDevicePath));
  expectGiven("closed and opened again");

  ASSERT_TRUE(m_Preview->SetStreamFormat(1)) << m_Preview->ErrorStatus();  // 320 x 240
  expectGiven("a format set");

  ASSERT_TRUE(m_Preview->GetStreamFormat(2));  // Start applies 640 x 480 at 15 frames per second
  m_Preview->SetFrameRate(15);
  ASSERT_TRUE(m_Preview->SetStreamFormat(2));
  m_Preview->SetFrameRate(20);
  ASSERT_TRUE(m_Preview->Start(vlmVideoStretch));
  expectGiven("Start applying a rate");
  ASSERT_TRUE(m_Preview->Stop());

  FrameVisitor visitor([](HWND) {});
  ASSERT_TRUE(m_Preview->ShowCapturePinDialog());
  EXPECT_EQ(visitor.Frames, 1);
  expectGiven("after the pin dialog");
  EXPECT_TRUE(m_Preview->Close());

  // A control whose cursor and colour were never set leaves the renderer's own.
  PreviewProbe plain;
  plain.SetParentWindow(SharedHost());
  plain.SetBounds(130, 20, 100, 100);
  ASSERT_TRUE(plain.OpenDevice(kLmTestCameraDevicePath));
  const HWND video = GetWindow(plain.Handle(), GW_CHILD);
  ASSERT_NE(video, nullptr);
  EXPECT_NE(CursorOver(video), LoadCursorW(nullptr, IDC_HAND));
  EXPECT_NE(ErasedColour(video), kBackground);
  EXPECT_TRUE(plain.Close());
}

}  // namespace
}  // namespace previewtest
