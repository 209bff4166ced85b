// A benchmark that prints figures and checks nothing:
//
//   1. snapshot latency of the live preview control TVLmPreview, from TakeSnapshot to
//      OnSnapshot, at 640x480 and 30 frames per second on the project's test camera (RGB24);
//   2. the same latency for a minimal hand-written DirectShow program on the same kind of graph
//      (capture into a Sample Grabber fixed to RGB24 and a Null Renderer, preview rendered
//      too), from arming the grabber's buffer callback to its first BufferCB;
//   3. the test camera's cost at 1280x720: delivered frames per second and process CPU time
//      per delivered frame for requested rates of 60, 30 and 15 frames per second;
//   4. 1 and 2 on the UVC test camera, whose formats are those of a USB camera: YUY2 1280x720
//      (10 fps), MJPG 1920x1080 and NV12 1280x720 (30 fps), decoding and conversion included;
//   5. the process CPU time per frame of a running preview with no snapshot asked for,
//      TVLmPreview beside hand-written graphs with and without an idle capture branch;
//   6. open to first picture, and a switch to another format, for both programs.
//
//   LmSnapshotBenchmark.exe [--snapshots N] [--seconds S] [--runs R] [--only M]
//
// --snapshots: snapshots per latency series (default 100); --seconds: length of each camera
// run in measurements 3 and 5 (default 3); --runs: opens and switches each way per program in
// measurement 6 (default 5); --only: run measurement M alone (1 or 2 for 1-2). Between two snapshots the program waits a random part of a frame
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
#include "benchmarks/MachineInfo.h"
#include "benchmarks/OpenAndSwitch.h"
#include "benchmarks/PreviewCost.h"
#include "benchmarks/SnapshotLatency.h"
#include "testcam/LmTestCam.h"

// The build type of the tree, from CMake; the camera and the libraries are built the same way.
#ifndef LM_BENCHMARK_BUILD_TYPE
#define LM_BENCHMARK_BUILD_TYPE L""
#endif

namespace {

using bench::CameraFormat;

constexpr wchar_t kHostClass[] = L"LmSnapshotBenchmarkHost";
// Where the pictures are shown in the host window: measurements 1-2 in a 640x480 view, those of
// the UVC camera at 1280x720, where its 1280x720 formats appear at their own size.
constexpr RECT kSmallView{0, 0, 640, 480};
constexpr RECT kFullView{0, 0, 1280, 720};

const CameraFormat kRgbPreview{kLmTestCameraName, MEDIASUBTYPE_RGB24, 640, 480, 30.0};
constexpr LONG kLoadWidth = 1280;
constexpr LONG kLoadHeight = 720;
constexpr double kLoadRates[] = {60.0, 30.0, 15.0};

const CameraFormat kYuy2Hd{kLmTestCameraUvcName, MEDIASUBTYPE_YUY2, 1280, 720, 10.0};
const CameraFormat kYuy2Vga{kLmTestCameraUvcName, MEDIASUBTYPE_YUY2, 640, 480, 30.0};
const CameraFormat kMjpgFullHd{kLmTestCameraUvcName, MEDIASUBTYPE_MJPG, 1920, 1080, 30.0};
const CameraFormat kMjpgHd{kLmTestCameraUvcName, MEDIASUBTYPE_MJPG, 1280, 720, 30.0};
const CameraFormat kNv12Hd{kLmTestCameraUvcName, MEDIASUBTYPE_NV12, 1280, 720, 30.0};

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

void PrintHeader(int Snapshots, DWORD LoadMs, int Runs) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  SYSTEMTIME now;
  GetLocalTime(&now);

