#include <gtest/gtest.h>

#include "framework/Sets.h"

namespace {
enum Flag : uint8_t { A = 0, B = 3, C = 15 };
using Flags = TSet<Flag, uint16_t>;
}  // namespace

TEST(Sets, ElementWithOrdinalNIsBitN) {
  EXPECT_EQ(Flags({A}).Value(), 1);
  EXPECT_EQ(Flags({B}).Value(), 8);
  EXPECT_EQ(Flags({C}).Value(), 0x8000);
  EXPECT_EQ(Flags({A, B, A}).Value(), 9);
  EXPECT_TRUE(Flags().Empty());
}

TEST(Sets, IncludeExcludeAndArithmetic) {
  Flags set;
  set.Include(B).Include(C);
  EXPECT_TRUE(set.Contains(B));
  EXPECT_FALSE(set.Contains(A));
  set.Exclude(B);
  EXPECT_EQ(set, Flags({C}));
  EXPECT_EQ(Flags({A}) + Flags({B}), Flags({A, B}));
  EXPECT_EQ(Flags({A, B}) - Flags({B, C}), Flags({A}));
  EXPECT_EQ(Flags::FromValue(9), Flags({A, B}));
}
