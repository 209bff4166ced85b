// The life cycle that the preview and the recorder share: construction with the device list,
// opening a device from the list, Start, Close and destruction.

#include "webcam/LmCaptureControl.h"

#include "webcam/src/LmDeviceList.h"

TVLmCaptureControl::TVLmCaptureControl(TComponent* AOwner)
    : TVLmVideoControl(AOwner),
      m_VideoDevices(std::make_unique<TStringList>()),
      m_VideoDevicePaths(std::make_unique<TStringList>()) {
  if (!DecideActive()) return;
  RefreshDevices();
}

int32_t TVLmCaptureControl::RefreshDevices() {
  m_VideoDevices->Clear();
  m_VideoDevicePaths->Clear();
  return lm::EnumDevices(CLSID_VideoInputDeviceCategory, *m_VideoDevices, m_VideoDevicePaths.get());
}

// A component's own destructor closes its graph first (CloseGraph, while its hooks still run);
// what is left here is what is not part of closing.
TVLmCaptureControl::~TVLmCaptureControl() {
  UnregisterDeviceNotifications();
  m_VideoDevices.reset();
  m_pVSI.clear();
  m_Active = false;
}

void TVLmCaptureControl::ReleaseSource() {
  m_pDeviceFilter.Reset();
  m_DevicePath.clear();
}

void TVLmCaptureControl::ClearFormatFields() {
  m_VideoSize = SIZE{0, 0};
  m_VideoSubType = GUID_NULL;
  m_StrVideoSubType.clear();
  m_FrameRate = 0;
  m_BitCount = 0;
  m_Compression = 0;
  m_BitRate = 0;
  m_oldFrameRate = 0;
  m_oldBitRate = 0;
  m_SelectedIndex = -1;
  m_AppliedSubType = GUID_NULL;
  m_AppliedSize = SIZE{0, 0};
}

int32_t TVLmCaptureControl::GetVideoDevices() {
  TLmCallScope busy(*this);
  if (!m_Active) {
    m_ErrorStatus = LMERR_INACTIVE;
    return 0;
  }
  const int32_t count = RefreshDevices();
  m_ErrorStatus = count <= 0 ? LMERR_NO_DEVICE : LMERR_NONE;
  return count;
}

bool TVLmCaptureControl::BindDevice(int32_t Index) {
  TStringList* devices = m_VideoDevices.get();
  if (devices->Count() < 1 && RefreshDevices() < 1) {
    m_ErrorStatus = LMERR_NO_DEVICE;
    return false;
  }
  if (Index < 0 || Index >= devices->Count()) {
    m_ErrorStatus = LMERR_NO_DEVICE;
    return false;
  }
  // Line Index names a device by its identity; the system's devices are enumerated again and
  // the one with that identity bound, wherever it stands among them now (a device that
  // arrived meanwhile, or one without a name, moves positions but not identities).
  m_pDeviceFilter.Reset();
  const std::wstring identity = Index < m_VideoDevicePaths->Count() ? (*m_VideoDevicePaths)[Index] : std::wstring();
  if (!lm::BindDeviceByIdentity(CLSID_VideoInputDeviceCategory, identity, m_pDeviceFilter)) {
    m_ErrorStatus = LMERR_NO_DEVICE;
    return false;
  }
  m_DevicePath = identity;
  return true;
}

int32_t TVLmCaptureControl::FindDevicePath(const std::wstring& DevicePath) {
  if (m_Active) RefreshDevices();
  return DevicePath.empty() ? -1 : m_VideoDevicePaths->IndexOf(DevicePath);
}

bool TVLmCaptureControl::FinishOpen(bool Built) {
  // A graph that failed half-way stays held until the next Open or destruction.
  if (!Built) {
    m_ErrorStatus = LMERR_BUILD_GRAPH;
    return false;
  }
  m_State = vlmStateOpen;
  m_SelectedIndex = 0;
  m_DeviceLostReported = false;
  m_ErrorStatus = LMERR_NONE;
  return true;
}

bool TVLmCaptureControl::Start(TVLmVideoDisplayMode Mode) {
  TLmCallScope busy(*this);
  if (!CheckOpenAndNotRunning()) return false;
  try {
    if (SetFormat(m_pDeviceFilter.Get(), m_SelectedIndex) == 1) {
      m_oldFrameRate = m_FrameRate;
      m_oldBitRate = m_BitRate;
    }
    const bool sizeChanged = m_VideoSize.cx != 0 && m_VideoSize.cy != 0 &&
                             (m_VideoSize.cx != m_oldVideoSize.cx || m_VideoSize.cy != m_oldVideoSize.cy);
    if (sizeChanged) m_oldVideoSize = m_VideoSize;
    if (Mode != m_Mode || (sizeChanged && Mode == vlmVideoScale)) {
      m_Mode = Mode;
      PlaceVideoWindow();
    }
    if (!ShowAndRun()) return false;
  } catch (...) {
    m_State = vlmStateOpen;
    m_ErrorStatus = LMERR_GRAPH_FAILED;
    return false;
  }
  m_State = vlmStateRunning;
  m_DeviceLostReported = false;  // a device that runs again may be lost again
  Started();
  m_ErrorStatus = LMERR_NONE;
  return true;
}
