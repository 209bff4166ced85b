// The demo: what an application using the camera library looks like. It lists the video
// capture devices, previews one (by default the project's test camera) in a window, saves
// snapshots as BMP files and records the camera into an AVI file; given a clip, it plays it
// beside the preview in a loop, and a recording once it is made.
//
//   LmDemo.exe [--device N | --camera NAME] [--format "MJPG 1280x720"] [--clip FILE]
//              [--output DIR] [--scripted]
//
// Interactive: S saves a snapshot, M switches stretch and scale, F shows the device's property
// pages, P its capture pin's format pages, C opens the next camera, N selects the camera's next
// format, R starts recording into DIR\recording.avi and, pressed again, stops it and plays the
// recording; U unplugs the test camera (through its controller) and G plugs it back: a line of
// text tells that the camera was lost, and the demo reopens it by its identity (its path in
// VideoDevicePaths) as soon as it is listed again, which it hears of through
// OnVideoDevicesChange or, where the system announces nothing (as under Wine for a virtual
// camera), right after G. B and D make the picture brighter and darker, E and W lengthen and
// shorten the exposure by one step (by hand) and A gives it back to the camera (auto), Z and X
// zoom in and out; a line of text shows those settings, and another the frame stream's measured
// rate, the frames dropped and the jitter of the frames' times (an OnFrame handler counts every
// frame). Closing the window ends the demo. --scripted runs a short session
// unattended: it previews for two seconds, saves a snapshot and a screenshot of the window into
// DIR, unplugs and replugs the test camera once (a screenshot while it is lost), records three
// seconds, plays the recording, saves a snapshot of it; then, when the UVC test camera is
// there, previews it in YUY2, MJPG and NV12 and saves a snapshot of each, then a snapshot at two
// brightness values and at two zooms, and prints the camera's settings as a text
// (CameraSettings); it prints the paths and exits.

#include <windows.h>

#include <wrl/client.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cwchar>
#include <fstream>
#include <functional>
#include <iomanip>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "examples/DemoFiles.h"
#include "testcam/LmTestCam.h"
#include "webcam/LmPlay.h"
#include "webcam/LmPreview.h"
#include "webcam/LmRecord.h"

namespace {

constexpr wchar_t kWindowClass[] = L"LmDemoWindow";
constexpr wchar_t kDefaultDevice[] = L"Lumora Test Camera";
// The test camera whose formats are those of a typical USB camera.
constexpr wchar_t kUsbCamera[] = L"Lumora Test Camera (UVC)";
constexpr int kVideoWidth = 640;
constexpr int kVideoHeight = 480;
constexpr int kMargin = 10;
constexpr int kPlayerWidth = 320;
constexpr int kPlayerHeight = 240;
constexpr DWORD kScriptedRecordingMs = 3000;
constexpr LONG kRecordingWidth = 320;
constexpr LONG kRecordingHeight = 240;
constexpr double kRecordingFrameRate = 15.0;
constexpr int kStatusHeight = 40;
constexpr int kFiguresHeight = 60;
// Timer: the figures line, once a second.
constexpr UINT_PTR kFiguresTimer = 2;
constexpr UINT kFiguresIntervalMs = 1000;
// Posted to the demo's window: reopen the lost camera (after the event that found it listed).
constexpr UINT WM_DEMO_REOPEN = WM_APP + 20;
// Timer: after G, reopen the camera if no device-list change has done it by then.
constexpr UINT_PTR kReplugTimer = 1;
constexpr UINT kReplugWaitMs = 500;

struct DemoOptions {
  int Device = -1;  // -1: the test camera if present, else the first device
  std::wstring Camera;  // a device by its name
  std::wstring Format;  // a format by its pixel format and size, "MJPG 1280x720"
  std::wstring Output = L".";
  std::wstring Clip;  // a video file played beside the preview
  bool Scripted = false;
};

DemoOptions ParseOptions(int argc, wchar_t** argv) {
  DemoOptions options;
  for (int i = 1; i < argc; ++i) {
    const std::wstring arg = argv[i];
    if (arg == L"--device" && i + 1 < argc)
      options.Device = _wtoi(argv[++i]);
    else if (arg == L"--camera" && i + 1 < argc)
      options.Camera = argv[++i];
    else if (arg == L"--format" && i + 1 < argc)
      options.Format = argv[++i];
    else if (arg == L"--output" && i + 1 < argc)
      options.Output = argv[++i];
    else if (arg == L"--clip" && i + 1 < argc)
      options.Clip = argv[++i];
    else if (arg == L"--scripted")
      options.Scripted = true;
  }
  return options;
}

using demo::SaveScreenshot;
using demo::WriteBitmapFile;

class Demo {
public:
  explicit Demo(DemoOptions Options) : m_Options(std::move(Options)) {}

