// EnumDevices and ChooseDevice against Wine's real system device enumerator, with device
// entries that the tests write into the prefix's registry and remove again; and the camera
// controls binding the device a line of their lists names.

#include <windows.h>

#include <dshow.h>
#include <gtest/gtest.h>
#include <wrl/client.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "testcam/LmTestCam.h"
#include "webcam/LmPreview.h"
#include "webcam/LmWebCamera.h"

using Microsoft::WRL::ComPtr;

namespace {

std::wstring GuidString(REFGUID guid) {
  wchar_t text[40] = {};
  StringFromGUID2(guid, text, 40);
  return text;
}

GUID NewGuid() {
  GUID guid;
  EXPECT_EQ(CoCreateGuid(&guid), S_OK);
  return guid;
}

// One device entry under HKCR\CLSID\{category}\Instance, removed when the object goes.
class ScopedDeviceEntry {
public:
  ScopedDeviceEntry(REFGUID category, const std::wstring& instance, std::optional<std::wstring> friendlyName,
                    REFCLSID filterClass)
      : m_Path(L"CLSID\\" + GuidString(category) + L"\\Instance\\" + instance) {
    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, m_Path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    if (friendlyName) SetString(key, L"FriendlyName", *friendlyName);
    SetString(key, L"CLSID", GuidString(filterClass));
    RegCloseKey(key);
  }
  ScopedDeviceEntry(const ScopedDeviceEntry&) = delete;
  ScopedDeviceEntry& operator=(const ScopedDeviceEntry&) = delete;
  ~ScopedDeviceEntry() { RegDeleteTreeW(HKEY_CLASSES_ROOT, m_Path.c_str()); RegDeleteKeyW(HKEY_CLASSES_ROOT, m_Path.c_str()); }

private:
  static void SetString(HKEY key, const wchar_t* name, const std::wstring& value) {
    EXPECT_EQ(RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                             static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);
  }

  std::wstring m_Path;
};

// A category of its own, so that the tests see exactly the devices they registered.
class PrivateCategory {
public:
  PrivateCategory() : m_Guid(NewGuid()) {}
  ~PrivateCategory() { RegDeleteTreeW(HKEY_CLASSES_ROOT, (L"CLSID\\" + GuidString(m_Guid)).c_str()); }
  const GUID& Guid() const { return m_Guid; }

private:
  GUID m_Guid;
};

CLSID FilterClass(IBaseFilter* filter) {
  CLSID clsid = GUID_NULL;
  EXPECT_EQ(filter->GetClassID(&clsid), S_OK);
  return clsid;
}

std::vector<std::wstring> Lines(const TStringList& list) {
  std::vector<std::wstring> lines;
  for (int i = 0; i < list.Count(); ++i) lines.push_back(list[i]);
  return lines;
}

}  // namespace

TEST(DeviceRegistry, EmptyCategoryGivesZeroAndAnEmptyNewList) {
  PrivateCategory category;
  TStringList* list = nullptr;
  EXPECT_EQ(EnumDevices(category.Guid(), list), 0);
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->Count(), 0);
  delete list;

  ComPtr<IBaseFilter> filter;
  EXPECT_FALSE(ChooseDevice(category.Guid(), 0, filter));
  EXPECT_EQ(filter, nullptr);
}

TEST(DeviceRegistry, ListsNamesBindsFiltersAndCountsNamelessDevices) {
  PrivateCategory category;
  const ScopedDeviceEntry tee(category.Guid(), L"a-tee", L"Registry Test Tee", CLSID_SmartTee);
  const ScopedDeviceEntry nameless(category.Guid(), L"b-nameless", std::nullopt, CLSID_FileWriter);
  const ScopedDeviceEntry mux(category.Guid(), L"c-mux", L"Registry Test Mux", CLSID_AviDest);

  TStringList list;
  list.Add(L"stale");
  TStringList* target = &list;
  ASSERT_EQ(EnumDevices(category.Guid(), target), 3);
  EXPECT_EQ(Lines(list), (std::vector<std::wstring>{L"Registry Test Tee", L"Registry Test Mux"}));

  // Positions follow the enumerator's order, the one EnumDevices counted in.
  std::vector<CLSID> bound;
  for (int index = 0; index < 3; ++index) {
    ComPtr<IBaseFilter> filter;
    ASSERT_TRUE(ChooseDevice(category.Guid(), index, filter)) << index;
    bound.push_back(FilterClass(filter.Get()));
  }
  EXPECT_EQ(bound, (std::vector<CLSID>{CLSID_SmartTee, CLSID_FileWriter, CLSID_AviDest}));

  ComPtr<IBaseFilter> filter;
  EXPECT_FALSE(ChooseDevice(category.Guid(), 3, filter));
  EXPECT_EQ(filter, nullptr);
  EXPECT_FALSE(ChooseDevice(category.Guid(), -1, filter));
}

