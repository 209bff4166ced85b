// A benchmark that prints figures and checks nothing:
//
//   1. snapshot latency of the live preview control TVLmPreview, from TakeSnapshot to
//      OnSnapshot, at 640x480 and 30 frames per second on the project's test camera (RGB24);
//   2. the same latency for a minimal hand-written DirectShow program on the same kind of graph
//      (capture into a Sample Grabber fixed to RGB24 and a Null Renderer, preview rendered
//      too), from arming the grabber's buffer callback to its first BufferCB;
//   3. the test camera's cost at 1280x720: delivered frames per second and process CPU time
//      per delivered frame for requested rates of 60, 30 and 15 frames per second;
//
//   LmSnapshotBenchmark.exe [--snapshots N] [--seconds S] [--only M]
//
// --snapshots: snapshots per latency series (default 100); --seconds: length of each camera
// run in measurement 3 (default 3); --only: run measurement M alone (1 or 2 for 1-2). Between two snapshots the program waits a random part of a frame
// interval, so that requests fall at every phase of the camera's frame clock instead of always
// just after a frame.
//
// Latencies are read with QueryPerformanceCounter on the GUI thread, which pumps its messages
// while it waits. CPU time is the process's user + kernel time (GetProcessTimes); under Wine
// the wineserver's own time is not in it.

#include <windows.h>

#include <dshow.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <random>
#include <vector>

#include "benchmarks/BenchSupport.h"
#include "benchmarks/CameraLoad.h"
#include "benchmarks/SnapshotLatency.h"
#include "testcam/LmTestCam.h"

// The build type of the tree, from CMake; the camera and the libraries are built the same way.
#ifndef LM_BENCHMARK_BUILD_TYPE
#define LM_BENCHMARK_BUILD_TYPE L""
#endif

