#include "benchmarks/SnapshotLatency.h"

#include <algorithm>
#include <cstdio>

#include "benchmarks/BenchSupport.h"
#include "benchmarks/PreviewRig.h"
#include "benchmarks/RawProgram.h"

namespace bench {
namespace {

constexpr DWORD kWarmUpMs = 1000;
constexpr double kSnapshotTimeoutMs = 2000;

// After a warm-up, takes Plan.Snapshots pictures through Take (which fills SnapshotFigures),
// each after a random pause of up to one frame interval; a lost one is left out. False when a
// request failed, which ends the series.
template <typename TakeFunction>
bool TakeSeries(const LatencyPlan& Plan, std::mt19937& Random, LatencySeries& Series, TakeFunction Take) {
  PumpUntil(nullptr, kWarmUpMs);
  std::uniform_real_distribution<double> phase(0.0, 1000.0 / Plan.Format.Rate);
  for (int i = 0; i < Plan.Snapshots; ++i) {
    PumpUntil(nullptr, phase(Random));
    SnapshotFigures figures;
    const SnapshotResult result = Take(figures);
    if (result == SnapshotResult::Failed) return false;
    if (result == SnapshotResult::Lost) continue;
    Series.LatencyMs.push_back(figures.ArrivedMs - figures.RequestedMs);
    Series.ArrivalMs.push_back(figures.ArrivedMs);
    Series.Counters.push_back(figures.Counter);
    Series.Width = figures.Width;
    Series.Height = figures.Height;
  }
  return true;
}

}  // namespace

LatencySeries MeasureControlLatency(const LatencyPlan& Plan, std::mt19937& Random) {
  LatencySeries series;
  series.Requested = Plan.Snapshots;
  PreviewRig preview(Plan.Host, Plan.View);
  if (!preview.Open(Plan.Format.Camera) || !preview.SelectFormat(Plan.Format) || !preview.Start()) {
    series.Failure = preview.Failure;
    return series;
  }
  const auto take = [&](SnapshotFigures& Figures) { return preview.Snapshot(kSnapshotTimeoutMs, Figures); };
  if (!TakeSeries(Plan, Random, series, take)) series.Failure = preview.Failure;
  series.Ran = series.Failure.empty();
  return series;
}

LatencySeries MeasureRawLatency(const LatencyPlan& Plan, std::mt19937& Random) {
  LatencySeries series;
  series.Requested = Plan.Snapshots;
  RawProgram graph;
  RawProgramPlan plan;
  plan.Format = Plan.Format;
  plan.Owner = Plan.Host;
  plan.View = Plan.View;
  if (!graph.Build(plan) || !graph.Run()) {
    series.Failure = graph.Failure;
    return series;
  }
  series.Width = graph.Width;
  series.Height = graph.Height;
  const auto take = [&](SnapshotFigures& Figures) { return graph.Snapshot(kSnapshotTimeoutMs, Figures); };
  if (!TakeSeries(Plan, Random, series, take)) series.Failure = graph.Failure;
  series.Ran = series.Failure.empty();
  graph.Stop();
  DispatchPending();
  return series;
}

void PrintLatencyTable(const LatencySeries& Control, const LatencySeries& Raw, double Rate) {
  const double interval = 1000.0 / Rate;
  const auto line = [](const wchar_t* Label, const std::wstring& A, const std::wstring& B) {
    std::wprintf(L"  %-32ls %14ls %20ls\n", Label, A.c_str(), B.c_str());
  };
  line(L"", L"TVLmPreview", L"hand-written graph");
  line(L"", L"-----------", L"------------------");
  const auto row = [&](const wchar_t* Label, auto Cell) { line(Label, Cell(Control), Cell(Raw)); };
  const auto usable = [](const LatencySeries& S) { return !S.LatencyMs.empty(); };
  row(L"snapshots delivered", [](const LatencySeries& S) {
    return std::to_wstring(S.LatencyMs.size()) + L"/" + std::to_wstring(S.Requested);
  });
  row(L"picture size", [](const LatencySeries& S) { return SizeText(S.Width, S.Height); });
  row(L"camera rate seen (fps)", [](const LatencySeries& S) { return Fixed(CounterRate(S.Counters, S.ArrivalMs), 1); });
  row(L"median (ms)", [&](const LatencySeries& S) { return usable(S) ? Fixed(Median(S.LatencyMs), 1) : L"-"; });
  row(L"95th percentile (ms)", [&](const LatencySeries& S) {
    return usable(S) ? Fixed(Percentile(S.LatencyMs, 95), 1) : L"-";
  });
  row(L"median (frame intervals)", [&](const LatencySeries& S) {
    return usable(S) ? Fixed(Median(S.LatencyMs) / interval, 2) : L"-";
  });
  row(L"95th percentile (frame intervals)", [&](const LatencySeries& S) {
    return usable(S) ? Fixed(Percentile(S.LatencyMs, 95) / interval, 2) : L"-";
  });
  row(L"min / max (ms)", [&](const LatencySeries& S) {
    if (!usable(S)) return std::wstring(L"-");
    const auto [lo, hi] = std::minmax_element(S.LatencyMs.begin(), S.LatencyMs.end());
    return Fixed(*lo, 1) + L" / " + Fixed(*hi, 1);
  });
  for (const LatencySeries* s : {&Control, &Raw})
    if (!s->Failure.empty())
      std::wprintf(L"  %ls: %ls\n", s == &Control ? L"TVLmPreview" : L"hand-written graph", s->Failure.c_str());
  std::wprintf(L"\n");
}

}  // namespace bench