  int Run();

private:
  static LRESULT CALLBACK WindowProc(HWND Window, UINT Msg, WPARAM WParam, LPARAM LParam);
  bool CreateMainWindow();
  int ChooseDevice() const;
  void SaveSnapshot(UINT_PTR ImageHandle);
  void RequestSnapshot();
  void SelectFormat();
  // Opens the next camera of the list (C), selects the camera's next format (N).
  void NextCamera();
  void NextFormat();
  // Stops, selects entry Index, starts again; prints what it does.
  bool UseFormat(int32_t Index);
  // Previews the UVC test camera in each of its pixel formats and keeps a snapshot of each.
  bool SnapshotEveryFormatOfTheUsbCamera(const std::function<void(DWORD)>& Pump);
  void ShowTitle();
  void StartPlayer();
  void SaveClipSnapshot(UINT_PTR ImageHandle);
  std::wstring RecordingPath() const { return m_Options.Output + L"\\recording.avi"; }
  // The recorder takes the preview's place (and its device) while it records.
  bool StartRecording();
  bool StopRecording();
  void PlayRecording();
  void PlacePlayer();
  // Devices that go and come: the line of text, the loss, U and G, and the reopening.
  void RememberDevice();
  void SetStatus(const std::wstring& Text);
  void CameraLost();
  void DevicesChanged();
  void UnplugCamera();
  void ReplugCamera();
  bool ReopenCamera(const wchar_t* Why);
  bool ExerciseUnplug(const std::function<void(DWORD)>& Pump);
  // Camera settings from keys: Steps steps of an eighth of the range (at least the device's
  // step); auto; the settings line.
  void ChangeSetting(TVLmCameraSetting Setting, int Steps);
  void SettingToAuto(TVLmCameraSetting Setting);
  std::wstring SettingText(TVLmCameraSetting Setting, const wchar_t* Name);
  // The frame stream's figures: every frame counted (OnFrame), the line once a second.
  void CountFrame(const TLmFrame& Frame);
  void ShowFigures();
  // The scripted run: snapshots at two brightness values and two zooms, and the settings text.
  bool SnapshotSettings(const std::function<void(DWORD)>& Pump);
  bool SnapshotNow(const std::function<void(DWORD)>& Pump, const std::wstring& What);

