// Where the preview places the video window inside its frame, seen through a fake video
// window: the display area for each frame style, the scaled and stretched rectangles, sizes
// without extent, and which operations move the window and which leave it alone.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <windows.h>

#include <memory>

#include "preview/PreviewProbe.h"
#include "support/FakeCom.h"
#include "webcam/src/LmComPtr.h"

namespace previewtest {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class PreviewPlacementTest : public ::testing::Test {
protected:
  void SetUp() override {
    fakes::ClearUnexpectedCalls();
    m_Preview = std::make_unique<PreviewProbe>();
    m_Window = new FakeVideoWindow;
    m_Preview->m_pVideoWindow = AdoptReference<IVideoWindow>(m_Window);
    m_Preview->m_Active = true;
  }
  void TearDown() override {
    m_Preview.reset();
    EXPECT_THAT(fakes::UnexpectedCalls(), IsEmpty());
    EXPECT_EQ(fakes::LiveObjects(), 0);
  }

  // The display area of the preview's client rectangle.
  RECT DisplayArea() {
    RECT area;
    m_Preview->GetClientRectangle(&area, true);
    return area;
  }
  // The placement that SetWindowPosition chooses for a video of Width x Height in Mode.
  Placement Place(LONG Width, LONG Height, TVLmVideoDisplayMode Mode, const RECT& Area) {
    m_Preview->m_VideoSize = SIZE{Width, Height};
    m_Preview->m_Mode = Mode;
    m_Window->Placements.clear();
    EXPECT_TRUE(m_Preview->SetWindowPosition(Area));
    EXPECT_EQ(m_Window->Placements.size(), 1u);
    return m_Window->Placements.empty() ? Placement{-1, -1, -1, -1} : m_Window->Placements.back();
  }

  std::unique_ptr<PreviewProbe> m_Preview;
  FakeVideoWindow* m_Window = nullptr;  // owned by the preview's field
};

TEST_F(PreviewPlacementTest, DisplayAreaIsTheClientRectangleInsideTheFrame) {
  ASSERT_EQ(m_Preview->Width(), 100);
  ASSERT_EQ(m_Preview->Height(), 100);
  EXPECT_EQ(BoxOf(DisplayArea()), (Box{1, 1, 99, 99}));  // flat, visible frame
  m_Preview->SetAppearance(vlmLowered);
  EXPECT_EQ(BoxOf(DisplayArea()), (Box{2, 2, 98, 98}));
  m_Preview->SetAppearance(vlmRaised);
  EXPECT_EQ(BoxOf(DisplayArea()), (Box{2, 2, 98, 98}));
  m_Preview->SetBorderVisible(false);
  EXPECT_EQ(BoxOf(DisplayArea()), (Box{0, 0, 100, 100}));

  // Without GetClient the given rectangle is shrunk.
  m_Preview->SetBorderVisible(true);
  m_Preview->SetAppearance(vlmFlat);
  RECT given{10, 20, 50, 60};
  m_Preview->GetClientRectangle(&given, false);
  EXPECT_EQ(BoxOf(given), (Box{11, 21, 49, 59}));
}

TEST_F(PreviewPlacementTest, ScaleModeKeepsTheAspectRatioAndNeverEnlarges) {
  const RECT area = DisplayArea();  // (1, 1, 99, 99): 98 x 98
  EXPECT_EQ(Place(320, 240, vlmVideoScale, area), (Placement{1, 13, 98, 73}));  // fitted by width
  EXPECT_EQ(Place(64, 48, vlmVideoScale, area), (Placement{18, 26, 64, 48}));   // native size, centred
  EXPECT_EQ(Place(100, 200, vlmVideoScale, area), (Placement{25, 1, 49, 98}));  // fitted by height
  EXPECT_EQ(Place(98, 98, vlmVideoScale, area), (Placement{1, 1, 98, 98}));     // exactly fits
  // A tie of the ratios fits the width: 196 x 98 in a 98 x 49 area.
  EXPECT_EQ(Place(196, 98, vlmVideoScale, RECT{5, 7, 103, 56}), (Placement{5, 7, 98, 49}));
  // Too high only, then too wide only.
  EXPECT_EQ(Place(50, 196, vlmVideoScale, area), (Placement{37, 1, 25, 98}));
  EXPECT_EQ(Place(196, 50, vlmVideoScale, area), (Placement{1, 37, 98, 25}));
}

TEST_F(PreviewPlacementTest, StretchOrAVideoWithoutSizeCoversTheDisplayArea) {
  const RECT area = DisplayArea();
  EXPECT_EQ(Place(320, 240, vlmVideoStretch, area), (Placement{1, 1, 98, 98}));
  EXPECT_EQ(Place(64, 48, vlmVideoStretch, area), (Placement{1, 1, 98, 98}));
  EXPECT_EQ(Place(0, 0, vlmVideoScale, area), (Placement{1, 1, 98, 98}));
  EXPECT_EQ(Place(0, 0, vlmVideoStretch, area), (Placement{1, 1, 98, 98}));
}

TEST_F(PreviewPlacementTest, DegenerateSizesNeverFailNorPlaceANegativeSize) {
  struct Case {
    SIZE Video;
    RECT Area;
  };
  const Case cases[] = {
      {{320, 0}, {1, 1, 99, 99}}, {{0, 240}, {1, 1, 99, 99}},   {{320, 240}, {1, 1, 1, 99}},
      {{320, 240}, {1, 1, 99, 1}}, {{320, 240}, {1, 1, 1, 1}},  {{320, 240}, {2, 2, 0, 0}},
      {{64, 48}, {2, 2, 0, 0}},    {{0, 48}, {2, 2, 0, 1}},     {{-5, 48}, {1, 1, 99, 99}},
  };
  for (const Case& c : cases) {
    for (const TVLmVideoDisplayMode mode : {vlmVideoScale, vlmVideoStretch}) {
      SCOPED_TRACE(testing::Message() << c.Video.cx << "x" << c.Video.cy << " in (" << c.Area.left << ","
                                      << c.Area.top << "," << c.Area.right << "," << c.Area.bottom << ") mode "
                                      << int(mode));
      const Placement placed = Place(c.Video.cx, c.Video.cy, mode, c.Area);
      if (mode == vlmVideoScale) {
        EXPECT_GE(placed.Width, 0);
        EXPECT_GE(placed.Height, 0);
      }
      EXPECT_LE(placed.Width, std::max<LONG>(c.Area.right - c.Area.left, 0));
      EXPECT_LE(placed.Height, std::max<LONG>(c.Area.bottom - c.Area.top, 0));
    }
  }
}

TEST_F(PreviewPlacementTest, NothingIsPlacedWithoutAVideoWindowOrWhenInactive) {
  const RECT area = DisplayArea();
  m_Preview->m_Active = false;
  EXPECT_FALSE(m_Preview->SetWindowPosition(area));
  EXPECT_THAT(m_Window->Placements, IsEmpty());

  m_Preview->m_Active = true;
  m_Preview->m_pVideoWindow.Reset();
  EXPECT_FALSE(m_Preview->SetWindowPosition(area));
  EXPECT_THAT(m_Window->Placements, IsEmpty());
}

// The same preview in the host window, with a fake media control as well, so that Resize
// and Start run as they do on a form.
class PreviewRepositionTest : public PreviewPlacementTest {
protected:
  void SetUp() override {
    PreviewPlacementTest::SetUp();
    m_Control = new FakeMediaControl;
    m_Preview->m_pMediaControl = AdoptReference<IMediaControl>(m_Control);
    m_Preview->SetParentWindow(SharedHost());
    m_Preview->SetBounds(10, 10, 100, 100);
    m_Preview->Handle();
    m_Preview->m_VideoSize = SIZE{320, 240};
    m_Preview->m_State = vlmStateOpen;
    testwin::PumpMessages(0);
    m_Window->Placements.clear();
  }
  void TearDown() override {
    m_Preview->m_State = vlmStateClosed;
    PreviewPlacementTest::TearDown();
  }

