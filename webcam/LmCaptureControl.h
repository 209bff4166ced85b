#pragma once

// What the preview and the recorder share: the device list, opening a device from it, the
// device's stream formats and the selection among them, its two property-page dialogs, the
// preview branch of the graph, Start, Close and the graph's teardown. The two components differ
// only in what stands behind the device in the graph; the protected hooks below say where.

#include <windows.h>

#include <dshow.h>
#include <wrl/client.h>

#include <memory>
#include <string>
#include <vector>

#include "webcam/LmCameraSettings.h"
#include "webcam/LmVideoSurface.h"

class LMWEBCAM_API TVLmCaptureControl : public TVLmVideoControl {
public:
  ~TVLmCaptureControl() override;

  // Refills VideoDevices; the number of devices (error 201 inactive, 202 none).
  int32_t GetVideoDevices();
  // Applies the selected format when it changed, shows the picture in Mode and runs the graph.
  bool Start(TVLmVideoDisplayMode Mode);

  // The device's video formats: how many there are, loading one into the format properties
  // (-1: the selected one), and selecting and applying one with the rate in FrameRate.
  int32_t GetStreamFormats();
  bool GetStreamFormat(int32_t Index);
  bool SetStreamFormat(int32_t Index);
  // Show the device's property pages, and its capture pin's format pages (the format chosen
  // there becomes the current format and selects the matching list entry).
  bool ShowFilterDialog();
  bool ShowCapturePinDialog();

  // ---- The device's image and camera settings (webcam/LmCameraSettings.h) ----
  // Allowed while the control is open (Open, running, paused or stopped); a change shows in the
  // running picture. Refused with 11 while closed, 5 for a Setting outside the enumeration, and
  // 205 (LMERR_NOT_SUPPORTED) when the device has no such setting: no such interface or property,
  // or a range it reports that cannot be (Min above Max, a Step of 0 or less).
  //
  // The range the device reports; a default outside it is given clamped into it.
  bool GetCameraSettingRange(TVLmCameraSetting Setting, TLmCameraSettingRange& Range);
  // The value the device uses now, and whether it chooses it itself: always read from the
  // device, never a value remembered or asked for.
  bool GetCameraSetting(TVLmCameraSetting Setting, int32_t& Value, bool& Auto);
  // Sets the value by hand (the setting becomes manual). A value outside the range is refused
  // with 5 before the device sees it; 205 where the setting cannot be set by hand; 2 when the
  // device refuses the value. The device may round it to its step: GetCameraSetting then reads
  // what it applied.
  bool SetCameraSetting(TVLmCameraSetting Setting, int32_t Value);
  // Hands the setting back to the device (automatic); 205 where it cannot be automatic.
  bool SetCameraSettingAuto(TVLmCameraSetting Setting);
  // Every setting the device has, one line each ("\r\n" after each), "Name=Value" or
  // "Name=auto", Name as in the enumeration without "vlm" ("Exposure=-6", "Focus=auto"): keep it
  // per device (VideoDevicePaths) to restore the device's settings later. Empty while closed
  // (11), or when the device has none.
  std::wstring CameraSettings();
  // Applies such a text, line by line. A line naming a setting the device lacks is skipped; a
  // malformed line or an unknown name is refused with 5; every other line is applied even after
  // a refusal, and the result is false with the code of the first refusal.
  bool SetCameraSettings(const std::wstring& Text);

  TStringList* VideoDevices() const { return m_VideoDevices.get(); }
  // The identities of the devices in VideoDevices, line for line: each device's "DevicePath",
  // or its moniker's display name when it has none. A device keeps its identity while the
  // list's order changes around it: remember a camera by it and open it again with OpenDevice.
  TStringList* VideoDevicePaths() const { return m_VideoDevicePaths.get(); }

