#pragma once

// What the device-loss tests of the preview and the recorder share: the test camera's
// controller (testcam/LmTestCam.h), and a watch on a component's OnDeviceLost that records how
// often it came, on which thread, and what the component said at that moment.

#include <windows.h>

#include <dbt.h>

#include <gtest/gtest.h>
#include <wrl/client.h>

#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

#include "testcam/LmTestCam.h"
#include "webcam/LmCaptureControl.h"

namespace losstest {

inline Microsoft::WRL::ComPtr<ILmTestCameraController> CameraController() {
  Microsoft::WRL::ComPtr<ILmTestCameraController> controller;
  CoCreateInstance(CLSID_LmTestCameraController, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&controller));
  return controller;
}

// Plugs back, when it goes, whatever a test unplugged or stalled and left so.
struct ReplugAtEnd {
  ~ReplugAtEnd() {
    if (const auto controller = CameraController()) controller->Replug();
  }
};

// When the device goes: while the component runs, is paused or stopped.
enum class Moment { Running, Paused, Stopped };
inline const auto kMoments = ::testing::Values(Moment::Running, Moment::Paused, Moment::Stopped);
inline std::string MomentName(const ::testing::TestParamInfo<Moment>& Info) {
  const char* names[] = {"Running", "Paused", "Stopped"};
  return names[static_cast<int>(Info.param)];
}

// The value of State for an open component that does not run.
inline constexpr uint16_t kOpen = 2;

struct LossWatch {
  int Count = 0;
  DWORD Thread = 0;
  uint16_t State = 0;
  int16_t Error = 0;

  void Watch(TVLmCaptureControl& Component) {
    Component.SetOnDeviceLost([this, &Component](TObject* Sender) {
      ++Count;
      Thread = GetCurrentThreadId();
      State = Component.State().Value();
      Error = Component.ErrorStatus();
      if (Sender != &Component) Error = -1;
    });
  }
};

// After a loss that Watch saw: it was reported once, on this thread, with the component open
// and error 204 then and still now.
inline void ExpectLostOnce(const LossWatch& Lost, TVLmCaptureControl& Component) {
  EXPECT_EQ(Lost.Count, 1);
  EXPECT_EQ(Lost.Thread, GetCurrentThreadId());
  EXPECT_EQ(Lost.State, kOpen);
  EXPECT_EQ(Lost.Error, LMERR_DEVICE_LOST);
  EXPECT_EQ(Component.State().Value(), kOpen);
  EXPECT_EQ(Component.ErrorStatus(), LMERR_DEVICE_LOST);
}

// Device-interface classes (ksmedia.h).
inline constexpr GUID kKsCategoryVideo = {0x6994AD05, 0x93EF, 0x11D0, {0xA3, 0xCC, 0x00, 0xA0, 0xC9, 0x22, 0x31, 0x96}};
inline constexpr GUID kKsCategoryAudio = {0x6994AD04, 0x93EF, 0x11D0, {0xA3, 0xCC, 0x00, 0xA0, 0xC9, 0x22, 0x31, 0x96}};

// Sends Window what the system sends a window registered for device-interface notifications
// when an interface of Class arrives or goes.
inline void AnnounceDevice(HWND Window, WPARAM Event, const GUID& Class) {
  // The header, then the interface's name in place of dbcc_name.
  constexpr size_t kNameAt = offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name);
  std::vector<BYTE> bytes(kNameAt + sizeof(kLmTestCameraDevicePath));
  auto* broadcast = reinterpret_cast<DEV_BROADCAST_DEVICEINTERFACE_W*>(bytes.data());
  broadcast->dbcc_size = static_cast<DWORD>(bytes.size());
  broadcast->dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
  broadcast->dbcc_classguid = Class;
  std::memcpy(bytes.data() + kNameAt, kLmTestCameraDevicePath, sizeof(kLmTestCameraDevicePath));
  SendMessageW(Window, WM_DEVICECHANGE, Event, reinterpret_cast<LPARAM>(broadcast));
}

}  // namespace losstest
