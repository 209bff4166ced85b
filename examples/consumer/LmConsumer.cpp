// An application built against the installed package: it lists the video capture devices,
// previews the first one in a window of its own and saves a snapshot of it as a BMP file,
// changes and restores its settings and counts its frames for a second;
// given --record, it records the camera into an AVI file for two seconds, and given --play, it
// plays a video file to its end. It exits with 0 when every step succeeded.
//
//   LmConsumer.exe [--snapshot FILE.bmp] [--record FILE.avi] [--play FILE]

#include <windows.h>

#include <objbase.h>

#include <cstdio>
#include <string>

#include "Examples.h"
#include "webcam/LmWebCamera.h"

namespace {

constexpr DWORD kRecordingMs = 2000;
constexpr DWORD kFramesMs = 1000;

struct Options {
  std::wstring Snapshot = L"snapshot.bmp";
  std::wstring Recording;
  std::wstring Playback;
};

Options ParseOptions(int argc, wchar_t** argv) {
  Options options;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::wstring name = argv[i];
    if (name == L"--snapshot") options.Snapshot = argv[i + 1];
    if (name == L"--record") options.Recording = argv[i + 1];
    if (name == L"--play") options.Playback = argv[i + 1];
  }
  return options;
}

// The application's own top-level window, in which the controls are placed.
HWND CreateMainWindow() {
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = DefWindowProcW;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = L"LmConsumerWindow";
  if (!RegisterClassW(&windowClass)) return nullptr;
  return CreateWindowExW(0, windowClass.lpszClassName, L"Lumora10 consumer", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                         CW_USEDEFAULT, CW_USEDEFAULT, 700, 300, nullptr, nullptr, windowClass.hInstance, nullptr);
}

// Prints the devices; false when there is none.
bool ListDevices() {
  TStringList* names = nullptr;  // a null list becomes a new list that the caller owns
  const int32_t count = EnumDevices(CLSID_VideoInputDeviceCategory, names);
  std::wprintf(L"%d video capture device(s)\n", count);
  for (int i = 0; names && i < names->Count(); ++i) std::wprintf(L"  %d: %ls\n", i, (*names)[i].c_str());
  delete names;
  return count > 0;
}

int Run(const Options& options) {
  HWND window = CreateMainWindow();
  if (!window) return 1;
  bool ok = ListDevices() && SaveSnapshotOfFirstCamera(window, options.Snapshot);
  if (ok) std::wprintf(L"snapshot: %ls\n", options.Snapshot.c_str());
  ok = ok && AdjustAndRestoreFirstCamera(window) && CountFramesOfFirstCamera(window, kFramesMs);
  if (ok && !options.Recording.empty()) {
    ok = RecordFirstCamera(window, options.Recording, kRecordingMs);
    if (ok) std::wprintf(L"recording: %ls\n", options.Recording.c_str());
  }
  if (ok && !options.Playback.empty()) {
    ok = PlayToEnd(window, options.Playback);
    if (ok) std::wprintf(L"played to the end: %ls\n", options.Playback.c_str());
  }
  DestroyWindow(window);
  return ok ? 0 : 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  // The application initialises COM on its GUI thread; the library never does.
  if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 1;
  const int status = Run(ParseOptions(argc, argv));
  CoUninitialize();
  std::fflush(stdout);
  return status;
}
