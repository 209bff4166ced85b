#include "benchmarks/CameraLoad.h"

#include <cstdio>

#include "benchmarks/BenchSupport.h"
#include "benchmarks/RawProgram.h"

namespace bench {
namespace {

constexpr double kSustainedShare = 0.9;  // delivered / requested for a rate to count as sustained

}  // namespace

LoadRow MeasureLoad(const CameraFormat& Format, DWORD Milliseconds) {
  LoadRow row;
  row.Requested = Format.Rate;
  RawProgram graph;
  RawProgramPlan plan;
  plan.Format = Format;
  if (!graph.Build(plan)) {
    row.Failure = graph.Failure;
    return row;
  }
  row.Width = graph.Width;
  row.Height = graph.Height;
  if (!graph.CountSamples() || !graph.Run()) {
    row.Failure = graph.Failure;
    return row;
  }
  // Count from the first frame on, so that starting the graph is not part of the figures.
  if (!PumpWhileNot([&] { return graph.Probe().Samples() > 0; }, 5000)) {
    row.Failure = L"no frame within 5 s";
    return row;
  }
  PumpUntil(nullptr, 200);  // let the stream settle
  const auto first = graph.Probe().LastSample();
  const double firstCpu = ProcessCpuMs();
  const double firstTime = NowMs();
  PumpUntil(nullptr, Milliseconds);
  const auto last = graph.Probe().LastSample();
  const double lastCpu = ProcessCpuMs();
  const double lastTime = NowMs();
  graph.Stop();
  // The rate runs from one arrival to another, so that the window does not cut frames in two;
  // the CPU time runs over the whole window, with the frames that arrived in it.
  row.Frames = last.first - first.first;
  row.FrameSpanSeconds = (last.second - first.second) / 1000.0;
  row.Seconds = (lastTime - firstTime) / 1000.0;
  row.CpuMs = lastCpu - firstCpu;
  row.Ran = true;
  return row;
}

void PrintLoad(const std::vector<LoadRow>& Rows, double IdleCpuPerSecond, DWORD LoadMs, LONG Width, LONG Height) {
  std::wprintf(L"3. Test camera at %ldx%ld: camera -> Sample Grabber (SampleCB counts, no copy) -> Null Renderer,\n"
               L"   %.1f s per requested rate; CPU = process user + kernel time\n\n",
               Width, Height, LoadMs / 1000.0);
  std::wprintf(L"  %9ls %9ls %10ls %10ls %13ls %12ls\n", L"requested", L"size", L"delivered", L"delivered",
               L"CPU per frame", L"CPU");
  std::wprintf(L"  %9ls %9ls %10ls %10ls %13ls %12ls\n", L"fps", L"", L"fps", L"share", L"(ms)", L"(% of a core)");
  double highest = 0;
  for (const LoadRow& row : Rows) {
    if (!row.Ran) {
      std::wprintf(L"  %9.0f   %ls\n", row.Requested, row.Failure.c_str());
      continue;
    }
    const double fps = row.FrameSpanSeconds > 0 ? row.Frames / row.FrameSpanSeconds : 0;
    const double share = fps / row.Requested;
    std::wprintf(L"  %9.0f %9ls %10.2f %9.0f%% %13ls %11.0f%%\n", row.Requested, SizeText(row.Width, row.Height).c_str(),
                 fps, share * 100, Fixed(row.Frames > 0 ? row.CpuMs / row.Frames : NAN, 2).c_str(),
                 row.Seconds > 0 ? row.CpuMs / row.Seconds / 10.0 : 0.0);
    if (share >= kSustainedShare && row.Requested > highest) highest = row.Requested;
  }
  std::wprintf(L"\n  idle process CPU before the runs: %.1f ms per second\n", IdleCpuPerSecond);
  if (highest > 0)
    std::wprintf(L"  highest sustained requested rate (delivered >= %.0f%%): %.0f fps\n", kSustainedShare * 100, highest);
  else
    std::wprintf(L"  no requested rate was sustained (delivered >= %.0f%%)\n", kSustainedShare * 100);
  std::wprintf(L"\n");
}

}  // namespace bench
