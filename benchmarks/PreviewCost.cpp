#include "benchmarks/PreviewCost.h"

#include <cstdio>

#include "benchmarks/BenchSupport.h"
#include "benchmarks/PreviewRig.h"
#include "benchmarks/RawProgram.h"

namespace bench {
namespace {

constexpr DWORD kWarmUpMs = 1000;
constexpr double kCounterTimeoutMs = 1000;

struct Mark {
  int Counter = -1;
  double CpuMs = 0;
  double TimeMs = 0;
};

// The counter shown in Video now, with the process's CPU time and the time; false when it could
// not be read within a second (a picture caught while being drawn is read again).
bool ReadMark(HWND Video, const CameraFormat& Format, Mark& Out) {
  const double deadline = NowMs() + kCounterTimeoutMs;
  for (;;) {
    Out.Counter = ScreenCounter(Video, Format.Width, Format.Height);
    if (Out.Counter >= 0) {
      Out.CpuMs = ProcessCpuMs();
      Out.TimeMs = NowMs();
      return true;
    }
    if (NowMs() > deadline) return false;
    PumpUntil(nullptr, 5);
  }
}

// A running preview of Format shown in Video, over Milliseconds after a warm-up.
CostRun MeasureShown(HWND Video, const CameraFormat& Format, DWORD Milliseconds) {
  CostRun run;
  PumpUntil(nullptr, kWarmUpMs);
  Mark first, last;
  if (!ReadMark(Video, Format, first)) {
    run.Failure = L"the camera's counter cannot be read on screen";
    return run;
  }
  PumpUntil(nullptr, Milliseconds);
  if (!ReadMark(Video, Format, last)) {
    run.Failure = L"the camera's counter cannot be read on screen";
    return run;
  }
  run.Frames = CounterAdvance(first.Counter, last.Counter);
  run.Seconds = (last.TimeMs - first.TimeMs) / 1000.0;
  run.CpuMs = last.CpuMs - first.CpuMs;
  run.Ran = true;
  return run;
}

}  // namespace

CostRun MeasureControlCost(HWND Host, const RECT& View, const CameraFormat& Format, DWORD Milliseconds) {
  PreviewRig preview(Host, View);
  if (!preview.Open(Format.Camera) || !preview.SelectFormat(Format) || !preview.Start()) {
    CostRun run;
    run.Failure = preview.Failure;
    return run;
  }
  return MeasureShown(preview.VideoWindow(), Format, Milliseconds);
}

CostRun MeasureRawCost(const RawProgramPlan& Plan, DWORD Milliseconds) {
  RawProgram graph;
  if (!graph.Build(Plan) || !graph.Run()) {
    CostRun run;
    run.Failure = graph.Failure;
    return run;
  }
  CostRun run = MeasureShown(graph.VideoWindow(), Plan.Format, Milliseconds);
  graph.Stop();
  DispatchPending();
  return run;
}

double CpuPerFrame(const CostRun& Run) { return Run.Ran && Run.Frames > 0 ? Run.CpuMs / Run.Frames : NAN; }

CostRow MeasurePreviewCost(HWND Host, const RECT& View, const CameraFormat& Format, DWORD Milliseconds) {
  CostRow row;
  row.Format = Format;
  row.Control = MeasureControlCost(Host, View, Format, Milliseconds);
  RawProgramPlan plan;
  plan.Format = Format;
  plan.Owner = Host;
  plan.View = View;
  plan.Capture = false;
  row.PreviewOnly = MeasureRawCost(plan, Milliseconds);
  plan.Capture = true;
  row.WithGrabber = MeasureRawCost(plan, Milliseconds);
  return row;
}

void PrintPreviewCost(const std::vector<CostRow>& Rows, DWORD Milliseconds) {
  std::wprintf(L"5. CPU per frame of a running preview, no snapshot asked for (UVC test camera, picture shown at its\n"
               L"   own size): %.1f s per run after a 1 s warm-up; frames = how far the camera's counter advanced, read\n"
               L"   on screen at both ends; CPU = process user + kernel time\n"
               L"     TVLmPreview: Open, SetStreamFormat, Start (preview branch and idle snapshot branch)\n"
               L"     hand-written, preview only: RenderStream(PREVIEW) alone\n"
               L"     hand-written, preview + grabber: RenderStream(PREVIEW), then RenderStream(CAPTURE) into a\n"
               L"       Sample Grabber (no callback, no buffering) and a Null Renderer\n\n",
               Milliseconds / 1000.0);
  std::wprintf(L"  %-15ls %-34ls %8ls %13ls %12ls\n", L"format", L"program", L"frames/s", L"CPU per frame", L"CPU");
  std::wprintf(L"  %-15ls %-34ls %8ls %13ls %12ls\n", L"", L"", L"", L"(ms)", L"(% of a core)");
  for (const CostRow& row : Rows) {
    const std::wstring format = FormatText(row.Format);
    const struct {
      const wchar_t* Name;
      const CostRun* Run;
    } runs[] = {{L"TVLmPreview", &row.Control},
                {L"hand-written, preview only", &row.PreviewOnly},
                {L"hand-written, preview + grabber", &row.WithGrabber}};
    bool first = true;
    for (const auto& run : runs) {
      const wchar_t* label = first ? format.c_str() : L"";
      first = false;
      if (!run.Run->Ran) {
        std::wprintf(L"  %-15ls %-34ls %ls\n", label, run.Name, run.Run->Failure.c_str());
        continue;
      }
      const double seconds = run.Run->Seconds;
      std::wprintf(L"  %-15ls %-34ls %8ls %13ls %11ls%%\n", label, run.Name,
                   Fixed(seconds > 0 ? run.Run->Frames / seconds : NAN, 1).c_str(),
                   Fixed(CpuPerFrame(*run.Run), 2).c_str(),
                   Fixed(seconds > 0 ? run.Run->CpuMs / seconds / 10.0 : NAN, 0).c_str());
    }
    std::wprintf(L"  %-15ls idle capture branch per frame: TVLmPreview %ls ms (against preview only),\n"
                 L"  %-15ls hand-written %ls ms (preview + grabber against preview only)\n",
                 L"", Fixed(CpuPerFrame(row.Control) - CpuPerFrame(row.PreviewOnly), 2).c_str(), L"",
                 Fixed(CpuPerFrame(row.WithGrabber) - CpuPerFrame(row.PreviewOnly), 2).c_str());
  }
  std::wprintf(L"\n");
}

}  // namespace bench
