#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>

#include "support/FakeDeviceTest.h"
#include "webcam/LmWebCamera.h"

using fakes::FakeDevice;
using fakes::FakeDeviceSystem;

namespace {

// A list that refuses to be cleared, or to take more than a given number of lines.
class RefusingList : public TStringList {
public:
  bool RefuseClear = false;
  int AcceptLines = 1000;

  void Clear() override {
    if (RefuseClear) throw std::runtime_error("clear refused");
    TStringList::Clear();
  }
  int Add(const std::wstring& Line) override {
    if (Count() >= AcceptLines) throw std::runtime_error("add refused");
    return TStringList::Add(Line);
  }
};

using EnumDevicesTest = fakes::FakeDeviceTest;

}  // namespace

TEST_F(EnumDevicesTest, ListsFriendlyNamesInEnumeratorOrder) {
  AddDevice(L"Camera A");
  AddDevice(L"Camera B");
  TStringList list;
  list.Add(L"stale line");
  TStringList* target = &list;

  EXPECT_EQ(EnumDevices(CLSID_VideoInputDeviceCategory, target), 2);
  EXPECT_EQ(target, &list);
  ASSERT_EQ(list.Count(), 2);
  EXPECT_EQ(list[0], L"Camera A");
  EXPECT_EQ(list[1], L"Camera B");
  EXPECT_EQ(System().Log.Joined(),
            "CoCreateInstance(CLSID_SystemDeviceEnum); "
            "ICreateDevEnum::CreateClassEnumerator({860BB310-5D01-11D0-BD3B-00A0C911CE86}, 0); "
            "IEnumMoniker::Reset; "
            "IEnumMoniker::Next(1); IMoniker::BindToStorage(0); IPropertyBag::Read(FriendlyName); "
            "IEnumMoniker::Next(1); IMoniker::BindToStorage(1); IPropertyBag::Read(FriendlyName); "
            "IEnumMoniker::Next(1)");
}

TEST_F(EnumDevicesTest, PassesTheCategoryItIsGiven) {
  TStringList list;
  TStringList* target = &list;
  EnumDevices(CLSID_AudioInputDeviceCategory, target);
  EXPECT_EQ(System().Log.Calls().at(1),
            "ICreateDevEnum::CreateClassEnumerator(" + fakes::GuidText(CLSID_AudioInputDeviceCategory) + ", 0)");
}

TEST_F(EnumDevicesTest, NullListBecomesANewListOwnedByTheCaller) {
  TStringList* list = nullptr;
  System().CreateClassEnumeratorResult = S_FALSE;  // no devices at all
  EXPECT_EQ(EnumDevices(CLSID_VideoInputDeviceCategory, list), 0);
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->Count(), 0);
  delete list;
}

TEST_F(EnumDevicesTest, EmptyCategoryGivesZeroAndAnEmptyList) {
  AddDevice(L"never listed");
  System().CreateClassEnumeratorResult = S_FALSE;
  TStringList list;
  list.Add(L"stale");
  TStringList* target = &list;
  EXPECT_EQ(EnumDevices(CLSID_VideoInputDeviceCategory, target), 0);
  EXPECT_EQ(list.Count(), 0);
}

TEST_F(EnumDevicesTest, ClassEnumeratorErrorGivesZero) {
  System().CreateClassEnumeratorResult = E_OUTOFMEMORY;
  TStringList list;
  TStringList* target = &list;
  EXPECT_EQ(EnumDevices(CLSID_VideoInputDeviceCategory, target), 0);
}

TEST_F(EnumDevicesTest, EnumeratorCreationFailingStillClearsTheList) {
  for (HRESULT failure : {REGDB_E_CLASSNOTREG, E_NOINTERFACE, E_OUTOFMEMORY}) {
    System().CreateResult = failure;
    System().Log.Clear();
    TStringList list;
    list.Add(L"stale");
    TStringList* target = &list;
    EXPECT_EQ(EnumDevices(CLSID_VideoInputDeviceCategory, target), 0) << std::hex << failure;
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(System().Log.Joined(), "CoCreateInstance(CLSID_SystemDeviceEnum)");
  }
}

