#include "capi/CApiRig.h"

#include <gtest/gtest.h>
#include <uuids.h>

#include <set>

#include "testcam/LmTestCam.h"

namespace capitest {

Control::Control(Create Maker, HWND Parent) { EXPECT_EQ(Maker(Parent, &m_Handle), LM10_OK); }

Control::~Control() {
  if (m_Handle) Lm10Destroy(m_Handle);
}

INT32 Control::State() const {
  INT32 state = 0;
  EXPECT_EQ(Lm10GetState(m_Handle, &state), LM10_OK);
  return state;
}

INT32 Control::Status() const {
  INT32 status = -1;
  EXPECT_EQ(Lm10GetErrorStatus(m_Handle, &status), LM10_OK);
  return status;
}

CameraLine FindTestCamera() {
  CameraLine line;
  INT32 count = 0;
  if (Lm10GetDeviceCount(&CLSID_VideoInputDeviceCategory, &count) != LM10_OK) return line;
  for (INT32 index = 0; index < count; ++index) {
    wchar_t name[256] = {}, path[512] = {};
    if (Lm10GetDevice(&CLSID_VideoInputDeviceCategory, index, name, 256, nullptr, path, 512, nullptr) != LM10_OK)
      continue;
    if (std::wstring(path) == kLmTestCameraDevicePath) return CameraLine{index, name, path};
  }
  return line;
}

namespace {

// The one closer of this thread's timer, and the windows it closed.
HWND g_Keep = nullptr;
std::function<void()> g_BeforeClose;
std::set<HWND> g_Closed;

BOOL CALLBACK CloseShown(HWND Window, LPARAM) {
  if (Window != g_Keep && IsWindowVisible(Window) && g_Closed.insert(Window).second) {
    if (g_BeforeClose) g_BeforeClose();
    PostMessageW(Window, WM_COMMAND, IDCANCEL, 0);
    PostMessageW(Window, WM_CLOSE, 0, 0);
  }
  return TRUE;
}

void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) { EnumThreadWindows(GetCurrentThreadId(), &CloseShown, 0); }

}  // namespace

ModalCloser::ModalCloser(HWND Keep, std::function<void()> BeforeClose) {
  g_Keep = Keep;
  g_BeforeClose = std::move(BeforeClose);
  g_Closed.clear();
  m_Timer = SetTimer(nullptr, 0, 200, &Tick);
}

ModalCloser::~ModalCloser() {
  KillTimer(nullptr, m_Timer);
  g_BeforeClose = nullptr;
}

int ModalCloser::Closed() const { return static_cast<int>(g_Closed.size()); }

}  // namespace capitest