  DemoOptions m_Options;
  HWND m_Window = nullptr;
  std::unique_ptr<TVLmPreview> m_Preview;
  std::unique_ptr<TVLmPlay> m_Player;
  std::unique_ptr<TVLmRecord> m_Recorder;
  int m_Device = 0;
  int m_ClipSnapshots = 0;
  TVLmVideoDisplayMode m_Mode = vlmVideoStretch;
  int m_Snapshots = 0;
  std::wstring m_LastSnapshot;
  HWND m_Status = nullptr;    // the line of text beside the preview
  std::wstring m_DevicePath;  // the identity of the previewed camera, to reopen it by
  bool m_Lost = false;        // the camera was lost and is not open again yet
  int m_Reopened = 0;
  Microsoft::WRL::ComPtr<ILmTestCameraController> m_Controller;  // made on the first U or G
  HWND m_Figures = nullptr;   // the settings and the stream's figures
  // The frames counted since the figures were last shown (GUI thread: Latest delivery).
  uint64_t m_Frames = 0;
  uint64_t m_Dropped = 0;
  uint64_t m_DroppedTotal = 0;
  int64_t m_LastTime = -1;    // of the last frame: SampleTime, or ArrivalTime without one
  bool m_SampleTimes = true;  // the source stamps its frames
  double m_IntervalSum = 0, m_IntervalSquares = 0;  // frame intervals in ms
  uint64_t m_Intervals = 0;
  DWORD m_FiguresSince = 0;
};

int Demo::ChooseDevice() const {
  if (!m_Options.Camera.empty()) return m_Preview->VideoDevices()->IndexOf(m_Options.Camera);
  if (m_Options.Device >= 0) return m_Options.Device;
  const int testCamera = m_Preview->VideoDevices()->IndexOf(kDefaultDevice);
  return testCamera >= 0 ? testCamera : 0;
}

void Demo::SaveSnapshot(UINT_PTR ImageHandle) {
  const auto block = reinterpret_cast<HGLOBAL>(ImageHandle);
  const void* dib = GlobalLock(block);
  if (!dib) return;
  const std::wstring path = m_Options.Output + L"\\snapshot-" + std::to_wstring(++m_Snapshots) + L".bmp";
  if (WriteBitmapFile(path, dib, GlobalSize(block))) {
    m_LastSnapshot = path;
    std::wprintf(L"Snapshot: %ls\n", path.c_str());
  } else {
    std::fwprintf(stderr, L"Cannot write %ls\n", path.c_str());
  }
  GlobalUnlock(block);
}

// "MJPG 1280x720": entry Index of Control's formats by its pixel format and size. Loads the
// entry into the format properties.
std::wstring FormatName(TVLmCaptureControl& Control, int32_t Index) {
  if (!Control.GetStreamFormat(Index)) return std::wstring();
  const SIZE size = Control.VideoSize();
  return LmVideoSubTypeName(Control.VideoSubType()) + L" " + std::to_wstring(size.cx) + L"x" + std::to_wstring(size.cy);
}

// The index of the first of Control's formats named Name ("MJPG 1280x720"), or with the given
// picture size when Name is empty; -1 when there is none. With List, every format is printed
// on the way. The listing loads each entry into the format properties, so the chosen one
// differs from them afterwards and SetStreamFormat applies it.
int32_t FindFormat(TVLmCaptureControl& Control, LONG Width, LONG Height, bool List, const std::wstring& Name = L"") {
  const int32_t count = Control.GetStreamFormats();
  int32_t chosen = -1;
  for (int32_t i = 0; i < count; ++i) {
    const std::wstring name = FormatName(Control, i);
    if (name.empty()) continue;
    const SIZE size = Control.VideoSize();
    if (List)
      std::wprintf(L"  format %d: %ls, %.2f (%.2f to %.2f) frames per second\n", i, name.c_str(), Control.FrameRate(),
                   Control.MinimumFrameRate(), Control.MaximumFrameRate());
    const bool wanted = Name.empty() ? size.cx == Width && size.cy == Height : name == Name;
    if (wanted && chosen < 0) chosen = i;
  }
  return chosen;
}

// Lists the device's formats and selects the one asked for, or else the one that fills the
// window, when there is one.
void Demo::SelectFormat() {
  const int32_t chosen = FindFormat(*m_Preview, kVideoWidth, kVideoHeight, true, m_Options.Format);
  if (chosen < 0) {
    if (!m_Options.Format.empty()) std::fwprintf(stderr, L"No format %ls\n", m_Options.Format.c_str());
    m_Preview->GetStreamFormat(-1);
    return;
  }
  if (!m_Preview->SetStreamFormat(chosen))
    std::fwprintf(stderr, L"SetStreamFormat failed: error %d\n", m_Preview->ErrorStatus());
}

bool Demo::UseFormat(int32_t Index) {
  const std::wstring name = FormatName(*m_Preview, Index);
  if (m_Preview->State() == vlmStateRunning) m_Preview->Stop();
  if (!m_Preview->SetStreamFormat(Index) || !m_Preview->Start(m_Mode)) {
    std::fwprintf(stderr, L"Cannot preview in %ls: error %d\n", name.c_str(), m_Preview->ErrorStatus());
    return false;
  }
  std::wprintf(L"Format: %ls at %.2f frames per second\n", name.c_str(), m_Preview->FrameRate());
  ShowTitle();
  return true;
}

void Demo::NextFormat() {
  const int32_t count = m_Preview->GetStreamFormats();
  if (count <= 0) return;
  // The selected entry is the one GetStreamFormat(-1) loads: its place in the list is found
  // by its name.
  const std::wstring current = FormatName(*m_Preview, -1);
  int32_t index = 0;
  while (index < count && FormatName(*m_Preview, index) != current) ++index;
  UseFormat((index + 1) % count);
}

void Demo::NextCamera() {
  const int count = m_Preview->VideoDevices()->Count();
  if (count < 2) return;
  m_Preview->Close();
  m_Device = (m_Device + 1) % count;
  std::wprintf(L"Opening %d: %ls\n", m_Device, (*m_Preview->VideoDevices())[m_Device].c_str());
  if (!m_Preview->Open(m_Device)) {
    std::fwprintf(stderr, L"Open failed: error %d\n", m_Preview->ErrorStatus());
    return;
  }
  RememberDevice();
  SelectFormat();
  if (!m_Preview->Start(m_Mode)) std::fwprintf(stderr, L"Start failed: error %d\n", m_Preview->ErrorStatus());
  ShowTitle();
}

void Demo::ShowTitle() {
  const TStringList* devices = m_Preview->VideoDevices();
  std::wstring title = L"Lumora WebCamera demo - ";
  if (m_Device >= 0 && m_Device < devices->Count()) title += (*devices)[m_Device] + L", ";
  title += FormatName(*m_Preview, -1) +
           L" - S snapshot, M stretch/scale, C camera, N format, F/P pages, R record, U/G unplug/replug, B/D brightness, "
           L"E/W/A exposure, Z/X zoom";
  SetWindowTextW(m_Window, title.c_str());
}

bool Demo::SnapshotEveryFormatOfTheUsbCamera(const std::function<void(DWORD)>& Pump) {
  const int camera = m_Preview->VideoDevices()->IndexOf(kUsbCamera);
  if (camera < 0) return true;  // not installed: nothing to show
  m_Preview->Close();
  m_Device = camera;
  if (!m_Preview->Open(camera)) {
    std::fwprintf(stderr, L"Cannot open %ls: error %d\n", kUsbCamera, m_Preview->ErrorStatus());
    return false;
  }
  RememberDevice();
  bool all = true;
  for (const wchar_t* format : {L"YUY2 640x480", L"MJPG 640x480", L"NV12 640x480"}) {
    const int32_t index = FindFormat(*m_Preview, 0, 0, false, format);
    const int before = m_Snapshots;
    if (index >= 0 && UseFormat(index)) {
      Pump(1000);
      RequestSnapshot();
      for (int waited = 0; waited < 100 && m_Snapshots == before; ++waited) Pump(50);
    }
    if (m_Snapshots == before) {
      std::fwprintf(stderr, L"No snapshot of %ls in %ls\n", kUsbCamera, format);
      all = false;
    } else {
      std::wprintf(L"  that was %ls in %ls\n", kUsbCamera, format);
    }
  }
  return all;
}

// The player beside the preview; whatever it plays starts again whenever it ends.
void Demo::PlacePlayer() {
  if (m_Player) return;
  m_Player = std::make_unique<TVLmPlay>(nullptr);
  m_Player->SetParentWindow(m_Window);
  m_Player->SetBounds(kVideoWidth + 2 * kMargin, kMargin, kPlayerWidth, kPlayerHeight);
  m_Player->SetAppearance(vlmLowered);
  m_Player->SetOnSnapshot([this](TObject*, UINT_PTR image, bool&) { SaveClipSnapshot(image); });
  m_Player->SetOnEnd([this](TObject*) {
    m_Player->StartFrom(0.0);
    m_Player->Start(vlmVideoStretch, 1.0);
  });
}

// Plays the clip beside the preview, in a loop.
void Demo::StartPlayer() {
  PlacePlayer();
  if (!m_Player->Open(m_Options.Clip)) {
    std::fwprintf(stderr, L"Cannot play %ls: error %d\n", m_Options.Clip.c_str(), m_Player->ErrorStatus());
    m_Player.reset();
    return;
  }
  std::wprintf(L"Clip: %ldx%ld, %.2f frames per second, %.2f s\n", m_Player->VideoSize().cx, m_Player->VideoSize().cy,
               m_Player->FrameRate(), m_Player->Duration());
  if (!m_Player->Start(vlmVideoStretch, 1.0))
    std::fwprintf(stderr, L"Cannot start the clip: error %d\n", m_Player->ErrorStatus());
}

void Demo::SaveClipSnapshot(UINT_PTR ImageHandle) {
  const auto block = reinterpret_cast<HGLOBAL>(ImageHandle);
  const void* dib = GlobalLock(block);
  if (!dib) return;
  const std::wstring path = m_Options.Output + L"\\clip-snapshot-" + std::to_wstring(++m_ClipSnapshots) + L".bmp";
  if (WriteBitmapFile(path, dib, GlobalSize(block))) std::wprintf(L"Clip snapshot: %ls\n", path.c_str());
  GlobalUnlock(block);
}

bool Demo::StartRecording() {
  if (m_Recorder) return true;
  RECT bounds{kMargin, kMargin, kMargin + kVideoWidth, kMargin + kVideoHeight};
  if (m_Preview) {
    m_Preview->Close();
    m_Preview->SetVisible(false);
  }
  // The recorder opens the device anew (a lost test camera is a working one once reopened).
  m_Lost = false;
  m_Recorder = std::make_unique<TVLmRecord>(nullptr);
  m_Recorder->SetParentWindow(m_Window);
  m_Recorder->SetBounds(bounds.left, bounds.top, bounds.right - bounds.left, bounds.bottom - bounds.top);
  m_Recorder->SetAppearance(vlmLowered);
  m_Recorder->SetFormat(vlmAvi);
  bool started = m_Recorder->Open(RecordingPath(), m_Device);
  // A smaller picture at 15 frames per second, where the device has one, keeps the file small.
  const int32_t small = started ? FindFormat(*m_Recorder, kRecordingWidth, kRecordingHeight, false) : -1;
  if (small >= 0) {
    m_Recorder->SetFrameRate(kRecordingFrameRate);
    started = m_Recorder->SetStreamFormat(small);
  }
  if (!started || !m_Recorder->Start(m_Mode)) {
    std::fwprintf(stderr, L"Cannot record into %ls: error %d\n", RecordingPath().c_str(), m_Recorder->ErrorStatus());
    m_Recorder.reset();
    return false;
  }
  std::wprintf(L"Recording %ldx%ld at %.2f frames per second into %ls\n", m_Recorder->VideoSize().cx,
               m_Recorder->VideoSize().cy, m_Recorder->FrameRate(), RecordingPath().c_str());
  return true;
}

// Stops and closes the recorder, which completes the file, and gives the preview its device
// and place back.
bool Demo::StopRecording() {
  if (!m_Recorder) return false;
  const bool stopped = m_Recorder->Stop() && m_Recorder->Close();
  if (!stopped) std::fwprintf(stderr, L"Stopping the recording failed: error %d\n", m_Recorder->ErrorStatus());
  m_Recorder.reset();
  std::wprintf(L"Recording: %ls\n", RecordingPath().c_str());
  if (m_Preview) {
    m_Preview->SetVisible(true);
    if (!m_Preview->Open(m_Device) || !m_Preview->Start(m_Mode))
      std::fwprintf(stderr, L"Cannot preview again: error %d\n", m_Preview->ErrorStatus());
  }
  return stopped;
}

// Plays the recording beside the preview, in place of the clip.
void Demo::PlayRecording() {
  PlacePlayer();
  m_Player->Close();
  if (!m_Player->Open(RecordingPath()) || !m_Player->Start(vlmVideoStretch, 1.0)) {
    std::fwprintf(stderr, L"Cannot play %ls: error %d\n", RecordingPath().c_str(), m_Player->ErrorStatus());
    return;
  }
  std::wprintf(L"Playing the recording: %ldx%ld, %.2f frames per second, %.2f s\n", m_Player->VideoSize().cx,
               m_Player->VideoSize().cy, m_Player->FrameRate(), m_Player->Duration());
}

// The identity of the camera just opened (m_Device), to reopen it by when it was lost.
void Demo::RememberDevice() {
  const TStringList* paths = m_Preview->VideoDevicePaths();
  m_DevicePath = m_Device >= 0 && m_Device < paths->Count() ? (*paths)[m_Device] : std::wstring();
  m_Lost = false;
  std::wprintf(L"Device path: %ls\n", m_DevicePath.c_str());
}

void Demo::SetStatus(const std::wstring& Text) {
  if (m_Status) SetWindowTextW(m_Status, Text.c_str());
}

// OnDeviceLost: the preview has stopped, with error 204; wait for the camera to come back.
void Demo::CameraLost() {
  m_Lost = true;
  std::wprintf(L"Camera lost: error %d, state %u\n", m_Preview->ErrorStatus(), m_Preview->State().Value());
  SetStatus(L"The camera was lost (error " + std::to_wstring(m_Preview->ErrorStatus()) +
            L"). It reopens when it is back (G plugs the test camera back).");
}

// OnVideoDevicesChange: when the lost camera is listed again, reopen it (after this event).
void Demo::DevicesChanged() {
  const bool listed = m_Preview->VideoDevicePaths()->IndexOf(m_DevicePath) >= 0;
  std::wprintf(L"Device list changed: %d devices, the camera %ls listed\n", m_Preview->VideoDevices()->Count(),
               listed ? L"is" : L"is not");
  if (m_Lost && listed) PostMessageW(m_Window, WM_DEMO_REOPEN, 0, 0);
}

void Demo::UnplugCamera() {
  if (!m_Controller &&
      FAILED(CoCreateInstance(CLSID_LmTestCameraController, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&m_Controller)))) {
    std::fwprintf(stderr, L"The test camera's controller is not registered\n");
    return;
  }
  std::wprintf(L"Unplugging the test camera\n");
  if (m_Controller->Unplug() != S_OK) std::wprintf(L"No test camera is open\n");
}

