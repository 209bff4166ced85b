#pragma once

// TVLmPreview: a control that shows the live picture of a video capture device and hands
// still images of it to the application.

#include <windows.h>

#include <dshow.h>
#include <wrl/client.h>

#include <memory>
#include <string>
#include <vector>

#include "webcam/LmSnapshot.h"

class LMWEBCAM_API TVLmPreview : public TVLmSnapshotControl {
public:
  explicit TVLmPreview(TComponent* AOwner);
  ~TVLmPreview() override;

  // Refills VideoDevices; the number of devices (error 201 inactive, 202 none).
  int32_t GetVideoDevices();
  // Opens the device at Index of VideoDevices and builds the graph, stopped and hidden.
  bool Open(int32_t Index);
  bool Close();
  // Shows the picture in Mode and runs the graph.
  bool Start(TVLmVideoDisplayMode Mode);
  // Asks for the next frame as a still image, delivered through OnSnapshot.
  bool TakeSnapshot();
  // Shows the library's version-information box.
  void About();

  // The device's video formats: how many there are, loading one into the format properties
  // (-1: the selected one), and selecting and applying one with the rate in FrameRate.
  int32_t GetStreamFormats();
  // Show the device's property pages, and its capture pin's format pages (the format chosen
  // there becomes the current format and selects the matching list entry).
  bool ShowFilterDialog();
  bool ShowCapturePinDialog();
  bool GetStreamFormat(int32_t Index);
  bool SetStreamFormat(int32_t Index);

  TStringList* VideoDevices() const { return m_VideoDevices.get(); }
  double FrameRate() const { return m_FrameRate; }
  void SetFrameRate(double Value) { m_FrameRate = Value; }
  GUID VideoSubType() const { return m_VideoSubType; }
  uint16_t BitCount() const { return m_BitCount; }
  uint32_t Compression() const { return m_Compression; }
  double MinimumFrameRate() const { return m_MinFrameRate; }
  double MaximumFrameRate() const { return m_MaxFrameRate; }

protected:
  // Graph building and teardown.
  bool StartupVideo();
  bool GetInterfaces();
  bool SetupGraph1(bool AddDevice);
  bool SetupGraph2();
  void RemoveDownstream(IBaseFilter* Filter);
  void CloseInterfaces();

  // Formats of the device and of the grabber's connection.
  bool GetFormats(IBaseFilter* Filter);
  bool GetConnectedMediaType();
  // Applies entry Index to the device, rebuilding the graph behind it: 1 applied, 0 nothing
  // to change, -1 no such entry, -2 applying failed.
  int32_t SetFormat(IBaseFilter* Filter, int32_t Index);
  void Set_StrVideoSubType(const GUID& SubType);

  // Fields beyond those of the video surface and the snapshot pipeline. GUI thread only.
  std::unique_ptr<TStringList> m_VideoDevices;
  double m_FrameRate = 0;
  uint16_t m_BitCount = 0;
  uint32_t m_Compression = 0;
  uint32_t m_BitRate = 0;
  std::wstring m_StrVideoSubType;
  double m_MinFrameRate = 0;
  double m_MaxFrameRate = 0;
  SIZE m_oldVideoSize{0, 0};
  bool m_isCapture = false;
  GUID m_VideoSubType = GUID_NULL;
  Microsoft::WRL::ComPtr<IBaseFilter> m_pDeviceFilter;
  Microsoft::WRL::ComPtr<ICaptureGraphBuilder2> m_pCaptureGraphBuilder;
  bool m_PreviewFaked = false;
  std::vector<TLM_VIDEO_STREAM_INFORMATION> m_pVSI;
  int32_t m_pVSI_Count[2] = {0, 0};
  double m_oldFrameRate = 0;
  uint32_t m_oldBitRate = 0;
  int32_t m_SelectedIndex = -1;

private:
  void ClearFormatFields();
  bool CheckDialogAllowed();
};