TEST_F(EnumDevicesTest, DeviceWithoutReadableNameStillCounts) {
  AddDevice(L"Named");
  System().Devices.push_back(FakeDevice{});  // no FriendlyName in its bag
  FakeDevice readFails;
  readFails.FriendlyName = L"unreadable";
  readFails.ReadResult = S_FALSE;
  System().Devices.push_back(readFails);
  FakeDevice noStorage;
  noStorage.FriendlyName = L"no storage";
  noStorage.BindToStorageResult = E_FAIL;
  System().Devices.push_back(noStorage);
  AddDevice(L"Last");

  TStringList list;
  TStringList* target = &list;
  EXPECT_EQ(EnumDevices(CLSID_VideoInputDeviceCategory, target), 5);
  ASSERT_EQ(list.Count(), 2);
  EXPECT_EQ(list[0], L"Named");
  EXPECT_EQ(list[1], L"Last");
  EXPECT_EQ(System().Log.Count("IPropertyBag::Read"), 4);
}

TEST_F(EnumDevicesTest, StorageBindingWithAnySuccessCodeIsRead) {
  FakeDevice device;
  device.FriendlyName = L"Late binder";
  device.BindToStorageResult = MK_S_REDUCED_TO_SELF;
  System().Devices.push_back(device);
  TStringList list;
  TStringList* target = &list;
  EXPECT_EQ(EnumDevices(CLSID_VideoInputDeviceCategory, target), 1);
  ASSERT_EQ(list.Count(), 1);
  EXPECT_EQ(list[0], L"Late binder");
}

TEST_F(EnumDevicesTest, WalkEndsAtTheFirstNextThatIsNotOk) {
  AddDevice(L"first");
  AddDevice(L"second");
  System().NextFailsAt = 1;
  TStringList list;
  TStringList* target = &list;
  EXPECT_EQ(EnumDevices(CLSID_VideoInputDeviceCategory, target), 1);
  EXPECT_EQ(list.Count(), 1);
}

TEST_F(EnumDevicesTest, ErrorMidWalkGivesZeroAndKeepsLinesAdded) {
  AddDevice(L"one");
  AddDevice(L"two");
  AddDevice(L"three");
  RefusingList list;
  list.AcceptLines = 2;
  TStringList* target = &list;
  EXPECT_EQ(EnumDevices(CLSID_VideoInputDeviceCategory, target), 0);
  EXPECT_EQ(list.Count(), 2);
  EXPECT_EQ(System().LiveMonikers, 0);  // the moniker in hand was released on the way out
}

TEST_F(EnumDevicesTest, UnconvertibleNameIsAnErrorMidWalk) {
  AddDevice(L"good");
  FakeDevice odd;
  odd.FriendlyName = L"";
  odd.NameType = VT_NULL;
  System().Devices.push_back(odd);
  TStringList list;
  TStringList* target = &list;
  EXPECT_EQ(EnumDevices(CLSID_VideoInputDeviceCategory, target), 0);
  EXPECT_EQ(list.Count(), 1);
}

TEST_F(EnumDevicesTest, EnumeratorAnsweringWithoutAMonikerIsAnError) {
  AddDevice(L"one");
  AddDevice(L"two");
  System().NullMonikerAt = 1;
  TStringList list;
  TStringList* target = &list;
  EXPECT_EQ(EnumDevices(CLSID_VideoInputDeviceCategory, target), 0);
}

TEST_F(EnumDevicesTest, ClearRaisingReturnsZeroAtOnce) {
  AddDevice(L"one");
  RefusingList list;
  list.Add(L"kept");
  list.RefuseClear = true;
  TStringList* target = &list;
  EXPECT_EQ(EnumDevices(CLSID_VideoInputDeviceCategory, target), 0);
  EXPECT_EQ(list.Count(), 1);
  EXPECT_TRUE(System().Log.Calls().empty());
}

TEST_F(EnumDevicesTest, EachMonikerIsReleasedBeforeTheNextIsTaken) {
  for (int i = 0; i < 4; ++i) AddDevice(L"device");
  TStringList list;
  TStringList* target = &list;
  EXPECT_EQ(EnumDevices(CLSID_VideoInputDeviceCategory, target), 4);
  EXPECT_EQ(System().MostLiveMonikers, 0);
}

TEST_F(EnumDevicesTest, EveryCallEnumeratesAfresh) {
  AddDevice(L"one");
  TStringList list;
  TStringList* target = &list;
  EXPECT_EQ(EnumDevices(CLSID_VideoInputDeviceCategory, target), 1);
  AddDevice(L"plugged in");
  EXPECT_EQ(EnumDevices(CLSID_VideoInputDeviceCategory, target), 2);
  EXPECT_EQ(System().Log.Count("CoCreateInstance"), 2);
  EXPECT_EQ(list[1], L"plugged in");
}
