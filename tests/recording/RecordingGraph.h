#pragma once

// A capture graph that records the test camera into an AVI file, built by hand the way an
// application builds one: camera ("Lumora Test Camera" or another) -> capture branch through
// ICaptureGraphBuilder2::SetOutputFileName, preview branch into a Null Renderer. The capture
// graph builder is whatever CLSID_CaptureGraphBuilder2 creates in the prefix: the test
// capture graph builder (testbuilder/).

#include <windows.h>

#include <dshow.h>
#include <wrl/client.h>

#include <string>

namespace rectest {

using Microsoft::WRL::ComPtr;

class RecordingGraph {
public:
  // Builds the graph for File at the given picture size, frame interval (100 ns units) and
  // subtype, with the camera named CameraName.
  explicit RecordingGraph(const std::wstring& File, LONG Width = 320, LONG Height = 240,
                          REFERENCE_TIME FrameInterval = 666666, const GUID& SubType = MEDIASUBTYPE_RGB24,
                          const std::wstring& CameraName = L"Lumora Test Camera");
  ~RecordingGraph();
  RecordingGraph(const RecordingGraph&) = delete;
  RecordingGraph& operator=(const RecordingGraph&) = delete;

  // S_OK, or the result of the first step that failed (Step names it).
  HRESULT Result = E_FAIL;
  std::string Step;

  // Stops every filter of the graph one by one: what is left to do after a Run that a filter
  // failed, since Wine's graph then leaves the filters it paused paused and itself stopped, so
  // that its Stop does nothing and its release waits forever for pins it cannot disconnect.
  void StopEveryFilter();

  // Runs the graph for Milliseconds, then stops it; false when Run or Stop failed.
  bool Record(DWORD Milliseconds);

  ComPtr<IGraphBuilder> Graph;
  ComPtr<ICaptureGraphBuilder2> Builder;
  ComPtr<IBaseFilter> Camera;
  ComPtr<IBaseFilter> Writer;
  ComPtr<IFileSinkFilter> Sink;
  ComPtr<IBaseFilter> PreviewSink;
  ComPtr<IMediaControl> Control;

private:
  bool Check(HRESULT hr, const char* StepName);
};

// DllCanUnloadNow of the test capture graph builder: S_OK once none of its objects is alive.
HRESULT BuilderCanUnloadNow();

// Size of a file in bytes; -1 when it does not exist.
LONGLONG FileSize(const std::wstring& Path);

}  // namespace rectest
