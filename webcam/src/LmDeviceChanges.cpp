// Devices that go and come: the open device lost (the graph reports it, or the device-list
// notifications no longer list it), and the list of video capture devices refreshed when the
// system announces an arrival or a removal.

#include <windows.h>

#include <dbt.h>

#include "webcam/LmCaptureControl.h"
#include "webcam/src/LmDeviceList.h"

namespace {

// Device-interface classes of video capture devices (ks.h, ksmedia.h).
// {6994AD05-93EF-11D0-A3CC-00A0C9223196}
constexpr GUID kKsCategoryVideo = {0x6994AD05, 0x93EF, 0x11D0, {0xA3, 0xCC, 0x00, 0xA0, 0xC9, 0x22, 0x31, 0x96}};
// {65E8773D-8F56-11D0-A3B9-00A0C9223196}
constexpr GUID kKsCategoryCapture = {0x65E8773D, 0x8F56, 0x11D0, {0xA3, 0xB9, 0x00, 0xA0, 0xC9, 0x22, 0x31, 0x96}};

// Posted to itself by a control that heard of a device-list change, so that the notifications
// of one change (one per interface class) refresh the list once.
constexpr UINT WM_LMDEVICESCHANGED = WM_APP + 3;

// EC_DEVICE_LOST's second parameter: 0 the device was removed, 1 it is available again.
constexpr LONG_PTR kDeviceRemoved = 0;

}  // namespace

void TVLmCaptureControl::WindowCreated() {
  TVLmVideoControl::WindowCreated();
  UnregisterDeviceNotifications();
  const GUID* classes[] = {&kKsCategoryVideo, &kKsCategoryCapture};
  for (size_t i = 0; i < 2; ++i) {
    DEV_BROADCAST_DEVICEINTERFACE_W filter{};
    filter.dbcc_size = sizeof(filter);
    filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    filter.dbcc_classguid = *classes[i];
    // Without notifications (a system that sends none) the list still refreshes on request.
    m_DeviceNotifications[i] = RegisterDeviceNotificationW(Handle(), &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
  }
}

void TVLmCaptureControl::UnregisterDeviceNotifications() {
  for (HDEVNOTIFY& notification : m_DeviceNotifications) {
    if (notification) UnregisterDeviceNotification(notification);
    notification = nullptr;
  }
}

void TVLmCaptureControl::Dispatch(TMessage& Message) {
  switch (Message.Msg) {
    case WM_DEVICECHANGE:
      WMDeviceChange(Message);
      return;
    case WM_LMDEVICESCHANGED:
      HandleLibraryMessage(Message, [this] {
        m_DevicesChangePending = false;
        VideoDevicesChanged();
      });
      return;
    case WM_DESTROY:
      // A refresh posted to this window dies with it: the next window asks afresh.
      UnregisterDeviceNotifications();
      m_DevicesChangePending = false;
      break;
    default:
      break;
  }
  TVLmVideoControl::Dispatch(Message);
}

void TVLmCaptureControl::WMDeviceChange(TMessage& Message) {
  Message.Result = TRUE;
  if (Message.WParam != DBT_DEVICEARRIVAL && Message.WParam != DBT_DEVICEREMOVECOMPLETE) return;
  const auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(Message.LParam);
  if (!header || header->dbch_devicetype != DBT_DEVTYP_DEVICEINTERFACE ||
      header->dbch_size < offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name))
    return;
  const auto* device = reinterpret_cast<const DEV_BROADCAST_DEVICEINTERFACE_W*>(header);
  if (!IsEqualGUID(device->dbcc_classguid, kKsCategoryVideo) && !IsEqualGUID(device->dbcc_classguid, kKsCategoryCapture))
    return;
  ScheduleDevicesRefresh();
}

void TVLmCaptureControl::ScheduleDevicesRefresh() {
  if (m_DevicesChangePending || !HandleAllocated()) return;
  m_DevicesChangePending = PostMessageW(Handle(), WM_LMDEVICESCHANGED, 0, 0) != FALSE;
}

void TVLmCaptureControl::VideoDevicesChanged() {
  if (!m_Active) return;
  RefreshDevices();
  // The open device's absence is a loss, told before the list change, so that no handler sees
  // the device missing while the control still runs it.
  if (m_State != vlmStateClosed && !m_DevicePath.empty() && m_VideoDevicePaths->IndexOf(m_DevicePath) < 0)
    DeviceLost();
  QueueEvent([this] { DoVideoDevicesChange(); }, false);
}

bool TVLmCaptureControl::GraphEvent(long Code, LONG_PTR Param1, LONG_PTR Param2) {
  switch (Code) {
    case EC_DEVICE_LOST: {
      // The event names the device (its IUnknown): only the open one matters here.
      Microsoft::WRL::ComPtr<IUnknown> device;
      if (Param1 && m_pDeviceFilter &&
          m_pDeviceFilter->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(device.GetAddressOf())) == S_OK &&
          reinterpret_cast<LONG_PTR>(device.Get()) != Param1)
        return false;
      if (Param2 == kDeviceRemoved)
        DeviceLost();
      else
        ScheduleDevicesRefresh();
      return false;
    }
    case EC_ERRORABORT:
    case EC_STREAM_ERROR_STOPPED:
      DeviceLost();
      return false;
    default:
      return false;
  }
}

void TVLmCaptureControl::DeviceLost() {
  if (m_State == vlmStateClosed || m_DeviceLostReported) return;
  m_DeviceLostReported = true;
  StopWithError(LMERR_DEVICE_LOST);
  QueueEvent([this] { DoDeviceLost(); }, true);
}

void TVLmCaptureControl::StopWithError(int16_t Error) {
  try {
    StopGraph();
    if (m_pVideoWindow) m_pVideoWindow->put_Visible(OAFALSE);
  } catch (...) {
    // The graph goes with Close; the fault is reported all the same.
  }
  DropSnapshotRequest();
  m_State = vlmStateOpen;
  m_ErrorStatus = Error;
  Invalidate();
}

void TVLmCaptureControl::DoDeviceLost() {
  if (FOnDeviceLost) FOnDeviceLost(this);
}

void TVLmCaptureControl::DoVideoDevicesChange() {
  if (FOnVideoDevicesChange) FOnVideoDevicesChange(this);
}