namespace {

using bench::CameraFormat;

constexpr wchar_t kHostClass[] = L"LmSnapshotBenchmarkHost";
// Where the pictures are shown in the host window.
constexpr RECT kSmallView{0, 0, 640, 480};
constexpr RECT kFullView{0, 0, 1280, 720};

const CameraFormat kRgbPreview{kLmTestCameraName, MEDIASUBTYPE_RGB24, 640, 480, 30.0};
constexpr LONG kLoadWidth = 1280;
constexpr LONG kLoadHeight = 720;
constexpr double kLoadRates[] = {60.0, 30.0, 15.0};

// ---------------------------------------------------------------------------------------------
// Host window

LRESULT CALLBACK HostProc(HWND Window, UINT Msg, WPARAM WParam, LPARAM LParam) {
  return DefWindowProcW(Window, Msg, WParam, LParam);
}

// A visible borderless top-level window at the screen's top-left corner whose client area holds
// the largest view, so that a picture shown at its own size is on the screen whole.
HWND CreateHostWindow() {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = &HostProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = kHostClass;
  RegisterClassExW(&wc);
  HWND window = CreateWindowExW(0, kHostClass, L"Lumora snapshot benchmark", WS_POPUP | WS_CLIPCHILDREN, 0, 0,
                                kFullView.right, kFullView.bottom, nullptr, nullptr, wc.hInstance, nullptr);
  if (window) ShowWindow(window, SW_SHOWNOACTIVATE);
  return window;
}

// ---------------------------------------------------------------------------------------------
// Printing

void PrintHeader(int Snapshots, DWORD LoadMs) {
  SYSTEM_INFO info{};
  GetNativeSystemInfo(&info);
  using VersionFunction = const char*(__cdecl*)();
  const auto wineVersion = reinterpret_cast<VersionFunction>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll"), "wine_get_version")));
  using HostVersionFunction = void(__cdecl*)(const char**, const char**);
  const auto hostVersion = reinterpret_cast<HostVersionFunction>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll"), "wine_get_host_version")));
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  SYSTEMTIME now;
  GetLocalTime(&now);

  std::wprintf(L"Lumora snapshot benchmark, %04u-%02u-%02u %02u:%02u\n", now.wYear, now.wMonth, now.wDay, now.wHour,
               now.wMinute);
  std::wprintf(L"  processors              %lu\n", info.dwNumberOfProcessors);
  if (wineVersion) {
    std::wprintf(L"  Wine                    %hs", wineVersion());
    const char* system = nullptr;
    const char* release = nullptr;
    if (hostVersion) hostVersion(&system, &release);
    if (system && release) std::wprintf(L" on %hs %hs", system, release);
    std::wprintf(L"\n");
  } else {
    std::wprintf(L"  Wine                    not present\n");
  }
  std::wprintf(L"  performance counter     %.3f MHz\n", static_cast<double>(frequency.QuadPart) / 1e6);
  const wchar_t* buildType = LM_BENCHMARK_BUILD_TYPE;
  std::wprintf(L"  build type              %ls\n", *buildType ? buildType : L"none (no optimisation flags)");
  std::wprintf(L"  camera                  %ls\n", kLmTestCameraName);
  std::wprintf(L"  snapshots per series    %d, after a 1000 ms warm-up, each requested at a random phase\n", Snapshots);
  std::wprintf(L"  camera runs             %lu ms per requested rate\n\n", LoadMs);
}

int ParseInt(int argc, wchar_t** argv, const wchar_t* Name, int Default) {
  for (int i = 1; i + 1 < argc; ++i)
    if (std::wcscmp(argv[i], Name) == 0) return std::max(1, _wtoi(argv[i + 1]));
  return Default;
}

// ---------------------------------------------------------------------------------------------
// The measurements; each prints its figures and is true when every part of it ran.

struct Settings {
  HWND Host = nullptr;
  int Snapshots = 0;
  DWORD LoadMs = 0;
};

bool RunRgbLatency(const Settings& S, std::mt19937& Random) {
  const bench::LatencyPlan plan{S.Host, kSmallView, kRgbPreview, S.Snapshots};
  const bench::LatencySeries control = bench::MeasureControlLatency(plan, Random);
  const bench::LatencySeries raw = bench::MeasureRawLatency(plan, Random);
  std::wprintf(L"1-2. Snapshot latency, 640x480 RGB24 at 30 fps (frame interval %.1f ms)\n", 1000.0 / kRgbPreview.Rate);
  std::wprintf(L"     TVLmPreview: TakeSnapshot -> OnSnapshot\n");
  std::wprintf(L"     hand-written graph: SetCallback(mode 1) -> first BufferCB seen by the GUI thread\n\n");
  bench::PrintLatencyTable(control, raw, kRgbPreview.Rate);
  return control.Ran && raw.Ran;
}

bool RunLoad(const Settings& S) {
  const double idleStartCpu = bench::ProcessCpuMs();
  const double idleStart = bench::NowMs();
  bench::PumpUntil(nullptr, 1000);
  const double idleCpuPerSecond = (bench::ProcessCpuMs() - idleStartCpu) / ((bench::NowMs() - idleStart) / 1000.0);
  std::vector<bench::LoadRow> rows;
  for (double rate : kLoadRates)
    rows.push_back(bench::MeasureLoad(CameraFormat{kLmTestCameraName, GUID_NULL, kLoadWidth, kLoadHeight, rate}, S.LoadMs));
  bench::PrintLoad(rows, idleCpuPerSecond, S.LoadMs, kLoadWidth, kLoadHeight);
  return std::all_of(rows.begin(), rows.end(), [](const bench::LoadRow& Row) { return Row.Ran; });
}

int Run(int argc, wchar_t** argv) {
  Settings settings;
  settings.Snapshots = ParseInt(argc, argv, L"--snapshots", 100);
  settings.LoadMs = static_cast<DWORD>(ParseInt(argc, argv, L"--seconds", 3)) * 1000;
  const int only = ParseInt(argc, argv, L"--only", 0);
  const auto wanted = [only](int First, int Last) { return only == 0 || (only >= First && only <= Last); };
  PrintHeader(settings.Snapshots, settings.LoadMs);
  std::fflush(stdout);

  settings.Host = CreateHostWindow();
  if (!settings.Host) {
    std::fwprintf(stderr, L"cannot create the host window\n");
    return 1;
  }
  std::mt19937 random(20240611);  // fixed seed: the same request phases on every run
  bool ran = true;
  const auto measure = [&](bool Wanted, auto Measurement) {
    if (!Wanted) return;
    ran = Measurement() && ran;
    std::fflush(stdout);
  };
  measure(wanted(1, 2), [&] { return RunRgbLatency(settings, random); });
  measure(wanted(3, 3), [&] { return RunLoad(settings); });

  DestroyWindow(settings.Host);
  bench::DispatchPending();
  return ran ? 0 : 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
    std::fwprintf(stderr, L"COM could not be initialised\n");
    return 1;
  }
  const int status = Run(argc, argv);
  CoUninitialize();
  return status;
}
