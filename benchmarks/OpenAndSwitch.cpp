#include "benchmarks/OpenAndSwitch.h"

#include <algorithm>
#include <cstdio>

#include "benchmarks/BenchSupport.h"
#include "benchmarks/PreviewRig.h"
#include "benchmarks/RawProgram.h"

namespace bench {
namespace {

constexpr double kFirstPictureTimeoutMs = 5000;
constexpr DWORD kSettleMs = 300;  // between two switches, and after an untimed start

// Records the time from StartMs to the first picture; false, with the series' failure set,
// when there was none or it was not of Expected's size.
bool RecordFirstPicture(TimingSeries& Series, double StartMs, SnapshotResult Result, const SnapshotFigures& Figures,
                        const CameraFormat& Expected, const std::wstring& Failure) {
  if (Result != SnapshotResult::Delivered) {
    Series.Failure = Failure;
    return false;
  }
  if (Figures.Width != Expected.Width || Figures.Height != Expected.Height) {
    Series.Failure = L"the first picture is " + SizeText(Figures.Width, Figures.Height) + L", not " +
                     SizeText(Expected.Width, Expected.Height);
    return false;
  }
  Series.Ms.push_back(Figures.ArrivedMs - StartMs);
  return true;
}

RawProgramPlan ShownPlan(HWND Host, const RECT& View, const CameraFormat& Format) {
  RawProgramPlan plan;
  plan.Format = Format;
  plan.Owner = Host;
  plan.View = View;
  return plan;
}

void OpenControl(HWND Host, const RECT& View, const CameraFormat& Format, TimingSeries& Series) {
  PreviewRig preview(Host, View);
  SnapshotFigures figures;
  const double start = NowMs();
  if (!preview.Open(Format.Camera) || !preview.SelectFormat(Format) || !preview.Start()) {
    Series.Failure = preview.Failure;
    return;
  }
  RecordFirstPicture(Series, start, preview.Snapshot(kFirstPictureTimeoutMs, figures), figures, Format,
                     preview.Failure);
}

void OpenRaw(HWND Host, const RECT& View, const CameraFormat& Format, TimingSeries& Series) {
  RawProgram graph;
  SnapshotFigures figures;
  const double start = NowMs();
  if (!graph.Build(ShownPlan(Host, View, Format)) || !graph.Run()) {
    Series.Failure = graph.Failure;
    return;
  }
  RecordFirstPicture(Series, start, graph.Snapshot(kFirstPictureTimeoutMs, figures), figures, Format, graph.Failure);
  graph.Stop();
}

// From a running preview started at Rows[0].From with its first picture taken, switches Runs
// times to Rows[0].To and Runs times back, in turn, into the series Rows[i].*Series: Switch(To)
// stops, selects To and starts again, Take fills a picture's figures, and Failure names what
// failed.
template <typename SwitchFunction, typename TakeFunction>
void TimeSwitches(std::vector<SwitchRow>& Rows, TimingSeries SwitchRow::*Series, int Runs, SwitchFunction Switch,
                  TakeFunction Take, const std::wstring& Failure) {
  SnapshotFigures figures;
  for (int i = 0; i < 2 * Runs; ++i) {
    PumpUntil(nullptr, kSettleMs);
    SwitchRow& row = Rows[static_cast<size_t>(i % 2)];
    TimingSeries& series = row.*Series;
    const double start = NowMs();
    if (!Switch(row.To)) {
      series.Failure = Failure;
      return;
    }
    if (!RecordFirstPicture(series, start, Take(figures), figures, row.To, Failure)) return;
  }
}

void SwitchControl(HWND Host, const RECT& View, std::vector<SwitchRow>& Rows, int Runs) {
  PreviewRig preview(Host, View);
  const CameraFormat& from = Rows[0].From;
  const auto take = [&](SnapshotFigures& Figures) { return preview.Snapshot(kFirstPictureTimeoutMs, Figures); };
  SnapshotFigures figures;
  if (!preview.Open(from.Camera) || !preview.SelectFormat(from) || !preview.Start() ||
      take(figures) != SnapshotResult::Delivered) {
    for (SwitchRow& row : Rows) row.Control.Failure = preview.Failure;
    return;
  }
  const auto change = [&](const CameraFormat& To) { return preview.Stop() && preview.SelectFormat(To) && preview.Start(); };
  TimeSwitches(Rows, &SwitchRow::Control, Runs, change, take, preview.Failure);
}

void SwitchRaw(HWND Host, const RECT& View, std::vector<SwitchRow>& Rows, int Runs) {
  RawProgram graph;
  const auto take = [&](SnapshotFigures& Figures) { return graph.Snapshot(kFirstPictureTimeoutMs, Figures); };
  SnapshotFigures figures;
  if (!graph.Build(ShownPlan(Host, View, Rows[0].From)) || !graph.Run() || take(figures) != SnapshotResult::Delivered) {
    for (SwitchRow& row : Rows) row.Raw.Failure = graph.Failure;
    return;
  }
  const auto change = [&](const CameraFormat& To) { return graph.SwitchFormat(To) && graph.Run(); };
  TimeSwitches(Rows, &SwitchRow::Raw, Runs, change, take, graph.Failure);
  graph.Stop();
}

void PrintTimingRow(const std::wstring& Label, const TimingSeries& Control, const TimingSeries& Raw) {
  const auto cells = [](const TimingSeries& S) {
    if (S.Ms.empty()) return std::wstring(L"-");
    const auto [lo, hi] = std::minmax_element(S.Ms.begin(), S.Ms.end());
    return Fixed(Median(S.Ms), 0) + L" (" + Fixed(*lo, 0) + L"-" + Fixed(*hi, 0) + L") " +
           std::to_wstring(S.Ms.size()) + L"/" + std::to_wstring(S.Requested);
  };
  std::wprintf(L"  %-38ls %22ls %22ls\n", Label.c_str(), cells(Control).c_str(), cells(Raw).c_str());
  for (const TimingSeries* s : {&Control, &Raw})
    if (!s->Failure.empty())
      std::wprintf(L"    %ls: %ls\n", s == &Control ? L"TVLmPreview" : L"hand-written graph", s->Failure.c_str());
}

}  // namespace

OpenRow MeasureOpen(HWND Host, const RECT& View, const CameraFormat& Format, int Runs) {
  OpenRow row;
  row.Format = Format;
  row.Control.Requested = row.Raw.Requested = Runs;
  // In turn, so that both programs see the machine's load alike.
  for (int i = 0; i < Runs; ++i) {
    if (row.Control.Failure.empty()) OpenControl(Host, View, Format, row.Control);
    DispatchPending();
    if (row.Raw.Failure.empty()) OpenRaw(Host, View, Format, row.Raw);
    DispatchPending();
  }
  return row;
}

std::vector<SwitchRow> MeasureSwitch(HWND Host, const RECT& View, const CameraFormat& A, const CameraFormat& B,
                                     int Runs) {
  std::vector<SwitchRow> rows(2);
  rows[0].From = rows[1].To = A;
  rows[0].To = rows[1].From = B;
  for (SwitchRow& row : rows) row.Control.Requested = row.Raw.Requested = Runs;
  SwitchControl(Host, View, rows, Runs);
  DispatchPending();
  SwitchRaw(Host, View, rows, Runs);
  DispatchPending();
  return rows;
}

void PrintOpenAndSwitch(const std::vector<OpenRow>& Opens, const std::vector<SwitchRow>& Switches, const RECT& View) {
  std::wprintf(L"6. Open to first picture, and a format switch (UVC test camera, picture shown at %ls)\n"
               L"     first picture: the first frame of the capture stream held by the GUI thread as a 24-bit\n"
               L"       picture; TVLmPreview: TakeSnapshot right after Start -> OnSnapshot; hand-written: SetCallback\n"
               L"       (mode 1) right after Run -> BufferCB seen by the GUI thread (NV12 converted there)\n"
               L"     open: TVLmPreview: Open + SetStreamFormat + Start + first picture (the control made before);\n"
               L"       hand-written: bind the camera, build the graph (IAMStreamConfig::SetFormat), Run + first picture\n"
               L"     switch, from a running preview: TVLmPreview: Stop + SetStreamFormat + Start + first picture of\n"
               L"       the new format; hand-written: Stop, remove the filters behind the camera, SetFormat, render\n"
               L"       both streams again, Run + first picture\n"
               L"     cells: median (min-max) in ms, and runs that gave a picture\n\n",
               SizeText(View.right - View.left, View.bottom - View.top).c_str());
  std::wprintf(L"  %-38ls %22ls %22ls\n", L"", L"TVLmPreview", L"hand-written graph");
  std::wprintf(L"  %-38ls %22ls %22ls\n", L"", L"-----------", L"------------------");
  for (const OpenRow& row : Opens) PrintTimingRow(L"open " + FormatText(row.Format), row.Control, row.Raw);
  for (const SwitchRow& row : Switches)
    PrintTimingRow(L"switch " + FormatText(row.From) + L" -> " + FormatText(row.To), row.Control, row.Raw);
  std::wprintf(L"\n");
}

}  // namespace bench
