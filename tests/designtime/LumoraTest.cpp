// The image-display control stand-in on a real window: a setter stores, repaints and is
// logged even for an unchanged value; MouseWheel and MouseDragImage are plain stores.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <windows.h>

#include "display/Lumora.h"
#include "support/TestWindow.h"

namespace {

using ::testing::ElementsAre;

class LumoraControl : public testing::Test {
protected:
  static void SetUpTestSuite() { s_Host = new testwin::HostWindow(200, 200); }
  static void TearDownTestSuite() {
    delete s_Host;
    s_Host = nullptr;
  }

  void SetUp() override {
    m_Lumora.SetParentWindow(s_Host->Handle());
    m_Lumora.Handle();
    testwin::PumpMessages();
  }

  // Whether the control's window waits for a repaint; clears the wait.
  bool Invalidated() {
    RECT update;
    const bool pending = GetUpdateRect(m_Lumora.Handle(), &update, FALSE) != FALSE;
    ValidateRect(m_Lumora.Handle(), nullptr);
    return pending;
  }

  static testwin::HostWindow* s_Host;
  TVLumora m_Lumora{nullptr};
};

testwin::HostWindow* LumoraControl::s_Host = nullptr;

TEST_F(LumoraControl, SettersRepaintAndAreLoggedEvenForUnchangedValues) {
  Invalidated();
  m_Lumora.SetScrollWidth(m_Lumora.ScrollWidth());
  EXPECT_TRUE(Invalidated());
  m_Lumora.SetGridSpace(2.5);
  EXPECT_TRUE(Invalidated());
  m_Lumora.SetToolTipColor(static_cast<TColor>(0x80000018));
  EXPECT_TRUE(Invalidated());
  m_Lumora.SetInvalidHatchPattern(vlmHatchTransparent);
  EXPECT_EQ(m_Lumora.InvalidHatchPattern(), vlmHatchTransparent);
  EXPECT_THAT(m_Lumora.SetterLog(), ElementsAre(L"SetScrollWidth(16)", L"SetGridSpace(2.5)", L"SetToolTipColor(0x80000018)",
                                                L"SetInvalidHatchPattern(2)"));
  EXPECT_EQ(m_Lumora.SetterCalls(), 4);
}

TEST_F(LumoraControl, PlainStoresNeitherRepaintNorLog) {
  Invalidated();
  m_Lumora.SetMouseWheel(vlmWheelScrollHorizontal);
  m_Lumora.SetMouseDragImage(false);
  EXPECT_FALSE(Invalidated());
  EXPECT_EQ(m_Lumora.MouseWheel(), vlmWheelScrollHorizontal);
  EXPECT_FALSE(m_Lumora.MouseDragImage());
  EXPECT_TRUE(m_Lumora.SetterLog().empty());
}

TEST_F(LumoraControl, TheFrameworksColourSetterIsLoggedWhenTheColourChanges) {
  m_Lumora.TWinControl::SetColor(clAqua);
  EXPECT_TRUE(Invalidated());
  EXPECT_THAT(m_Lumora.SetterLog(), ElementsAre(L"Color(0x00FFFF00)"));
  EXPECT_EQ(testwin::ClientPixel(m_Lumora.Handle(), 50, 50), RGB(0, 255, 255));
}

}  // namespace
