#include "benchmarks/FrameCost.h"

#include <cmath>
#include <cstdio>

#include "benchmarks/BenchSupport.h"
#include "benchmarks/FrameTally.h"
#include "benchmarks/PreviewCost.h"
#include "benchmarks/PreviewRig.h"
#include "benchmarks/RawFrames.h"
#include "benchmarks/RawProgram.h"

namespace bench {
namespace {

constexpr DWORD kWarmUpMs = 1000;
constexpr FrameMode kModes[] = {FrameMode::Idle, FrameMode::DirectNative, FrameMode::DirectRgb32,
                                FrameMode::LatestNative, FrameMode::LatestRgb32};

bool IsDirect(FrameMode Mode) { return Mode == FrameMode::DirectNative || Mode == FrameMode::DirectRgb32; }
bool IsRgb32(FrameMode Mode) { return Mode == FrameMode::DirectRgb32 || Mode == FrameMode::LatestRgb32; }

FrameRun Failed(const std::wstring& Why) {
  FrameRun run;
  run.Failure = Why;
  return run;
}

FrameRun FromCostRun(const CostRun& Cost) {
  FrameRun run;
  run.Ran = Cost.Ran;
  run.Failure = Cost.Failure;
  run.Seconds = Cost.Seconds;
  run.CpuMs = Cost.CpuMs;
  run.Frames = static_cast<uint64_t>(Cost.Frames);
  return run;
}

// The frames that reach Tally's handler over Milliseconds, after a warm-up.
FrameRun MeasureTallied(FrameTally& Tally, DWORD Milliseconds) {
  if (!WarmUp(Tally, kWarmUpMs)) return Failed(L"no frame reached the handler");
  FrameRun run;
  const FrameTally::Counts first = Tally.Read();
  const double firstCpu = ProcessCpuMs();
  const double firstTime = NowMs();
  Tally.Keep(true);
  PumpUntil(nullptr, Milliseconds);
  Tally.Keep(false);
  const FrameTally::Counts last = Tally.Read();
  run.CpuMs = ProcessCpuMs() - firstCpu;
  run.Seconds = (NowMs() - firstTime) / 1000.0;
  run.Frames = last.Delivered - first.Delivered;
  run.Dropped = last.Dropped - first.Dropped;
  run.LatencyMs = Tally.LatenciesMs();
  run.Ran = true;
  return run;
}

FrameRun MeasureControlFrames(HWND Host, const RECT& View, const CameraFormat& Format, FrameMode Mode,
                              DWORD Milliseconds) {
  if (Mode == FrameMode::Idle) return FromCostRun(MeasureControlCost(Host, View, Format, Milliseconds));
  FrameTally tally;  // outlives the control, which calls it until Stop
  PreviewRig preview(Host, View);
  preview.SetFrames(IsDirect(Mode) ? vlmFrameDirect : vlmFrameLatest, IsRgb32(Mode) ? vlmFrameRGB32 : vlmFrameNative,
                    [&tally](TObject*, const TLmFrame& Frame) {
                      tally.Handle(Frame.Data, Frame.Bytes, Frame.Stride, Frame.Height, Frame.ArrivalTime,
                                   Frame.Dropped);
                    });
  if (!preview.Open(Format.Camera) || !preview.SelectFormat(Format) || !preview.Start()) return Failed(preview.Failure);
  return MeasureTallied(tally, Milliseconds);
}

FrameRun MeasureRawFrames(HWND Host, const RECT& View, const CameraFormat& Format, FrameMode Mode,
                          DWORD Milliseconds) {
  RawProgramPlan plan;
  plan.Format = Format;
  plan.Owner = Host;
  plan.View = View;
  plan.NativeGrabber = true;
  if (Mode == FrameMode::Idle) return FromCostRun(MeasureRawCost(plan, Milliseconds));
  FrameTally tally;  // outlives the graph, whose grabber calls it until Stop
  RawProgram graph;
  if (!graph.Build(plan)) return Failed(graph.Failure);
  const auto callback = RawFrameCallback::Create(IsDirect(Mode) ? RawDelivery::Direct : RawDelivery::Latest,
                                                 IsRgb32(Mode) ? RawPicture::Rgb32 : RawPicture::Native,
                                                 graph.Connection(), tally);
  if (!callback) return Failed(L"the callback's window cannot be made");
  if (!graph.SetCallback(callback.Get(), callback->Mode()) || !graph.Run()) return Failed(graph.Failure);
  FrameRun run = MeasureTallied(tally, Milliseconds);
  graph.Stop();
  graph.SetCallback(nullptr, 0);
  callback->Close();
  DispatchPending();
  return run;
}

double PerSecond(double Value, const FrameRun& Run) { return Run.Ran && Run.Seconds > 0 ? Value / Run.Seconds : NAN; }

double CpuPerFrame(const FrameRun& Run) { return Run.Ran && Run.Frames > 0 ? Run.CpuMs / Run.Frames : NAN; }

// The handler's share of a frame: the CPU time per second above the same program's idle run,
// over the frames delivered per second.
double OverIdle(const FrameRun& Run, const FrameRun& Idle) {
  const double frames = PerSecond(static_cast<double>(Run.Frames), Run);
  return frames > 0 ? (PerSecond(Run.CpuMs, Run) - PerSecond(Idle.CpuMs, Idle)) / frames : NAN;
}

}  // namespace

const wchar_t* FrameModeText(FrameMode Mode) {
  switch (Mode) {
    case FrameMode::Idle: return L"idle (no handler)";
    case FrameMode::DirectNative: return L"Direct native";
    case FrameMode::DirectRgb32: return L"Direct RGB32";
    case FrameMode::LatestNative: return L"Latest native";
    case FrameMode::LatestRgb32: return L"Latest RGB32";
  }
  return L"?";
}

std::vector<FrameRow> MeasureFrames(HWND Host, const CameraFormat& Format, DWORD Milliseconds) {
  const RECT view{0, 0, Format.Width, Format.Height};
  std::vector<FrameRow> rows;
  for (FrameMode mode : kModes) {
    FrameRow row;
    row.Format = Format;
    row.Mode = mode;
    row.Control = MeasureControlFrames(Host, view, Format, mode, Milliseconds);
    row.Raw = MeasureRawFrames(Host, view, Format, mode, Milliseconds);
    rows.push_back(std::move(row));
  }
  return rows;
}

void PrintFrameCost(const std::vector<FrameRow>& Rows, DWORD Milliseconds) {
  std::wprintf(
      L"7. Per-frame cost of the frame stream (UVC test camera, preview shown at the picture's own size):\n"
      L"   %.1f s per run after a 1 s warm-up; the same handler in both programs (notes its latency, reads a\n"
      L"   byte of every 64 of the frame)\n"
      L"     TVLmPreview: SetFrameDelivery, SetFrameFormat, SetOnFrame, Open, SetStreamFormat, Start\n"
      L"     hand-written: preview rendered; capture stream into a Sample Grabber taking the camera's format\n"
      L"       and a Null Renderer. Direct: SampleCB on the streaming thread (RGB32: the library's converter\n"
      L"       there, COM initialised on that thread once). Latest: BufferCB copies the frame into one\n"
      L"       waiting slot and posts a message; the GUI thread converts it (RGB32) and handles it\n"
      L"     idle: no handler, no callback; frames = how far the camera's counter advanced, read on screen\n"
      L"     CPU per frame: process user + kernel time over the frames delivered to the handler\n"
      L"     over idle: (CPU per second - the same program's idle CPU per second) / frames delivered per second\n\n",
      Milliseconds / 1000.0);
  std::wprintf(L"  %-15ls %-18ls %-13ls %8ls %9ls %13ls %9ls\n", L"format", L"delivery", L"program", L"frames/s",
               L"dropped/s", L"CPU per frame", L"over idle");
  std::wprintf(L"  %-15ls %-18ls %-13ls %8ls %9ls %13ls %9ls\n", L"", L"", L"", L"", L"", L"(ms)", L"(ms)");
  const FrameRow* idle = nullptr;
  std::wstring lastFormat;
  for (const FrameRow& row : Rows) {
    if (row.Mode == FrameMode::Idle) idle = &row;
    const std::wstring format = FormatText(row.Format);
    const bool newFormat = format != lastFormat;
    lastFormat = format;
    const struct {
      const wchar_t* Name;
      const FrameRun* Run;
      const FrameRun* Idle;
    } runs[] = {{L"TVLmPreview", &row.Control, idle ? &idle->Control : nullptr},
                {L"hand-written", &row.Raw, idle ? &idle->Raw : nullptr}};
    bool first = true;
    for (const auto& run : runs) {
      const wchar_t* formatCell = first && newFormat ? format.c_str() : L"";
      const wchar_t* modeCell = first ? FrameModeText(row.Mode) : L"";
      first = false;
      if (!run.Run->Ran) {
        std::wprintf(L"  %-15ls %-18ls %-13ls %ls\n", formatCell, modeCell, run.Name, run.Run->Failure.c_str());
        continue;
      }
      const bool handled = row.Mode != FrameMode::Idle;
      std::wprintf(L"  %-15ls %-18ls %-13ls %8ls %9ls %13ls %9ls\n", formatCell, modeCell, run.Name,
                   Fixed(PerSecond(static_cast<double>(run.Run->Frames), *run.Run), 1).c_str(),
                   handled ? Fixed(PerSecond(static_cast<double>(run.Run->Dropped), *run.Run), 1).c_str() : L"",
                   Fixed(CpuPerFrame(*run.Run), 2).c_str(),
                   handled && run.Idle ? Fixed(OverIdle(*run.Run, *run.Idle), 2).c_str() : L"");
    }
  }
  std::wprintf(L"\n");
}

}  // namespace bench
