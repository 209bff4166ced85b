#include "benchmarks/FrameLatency.h"

#include <cstdio>
#include <string>

#include "benchmarks/BenchSupport.h"

namespace bench {
namespace {

// "median / 95th (frames)" of a run's latencies, or why it has none.
std::wstring Cells(const FrameRun& Run) {
  if (!Run.Ran) return L"did not run";
  if (Run.LatencyMs.empty()) return L"-";
  wchar_t text[64];
  std::swprintf(text, 64, L"%7ls %7ls %6zu", Fixed(Median(Run.LatencyMs), 2).c_str(),
                Fixed(Percentile(Run.LatencyMs, 95), 2).c_str(), Run.LatencyMs.size());
  return text;
}

}  // namespace

void PrintFrameLatency(const std::vector<FrameRow>& Rows) {
  std::wprintf(L"8. Delivery latency of the frames of 7: the handler's start minus the frame's ArrivalTime (100-ns\n"
               L"   units of QueryPerformanceCounter), in ms; hand-written: from the entry of its grabber callback\n"
               L"     Direct: the conversion (RGB32) included; Latest: the way through the GUI thread's message\n"
               L"     queue, and the conversion (RGB32), included\n\n");
  std::wprintf(L"  %-15ls %-15ls %-22ls   %-22ls\n", L"", L"", L"TVLmPreview", L"hand-written");
  std::wprintf(L"  %-15ls %-15ls %7ls %7ls %6ls   %7ls %7ls %6ls\n", L"format", L"delivery", L"median", L"95th",
               L"frames", L"median", L"95th", L"frames");
  std::wstring lastFormat;
  for (const FrameRow& row : Rows) {
    if (row.Mode == FrameMode::Idle) continue;
    const std::wstring format = FormatText(row.Format);
    std::wprintf(L"  %-15ls %-15ls %-22ls   %-22ls\n", format != lastFormat ? format.c_str() : L"",
                 FrameModeText(row.Mode), Cells(row.Control).c_str(), Cells(row.Raw).c_str());
    lastFormat = format;
  }
  std::wprintf(L"\n");
}

}  // namespace bench
