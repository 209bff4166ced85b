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
// recording; closing the window ends the demo. --scripted runs a short session unattended: it
// previews for two seconds, saves a snapshot and a screenshot of the window into DIR, records
// three seconds, plays the recording, saves a snapshot of it; then, when the UVC test camera
// is there, previews it in YUY2, MJPG and NV12 and saves a snapshot of each; it prints the
// paths and exits.

#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "examples/DemoFiles.h"
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
  SelectFormat();
  if (!m_Preview->Start(m_Mode)) std::fwprintf(stderr, L"Start failed: error %d\n", m_Preview->ErrorStatus());
  ShowTitle();
}

void Demo::ShowTitle() {
  const TStringList* devices = m_Preview->VideoDevices();
  std::wstring title = L"Lumora WebCamera demo - ";
  if (m_Device >= 0 && m_Device < devices->Count()) title += (*devices)[m_Device] + L", ";
  title += FormatName(*m_Preview, -1) + L" - S snapshot, M stretch/scale, C camera, N format, F/P pages, R record";
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
  return m_Window != nullptr;
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
      if (demo && demo->m_Preview && WParam == 'S') demo->RequestSnapshot();
      if (demo && demo->m_Preview && WParam == 'F') demo->m_Preview->ShowFilterDialog();
      if (demo && demo->m_Preview && WParam == 'P') {
        // The pin's format pages: stop first, so that the chosen format can be applied.
        const bool running = demo->m_Preview->State().Contains(vlmVideoStarted);
        if (running) demo->m_Preview->Stop();
        demo->m_Preview->ShowCapturePinDialog();
        if (running) demo->m_Preview->Start(demo->m_Mode);
      }
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

  const int device = m_Device = ChooseDevice();
  std::wprintf(L"Opening %d: %ls\n", device, device >= 0 && device < devices->Count() ? (*devices)[device].c_str() : L"?");
  if (!m_Preview->Open(device)) {
    std::fwprintf(stderr, L"Open failed: error %d\n", m_Preview->ErrorStatus());
    return 1;
  }
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
