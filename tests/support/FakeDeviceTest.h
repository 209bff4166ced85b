#pragma once

#include <memory>

#include "support/FakeComTest.h"
#include "support/FakeDeviceEnum.h"

namespace fakes {

// Base of tests that run against the fake system device enumerator, registered for the
// length of each test.
class FakeDeviceTest : public FakeComTest {
protected:
  void SetUp() override {
    FakeComTest::SetUp();
    m_System = std::make_shared<FakeDeviceSystem>();
    m_Registration = std::make_unique<FakeDeviceEnumRegistration>(m_System);
    ASSERT_EQ(m_Registration->Result(), S_OK);
  }
  void TearDown() override {
    m_Registration.reset();
    FakeComTest::TearDown();
  }

  FakeDeviceSystem& System() { return *m_System; }
  void AddDevice(const wchar_t* Name) {
    FakeDevice device;
    device.FriendlyName = Name;
    m_System->Devices.push_back(device);
  }

  std::shared_ptr<FakeDeviceSystem> m_System;
  std::unique_ptr<FakeDeviceEnumRegistration> m_Registration;
};

}  // namespace fakes
