#pragma once

// The benchmark's hand-written program, which the figures set beside TVLmPreview, built from the
// steps of the shared hand-written graph (handwritten/HandWrittenGraph.h): the camera bound
// through the system device enumerator, its format set with IAMStreamConfig::SetFormat on the
// capture pin, the preview stream rendered by the capture graph builder into the default video
// renderer shown inside a window, and the capture stream into a Sample Grabber fixed to 24-bit
// RGB and a Null Renderer. Where the system has no converter to 24-bit RGB for the camera's
// format (NV12), the grabber takes the camera's own format instead, as an application that
// converts its stills itself would. A still is waited for on an auto-reset event. GUI thread
// only.

#include <windows.h>

#include <wrl/client.h>

#include <string>

#include "benchmarks/CameraPicture.h"
#include "handwritten/GrabberProbe.h"
#include "handwritten/HandWrittenGraph.h"
#include "webcam/src/LmFrameConverter.h"

namespace bench {

// What the program is made of.
struct RawProgramPlan {
  CameraFormat Format;
  HWND Owner = nullptr;  // when given, the preview stream is rendered and shown in Owner at View
  RECT View{};
  bool Capture = true;  // the capture stream into the Sample Grabber and the Null Renderer
  // The grabber takes the camera's own format even where the system converts it to 24-bit RGB,
  // as an application that converts the frames it uses itself does.
  bool NativeGrabber = false;
};

class RawProgram {
public:
  RawProgram() = default;
  RawProgram(const RawProgram&) = delete;
  RawProgram& operator=(const RawProgram&) = delete;

  // Binds the camera and builds the graph, stopped; on failure Failure says which step failed.
  bool Build(const RawProgramPlan& Plan);
  // Stops the graph, takes it apart behind the camera, sets Format and renders the streams again
  // (stopped), as an application changes the format of a camera it previews.
  bool SwitchFormat(const CameraFormat& Format);
  // Runs the graph (a live source that cannot cue answers S_FALSE, which is success).
  bool Run();
  void Stop();
  // The video renderer's window, the first child of the plan's owner; null without a preview.
  HWND VideoWindow() const { return m_Graph.VideoWindow(); }
  // A still image, as an application takes one: the probe armed and attached in buffer mode
  // (SetCallback mode 1), messages pumped until the GUI thread sees its BufferCB or TimeoutMs
  // passed (Lost), the copy converted to 24-bit RGB when the grabber takes another format.
  // Figures.ArrivedMs is when the GUI thread held the picture.
  SnapshotResult Snapshot(double TimeoutMs, SnapshotFigures& Figures);
  // Attaches the probe in sample mode (SetCallback mode 0), to count the frames that pass.
  bool CountSamples();
  // Attaches Callback to the grabber in Mode (0: SampleCB, 1: BufferCB); nullptr detaches.
  bool SetCallback(ISampleGrabberCB* Callback, long Mode);
  // The grabber's connection as the library's converter describes a frame.
  lm::FrameFormat Connection() const;
  // The grabber's callback; only with a capture stream.
  const handwritten::GrabberProbe& Probe() const { return *m_Probe.Get(); }

  // The format of the grabber's connection.
  LONG Width = 0;
  LONG Height = 0;
  GUID GrabberSubType = GUID_NULL;
  std::wstring Failure;

private:
  // False, with Failure taken from the graph, when Hr failed.
  bool Check(HRESULT Hr);
  // Sets the plan's format and renders the plan's streams.
  bool Render();
  // The capture stream into the grabber: as 24-bit RGB (unless the plan says native), else in
  // the camera's own format.
  bool ConnectGrabber();
  // The capture stream into the grabber in the camera's own format, when the library's
  // converter can convert it; otherwise the failed RGB24 connection's Rgb24Result, or (S_OK:
  // none was tried) a failure of its own.
  bool ConnectNativeGrabber(HRESULT Rgb24Result);
  bool ReadConnection();

  RawProgramPlan m_Plan;
  // Declared before the graph, so that the graph (whose destructor stops it and detaches the
  // callback) goes first.
  Microsoft::WRL::ComPtr<IBaseFilter> m_Sink;  // the Null Renderer behind the grabber
  Microsoft::WRL::ComPtr<handwritten::GrabberProbe> m_Probe;
  handwritten::HandWrittenGraph m_Graph;
};

}  // namespace bench