void Demo::ReplugCamera() {
  if (!m_Controller) return;
  std::wprintf(L"Plugging the test camera back\n");
  m_Controller->Replug();
  // The camera's "available again" reaches the preview as a device-list change; without one,
  // the timer reopens it.
  SetTimer(m_Window, kReplugTimer, kReplugWaitMs, nullptr);
}

bool Demo::ReopenCamera(const wchar_t* Why) {
  if (!m_Lost) return true;
  // The lost device is still open (stopped): close it, then open the camera by its path.
  m_Preview->Close();
  bool opened = m_Preview->OpenDevice(m_DevicePath);
  // The picture size chosen at the start, again.
  const int32_t chosen = opened ? FindFormat(*m_Preview, kVideoWidth, kVideoHeight, false, m_Options.Format) : -1;
  if (chosen >= 0) opened = m_Preview->SetStreamFormat(chosen);
  if (!opened || !m_Preview->Start(m_Mode)) {
    std::fwprintf(stderr, L"Cannot reopen the camera: error %d\n", m_Preview->ErrorStatus());
    return false;
  }
  m_Lost = false;
  ++m_Reopened;
  std::wprintf(L"Camera reopened by its path %ls\n", Why);
  SetStatus(L"The camera is back.");
  ShowTitle();
  return true;
}

