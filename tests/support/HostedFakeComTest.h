#pragma once

#include "support/FakeComTest.h"
#include "support/TestWindow.h"

namespace fakes {

// Base of fake-COM tests whose controls need a parent window. One host window serves the
// whole suite: showing a top-level window costs seconds under Xvfb.
template <int Width = 320, int Height = 240>
class HostedFakeComTest : public FakeComTest {
protected:
  static void SetUpTestSuite() { s_Host = new testwin::HostWindow(Width, Height); }
  static void TearDownTestSuite() {
    delete s_Host;
    s_Host = nullptr;
  }
  static inline testwin::HostWindow* s_Host = nullptr;
};

}  // namespace fakes
