// Lists the video capture devices the camera library finds.

#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <memory>

#include "webcam/LmWebCamera.h"

int wmain() {
  if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
    std::fwprintf(stderr, L"COM could not be initialised\n");
    return 1;
  }
  TStringList* names = nullptr;
  const int32_t count = EnumDevices(CLSID_VideoInputDeviceCategory, names);
  std::unique_ptr<TStringList> owned(names);

  std::wprintf(L"Video capture devices: %d\n", count);
  for (int i = 0; i < names->Count(); ++i) std::wprintf(L"  %d: %ls\n", i, (*names)[i].c_str());
  if (names->Count() < count)
    std::wprintf(L"  (%d device(s) without a readable name)\n", count - names->Count());

  owned.reset();
  CoUninitialize();
  return 0;
}