// The scripted run's unplug and replug: true when the loss was reported and the camera came
// back and delivers snapshots again.
bool Demo::ExerciseUnplug(const std::function<void(DWORD)>& Pump) {
  UnplugCamera();
  for (int waited = 0; waited < 60 && !m_Lost; ++waited) Pump(50);
  if (!m_Lost) {
    std::fwprintf(stderr, L"U: the preview did not report the loss\n");
    return false;
  }
  Pump(300);
  const std::wstring screenshot = m_Options.Output + L"\\screenshot-lost.bmp";
  if (SaveScreenshot(m_Window, screenshot)) std::wprintf(L"Screenshot: %ls\n", screenshot.c_str());
  ReplugCamera();
  for (int waited = 0; waited < 100 && m_Lost; ++waited) Pump(50);
  if (m_Lost) {
    std::fwprintf(stderr, L"G: the camera did not come back\n");
    return false;
  }
  const int before = m_Snapshots;
  RequestSnapshot();
  for (int waited = 0; waited < 100 && m_Snapshots == before; ++waited) Pump(50);
  const bool delivers = m_Snapshots > before;
  std::wprintf(L"Unplug and replug: %ls\n", delivers ? L"the camera was lost, came back and delivers again"
                                                      : L"no snapshot after the camera came back");
  return delivers;
}

void Demo::ChangeSetting(TVLmCameraSetting Setting, int Steps) {
  TLmCameraSettingRange range{};
  int32_t value = 0;
  bool automatic = false;
  if (!m_Preview->GetCameraSettingRange(Setting, range) || !m_Preview->GetCameraSetting(Setting, value, automatic)) {
    std::wprintf(L"Setting %d: not offered (error %d)\n", Setting, m_Preview->ErrorStatus());
    return;
  }
  const int32_t step = std::max(range.Step, (range.Max - range.Min) / 8);
  const int32_t wanted = std::clamp(value + Steps * step, range.Min, range.Max);
  if (!m_Preview->SetCameraSetting(Setting, wanted))
    std::fwprintf(stderr, L"SetCameraSetting %d to %d: error %d\n", Setting, wanted, m_Preview->ErrorStatus());
  ShowFigures();
}

