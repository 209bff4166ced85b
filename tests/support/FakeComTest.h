#pragma once

#include <gtest/gtest.h>

#include "support/FakeCom.h"

namespace fakes {

// Base of tests that use fakes: each test must end with every fake released and no
// unscripted call made.
class FakeComTest : public testing::Test {
protected:
  void SetUp() override {
    ClearUnexpectedCalls();
    m_LiveAtStart = LiveObjects();
  }
  void TearDown() override {
    EXPECT_EQ(LiveObjects(), m_LiveAtStart) << "fake COM objects leaked";
    const std::vector<std::string> unexpected = UnexpectedCalls();
    EXPECT_TRUE(unexpected.empty()) << "unexpected call: " << unexpected.front();
  }

private:
  int m_LiveAtStart = 0;
};

}  // namespace fakes
