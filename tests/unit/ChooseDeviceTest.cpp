#include <gtest/gtest.h>

#include <memory>

#include "support/FakeDeviceTest.h"
#include "webcam/LmWebCamera.h"

using fakes::FakeDevice;
using fakes::FakeDeviceSystem;
using Microsoft::WRL::ComPtr;

namespace {

std::wstring FilterName(IBaseFilter* filter) {
  FILTER_INFO info{};
  if (filter->QueryFilterInfo(&info) != S_OK) return L"?";
  return info.achName;
}

class ChooseDeviceTest : public fakes::FakeDeviceTest {
protected:
  void SetUp() override {
    FakeDeviceTest::SetUp();
    for (const wchar_t* name : {L"zero", L"one", L"two"}) AddDevice(name);
  }
};

}  // namespace

TEST_F(ChooseDeviceTest, BindsTheDeviceAtTheIndexAndStopsWalking) {
  ComPtr<IBaseFilter> filter;
  EXPECT_TRUE(ChooseDevice(CLSID_VideoInputDeviceCategory, 1, filter));
  ASSERT_NE(filter, nullptr);
  EXPECT_EQ(FilterName(filter.Get()), L"one");
  EXPECT_EQ(System().Log.Joined(),
            "CoCreateInstance(CLSID_SystemDeviceEnum); "
            "ICreateDevEnum::CreateClassEnumerator({860BB310-5D01-11D0-BD3B-00A0C911CE86}, 0); "
            "IEnumMoniker::Reset; IEnumMoniker::Next(1); IEnumMoniker::Next(1); IMoniker::BindToObject(1)");
  EXPECT_EQ(System().MostLiveMonikers, 0);  // moniker 0 was released before moniker 1 was taken
  EXPECT_EQ(System().LiveMonikers, 0);
}

TEST_F(ChooseDeviceTest, FirstAndLastPositions) {
  ComPtr<IBaseFilter> filter;
  EXPECT_TRUE(ChooseDevice(CLSID_VideoInputDeviceCategory, 0, filter));
  EXPECT_EQ(FilterName(filter.Get()), L"zero");
  EXPECT_TRUE(ChooseDevice(CLSID_VideoInputDeviceCategory, 2, filter));
  EXPECT_EQ(FilterName(filter.Get()), L"two");
}

TEST_F(ChooseDeviceTest, IndexOutsideTheDevicesGivesFalseAndNull) {
  for (int index : {-1, 3, 100}) {
    ComPtr<IBaseFilter> filter = new fakes::FakeBaseFilter(L"held before");
    filter->Release();  // the ComPtr took its own reference; drop the constructor's
    EXPECT_FALSE(ChooseDevice(CLSID_VideoInputDeviceCategory, index, filter)) << index;
    EXPECT_EQ(filter, nullptr);
  }
  EXPECT_EQ(System().Log.Count("IMoniker::BindToObject"), 0);
}

TEST_F(ChooseDeviceTest, BindingFailureGivesFalse) {
  System().Devices[1].BindToObjectResult = E_FAIL;
  ComPtr<IBaseFilter> filter;
  EXPECT_FALSE(ChooseDevice(CLSID_VideoInputDeviceCategory, 1, filter));
  EXPECT_EQ(filter, nullptr);
  // The walk stopped at the failing position.
  EXPECT_EQ(System().Log.Count("IEnumMoniker::Next"), 2);
}

TEST_F(ChooseDeviceTest, BindingSuccessOtherThanOkIsAFailure) {
  System().Devices[0].BindToObjectResult = S_FALSE;
  ComPtr<IBaseFilter> filter;
  EXPECT_FALSE(ChooseDevice(CLSID_VideoInputDeviceCategory, 0, filter));
  EXPECT_EQ(filter, nullptr);  // the object handed out with S_FALSE was released
}

TEST_F(ChooseDeviceTest, BindingOkWithoutAnObjectGivesFalse) {
  System().Devices[0].BindToObjectGivesNull = true;
  ComPtr<IBaseFilter> filter;
  EXPECT_FALSE(ChooseDevice(CLSID_VideoInputDeviceCategory, 0, filter));
}

TEST_F(ChooseDeviceTest, EnumeratorFailuresGiveFalse) {
  ComPtr<IBaseFilter> filter;
  System().CreateClassEnumeratorResult = S_FALSE;
  EXPECT_FALSE(ChooseDevice(CLSID_VideoInputDeviceCategory, 0, filter));
  System().CreateClassEnumeratorResult = E_FAIL;
  EXPECT_FALSE(ChooseDevice(CLSID_VideoInputDeviceCategory, 0, filter));
  System().CreateResult = REGDB_E_CLASSNOTREG;
  EXPECT_FALSE(ChooseDevice(CLSID_VideoInputDeviceCategory, 0, filter));
  EXPECT_EQ(filter, nullptr);
}

TEST_F(ChooseDeviceTest, ErrorDuringTheWalkGivesFalse) {
  System().NullMonikerAt = 1;
  ComPtr<IBaseFilter> filter;
  EXPECT_FALSE(ChooseDevice(CLSID_VideoInputDeviceCategory, 2, filter));
  EXPECT_EQ(filter, nullptr);
  EXPECT_EQ(System().LiveMonikers, 0);
}

TEST_F(ChooseDeviceTest, EveryCallEnumeratesAfresh) {
  ComPtr<IBaseFilter> filter;
  EXPECT_FALSE(ChooseDevice(CLSID_VideoInputDeviceCategory, 3, filter));
  FakeDevice added;
  added.FriendlyName = L"three";
  System().Devices.push_back(added);
  EXPECT_TRUE(ChooseDevice(CLSID_VideoInputDeviceCategory, 3, filter));
  EXPECT_EQ(FilterName(filter.Get()), L"three");
}
