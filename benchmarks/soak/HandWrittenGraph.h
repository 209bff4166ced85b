#pragma once

// A minimal hand-written DirectShow program doing what the components do, so that what Wine's
// DirectShow leaves behind per graph stands apart from what the components leave: the camera
// bound through the system device enumerator and previewed with a Sample Grabber (RGB24) on its
// capture stream, a file rendered with a Sample Grabber on its video stream, or the camera
// recorded into an AVI file through the capture graph builder's file output. The graph's video
// window is a child of a host window, as the components place it.

#include <windows.h>

#include <dshow.h>
#include <wrl/client.h>

#include <string>

#include "webcam/LmSampleGrabber.h"

namespace soak {

class BufferProbe;

class HandWrittenGraph {
public:
  HandWrittenGraph();
  HandWrittenGraph(const HandWrittenGraph&) = delete;
  HandWrittenGraph& operator=(const HandWrittenGraph&) = delete;
  // Stops the graph, detaches its video window and releases every object.
  ~HandWrittenGraph();

  // Each builds the graph and places its video window in Host; false with Failure() set.
  bool BuildPreview(const std::wstring& CameraName, HWND Host);
  bool BuildPlayback(const std::wstring& FileName, HWND Host);
  bool BuildRecording(const std::wstring& CameraName, const std::wstring& FileName, HWND Host);

  bool Run();
  // Arms the grabber's buffer callback for the next buffer (and leaves it armed).
  bool Arm();
  // Arms the grabber's buffer callback and pumps messages until one buffer was copied.
  bool GrabOne(DWORD TimeoutMs);
  // Pumps messages until the graph reports EC_COMPLETE (or an error ends it); false on time-out.
  bool WaitForEnd(DWORD TimeoutMs);
  bool Stop();

  const std::wstring& Failure() const { return m_Failure; }

private:
  bool Fail(const wchar_t* Step, HRESULT Hr);
  bool CreateGraph();
  bool AddCamera(const std::wstring& CameraName);
  bool AddGrabber();
  bool PlaceVideoWindow(HWND Host);

  Microsoft::WRL::ComPtr<IGraphBuilder> m_Graph;
  Microsoft::WRL::ComPtr<ICaptureGraphBuilder2> m_Builder;
  Microsoft::WRL::ComPtr<IBaseFilter> m_Camera;
  Microsoft::WRL::ComPtr<IBaseFilter> m_GrabberFilter;
  Microsoft::WRL::ComPtr<ISampleGrabber> m_Grabber;
  Microsoft::WRL::ComPtr<IMediaControl> m_Control;
  Microsoft::WRL::ComPtr<IMediaEventEx> m_Events;
  Microsoft::WRL::ComPtr<IVideoWindow> m_Window;
  Microsoft::WRL::ComPtr<BufferProbe> m_Probe;
  std::wstring m_Failure;
};

}  // namespace soak