  FakeMediaControl* m_Control = nullptr;  // owned by the preview's field
};

TEST_F(PreviewRepositionTest, ResizePlacesTheVideoInTheNewDisplayArea) {
  m_Preview->SetBounds(10, 10, 200, 150);
  testwin::PumpMessages(0);
  ASSERT_FALSE(m_Window->Placements.empty());
  EXPECT_EQ(m_Window->Placements.back(), (Placement{1, 1, 198, 148}));  // stretch

  m_Preview->m_Mode = vlmVideoScale;
  m_Preview->SetBounds(10, 10, 100, 100);
  testwin::PumpMessages(0);
  EXPECT_EQ(m_Window->Placements.back(), (Placement{1, 13, 98, 73}));
}

TEST_F(PreviewRepositionTest, StartWithAnotherModeRepositionsAndTheSameModeDoesNot) {
  ASSERT_EQ(m_Preview->m_Mode, vlmVideoStretch);
  ASSERT_TRUE(m_Preview->Start(vlmVideoScale));
  EXPECT_THAT(m_Window->Placements, ElementsAre(Placement{1, 13, 98, 73}));
  EXPECT_EQ(m_Window->VisibleCalls.back(), OATRUE);
  EXPECT_EQ(m_Control->RunCalls, 1);

  ASSERT_TRUE(m_Preview->Stop());
  m_Window->Placements.clear();
  ASSERT_TRUE(m_Preview->Start(vlmVideoScale));  // same mode, same size: stays where it is
  EXPECT_THAT(m_Window->Placements, IsEmpty());

  ASSERT_TRUE(m_Preview->Stop());
  ASSERT_TRUE(m_Preview->Start(vlmVideoStretch));
  EXPECT_THAT(m_Window->Placements, ElementsAre(Placement{1, 1, 98, 98}));
  ASSERT_TRUE(m_Preview->Stop());
}

TEST_F(PreviewRepositionTest, AppearanceSettersRepaintButDoNotMoveTheVideo) {
  m_Preview->SetAppearance(vlmLowered);
  m_Preview->SetBorderColor(RGB(255, 0, 0));
  m_Preview->SetBorderVisible(false);
  testwin::PumpMessages(0);
  UpdateWindow(m_Preview->Handle());
  EXPECT_THAT(m_Window->Placements, IsEmpty());

  // The next resize takes the new frame width into account.
  m_Preview->SetBounds(10, 10, 120, 100);
  testwin::PumpMessages(0);
  ASSERT_FALSE(m_Window->Placements.empty());
  EXPECT_EQ(m_Window->Placements.back(), (Placement{0, 0, 120, 100}));
}

}  // namespace
}  // namespace previewtest
