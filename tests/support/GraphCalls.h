#pragma once

// Call sequences that the components make on the working fake graph (support/FakeGraph.h),
// as the log writes them, and a way to join them; plus moving the runtime marker file away.

#include <windows.h>

#include <initializer_list>
#include <string>

namespace fakes {

// The parts joined with "; ", empty parts left out.
inline std::string Join(std::initializer_list<std::string> Parts) {
  std::string joined;
  for (const std::string& part : Parts) {
    if (part.empty()) continue;
    if (!joined.empty()) joined += "; ";
    joined += part;
  }
  return joined;
}

// Finding the device's stream configuration: interleaved first, then video.
inline constexpr const char* kFindStreamConfig =
    "ICaptureGraphBuilder2::FindInterface(capture, interleaved, IAMStreamConfig); "
    "ICaptureGraphBuilder2::FindInterface(capture, video, IAMStreamConfig)";
// The capture stream into the grabber on the working fake graph: the device's own format looked
// at and given to the grabber (the fake device's RGB24, which the library converts itself),
// then the stream rendered into it.
inline constexpr const char* kCaptureToGrabber =
    "ICaptureGraphBuilder2::FindInterface(capture, interleaved, IAMStreamConfig); "
    "ICaptureGraphBuilder2::FindInterface(capture, video, IAMStreamConfig); IAMStreamConfig::GetFormat; "
    "ISampleGrabber::SetMediaType(video, RGB24, VideoInfo); ICaptureGraphBuilder2::RenderStream(capture, video)";
// SetupVideoWindow of a 100 x 100 control with a flat frame.
inline constexpr const char* kVideoWindowSetup =
    "IVideoWindow::put_Owner(window); IVideoWindow::put_MessageDrain(window); "
    "IVideoWindow::put_WindowStyle(0x46000000); IVideoWindow::SetWindowPosition(1, 1, 98, 98); "
    "IVideoWindow::put_Visible(OAFALSE); IMediaEventEx::SetNotifyWindow(window, 32769, 0)";
// RemoveDownstream of a filter "device" whose capture pin feeds a filter "renderer".
inline constexpr const char* kRemoveRenderer =
    "IBaseFilter::EnumPins(device); IEnumPins::Reset(device); IEnumPins::Next(device); "
    "IPin::ConnectedTo(device.capture); IPin::QueryPinInfo(renderer.in); "
    "IBaseFilter::EnumPins(renderer); IEnumPins::Reset(renderer); IEnumPins::Next(renderer); "
    "IPin::ConnectedTo(renderer.in); IPin::QueryPinInfo(device.capture); IEnumPins::Next(renderer); "
    "IFilterGraph::Disconnect(renderer.in); IFilterGraph::Disconnect(device.capture); "
    "IFilterGraph::RemoveFilter(renderer); IEnumPins::Next(device)";
// The teardown of a graph with all its interfaces.
inline constexpr const char* kGraphTeardown =
    "IMediaControl::Stop; IMediaEventEx::SetNotifyWindow(0, 32769, 0); "
    "IVideoWindow::put_Visible(OAFALSE); IVideoWindow::put_Owner(0)";

// Moves the runtime marker file out of the system directory while it lives.
class MarkerFileAway {
public:
  MarkerFileAway() {
    wchar_t directory[MAX_PATH] = {};
    GetSystemDirectoryW(directory, MAX_PATH);
    m_Path = std::wstring(directory) + L"\\dpnhpast.dll";
    m_Away = m_Path + L".away";
    m_Moved = MoveFileW(m_Path.c_str(), m_Away.c_str()) != FALSE;
  }
  MarkerFileAway(const MarkerFileAway&) = delete;
  MarkerFileAway& operator=(const MarkerFileAway&) = delete;
  ~MarkerFileAway() {
    if (m_Moved) MoveFileW(m_Away.c_str(), m_Path.c_str());
  }
  bool Moved() const { return m_Moved; }

private:
  std::wstring m_Path;
  std::wstring m_Away;
  bool m_Moved = false;
};

}  // namespace fakes
