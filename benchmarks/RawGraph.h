#pragma once

// The benchmark's hand-written DirectShow program, which the figures set beside TVLmPreview: the
// camera bound through the system device enumerator, its format set with
// IAMStreamConfig::SetFormat on the capture pin, the preview stream rendered by the capture graph
// builder into the default video renderer shown inside a window, and the capture stream into a
// Sample Grabber fixed to 24-bit RGB and a Null Renderer. Where the system has no converter to
// 24-bit RGB for the camera's format (NV12), the grabber takes the camera's own format instead,
// as an application that converts its stills itself would. GUI thread only.

#include <windows.h>

#include <dshow.h>
#include <wrl/client.h>

#include <string>

#include "benchmarks/CameraPicture.h"
#include "benchmarks/GrabberProbe.h"
#include "webcam/LmSampleGrabber.h"

namespace bench {

// What the graph is made of.
struct RawGraphPlan {
  CameraFormat Format;
  HWND Owner = nullptr;  // when given, the preview stream is rendered and shown in Owner at View
  RECT View{};
  bool Capture = true;  // the capture stream into the Sample Grabber and the Null Renderer
};

class RawGraph {
public:
  RawGraph() = default;
  RawGraph(const RawGraph&) = delete;
  RawGraph& operator=(const RawGraph&) = delete;
  ~RawGraph();

  // Binds the camera and builds the graph, stopped; on failure Failure says which step failed.
  bool Build(const RawGraphPlan& Plan);
  // Stops the graph, takes it apart behind the camera, sets Format and renders the streams again
  // (stopped), as an application changes the format of a camera it previews.
  bool SwitchFormat(const CameraFormat& Format);
  // Runs the graph (a live source that cannot cue answers S_FALSE, which is success).
  bool Run();
  void Stop();
  // The video renderer's window, the first child of the plan's owner; null without a preview.
  HWND VideoWindow() const;
  // A still image, as an application takes one: the probe armed and attached in buffer mode
  // (SetCallback mode 1), messages pumped until the GUI thread sees its BufferCB or TimeoutMs
  // passed (Lost), the copy converted to 24-bit RGB when the grabber takes another format.
  // Figures.ArrivedMs is when the GUI thread held the picture.
  SnapshotResult Snapshot(double TimeoutMs, SnapshotFigures& Figures);
  // Attaches the probe in sample mode (SetCallback mode 0), to count the frames that pass.
  bool CountSamples();
  // The grabber's callback; only with a capture stream.
  const GrabberProbe& Probe() const { return *m_Probe.Get(); }

  // The format of the grabber's connection.
  LONG Width = 0;
  LONG Height = 0;
  GUID GrabberSubType = GUID_NULL;
  std::wstring Failure;

private:
  bool Fail(const std::wstring& Step, HRESULT Hr);
  bool CreateFilters();
  // Sets the plan's format and renders the plan's streams.
  bool Render();
  bool SetCaptureFormat();
  // The capture stream into the grabber: as 24-bit RGB, else in the camera's own format.
  bool ConnectGrabber();
  bool ReadConnection();
  bool ShowVideo();
  // Removes every filter but the camera, the grabber and the sink, and disconnects those.
  void TakeApart();
  void DisconnectPins(IBaseFilter* Filter);

  RawGraphPlan m_Plan;
  Microsoft::WRL::ComPtr<IGraphBuilder> m_Graph;
  Microsoft::WRL::ComPtr<ICaptureGraphBuilder2> m_Builder;
  Microsoft::WRL::ComPtr<IBaseFilter> m_Camera;
  Microsoft::WRL::ComPtr<IAMStreamConfig> m_Config;  // of the camera's capture pin
  Microsoft::WRL::ComPtr<IBaseFilter> m_Grabber;
  Microsoft::WRL::ComPtr<ISampleGrabber> m_Grab;
  Microsoft::WRL::ComPtr<GrabberProbe> m_Probe;
  Microsoft::WRL::ComPtr<IBaseFilter> m_Sink;
  Microsoft::WRL::ComPtr<IMediaControl> m_Control;
  Microsoft::WRL::ComPtr<IVideoWindow> m_Window;
  bool m_Shown = false;  // the video window was given to the owner
};

}  // namespace bench
