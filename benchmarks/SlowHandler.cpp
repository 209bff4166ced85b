#include "benchmarks/SlowHandler.h"

#include <algorithm>
#include <cstdio>

#include "benchmarks/BenchSupport.h"
#include "benchmarks/FrameTally.h"
#include "benchmarks/PreviewRig.h"
#include "benchmarks/RawFrames.h"
#include "benchmarks/RawProgram.h"

namespace bench {
namespace {

constexpr DWORD kWarmUpMs = 1000;
constexpr double kSampleEveryMs = 1000;

SlowRun Failed(const std::wstring& Why) {
  SlowRun run;
  run.Failure = Why;
  return run;
}

// The frames that reach Tally's handler over Milliseconds after a warm-up, with the private
// bytes sampled along the way.
SlowRun MeasureTallied(FrameTally& Tally, DWORD Milliseconds) {
  if (!WarmUp(Tally, kWarmUpMs)) return Failed(L"no frame reached the handler");
  SlowRun run;
  const FrameTally::Counts first = Tally.Read();
  const double start = NowMs();
  run.PrivateAtStart = run.PrivateHighest = ProcessPrivateBytes();
  for (double left = Milliseconds; left > 0; left = start + Milliseconds - NowMs()) {
    PumpUntil(nullptr, std::min(left, kSampleEveryMs));
    run.PrivateHighest = std::max(run.PrivateHighest, ProcessPrivateBytes());
  }
  const FrameTally::Counts last = Tally.Read();
  run.PrivateAtEnd = ProcessPrivateBytes();
  run.PrivateHighest = std::max(run.PrivateHighest, run.PrivateAtEnd);
  run.Seconds = (NowMs() - start) / 1000.0;
  run.Delivered = last.Delivered - first.Delivered;
  run.Dropped = last.Dropped - first.Dropped;
  run.Ran = true;
  return run;
}

SlowRun MeasureControl(HWND Host, const RECT& View, const CameraFormat& Format, DWORD HoldMs, DWORD Milliseconds) {
  FrameTally tally(HoldMs);  // outlives the control
  PreviewRig preview(Host, View);
  preview.SetFrames(vlmFrameLatest, vlmFrameRGB24, [&tally](TObject*, const TLmFrame& Frame) {
    tally.Handle(Frame.Data, Frame.Bytes, Frame.Stride, Frame.Height, Frame.ArrivalTime, Frame.Dropped);
  });
  if (!preview.Open(Format.Camera) || !preview.SelectFormat(Format) || !preview.Start()) return Failed(preview.Failure);
  return MeasureTallied(tally, Milliseconds);
}

SlowRun MeasureRaw(HWND Host, const RECT& View, const CameraFormat& Format, DWORD HoldMs, DWORD Milliseconds) {
  FrameTally tally(HoldMs);  // outlives the graph
  RawProgram graph;
  RawProgramPlan plan;
  plan.Format = Format;
  plan.Owner = Host;
  plan.View = View;
  plan.NativeGrabber = true;
  if (!graph.Build(plan)) return Failed(graph.Failure);
  const auto callback = RawFrameCallback::Create(RawDelivery::Latest, RawPicture::Rgb24, graph.Connection(), tally);
  if (!callback) return Failed(L"the callback's window cannot be made");
  if (!graph.SetCallback(callback.Get(), callback->Mode()) || !graph.Run()) return Failed(graph.Failure);
  SlowRun run = MeasureTallied(tally, Milliseconds);
  graph.Stop();
  graph.SetCallback(nullptr, 0);
  callback->Close();
  DispatchPending();
  return run;
}

std::wstring Megabytes(long long Bytes) { return Fixed(static_cast<double>(Bytes) / (1024.0 * 1024.0), 1); }

}  // namespace

SlowRow MeasureSlowHandler(HWND Host, const RECT& View, const CameraFormat& Format, DWORD HoldMs, DWORD Milliseconds) {
  SlowRow row;
  row.Format = Format;
  row.HoldMs = HoldMs;
  row.Control = MeasureControl(Host, View, Format, HoldMs, Milliseconds);
  row.Raw = MeasureRaw(Host, View, Format, HoldMs, Milliseconds);
  return row;
}

void PrintSlowHandler(const SlowRow& Row, DWORD Milliseconds) {
  std::wprintf(L"10. A slow handler in Latest delivery: %ls at %.0f fps, each call holding the GUI thread %lu ms,\n"
               L"    %.0f s after a 1 s warm-up; frames as 24-bit RGB, converted on the GUI thread\n"
               L"      TVLmPreview: SetFrameDelivery(vlmFrameLatest), OnFrame\n"
               L"      hand-written: BufferCB copies the frame into one waiting slot and posts a message; the GUI\n"
               L"        thread converts the frame it takes and handles it\n"
               L"      received = delivered + dropped (the drops the deliveries reported); private bytes of the\n"
               L"        process at the start and the end of the run, and the highest sampled once a second\n\n",
               FormatText(Row.Format).c_str(), Row.Format.Rate, Row.HoldMs, Milliseconds / 1000.0);
  std::wprintf(L"  %-13ls %9ls %9ls %9ls %11ls %10ls %10ls %10ls\n", L"program", L"received", L"delivered",
               L"dropped", L"delivered/s", L"private MB", L"private MB", L"private MB");
  std::wprintf(L"  %-13ls %9ls %9ls %9ls %11ls %10ls %10ls %10ls\n", L"", L"", L"", L"", L"", L"at start",
               L"at end", L"highest");
  const struct {
    const wchar_t* Name;
    const SlowRun* Run;
  } runs[] = {{L"TVLmPreview", &Row.Control}, {L"hand-written", &Row.Raw}};
  for (const auto& run : runs) {
    const SlowRun& r = *run.Run;
    if (!r.Ran) {
      std::wprintf(L"  %-13ls %ls\n", run.Name, r.Failure.c_str());
      continue;
    }
    std::wprintf(L"  %-13ls %9llu %9llu %9llu %11ls %10ls %10ls %10ls\n", run.Name,
                 static_cast<unsigned long long>(r.Delivered + r.Dropped), static_cast<unsigned long long>(r.Delivered),
                 static_cast<unsigned long long>(r.Dropped),
                 Fixed(r.Seconds > 0 ? static_cast<double>(r.Delivered) / r.Seconds : NAN, 1).c_str(),
                 Megabytes(r.PrivateAtStart).c_str(), Megabytes(r.PrivateAtEnd).c_str(),
                 Megabytes(r.PrivateHighest).c_str());
  }
  std::wprintf(L"\n");
}

}  // namespace bench
