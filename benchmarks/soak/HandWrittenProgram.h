#pragma once

// The soak's minimal hand-written DirectShow programs, doing what the components do, so that
// what Wine's DirectShow leaves behind per graph stands apart from what the components leave;
// built from the steps of the shared hand-written graph (handwritten/HandWrittenGraph.h): the
// camera previewed with a Sample Grabber (RGB24) on its capture stream, a file rendered with a
// Sample Grabber on its video stream, or the camera recorded into an AVI file through the
// capture graph builder's file output. The video window is a child of a host window covering
// its client area, as the components place it. A grabbed buffer is waited for on a
// manual-reset event that the message pump checks again and again.

#include <windows.h>

#include <wrl/client.h>

#include <string>

#include "handwritten/GrabberProbe.h"
#include "handwritten/HandWrittenGraph.h"

namespace soak {

class HandWrittenProgram {
public:
  HandWrittenProgram() = default;
  HandWrittenProgram(const HandWrittenProgram&) = delete;
  HandWrittenProgram& operator=(const HandWrittenProgram&) = delete;

  // Each builds the graph and places its video window in Host; false with Failure() set.
  bool BuildPreview(const std::wstring& CameraName, HWND Host);
  bool BuildPlayback(const std::wstring& FileName, HWND Host);
  bool BuildRecording(const std::wstring& CameraName, const std::wstring& FileName, HWND Host);

  // Shows the video window and runs the graph.
  bool Run();
  // Arms the grabber's buffer callback for the next buffer (and leaves it armed).
  bool Arm();
  // Arms the grabber's buffer callback and pumps messages until one buffer was copied.
  bool GrabOne(DWORD TimeoutMs);
  // Pumps messages until the graph reports EC_COMPLETE (or an error ends it); false on time-out.
  bool WaitForEnd(DWORD TimeoutMs);
  // Stops the graph and hides the video window.
  bool Stop();

  const std::wstring& Failure() const { return m_Failure; }

private:
  // False, with the graph's failure, when Hr failed.
  bool Check(HRESULT Hr);
  bool AddGrabber();
  bool PlaceVideo(HWND Host);

  // Declared before the graph, so that the graph (whose destructor stops it and detaches the
  // callback) goes first.
  Microsoft::WRL::ComPtr<handwritten::GrabberProbe> m_Probe;
  handwritten::HandWrittenGraph m_Graph;
  std::wstring m_Failure;
};

}  // namespace soak
