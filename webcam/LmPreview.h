#pragma once

// TVLmPreview: a control that shows the live picture of a video capture device and hands
// still images of it to the application.

#include <windows.h>

#include <dshow.h>
#include <wrl/client.h>

#include <string>

#include "webcam/LmCaptureControl.h"
#include "webcam/LmSnapshot.h"

class LMWEBCAM_API TVLmPreview : public TVLmCaptureControl, public TLmSnapshotPipeline {
public:
  explicit TVLmPreview(TComponent* AOwner);
  ~TVLmPreview() override;

  // Opens the device at Index of VideoDevices and builds the graph, stopped and hidden.
  bool Open(int32_t Index);
  // Opens the device whose identity (a line of VideoDevicePaths) is DevicePath: the lists are
  // refreshed, then it is Open with that device's index; 202 when the device is not listed.
  bool OpenDevice(const std::wstring& DevicePath);
  // Asks for the next frame as a still image, delivered through OnSnapshot.
  bool TakeSnapshot();

protected:
  void Dispatch(TMessage& Message) override;

  // Graph building.
  bool StartupVideo();
  bool GetInterfaces();
  bool SetupGraph1(bool AddDevice);
  bool SetupGraph2();
  // The format of the grabber's connection, into m_vih.
  bool GetConnectedMediaType();

  // Around a format change or the pin dialog: the grabber is taken out with everything else
  // behind the device and put back (with a pending snapshot dropped), the streams wired again.
  void TakeGraphApart(IBaseFilter* Filter) override;
  void RebuildGraph(int32_t FormatIndex) override;
  // The grabber goes before the capture graph builder and the graph.
  void ReleaseExtraInterfaces() override;
  void ClearFormatFields() override;
  void DropSnapshotRequest() override { DropPendingSnapshot(); }
  void GraphStarting() override { StartFrames(); }
  void GraphStopped() override { StopFrames(); }

  // The capture stream into the grabber is complete. GUI thread only.
  bool m_isCapture = false;
};