void Demo::SettingToAuto(TVLmCameraSetting Setting) {
  if (!m_Preview->SetCameraSettingAuto(Setting))
    std::fwprintf(stderr, L"SetCameraSettingAuto %d: error %d\n", Setting, m_Preview->ErrorStatus());
  ShowFigures();
}

std::wstring Demo::SettingText(TVLmCameraSetting Setting, const wchar_t* Name) {
  int32_t value = 0;
  bool automatic = false;
  if (!m_Preview->GetCameraSetting(Setting, value, automatic)) return std::wstring(Name) + L" -";
  return std::wstring(Name) + L" " + std::to_wstring(value) + (automatic ? L" (auto)" : L"");
}

void Demo::CountFrame(const TLmFrame& Frame) {
  ++m_Frames;
  m_Dropped += Frame.Dropped;
  m_DroppedTotal += Frame.Dropped;
  // Intervals between frames that follow each other, by the times the source stamped.
  m_SampleTimes = Frame.SampleTime >= 0;
  const int64_t time = m_SampleTimes ? Frame.SampleTime : Frame.ArrivalTime;
  if (m_LastTime >= 0 && Frame.Dropped == 0 && time > m_LastTime) {
    const double interval = (time - m_LastTime) / 10000.0;
    m_IntervalSum += interval;
    m_IntervalSquares += interval * interval;
    ++m_Intervals;
  }
  m_LastTime = time;
}

void Demo::ShowFigures() {
  if (!m_Figures || !m_Preview) return;
  const DWORD now = GetTickCount();
  const double seconds = (now - m_FiguresSince) / 1000.0;
  std::wstring text = SettingText(vlmBrightness, L"Brightness") + L", " + SettingText(vlmExposure, L"Exposure") + L", " +
                      SettingText(vlmZoom, L"Zoom") + L"\n";
  std::wostringstream line;
  line.setf(std::ios::fixed);
  if (m_Frames > 0 && seconds > 0) {
    const double mean = m_Intervals ? m_IntervalSum / m_Intervals : 0;
    const double jitter = m_Intervals ? std::sqrt(std::max(0.0, m_IntervalSquares / m_Intervals - mean * mean)) : 0;
    line << std::setprecision(1) << L"Frames " << m_Frames / seconds << L"/s, " << m_Dropped << L" dropped ("
         << m_DroppedTotal << L" in all), " << (m_SampleTimes ? L"sample-time" : L"arrival") << L" jitter "
         << std::setprecision(2) << jitter << L" ms";
  } else {
    line << L"Frames: none";
  }
  text += line.str();
  SetWindowTextW(m_Figures, text.c_str());
  m_Frames = m_Dropped = m_Intervals = 0;
  m_IntervalSum = m_IntervalSquares = 0;
  m_FiguresSince = now;
}

bool Demo::SnapshotNow(const std::function<void(DWORD)>& Pump, const std::wstring& What) {
  Pump(500);  // a new setting shows from the next frames
  const int before = m_Snapshots;
  RequestSnapshot();
  for (int waited = 0; waited < 100 && m_Snapshots == before; ++waited) Pump(50);
  if (m_Snapshots == before) {
    std::fwprintf(stderr, L"No snapshot at %ls\n", What.c_str());
    return false;
  }
  std::wprintf(L"  that was %ls\n", What.c_str());
  return true;
}

bool Demo::SnapshotSettings(const std::function<void(DWORD)>& Pump) {
  TLmCameraSettingRange brightness{}, zoom{};
  if (!m_Preview->GetCameraSettingRange(vlmBrightness, brightness) || !m_Preview->GetCameraSettingRange(vlmZoom, zoom)) {
    std::fwprintf(stderr, L"The camera offers no brightness or zoom: error %d\n", m_Preview->ErrorStatus());
    return false;
  }
  const std::wstring before = m_Preview->CameraSettings();
  bool all = true;
  for (const int32_t value : {brightness.Min + (brightness.Max - brightness.Min) / 4,
                              brightness.Max - (brightness.Max - brightness.Min) / 4}) {
    const bool set = m_Preview->SetCameraSetting(vlmBrightness, value);
    all = set && SnapshotNow(Pump, L"brightness " + std::to_wstring(value)) && all;
  }
  m_Preview->SetCameraSettings(before);
  for (const int32_t value : {zoom.Min, zoom.Min + (zoom.Max - zoom.Min) / 2}) {
    const bool set = m_Preview->SetCameraSetting(vlmZoom, value);
    all = set && SnapshotNow(Pump, L"zoom " + std::to_wstring(value)) && all;
  }
  std::wprintf(L"Camera settings (CameraSettings):\n%ls", m_Preview->CameraSettings().c_str());
  // Back to what the camera had.
  if (!m_Preview->SetCameraSettings(before)) all = false;
  ShowFigures();
  return all;
}

void Demo::RequestSnapshot() {
  if (!m_Preview->TakeSnapshot())
    std::fwprintf(stderr, L"TakeSnapshot failed: error %d\n", m_Preview->ErrorStatus());
}

