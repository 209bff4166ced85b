#include "benchmarks/FullHdPreview.h"

#include <cstdio>
#include <functional>

#include "benchmarks/BenchSupport.h"

namespace bench {
namespace {

// The goal for the control: at most this much above the preview alone.
constexpr double kGoalOverPreviewOnly = 0.10;

// "+4.2 %" for a ratio of 1.042.
std::wstring Change(double Ratio) {
  const double percent = (Ratio - 1) * 100;
  return (percent > 0 ? L"+" : L"") + Fixed(percent, 1) + L" %";
}

double FramesPerSecond(const CostRun& Run) { return Run.Ran && Run.Seconds > 0 ? Run.Frames / Run.Seconds : NAN; }

// The median of Figure over the rounds whose run of the program ran.
double MedianOf(const std::vector<CostRow>& Rounds, const std::function<const CostRun&(const CostRow&)>& Program,
                const std::function<double(const CostRun&)>& Figure) {
  std::vector<double> values;
  for (const CostRow& round : Rounds)
    if (Program(round).Ran) values.push_back(Figure(Program(round)));
  return Median(values);
}

}  // namespace

std::vector<CostRow> MeasureFullHdPreview(HWND Host, const RECT& View, const CameraFormat& Format, int Rounds,
                                          DWORD Milliseconds) {
  std::vector<CostRow> rounds;
  for (int i = 0; i < Rounds; ++i) rounds.push_back(MeasurePreviewCost(Host, View, Format, Milliseconds));
  return rounds;
}

void PrintFullHdPreview(const std::vector<CostRow>& Rounds, const RECT& View, DWORD Milliseconds) {
  if (Rounds.empty()) return;
  const CameraFormat& format = Rounds.front().Format;
  std::wprintf(L"9. %ls at %.0f fps (UVC test camera, picture shown at %ldx%ld): a running preview with no\n"
               L"   snapshot and no frame handler; %zu rounds of the three programs in turn, %.1f s per run after a\n"
               L"   1 s warm-up; frames = how far the camera's counter advanced, read on screen at both ends;\n"
               L"   CPU = process user + kernel time\n"
               L"     TVLmPreview: Open, SetStreamFormat, Start (preview and idle capture branch)\n"
               L"     hand-written, preview only: RenderStream(PREVIEW) alone\n"
               L"     hand-written, preview + RGB24 grabber: RenderStream(PREVIEW), then RenderStream(CAPTURE) into\n"
               L"       a Sample Grabber fixed to RGB24 (no callback) and a Null Renderer\n\n",
               FormatText(format).c_str(), format.Rate, View.right - View.left, View.bottom - View.top, Rounds.size(),
               Milliseconds / 1000.0);
  using Program = std::function<const CostRun&(const CostRow&)>;
  const struct {
    const wchar_t* Name;
    Program Of;
  } programs[] = {{L"TVLmPreview", [](const CostRow& R) -> const CostRun& { return R.Control; }},
                  {L"hand-written, preview only", [](const CostRow& R) -> const CostRun& { return R.PreviewOnly; }},
                  {L"hand-written, preview + RGB24 grabber",
                   [](const CostRow& R) -> const CostRun& { return R.WithGrabber; }}};
  std::wprintf(L"  %-38ls", L"program");
  for (size_t i = 0; i < Rounds.size(); ++i) std::wprintf(L"  round %-2zu       ", i + 1);
  std::wprintf(L"  median\n");
  std::wprintf(L"  %-38ls", L"");
  for (size_t i = 0; i < Rounds.size(); ++i) std::wprintf(L"  %-15ls", L"fps / CPU ms");
  std::wprintf(L"  fps / CPU ms per frame\n");
  for (const auto& program : programs) {
    std::wprintf(L"  %-38ls", program.Name);
    for (const CostRow& round : Rounds) {
      const CostRun& run = program.Of(round);
      const std::wstring cell =
          run.Ran ? Fixed(FramesPerSecond(run), 1) + L" / " + Fixed(CpuPerFrame(run), 2) : std::wstring(L"failed");
      std::wprintf(L"  %-15ls", cell.c_str());
    }
    std::wprintf(L"  %ls / %ls\n", Fixed(MedianOf(Rounds, program.Of, FramesPerSecond), 1).c_str(),
                 Fixed(MedianOf(Rounds, program.Of, CpuPerFrame), 2).c_str());
  }
  for (const CostRow& round : Rounds)
    for (const CostRun* run : {&round.Control, &round.PreviewOnly, &round.WithGrabber})
      if (!run->Ran) std::wprintf(L"  a run failed: %ls\n", run->Failure.c_str());

  const double control = MedianOf(Rounds, programs[0].Of, CpuPerFrame);
  const double previewOnly = MedianOf(Rounds, programs[1].Of, CpuPerFrame);
  const double withGrabber = MedianOf(Rounds, programs[2].Of, CpuPerFrame);
  const bool withinGoal = control <= previewOnly * (1 + kGoalOverPreviewOnly);
  std::wprintf(L"\n  TVLmPreview against preview only: %ls CPU per frame (goal: at most +%.0f %%): %ls\n",
               Change(control / previewOnly).c_str(), kGoalOverPreviewOnly * 100, withinGoal ? L"met" : L"not met");
  std::wprintf(L"  TVLmPreview against preview + RGB24 grabber: %ls CPU per frame\n\n",
               Change(control / withGrabber).c_str());
}

}  // namespace bench
