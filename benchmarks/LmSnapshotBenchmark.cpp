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
//   6. open to first picture, and a switch to another format, for both programs;
//   7. the per-frame cost of the frame stream (OnFrame) in Direct and Latest delivery, native and
//      32-bit RGB frames, beside a hand-written SampleCB and a hand-written BufferCB that posts
//      its frames to the GUI thread, on the UVC test camera in YUY2 and MJPG;
//   8. from the same runs, the delivery latency: the frame's ArrivalTime to the handler;
//   9. MJPG 1920x1080 at 30 fps: TVLmPreview with its idle capture branch beside the
//      hand-written preview alone and the hand-written preview with an RGB24 grabber;
//  10. a slow handler (50 ms) in Latest delivery for a long run: frames delivered and dropped,
//      and the process's private bytes at its start and end.
//
//   LmSnapshotBenchmark.exe [--snapshots N] [--seconds S] [--runs R] [--rounds R]
//                           [--slow-seconds S] [--only M,...]
//
// --snapshots: snapshots per latency series (default 100); --seconds: length of each camera
// run in measurements 3, 5, 7 and 9 (default 3); --runs: opens and switches each way per
// program in measurement 6 (default 5); --rounds: rounds of measurement 9 (default 3);
// --slow-seconds: length of each run of measurement 10 (default 60); --only: run only the
// measurements listed, by number or name (see kMeasurements below; 1 or 2 run 1-2, 7 or 8 run
// 7-8). Between two snapshots the program waits a random part of a frame interval, so that
// requests fall at every phase of the camera's frame clock instead of always just after a
// frame.
//
// Latencies are read with QueryPerformanceCounter on the GUI thread, which pumps its messages
// while it waits. CPU time is the process's user + kernel time (GetProcessTimes); under Wine
// the wineserver's own time is not in it.

#include <windows.h>

#include <dshow.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "benchmarks/BenchSupport.h"
#include "benchmarks/CameraLoad.h"
#include "benchmarks/FrameCost.h"
#include "benchmarks/FrameLatency.h"
#include "benchmarks/FullHdPreview.h"
#include "benchmarks/MachineInfo.h"
#include "benchmarks/OpenAndSwitch.h"
#include "benchmarks/PreviewCost.h"
#include "benchmarks/SlowHandler.h"
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
// The frame stream's formats (7-8), and the slow handler's (10) with how long it holds.
const CameraFormat kFrameFormats[] = {kYuy2Vga, kMjpgHd};
constexpr DWORD kSlowHandlerMs = 50;

// The measurements, by number and by the name --only also takes; a group (1-2, 7-8) is measured
// together and runs when any of its numbers is asked for.
struct Measurement {
  int First;
  int Last;
  const wchar_t* Name;
};
constexpr Measurement kMeasurements[] = {
    {1, 2, L"snapshot"},  {3, 3, L"camera"},         {4, 4, L"uvc-snapshot"},  {5, 5, L"preview-cost"},
    {6, 6, L"open"},      {7, 8, L"frames"},         {9, 9, L"preview-1080p"}, {10, 10, L"slow-handler"}};

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
// Settings and printing

struct Settings {
  HWND Host = nullptr;
  int Snapshots = 0;
  DWORD LoadMs = 0;
  int Runs = 0;
  int Rounds = 0;
  DWORD SlowMs = 0;
};

void PrintHeader(const Settings& S) {
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
  std::wprintf(L"  cameras                 %ls (1-3), %ls (4-10)\n", kLmTestCameraName, kLmTestCameraUvcName);
  std::wprintf(L"  snapshots per series    %d, after a 1000 ms warm-up, each requested at a random phase\n", S.Snapshots);
  std::wprintf(L"  camera runs             %lu ms per requested rate (3), per program (5), per program and\n"
               L"                          delivery (7-8), per program and round (9)\n",
               S.LoadMs);
  std::wprintf(L"  opens and switches      %d per program and row (6)\n", S.Runs);
  std::wprintf(L"  rounds                  %d (9)\n", S.Rounds);
  std::wprintf(L"  slow handler            %lu ms per call, %lu ms per program (10)\n\n", kSlowHandlerMs, S.SlowMs);
}

int ParseInt(int argc, wchar_t** argv, const wchar_t* Name, int Default) {
  for (int i = 1; i + 1 < argc; ++i)
    if (std::wcscmp(argv[i], Name) == 0) return std::max(1, _wtoi(argv[i + 1]));
  return Default;
}

