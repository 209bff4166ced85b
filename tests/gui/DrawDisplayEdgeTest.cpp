// DrawDisplayEdge on a real window: a custom control paints a plain background and the edge,
// and the pixels are read back from the window.
//
// The system draws each ring of the edge as four one-pixel lines, the top and left lines in
// the top-left colour first, then the bottom and right lines in the bottom-right colour. So the
// top-right and bottom-left corners of each ring take the bottom-right colour. Sunken edges are
// button shadow over dark shadow on the top-left and light over highlight on the bottom-right
// (outer ring first); raised edges are light over highlight, then shadow over dark shadow.

#include <gtest/gtest.h>

#include <windows.h>

#include <functional>

#include "core/Lmutils.h"
#include "framework/Controls.h"
#include "support/TestWindow.h"

namespace {

constexpr COLORREF kBackground = RGB(0x21, 0x43, 0x65);

// The system colours of an edge's two rings.
struct EdgeColors {
  int TopLeftOuter;
  int TopLeftInner;
  int BottomRightInner;
  int BottomRightOuter;
};

constexpr EdgeColors kSunken{COLOR_BTNSHADOW, COLOR_3DDKSHADOW, COLOR_3DLIGHT, COLOR_BTNHIGHLIGHT};
constexpr EdgeColors kRaised{COLOR_3DLIGHT, COLOR_BTNHIGHLIGHT, COLOR_BTNSHADOW, COLOR_3DDKSHADOW};

// A control that fills its client area with kBackground and then draws what the test asks,
// on the canvas of its paint cycle.
class EdgeCanvas : public TCustomControl {
public:
  using TCustomControl::TCustomControl;

  std::function<void(HDC)> Draw;

protected:
  void Paint() override {
    HDC dc = Canvas()->Handle();
    const RECT client = ClientRect();
    HBRUSH background = CreateSolidBrush(kBackground);
    FillRect(dc, &client, background);
    DeleteObject(background);
    if (Draw) Draw(dc);
  }
};

class DrawDisplayEdgeTest : public ::testing::Test {
protected:
  static constexpr int kWidth = 120;
  static constexpr int kHeight = 80;

  // One host window serves the whole suite: under Wine with no window manager, destroying a
  // visible top-level window waits two seconds for the X server to report it withdrawn.
  static void SetUpTestSuite() { s_Host = new testwin::HostWindow(kWidth + 40, kHeight + 40); }
  static void TearDownTestSuite() {
    delete s_Host;
    s_Host = nullptr;
  }

  DrawDisplayEdgeTest() {
    m_Canvas.SetParentWindow(s_Host->Handle());
    m_Canvas.SetBounds(20, 20, kWidth, kHeight);
    m_Canvas.SetControlStyle(m_Canvas.ControlStyle() + TControlStyle{csOpaque});
    m_Canvas.Handle();
    testwin::PumpMessages();
  }

  // Draws the edges asked for and returns the control's picture.
  testwin::ClientImage Picture(std::function<void(HDC)> Draw) {
    m_Canvas.Draw = std::move(Draw);
    testwin::ClientImage image(m_Canvas.Handle());
    m_Canvas.Draw = nullptr;  // it may refer to the caller's locals
    return image;
  }

  testwin::ClientImage EdgePicture(const RECT& Rect, bool Lowered) {
    BOOL drawn = FALSE;
    auto picture = Picture([&](HDC dc) { drawn = DrawDisplayEdge(dc, Rect, Lowered); });
    EXPECT_TRUE(drawn);
    return picture;
  }

