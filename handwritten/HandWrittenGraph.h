#pragma once

// A DirectShow graph written by hand, as an application writes one without the components:
// the benchmark and the soak set it beside the components (the same work done the plain way),
// and the tests drive the test camera with it.
//
// It is a set of steps, which each caller composes in its own order: the filter graph, a camera
// bound through the system device enumerator, its capture format, a Sample Grabber, Null
// Renderers, the streams rendered by the capture graph builder, a file rendered, the capture
// graph builder's AVI file output, the video window placed in a host window. What a caller
// measures, and how it waits for frames or events, stays with the caller. Each step answers
// S_OK (or the success code of what it called) or the failure, and a failure also names the
// step in Failure() ("RenderStream capture failed: 0x80040217").
//
// The objects are public, for what a caller does beyond these steps; they are released with
// the graph. One thread: the one that built the graph (the GUI thread where there is a video
// window).

#include <windows.h>

#include <dshow.h>
#include <wrl/client.h>

#include <initializer_list>
#include <string>

#include "webcam/LmSampleGrabber.h"
#include "webcam/src/LmFrameConverter.h"

namespace handwritten {

class HandWrittenGraph {
public:
  HandWrittenGraph() = default;
  HandWrittenGraph(const HandWrittenGraph&) = delete;
  HandWrittenGraph& operator=(const HandWrittenGraph&) = delete;
  // Stops the graph, detaches the grabber's callback, gives the video window back and stops
  // the event notifications.
  ~HandWrittenGraph();

  // The filter graph, with its IMediaControl and IMediaEventEx.
  HRESULT CreateGraph();
  // Binds the video input device named Name (see VideoDevices.h) and adds it to the graph as
  // FilterName; the capture graph builder is made for the graph if it has none yet.
  HRESULT AddCamera(const std::wstring& Name, const wchar_t* FilterName = L"Video Capture");
  // Sets the camera's capture pin to the capability of SubType (GUID_NULL: any), Width and
  // Height (FORMAT_VideoInfo, the height with its sign), with Interval as its time per frame
  // (IAMStreamConfig::SetFormat). E_INVALIDARG when the camera offers no such capability.
  HRESULT SetCaptureFormat(const GUID& SubType, LONG Width, LONG Height, REFERENCE_TIME Interval);

  // A Sample Grabber that accepts video of SubType (and of FormatType, unless GUID_NULL), with
  // neither buffering nor one-shot, added to the graph.
  HRESULT AddGrabber(const GUID& SubType, const GUID& FormatType = FORMAT_VideoInfo);
  // Changes the type the grabber accepts (before it is connected).
  HRESULT SetGrabberType(const GUID& SubType, const GUID& FormatType = FORMAT_VideoInfo);
  // Attaches Callback to the grabber in Mode (0: SampleCB, 1: BufferCB); nullptr detaches it.
  HRESULT SetGrabberCallback(ISampleGrabberCB* Callback, long Mode);
  // The format of the grabber's connection.
  HRESULT GrabberFormat(lm::FrameFormat& Format);
  // A Null Renderer, added to the graph as FilterName.
  HRESULT AddNullRenderer(const wchar_t* FilterName, Microsoft::WRL::ComPtr<IBaseFilter>& Renderer);

  // The camera's preview and capture streams rendered by the capture graph builder
  // (ICaptureGraphBuilder2::RenderStream) through Through into Into; a null Into lets the
  // builder render the stream (the video renderer, for a preview).
  HRESULT RenderPreview(IBaseFilter* Through = nullptr, IBaseFilter* Into = nullptr);
  HRESULT RenderCapture(IBaseFilter* Through, IBaseFilter* Into);
  // The capture graph builder's AVI file output for FileName (SetOutputFileName), in overwrite
  // mode where its file sink has IFileSinkFilter2; Writer is the multiplexer to render into.
  HRESULT SetAviOutput(const std::wstring& FileName, Microsoft::WRL::ComPtr<IBaseFilter>& Writer);
  // IGraphBuilder::RenderFile.
  HRESULT RenderFile(const std::wstring& FileName);

  // The graph's video window made a child of Owner, covering View of its client area; hidden
  // until ShowVideo(true).
  HRESULT PlaceVideo(HWND Owner, const RECT& View);
  HRESULT ShowVideo(bool Visible);
  // The video window (the owner's first child); null when none was placed.
  HWND VideoWindow() const;

  // Run answers S_FALSE while a live source cannot cue, which is success.
  HRESULT Run();
  HRESULT Stop();
  // Gives the video window back and removes every filter but the camera, the grabber and Keep,
  // disconnecting those, so that the streams can be rendered anew (after a format change, say).
  // The graph must be stopped.
  void TakeApartBehindCamera(std::initializer_list<IBaseFilter*> Keep);

  // What the last failed step was, with its HRESULT; empty when none failed.
  const std::wstring& Failure() const { return m_Failure; }

  Microsoft::WRL::ComPtr<IGraphBuilder> Graph;
  Microsoft::WRL::ComPtr<ICaptureGraphBuilder2> Builder;  // made by AddCamera or the steps that need it
  Microsoft::WRL::ComPtr<IMediaControl> Control;
  Microsoft::WRL::ComPtr<IMediaEventEx> Events;
  Microsoft::WRL::ComPtr<IBaseFilter> Camera;
  Microsoft::WRL::ComPtr<IBaseFilter> Grabber;  // the Sample Grabber's filter
  Microsoft::WRL::ComPtr<ISampleGrabber> Grab;  // and its own interface

private:
  // Records the step that failed; answers Hr.
  HRESULT Fail(const std::wstring& Step, HRESULT Hr);
  HRESULT MakeBuilder();
  void GiveVideoWindowBack();
  void DisconnectPins(IBaseFilter* Filter);

  Microsoft::WRL::ComPtr<IVideoWindow> m_Window;  // set by PlaceVideo
  HWND m_Owner = nullptr;
  std::wstring m_Failure;
};

}  // namespace handwritten