TEST(DeviceRegistry, DeviceThatCannotBeCreatedIsListedButNotBound) {
  PrivateCategory category;
  const ScopedDeviceEntry missing(category.Guid(), L"a-missing", L"Unplugged Camera", NewGuid());
  const ScopedDeviceEntry tee(category.Guid(), L"b-tee", L"Registry Test Tee", CLSID_SmartTee);

  TStringList* list = nullptr;
  EXPECT_EQ(EnumDevices(category.Guid(), list), 2);
  std::unique_ptr<TStringList> owned(list);
  EXPECT_EQ(Lines(*list), (std::vector<std::wstring>{L"Unplugged Camera", L"Registry Test Tee"}));

  ComPtr<IBaseFilter> filter;
  EXPECT_FALSE(ChooseDevice(category.Guid(), 0, filter));
  EXPECT_EQ(filter, nullptr);
  EXPECT_TRUE(ChooseDevice(category.Guid(), 1, filter));
}

TEST(DeviceRegistry, DevicesAddedAndRemovedBetweenCallsAreSeen) {
  PrivateCategory category;
  TStringList list;
  TStringList* target = &list;
  {
    const ScopedDeviceEntry first(category.Guid(), L"a", L"First", CLSID_SmartTee);
    EXPECT_EQ(EnumDevices(category.Guid(), target), 1);
    const ScopedDeviceEntry second(category.Guid(), L"b", L"Second", CLSID_FileWriter);
    EXPECT_EQ(EnumDevices(category.Guid(), target), 2);
    ComPtr<IBaseFilter> filter;
    ASSERT_TRUE(ChooseDevice(category.Guid(), 1, filter));
    EXPECT_EQ(FilterClass(filter.Get()), CLSID_FileWriter);
  }
  EXPECT_EQ(EnumDevices(category.Guid(), target), 0);
  EXPECT_EQ(list.Count(), 0);
}

TEST(DeviceRegistry, VideoInputCategoryListsARegisteredDevice) {
  const GUID& video = CLSID_VideoInputDeviceCategory;
  TStringList* before = nullptr;
  const int32_t baseline = EnumDevices(video, before);
  std::unique_ptr<TStringList> ownedBefore(before);

  const std::wstring name = L"Registry Test Camera " + GuidString(NewGuid());
  const ScopedDeviceEntry camera(video, GuidString(NewGuid()), name, CLSID_SmartTee);

  TStringList after;
  TStringList* target = &after;
  EXPECT_EQ(EnumDevices(video, target), baseline + 1);
  const int line = after.IndexOf(name);
  ASSERT_GE(line, 0);

  // Every device before ours has a name here, so its line is also its position.
  ComPtr<IBaseFilter> filter;
  ASSERT_TRUE(ChooseDevice(video, line, filter));
  EXPECT_EQ(FilterClass(filter.Get()), CLSID_SmartTee);
}

namespace {

// The preview with the bound device filter reachable.
class PreviewWithDevice : public TVLmPreview {
public:
  PreviewWithDevice() : TVLmPreview(nullptr) {}
  CLSID OpenedClass() { return m_pDeviceFilter ? FilterClass(m_pDeviceFilter.Get()) : GUID_NULL; }
};

}  // namespace

TEST(DeviceRegistry, ControlsOpenTheDeviceTheLineNamesWhateverStandsBeforeIt) {
  // A device without a name, first in the enumerator's order ("0" sorts before the test
  // cameras' "{"): it counts among the system's positions, but is on no line of the lists.
  const ScopedDeviceEntry nameless(CLSID_VideoInputDeviceCategory, L"0-nameless", std::nullopt,
                                   CLSID_LmTestCameraUvc);
  ComPtr<IBaseFilter> first;
  ASSERT_TRUE(ChooseDevice(CLSID_VideoInputDeviceCategory, 0, first));
  ASSERT_EQ(FilterClass(first.Get()), CLSID_LmTestCameraUvc) << "the nameless device stands first";

  PreviewWithDevice preview;
  const int line = preview.VideoDevices()->IndexOf(kLmTestCameraName);
  ASSERT_GE(line, 0);
  ASSERT_EQ((*preview.VideoDevicePaths())[line], kLmTestCameraDevicePath);
  ASSERT_TRUE(preview.Open(line)) << preview.ErrorStatus();
  EXPECT_EQ(preview.OpenedClass(), CLSID_LmTestCamera);
  EXPECT_TRUE(preview.Close());
  ASSERT_TRUE(preview.OpenDevice(kLmTestCameraPreviewDevicePath)) << preview.ErrorStatus();
  EXPECT_EQ(preview.OpenedClass(), CLSID_LmTestCameraPreview);
  EXPECT_TRUE(preview.Close());
}