bool Demo::CreateMainWindow() {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = &Demo::WindowProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = kWindowClass;
  RegisterClassExW(&wc);
  // Room for the player: the clip, and the recordings.
  const int playerRoom = kPlayerWidth + kMargin;
  RECT rect{0, 0, kVideoWidth + 2 * kMargin + playerRoom, kVideoHeight + 2 * kMargin};
  const DWORD style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
  AdjustWindowRect(&rect, style, FALSE);
  m_Window = CreateWindowExW(0, kWindowClass, L"Lumora WebCamera demo", style, 40, 40,
                             rect.right - rect.left, rect.bottom - rect.top, nullptr, nullptr, wc.hInstance, this);
  if (!m_Window) return false;
  // The line of text, under the player.
  m_Status = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, kVideoWidth + 2 * kMargin,
                             kPlayerHeight + 2 * kMargin, kPlayerWidth, kStatusHeight, m_Window, nullptr,
                             wc.hInstance, nullptr);
  if (m_Status) SendMessageW(m_Status, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
  // The settings and the frame stream's figures, under it.
  m_Figures = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, kVideoWidth + 2 * kMargin,
                              kPlayerHeight + 3 * kMargin + kStatusHeight, kPlayerWidth, kFiguresHeight, m_Window,
                              nullptr, wc.hInstance, nullptr);
  if (m_Figures) SendMessageW(m_Figures, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
  SetTimer(m_Window, kFiguresTimer, kFiguresIntervalMs, nullptr);
  return true;
}

LRESULT CALLBACK Demo::WindowProc(HWND Window, UINT Msg, WPARAM WParam, LPARAM LParam) {
  if (Msg == WM_NCCREATE)
    SetWindowLongPtrW(Window, GWLP_USERDATA,
                      reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(LParam)->lpCreateParams));
  auto* demo = reinterpret_cast<Demo*>(GetWindowLongPtrW(Window, GWLP_USERDATA));
  switch (Msg) {
    case WM_KEYDOWN:
      if (demo && WParam == 'R') {
        if (!demo->m_Recorder)
          demo->StartRecording();
        else if (demo->StopRecording())
          demo->PlayRecording();
      }
      if (demo && demo->m_Recorder) return 0;  // the preview is closed while recording
      // A lost camera cannot run: until it is back, only G (or another camera, C) helps.
      if (demo && demo->m_Lost && WParam != 'G' && WParam != 'C') return 0;
      if (demo && demo->m_Preview && WParam == 'U') demo->UnplugCamera();
      if (demo && demo->m_Preview && WParam == 'G') demo->ReplugCamera();
      if (demo && demo->m_Preview && WParam == 'S') demo->RequestSnapshot();
      if (demo && demo->m_Preview && WParam == 'F') demo->m_Preview->ShowFilterDialog();
      if (demo && demo->m_Preview && WParam == 'P') {
        // The pin's format pages: stop first, so that the chosen format can be applied.
        const bool running = demo->m_Preview->State().Contains(vlmVideoStarted);
        if (running) demo->m_Preview->Stop();
        demo->m_Preview->ShowCapturePinDialog();
        if (running) demo->m_Preview->Start(demo->m_Mode);
      }
      if (demo && demo->m_Preview && WParam == 'B') demo->ChangeSetting(vlmBrightness, 1);
      if (demo && demo->m_Preview && WParam == 'D') demo->ChangeSetting(vlmBrightness, -1);
      if (demo && demo->m_Preview && WParam == 'E') demo->ChangeSetting(vlmExposure, 1);
      if (demo && demo->m_Preview && WParam == 'W') demo->ChangeSetting(vlmExposure, -1);
      if (demo && demo->m_Preview && WParam == 'A') demo->SettingToAuto(vlmExposure);
      if (demo && demo->m_Preview && WParam == 'Z') demo->ChangeSetting(vlmZoom, 1);
      if (demo && demo->m_Preview && WParam == 'X') demo->ChangeSetting(vlmZoom, -1);
      if (demo && demo->m_Preview && WParam == 'C') demo->NextCamera();
      if (demo && demo->m_Preview && WParam == 'N') demo->NextFormat();
      if (demo && demo->m_Preview && WParam == 'M') {
        demo->m_Mode = demo->m_Mode == vlmVideoStretch ? vlmVideoScale : vlmVideoStretch;
        demo->m_Preview->Stop();
        demo->m_Preview->Start(demo->m_Mode);
      }
      return 0;
    case WM_SIZE:
      if (demo && demo->m_Preview) {
        const int playerRoom = kPlayerWidth + kMargin;
        const int width = LOWORD(LParam) - 2 * kMargin - playerRoom;
        demo->m_Preview->SetBounds(kMargin, kMargin, width, HIWORD(LParam) - 2 * kMargin);
        if (demo->m_Recorder) demo->m_Recorder->SetBounds(kMargin, kMargin, width, HIWORD(LParam) - 2 * kMargin);
        if (demo->m_Player) demo->m_Player->SetBounds(width + 2 * kMargin, kMargin, kPlayerWidth, kPlayerHeight);
      }
      return 0;
    case WM_DEMO_REOPEN:
      if (demo) demo->ReopenCamera(L"on OnVideoDevicesChange");
      return 0;
    case WM_TIMER:
      if (demo && WParam == kFiguresTimer) demo->ShowFigures();
      if (demo && WParam == kReplugTimer) {
        KillTimer(Window, kReplugTimer);
        demo->ReopenCamera(L"after Replug (no device-list change came)");
      }
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(Window, Msg, WParam, LParam);
  }
}