  // Raised once on the GUI thread when the open device is lost (removed, or its stream failed):
  // by then the graph is stopped, the picture hidden, a pending snapshot dropped, State is Open
  // and ErrorStatus 204. The handler may Close the control, or open another device.
  const TNotifyEvent& OnDeviceLost() const { return FOnDeviceLost; }
  void SetOnDeviceLost(TNotifyEvent Handler) { FOnDeviceLost = std::move(Handler); }
  // Raised on the GUI thread when a video capture device arrived or went, after VideoDevices
  // and VideoDevicePaths were refreshed (and after OnDeviceLost, when the open device went).
  const TNotifyEvent& OnVideoDevicesChange() const { return FOnVideoDevicesChange; }
  void SetOnVideoDevicesChange(TNotifyEvent Handler) { FOnVideoDevicesChange = std::move(Handler); }
  double FrameRate() const { return m_FrameRate; }
  void SetFrameRate(double Value) { m_FrameRate = Value; }
  GUID VideoSubType() const { return m_VideoSubType; }
  uint16_t BitCount() const { return m_BitCount; }
  uint32_t Compression() const { return m_Compression; }
  double MinimumFrameRate() const { return m_MinFrameRate; }
  double MaximumFrameRate() const { return m_MaxFrameRate; }

protected:
  // Decides whether the runtime is present and, if so, lists the devices.
  explicit TVLmCaptureControl(TComponent* AOwner);

  // Open's device steps after the checks every component makes: the device list (enumerated
  // again when empty), the index into it, and binding the device that line of the lists names
  // (by its identity, never by its position among the system's devices) into m_pDeviceFilter.
  // False with error 202 when one fails.
  bool BindDevice(int32_t Index);
  // OpenDevice's first step: the lists refreshed (when the component is active), the position
  // of DevicePath in them, or -1 when it is not listed.
  int32_t FindDevicePath(const std::wstring& DevicePath);
  // Open's last step: error 203 when the graph could not be Built, else state Open with the
  // first format entry selected and error 0.
  bool FinishOpen(bool Built);

  // Pieces of the graph, each true only when every call in it gave S_OK.
  // The filter graph and the capture graph builder.
  bool CreateGraph();
  // Hands the graph to the builder and adds the device filter as "Video Capture".
  bool AddDeviceToGraph();
  // Reads the device's format list and takes its current format as the one last applied.
  void ReadFormats();
  // The preview branch: the device's preview stream, interleaved or else video, to the
  // default renderer; a device without a preview pin sets m_PreviewFaked.
  bool RenderPreviewStream();
  // Removes every filter downstream of Filter from the graph.
  void RemoveDownstream(IBaseFilter* Filter);
  // The capture graph builder goes with the graph; the device filter stays.
  void ReleaseExtraInterfaces() override;
  // Closing lets go of the device and forgets its identity.
  void ReleaseSource() override;

  // Formats of the device.
  bool GetFormats(IBaseFilter* Filter);
  // Applies entry Index to the device, rebuilding the graph behind it: 1 applied, 0 nothing
  // to change, -1 no such entry, -2 applying failed.
  int32_t SetFormat(IBaseFilter* Filter, int32_t Index);
  void Set_StrVideoSubType(const GUID& SubType);

  // ---- What the components do differently ----
  // Takes the graph apart behind Filter before a format change or the pin dialog.
  virtual void TakeGraphApart(IBaseFilter* Filter);
  // Builds the graph behind the device again, for the format at FormatIndex; results ignored.
  virtual void RebuildGraph(int32_t FormatIndex) = 0;
  // The capture-pin dialog rebuilds the graph only after the chosen format was loaded and
  // selected (else right after the dialog closed).
  virtual bool RebuildsAfterPinFormat() const { return false; }
  // Whether the bit rate is applied with a format: it then counts in SetFormat's test for a
  // change and is written into the applied format.
  virtual bool AppliesBitRate() const { return false; }
  // Start has run the graph: a component resets what it reports once per run.
  virtual void Started() {}
  // GetStreamFormat loading an entry: what the component keeps beyond the shared properties.
  virtual void LoadEntryExtras(const TLM_VIDEO_STREAM_INFORMATION&) {}
  // The format fields that Close and destruction reset.
  void ClearFormatFields() override;

