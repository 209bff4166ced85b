#include <windows.h>

#include <gtest/gtest.h>

#include "core/Lmdllprocs.h"

namespace {

// Puts the entry points back however a test left them.
class CoreEntryPointsTest : public testing::Test {
protected:
  void TearDown() override {
    LmCreateImage = m_CreateImage;
    LmFreeMemory = m_FreeMemory;
  }

private:
  TLmCreateImage m_CreateImage = LmCreateImage;
  TLmFreeMemory m_FreeMemory = LmFreeMemory;
};

}  // namespace

TEST_F(CoreEntryPointsTest, BothAreBoundWhenTheLibraryLoads) {
  ASSERT_NE(LmCreateImage, nullptr);
  ASSERT_NE(LmFreeMemory, nullptr);
  // The probe the components make when they open: a 1 x 1 image, freed at once.
  const UINT_PTR image = LmCreateImage(1, 1, 1, 0, 0, 0, 0, 0, 0, 0);
  EXPECT_NE(image, 0u);
  EXPECT_TRUE(LmFreeMemory(image));
}

TEST_F(CoreEntryPointsTest, RefusesImagesItCannotMake) {
  EXPECT_EQ(LmCreateImage(0, 1, 24, 0, 0, 0, 0, 0, 0, 0), 0u);
  EXPECT_EQ(LmCreateImage(1, -1, 24, 0, 0, 0, 0, 0, 0, 0), 0u);
  EXPECT_EQ(LmCreateImage(1, 1, 0, 0, 0, 0, 0, 0, 0, 0), 0u);
  EXPECT_EQ(LmCreateImage(1, 1, 33, 0, 0, 0, 0, 0, 0, 0), 0u);
  EXPECT_FALSE(LmFreeMemory(0));
}