int Demo::Run() {
  m_Preview = std::make_unique<TVLmPreview>(nullptr);
  TStringList* devices = m_Preview->VideoDevices();
  std::wprintf(L"Video capture devices: %d\n", devices->Count());
  for (int i = 0; i < devices->Count(); ++i) std::wprintf(L"  %d: %ls\n", i, (*devices)[i].c_str());
  if (devices->Count() == 0) {
    std::wprintf(L"No device to preview (error %d).\n", m_Preview->ErrorStatus());
    return 0;
  }

  if (!CreateMainWindow()) return 1;
  m_Preview->SetParentWindow(m_Window);
  m_Preview->SetBounds(kMargin, kMargin, kVideoWidth, kVideoHeight);
  m_Preview->SetAppearance(vlmLowered);
  m_Preview->SetOnSnapshot([this](TObject*, UINT_PTR image, bool&) { SaveSnapshot(image); });
  m_Preview->SetOnDeviceLost([this](TObject*) { CameraLost(); });
  m_Preview->SetOnVideoDevicesChange([this](TObject*) { DevicesChanged(); });
  // Every newest frame on this thread, as the camera sends it: counted, not converted.
  m_Preview->SetFrameFormat(vlmFrameNative);
  m_Preview->SetOnFrame([this](TObject*, const TLmFrame& Frame) { CountFrame(Frame); });
  m_FiguresSince = GetTickCount();

  const int device = m_Device = ChooseDevice();
  std::wprintf(L"Opening %d: %ls\n", device, device >= 0 && device < devices->Count() ? (*devices)[device].c_str() : L"?");
  if (!m_Preview->Open(device)) {
    std::fwprintf(stderr, L"Open failed: error %d\n", m_Preview->ErrorStatus());
    return 1;
  }
  RememberDevice();
  SetStatus(L"U unplugs the test camera, G plugs it back.");
  SelectFormat();
  std::wprintf(L"Format: %ls, %.2f frames per second\n", FormatName(*m_Preview, -1).c_str(), m_Preview->FrameRate());
  ShowTitle();
  ShowWindow(m_Window, SW_SHOWNORMAL);
  if (!m_Options.Clip.empty()) StartPlayer();
  if (!m_Preview->Start(m_Mode)) {
    std::fwprintf(stderr, L"Start failed: error %d\n", m_Preview->ErrorStatus());
    return 1;
  }

  int status = 0;
  if (m_Options.Scripted) {
    const auto pump = [](DWORD milliseconds) {
      const DWORD start = GetTickCount();
      MSG msg;
      while (GetTickCount() - start < milliseconds) {
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
          TranslateMessage(&msg);
          DispatchMessageW(&msg);
        }
        Sleep(10);
      }
    };
    pump(2000);
    RequestSnapshot();
    if (m_Player && !m_Player->TakeSnapshot())
      std::fwprintf(stderr, L"Clip TakeSnapshot failed: error %d\n", m_Player->ErrorStatus());
    for (int waited = 0; waited < 100 && (m_Snapshots == 0 || (m_Player && m_ClipSnapshots == 0)); ++waited) pump(50);
    const std::wstring screenshot = m_Options.Output + L"\\screenshot.bmp";
    if (SaveScreenshot(m_Window, screenshot))
      std::wprintf(L"Screenshot: %ls\n", screenshot.c_str());
    else
      status = 1;
    if (m_Snapshots == 0) {
      std::fwprintf(stderr, L"No snapshot arrived\n");
      status = 1;
    }
    // U, then G, once: the loss shows, and the camera comes back by its path.
    if (!ExerciseUnplug(pump)) status = 1;
    // Record a few seconds, then play the recording and keep a picture of it.
    if (StartRecording()) {
      pump(kScriptedRecordingMs);
      if (StopRecording()) {
        PlayRecording();
        pump(1000);
        const int before = m_ClipSnapshots;
        if (m_Player && m_Player->TakeSnapshot())
          for (int waited = 0; waited < 100 && m_ClipSnapshots == before; ++waited) pump(50);
        if (m_ClipSnapshots == before) {
          std::fwprintf(stderr, L"No snapshot of the recording arrived\n");
          status = 1;
        }
      } else {
        status = 1;
      }
    } else {
      status = 1;
    }
    if (!SnapshotEveryFormatOfTheUsbCamera(pump)) status = 1;
    if (m_Preview->VideoDevices()->IndexOf(kUsbCamera) == m_Device && !SnapshotSettings(pump)) status = 1;
    pump(1200);  // the figures line's next second, and the picture at the restored settings
    const std::wstring figures = m_Options.Output + L"\\screenshot-figures.bmp";
    if (SaveScreenshot(m_Window, figures)) std::wprintf(L"Screenshot: %ls\n", figures.c_str());
    DestroyWindow(m_Window);
  } else {
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  if (m_Recorder) StopRecording();
  if (m_Player) m_Player->Close();
  m_Player.reset();
  m_Preview->Close();
  m_Preview.reset();
  return status;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
    std::fwprintf(stderr, L"COM could not be initialised\n");
    return 1;
  }
  int status = 0;
  {
    Demo demo(ParseOptions(argc, argv));
    status = demo.Run();
  }
  CoUninitialize();
  return status;
}