  // ---- Devices that go and come ----
  void Dispatch(TMessage& Message) override;
  // The window asks for device-interface notifications of video capture devices.
  void WindowCreated() override;
  // Acts on the device's loss (EC_DEVICE_LOST with the device gone, EC_ERRORABORT,
  // EC_STREAM_ERROR_STOPPED); a device that came back goes to the device-list handling.
  bool GraphEvent(long Code, LONG_PTR Param1, LONG_PTR Param2) override;
  // WM_DEVICECHANGE: an arrival or removal of a video capture device interface.
  void WMDeviceChange(TMessage& Message);
  // Posts the window one request to refresh the lists, unless one is already on its way, so
  // that the notifications of one change (one per interface class) refresh them once.
  void ScheduleDevicesRefresh();
  // Refreshes the lists and raises OnVideoDevicesChange; the open device no longer listed is
  // lost.
  void VideoDevicesChanged();
  // Stops the graph, hides the picture, drops a pending snapshot, enters Open with error 204
  // and raises OnDeviceLost, once per loss.
  void DeviceLost();
  // What a fault of the running stream does before its event: the graph stopped, the picture
  // hidden, a pending snapshot dropped, State Open with Error.
  void StopWithError(int16_t Error);
  virtual void DoDeviceLost();
  virtual void DoVideoDevicesChange();

  // Fields beyond those of the video surface. GUI thread only.
  std::unique_ptr<TStringList> m_VideoDevices;
  double m_FrameRate = 0;
  uint16_t m_BitCount = 0;
  uint32_t m_Compression = 0;
  uint32_t m_BitRate = 0;
  std::wstring m_StrVideoSubType;
  double m_MinFrameRate = 0;
  double m_MaxFrameRate = 0;
  SIZE m_oldVideoSize{0, 0};
  GUID m_VideoSubType = GUID_NULL;
  Microsoft::WRL::ComPtr<IBaseFilter> m_pDeviceFilter;
  Microsoft::WRL::ComPtr<ICaptureGraphBuilder2> m_pCaptureGraphBuilder;
  bool m_PreviewFaked = false;
  std::vector<TLM_VIDEO_STREAM_INFORMATION> m_pVSI;
  int32_t m_pVSI_Count[2] = {0, 0};
  double m_oldFrameRate = 0;
  uint32_t m_oldBitRate = 0;
  int32_t m_SelectedIndex = -1;
  // The subtype and frame size the device runs with: last applied, or read from it. The format
  // properties cannot tell, since GetStreamFormat loads any entry into them.
  GUID m_AppliedSubType = GUID_NULL;
  SIZE m_AppliedSize{0, 0};
  // The device lists' identities, the identity of the open device, whether its loss was
  // reported, and the window's device-interface notifications (video, capture). GUI thread.
  std::unique_ptr<TStringList> m_VideoDevicePaths;
  std::wstring m_DevicePath;
  bool m_DeviceLostReported = false;
  bool m_DevicesChangePending = false;
  HDEVNOTIFY m_DeviceNotifications[2] = {nullptr, nullptr};
  TNotifyEvent FOnDeviceLost;
  TNotifyEvent FOnVideoDevicesChange;

private:
  // The device's range for Setting, checked: 0, or the code to refuse with (11, 5, 205, 2).
  int16_t ReadSettingRange(TVLmCameraSetting Setting, TLmCameraSettingRange& Range);
  // One line of a settings text applied: 0, or the code it was refused with.
  int16_t ApplySettingLine(const std::wstring& Line);

  // Fills VideoDevices and VideoDevicePaths afresh; the number of devices.
  int32_t RefreshDevices();
  void UnregisterDeviceNotifications();
  bool CheckDialogAllowed();
  void LoadPinFormat(SIZE VideoSize, const GUID& SubType, double FrameRate, uint16_t BitCount, uint32_t Compression,
                     uint32_t BitRate);
};