  std::wprintf(L"Lumora snapshot benchmark, %04u-%02u-%02u %02u:%02u\n", now.wYear, now.wMonth, now.wDay, now.wHour,
               now.wMinute);
  bench::PrintMachineLines();
  std::wprintf(L"  performance counter     %.3f MHz\n", static_cast<double>(frequency.QuadPart) / 1e6);
  const std::wstring load = bench::HostLoadAverage();
  if (!load.empty()) std::wprintf(L"  host load average       %ls (1, 5, 15 min) at the start\n", load.c_str());
  const wchar_t* buildType = LM_BENCHMARK_BUILD_TYPE;
  std::wprintf(L"  build type              %ls\n", *buildType ? buildType : L"none (no optimisation flags)");
  std::wprintf(L"  cameras                 %ls (1-3), %ls (4-6)\n", kLmTestCameraName, kLmTestCameraUvcName);
  std::wprintf(L"  snapshots per series    %d, after a 1000 ms warm-up, each requested at a random phase\n", Snapshots);
  std::wprintf(L"  camera runs             %lu ms per requested rate (3), per program (5)\n", LoadMs);
  std::wprintf(L"  opens and switches      %d per program and row (6)\n\n", Runs);
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
  int Runs = 0;
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

bool RunUvcLatency(const Settings& S, std::mt19937& Random) {
  std::wprintf(L"4. Snapshot latency on the UVC test camera, decoding included, measured as in 1-2 (picture\n"
               L"   shown at 1280x720). YUY2 and MJPG reach both grabbers as RGB24 through the AVI Decompressor\n"
               L"   and the test decoder, so every frame is decoded (twice: preview and capture branch); NV12 has\n"
               L"   no converter, so both grabbers take NV12 and only the requested frame is converted (the\n"
               L"   control's fallback; the hand-written program with the same converter, on the GUI thread).\n\n");
  std::fflush(stdout);
  bool ran = true;
  const CameraFormat formats[] = {kYuy2Hd, kMjpgFullHd, kNv12Hd};
  for (size_t i = 0; i < std::size(formats); ++i) {
    const bench::LatencyPlan plan{S.Host, kFullView, formats[i], S.Snapshots};
    const bench::LatencySeries control = bench::MeasureControlLatency(plan, Random);
    const bench::LatencySeries raw = bench::MeasureRawLatency(plan, Random);
    std::wprintf(L"4%lc. %ls at %.0f fps (frame interval %.1f ms)\n\n", static_cast<wint_t>(L'a' + i),
                 bench::FormatText(formats[i]).c_str(), formats[i].Rate, 1000.0 / formats[i].Rate);
    bench::PrintLatencyTable(control, raw, formats[i].Rate);
    std::fflush(stdout);
    ran = ran && control.Ran && raw.Ran;
  }
  return ran;
}

bool RunPreviewCost(const Settings& S) {
  std::vector<bench::CostRow> rows;
  for (const CameraFormat& format : {kMjpgHd, kNv12Hd})
    rows.push_back(bench::MeasurePreviewCost(S.Host, kFullView, format, S.LoadMs));
  bench::PrintPreviewCost(rows, S.LoadMs);
  return std::all_of(rows.begin(), rows.end(), [](const bench::CostRow& Row) {
    return Row.Control.Ran && Row.PreviewOnly.Ran && Row.WithGrabber.Ran;
  });
}

bool RunOpenAndSwitch(const Settings& S) {
  std::vector<bench::OpenRow> opens;
  for (const CameraFormat& format : {kYuy2Vga, kMjpgFullHd, kNv12Hd})
    opens.push_back(bench::MeasureOpen(S.Host, kFullView, format, S.Runs));
  std::vector<bench::SwitchRow> switches;
  for (const auto& [a, b] : {std::pair{kMjpgFullHd, kYuy2Vga}, std::pair{kMjpgHd, kNv12Hd}}) {
    const std::vector<bench::SwitchRow> rows = bench::MeasureSwitch(S.Host, kFullView, a, b, S.Runs);
    switches.insert(switches.end(), rows.begin(), rows.end());
  }
  bench::PrintOpenAndSwitch(opens, switches, kFullView);
  const auto complete = [](const bench::TimingSeries& Series) { return Series.Failure.empty(); };
  const auto openComplete = [&](const bench::OpenRow& Row) { return complete(Row.Control) && complete(Row.Raw); };
  const auto switchComplete = [&](const bench::SwitchRow& Row) { return complete(Row.Control) && complete(Row.Raw); };
  return std::all_of(opens.begin(), opens.end(), openComplete) &&
         std::all_of(switches.begin(), switches.end(), switchComplete);
}

int Run(int argc, wchar_t** argv) {
  Settings settings;
  settings.Snapshots = ParseInt(argc, argv, L"--snapshots", 100);
  settings.LoadMs = static_cast<DWORD>(ParseInt(argc, argv, L"--seconds", 3)) * 1000;
  settings.Runs = ParseInt(argc, argv, L"--runs", 5);
  const int only = ParseInt(argc, argv, L"--only", 0);
  const auto wanted = [only](int First, int Last) { return only == 0 || (only >= First && only <= Last); };
  PrintHeader(settings.Snapshots, settings.LoadMs, settings.Runs);
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
  measure(wanted(4, 4), [&] { return RunUvcLatency(settings, random); });
  measure(wanted(5, 5), [&] { return RunPreviewCost(settings); });
  measure(wanted(6, 6), [&] { return RunOpenAndSwitch(settings); });

  DestroyWindow(settings.Host);
  bench::DispatchPending();
  const std::wstring load = bench::HostLoadAverage();
  if (!load.empty()) std::wprintf(L"host load average %ls (1, 5, 15 min) at the end\n", load.c_str());
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