  static inline testwin::HostWindow* s_Host = nullptr;
  EdgeCanvas m_Canvas{nullptr};
};

// Checks one ring: Ring is the rectangle whose border pixels form it.
void ExpectRing(const testwin::ClientImage& Image, const RECT& Ring, COLORREF TopLeft, COLORREF BottomRight,
                const char* Name) {
  SCOPED_TRACE(Name);
  for (int x = Ring.left; x < Ring.right - 1; ++x)
    ASSERT_EQ(Image.Pixel(x, Ring.top), TopLeft) << "top side, x=" << x;
  for (int y = Ring.top; y < Ring.bottom - 1; ++y)
    ASSERT_EQ(Image.Pixel(Ring.left, y), TopLeft) << "left side, y=" << y;
  for (int x = Ring.left; x < Ring.right; ++x)
    ASSERT_EQ(Image.Pixel(x, Ring.bottom - 1), BottomRight) << "bottom side, x=" << x;
  for (int y = Ring.top; y < Ring.bottom; ++y)
    ASSERT_EQ(Image.Pixel(Ring.right - 1, y), BottomRight) << "right side, y=" << y;
}

RECT Shrunk(const RECT& Rect, int By) {
  return RECT{Rect.left + By, Rect.top + By, Rect.right - By, Rect.bottom - By};
}

struct EdgeCase {
  const char* Name;
  bool Lowered;
  EdgeColors Colors;
};

class DrawDisplayEdgeRingsTest : public DrawDisplayEdgeTest, public ::testing::WithParamInterface<EdgeCase> {};

TEST_P(DrawDisplayEdgeRingsTest, DrawsBothRingsInTheSystemColoursAndNothingElse) {
  const EdgeCase& edge = GetParam();
  const RECT rect{9, 7, 9 + 61, 7 + 43};
  const auto image = EdgePicture(rect, edge.Lowered);

  ExpectRing(image, rect, GetSysColor(edge.Colors.TopLeftOuter), GetSysColor(edge.Colors.BottomRightOuter),
             "outer ring");
  ExpectRing(image, Shrunk(rect, 1), GetSysColor(edge.Colors.TopLeftInner),
             GetSysColor(edge.Colors.BottomRightInner), "inner ring");

  // The ring just outside the rectangle (its Right and Bottom included) and everything inside
  // the two-pixel band keep the background.
  ExpectRing(image, Shrunk(rect, -1), kBackground, kBackground, "outside the rectangle");
  for (int y = rect.top + 2; y < rect.bottom - 2; ++y)
    for (int x = rect.left + 2; x < rect.right - 2; ++x)
      ASSERT_EQ(image.Pixel(x, y), kBackground) << "inside the band at " << x << "," << y;
}

INSTANTIATE_TEST_SUITE_P(Edges, DrawDisplayEdgeRingsTest,
                         ::testing::Values(EdgeCase{"Sunken", true, kSunken}, EdgeCase{"Raised", false, kRaised}),
                         [](const ::testing::TestParamInfo<EdgeCase>& info) { return info.param.Name; });

TEST_F(DrawDisplayEdgeTest, SunkenAndRaisedEdgesDifferOnEverySideOfBothRings) {
  const RECT rect{10, 10, 70, 50};
  const auto sunken = EdgePicture(rect, true);
  const auto raised = EdgePicture(rect, false);
  struct Probe {
    const char* Where;
    int X;
    int Y;
  };
  const Probe probes[] = {
      {"outer top", 40, 10},    {"outer left", 10, 30},    {"outer bottom", 40, 49}, {"outer right", 69, 30},
      {"inner top", 40, 11},    {"inner left", 11, 30},    {"inner bottom", 40, 48}, {"inner right", 68, 30},
  };
  for (const Probe& probe : probes) {
    EXPECT_NE(sunken.Pixel(probe.X, probe.Y), raised.Pixel(probe.X, probe.Y)) << probe.Where;
    EXPECT_NE(sunken.Pixel(probe.X, probe.Y), kBackground) << probe.Where;
    EXPECT_NE(raised.Pixel(probe.X, probe.Y), kBackground) << probe.Where;
  }
}

TEST_F(DrawDisplayEdgeTest, RightAndBottomAreExclusive) {
  // Two raised edges side by side share the boundary x = 40: the left one ends in column 39,
  // the right one starts in column 40, and neither overwrites the other.
  const RECT left{10, 10, 40, 40};
  const RECT right{40, 10, 70, 40};
  const auto image = Picture([&](HDC dc) {
    DrawDisplayEdge(dc, left, false);
    DrawDisplayEdge(dc, right, false);
  });
  const COLORREF topLeftOuter = GetSysColor(kRaised.TopLeftOuter);
  const COLORREF bottomRightOuter = GetSysColor(kRaised.BottomRightOuter);
  for (int y = 11; y < 39; ++y) {
    ASSERT_EQ(image.Pixel(39, y), bottomRightOuter) << "right side of the left edge, y=" << y;
    ASSERT_EQ(image.Pixel(40, y), topLeftOuter) << "left side of the right edge, y=" << y;
  }
  // Bottom: the edge's last row is 39, row 40 is untouched.
  for (int x = 10; x < 70; ++x) {
    ASSERT_EQ(image.Pixel(x, 39), bottomRightOuter) << "bottom row, x=" << x;
    ASSERT_EQ(image.Pixel(x, 40), kBackground) << "below the edges, x=" << x;
  }

  // An edge around the whole client area is fully visible: its right and bottom lines are the
  // client area's last column and row.
  const RECT client{0, 0, kWidth, kHeight};
  const auto whole = EdgePicture(client, true);
  ExpectRing(whole, client, GetSysColor(kSunken.TopLeftOuter), GetSysColor(kSunken.BottomRightOuter),
             "outer ring of the client area");
  ExpectRing(whole, Shrunk(client, 1), GetSysColor(kSunken.TopLeftInner), GetSysColor(kSunken.BottomRightInner),
             "inner ring of the client area");
  EXPECT_EQ(whole.Pixel(kWidth / 2, kHeight / 2), kBackground);
}

}  // namespace