// The measurements that --only lists (numbers or names, separated by commas), each as the index
// of its group in kMeasurements; all of them without --only. False, with the unknown entry in
// Unknown, when an entry names none.
bool ParseOnly(int argc, wchar_t** argv, std::vector<bool>& Wanted, std::wstring& Unknown) {
  const wchar_t* list = nullptr;
  for (int i = 1; i + 1 < argc; ++i)
    if (std::wcscmp(argv[i], L"--only") == 0) list = argv[i + 1];
  Wanted.assign(std::size(kMeasurements), list == nullptr);
  if (!list) return true;
  const std::wstring text = list;
  for (size_t start = 0; start <= text.size();) {
    const size_t comma = std::min(text.find(L',', start), text.size());
    const std::wstring entry = text.substr(start, comma - start);
    start = comma + 1;
    if (entry.empty()) continue;
    const int number = _wtoi(entry.c_str());
    bool found = false;
    for (size_t m = 0; m < std::size(kMeasurements); ++m) {
      const Measurement& measurement = kMeasurements[m];
      if (entry == measurement.Name || (number >= measurement.First && number <= measurement.Last)) {
        Wanted[m] = true;
        found = true;
      }
    }
    if (!found) {
      Unknown = entry;
      return false;
    }
  }
  return true;
}

// ---------------------------------------------------------------------------------------------
// The measurements; each prints its figures and is true when every part of it ran.

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

bool RunFrames(const Settings& S) {
  std::vector<bench::FrameRow> rows;
  for (const CameraFormat& format : kFrameFormats) {
    const std::vector<bench::FrameRow> formatRows = bench::MeasureFrames(S.Host, format, S.LoadMs);
    rows.insert(rows.end(), formatRows.begin(), formatRows.end());
  }
  bench::PrintFrameCost(rows, S.LoadMs);
  bench::PrintFrameLatency(rows);
  return std::all_of(rows.begin(), rows.end(), [](const bench::FrameRow& Row) { return Row.Control.Ran && Row.Raw.Ran; });
}

bool RunFullHdPreview(const Settings& S) {
  const std::vector<bench::CostRow> rounds = bench::MeasureFullHdPreview(S.Host, kFullView, kMjpgFullHd, S.Rounds, S.LoadMs);
  bench::PrintFullHdPreview(rounds, kFullView, S.LoadMs);
  return std::all_of(rounds.begin(), rounds.end(), [](const bench::CostRow& Row) {
    return Row.Control.Ran && Row.PreviewOnly.Ran && Row.WithGrabber.Ran;
  });
}

bool RunSlowHandler(const Settings& S) {
  const bench::SlowRow row = bench::MeasureSlowHandler(S.Host, kFullView, kMjpgHd, kSlowHandlerMs, S.SlowMs);
  bench::PrintSlowHandler(row, S.SlowMs);
  return row.Control.Ran && row.Raw.Ran;
}

int Run(int argc, wchar_t** argv) {
  Settings settings;
  settings.Snapshots = ParseInt(argc, argv, L"--snapshots", 100);
  settings.LoadMs = static_cast<DWORD>(ParseInt(argc, argv, L"--seconds", 3)) * 1000;
  settings.Runs = ParseInt(argc, argv, L"--runs", 5);
  settings.Rounds = ParseInt(argc, argv, L"--rounds", 3);
  settings.SlowMs = static_cast<DWORD>(ParseInt(argc, argv, L"--slow-seconds", 60)) * 1000;
  std::vector<bool> wanted;
  std::wstring unknown;
  if (!ParseOnly(argc, argv, wanted, unknown)) {
    std::fwprintf(stderr, L"--only: no measurement \"%ls\"; the measurements are", unknown.c_str());
    for (const Measurement& m : kMeasurements) std::fwprintf(stderr, L" %d \"%ls\"", m.First, m.Name);
    std::fwprintf(stderr, L"\n");
    return 2;
  }
  PrintHeader(settings);
  std::fflush(stdout);

  settings.Host = CreateHostWindow();
  if (!settings.Host) {
    std::fwprintf(stderr, L"cannot create the host window\n");
    return 1;
  }
  std::mt19937 random(20240611);  // fixed seed: the same request phases on every run
  bool ran = true;
  // In the order of kMeasurements.
  const std::function<bool()> measurements[] = {[&] { return RunRgbLatency(settings, random); },
                                                [&] { return RunLoad(settings); },
                                                [&] { return RunUvcLatency(settings, random); },
                                                [&] { return RunPreviewCost(settings); },
                                                [&] { return RunOpenAndSwitch(settings); },
                                                [&] { return RunFrames(settings); },
                                                [&] { return RunFullHdPreview(settings); },
                                                [&] { return RunSlowHandler(settings); }};
  static_assert(std::size(measurements) == std::size(kMeasurements));
  for (size_t m = 0; m < std::size(measurements); ++m) {
    if (!wanted[m]) continue;
    ran = measurements[m]() && ran;
    std::fflush(stdout);
  }

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
