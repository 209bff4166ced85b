// The soak: the components at the scale users reach, with figures printed and a non-zero exit
// code on a failure (a failed operation, a hang or crash of the components, or growth beyond
// what Wine's DirectShow itself leaves per graph):
//
//   1. cycles of TVLmPreview (Open, Start, TakeSnapshot waiting for the image, Stop, Close) on
//      the test camera, of TVLmPlay (the same on a clip) and of TVLmRecord (Open, Start, 200 ms
//      of recording into an AVI file in a temporary folder, Stop, Close), each beside a minimal
//      hand-written DirectShow program doing the same cycles in the same run: the growth of
//      kernel handles, private bytes, threads, GDI and USER objects after a warm-up;
//   2. rounds of TakeSnapshot followed at once by Stop or Close, alternately, under a watchdog
//      that turns a hang into a failure with the stuck thread's stack;
//   3. damaged clips (cut, bytes flipped, AVI header fields changed) played in worker processes
//      by TVLmPlay and by a hand-written graph: crashes, hangs (Wine's known GStreamer parser
//      hang counted apart) and growth.
//
//   LmSoak.exe --clips DIR [--camera NAME] [--preview N] [--player N] [--recorder N]
//              [--rounds N] [--damaged N] [--only preview,player,recorder,rounds,damaged]
//
// DIR holds the player's clip (soak_player.avi) and the sources of the damaged copies
// (tiny_raw.avi, tiny_mjpeg.avi, tiny_av.avi); tools/run-soak.sh makes them with ffmpeg.

#include <windows.h>

#include <objbase.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cwchar>
#include <memory>
#include <string>
#include <vector>

#include "benchmarks/MachineInfo.h"
#include "player/PlayerRig.h"
#include "soak/Cycles.h"
#include "soak/DamagedClipSoak.h"
#include "soak/Pump.h"
#include "soak/Watchdog.h"
#include "support/TestWindow.h"

#ifndef LM_BENCHMARK_BUILD_TYPE
#define LM_BENCHMARK_BUILD_TYPE L""
#endif

namespace {

using soak::CycleFigures;
using soak::ResourceCounts;

constexpr DWORD kStepLimitMs = 30000;  // one step of a cycle; longer is a hang
// What counts as growth beyond the hand-written program's: more than the objects a process
// makes once, late in the run (a cache, a lazily created event; Wine keeps one more device
// context, with its three regions and its window surface, after the first play of some
// damaged clips in a process: 4 GDI objects, 3 net), and more private memory than the noise of
// the heap's and GStreamer's pools.
constexpr int64_t kObjectSlack = 4;
constexpr int64_t kMemorySlackPerCycle = 1024;
constexpr int64_t kMemoryNoise = 64 * 1024;  // memory is counted in pages: a few of them either way
// A damaged-clip worker's first plays of some kinds of damage make GStreamer load more of its
// plugins, once per process (up to about 7.5 MB seen, for either side).
constexpr int64_t kWorkerMemoryOneOff = 8 << 20;

struct Options {
  std::wstring Clips;
  std::wstring Camera = L"Lumora Test Camera";
  int Preview = 1000, Player = 300, Recorder = 300, Rounds = 1000, Damaged = 500;
  std::wstring Only;  // empty: every section
  bool Runs(const wchar_t* Section) const { return Only.empty() || Only.find(Section) != std::wstring::npos; }
};

Options Parse(int argc, wchar_t** argv) {
  Options options;
  for (int i = 1; i + 1 < argc; ++i) {
    const std::wstring name = argv[i];
    const wchar_t* value = argv[i + 1];
    int* count = name == L"--preview"    ? &options.Preview
                 : name == L"--player"   ? &options.Player
                 : name == L"--recorder" ? &options.Recorder
                 : name == L"--rounds"   ? &options.Rounds
                 : name == L"--damaged"  ? &options.Damaged
                                         : nullptr;
    if (count)
      *count = std::max(4, _wtoi(value));
    else if (name == L"--clips")
      options.Clips = value;
    else if (name == L"--camera")
      options.Camera = value;
    else if (name == L"--only")
      options.Only = value;
    else
      continue;
    ++i;
  }
  return options;
}

int WarmUpFor(int Cycles) { return std::max(5, Cycles / 20); }

void PrintHeader(const Options& Run) {
  SYSTEMTIME now;
  GetLocalTime(&now);
  std::wprintf(L"Lumora soak, %04u-%02u-%02u %02u:%02u\n", now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute);
  bench::PrintMachineLines();
  const wchar_t* buildType = LM_BENCHMARK_BUILD_TYPE;
  std::wprintf(L"  build type              %ls\n", *buildType ? buildType : L"none (no optimisation flags)");
  std::wprintf(L"  camera                  %ls\n", Run.Camera.c_str());
  std::wprintf(L"  clips                   %ls\n", Run.Clips.c_str());
  std::wprintf(L"  counted                 kernel handles, private bytes, threads, GDI and USER objects\n"
               L"                          after a warm-up of 5 %% of the cycles (at least 5), at each quarter\n\n");
  std::fflush(stdout);
}

std::wstring Signed(int64_t Value) { return (Value > 0 ? L"+" : L"") + std::to_wstring(Value); }

std::wstring Kilobytes(int64_t Bytes) {
  const int64_t rounded = (Bytes + (Bytes < 0 ? -512 : 512)) / 1024;
  return Signed(rounded);
}

void PrintGrowthHeader() {
  std::wprintf(L"  %-22ls %6ls %6ls %8ls %8ls %11ls %8ls %6ls %6ls\n", L"", L"cycles", L"failed", L"seconds", L"handles",
               L"private KB", L"threads", L"GDI", L"USER");
}

void PrintGrowthRow(const std::wstring& Label, int Cycles, int Failed, double Seconds, const ResourceCounts& Growth) {
  std::wprintf(L"  %-22ls %6d %6d %8.1f %8ls %11ls %8ls %6ls %6ls\n", Label.c_str(), Cycles, Failed, Seconds,
               Signed(Growth.Handles).c_str(), Kilobytes(Growth.PrivateBytes).c_str(), Signed(Growth.Threads).c_str(),
               Signed(Growth.Gdi).c_str(), Signed(Growth.User).c_str());
}

void PrintDetails(const CycleFigures& Figures) {
  std::wprintf(L"    %ls: handles at the quarters", Figures.Name.c_str());
  for (const ResourceCounts& at : Figures.Checkpoints) std::wprintf(L" %ls", Signed(at.Handles - Figures.AfterWarmUp.Handles).c_str());
  std::wprintf(L", private KB");
  for (const ResourceCounts& at : Figures.Checkpoints)
    std::wprintf(L" %ls", Kilobytes(at.PrivateBytes - Figures.AfterWarmUp.PrivateBytes).c_str());
  if (!Figures.HandleTypeGrowth.empty()) {
    std::wprintf(L"; handle types");
    for (const auto& [type, change] : Figures.HandleTypeGrowth) std::wprintf(L" %ls %ls", type.c_str(), Signed(change).c_str());
  }
  std::wprintf(L"\n");
  if (!Figures.FirstFailure.empty()) std::wprintf(L"    %ls first failure: %ls\n", Figures.Name.c_str(), Figures.FirstFailure.c_str());
}

// What the components left beyond what the hand-written program left (Allowance), as failures;
// Processes: how many processes the counts were summed over, each with its one-off objects.
void JudgeGrowth(const std::wstring& What, const ResourceCounts& Ours, const ResourceCounts& Allowance, int Cycles,
                 std::vector<std::wstring>& Failures, int Processes = 1) {
  const auto judge = [&](const wchar_t* Counter, int64_t Grown, int64_t Allowed) {
    if (Grown > Allowed + kObjectSlack * Processes)
      Failures.push_back(What + L": " + Counter + L" grew by " + std::to_wstring(Grown) + L" (the hand-written program's: " +
                         std::to_wstring(Allowed) + L")");
  };
  judge(L"kernel handles", Ours.Handles, std::max<int64_t>(0, Allowance.Handles));
  judge(L"threads", Ours.Threads, std::max<int64_t>(0, Allowance.Threads));
  judge(L"GDI objects", Ours.Gdi, std::max<int64_t>(0, Allowance.Gdi));
  judge(L"USER objects", Ours.User, std::max<int64_t>(0, Allowance.User));
  const int64_t oneOff = Processes > 1 ? kWorkerMemoryOneOff * Processes : 0;
  judge(L"private bytes", Ours.PrivateBytes,
        std::max<int64_t>(0, Allowance.PrivateBytes) + kMemorySlackPerCycle * Cycles + kMemoryNoise + oneOff);
}

// What the component's cycles grew by, with private memory taken as its steady part: the
// smallest growth beyond the hand-written program's over one quarter of the cycles, times four,
// added to the hand-written program's growth. A leak grows in every quarter; a heap segment
// taken once shows in only one.
ResourceCounts JudgedGrowth(const CycleFigures& Ours, const CycleFigures& Theirs) {
  ResourceCounts judged = Ours.Growth();
  if (Ours.Checkpoints.size() != 4 || Theirs.Checkpoints.size() != 4) return judged;
  int64_t steadiest = INT64_MAX;
  for (size_t quarter = 0; quarter < 4; ++quarter) {
    const auto grown = [&](const CycleFigures& Figures) {
      const ResourceCounts& from = quarter == 0 ? Figures.AfterWarmUp : Figures.Checkpoints[quarter - 1];
      return Figures.Checkpoints[quarter].PrivateBytes - from.PrivateBytes;
    };
    steadiest = std::min(steadiest, grown(Ours) - grown(Theirs));
  }
  judged.PrivateBytes = Theirs.Growth().PrivateBytes + 4 * steadiest;
  return judged;
}

// A component's cycles and the hand-written program's, one after the other, printed and judged.
void CyclePair(const wchar_t* Title, const std::wstring& Component, int Cycles, const soak::Cycle& Ours,
               const soak::Cycle& Theirs, soak::Watchdog& Dog, std::vector<std::wstring>& Failures) {
  std::wprintf(L"%ls\n", Title);
  std::fflush(stdout);
  const CycleFigures ours = soak::RunCycles(Component, WarmUpFor(Cycles), Cycles, Dog, Ours);
  const CycleFigures theirs = soak::RunCycles(L"hand-written graph", WarmUpFor(Cycles), Cycles, Dog, Theirs);
  PrintGrowthHeader();
  for (const CycleFigures* figures : {&ours, &theirs})
    PrintGrowthRow(figures->Name, figures->Cycles, figures->Failed, figures->Seconds, figures->Growth());
  PrintGrowthRow(L"difference", Cycles, ours.Failed - theirs.Failed, ours.Seconds - theirs.Seconds, ours.Growth() - theirs.Growth());
  PrintDetails(ours);
  PrintDetails(theirs);
  std::wprintf(L"\n");
  std::fflush(stdout);
  if (ours.Failed) Failures.push_back(Component + L": " + std::to_wstring(ours.Failed) + L" cycles failed, " + ours.FirstFailure);
  if (theirs.Failed) Failures.push_back(L"hand-written graph beside " + Component + L": " + theirs.FirstFailure);
  JudgeGrowth(Component, JudgedGrowth(ours, theirs), theirs.Growth(), Cycles, Failures);
}

// Hangs as "copy: step|stack": each copy with its step, each different stack once, after the
// copies that met it.
void PrintHangs(const std::vector<std::wstring>& Hangs) {
  std::vector<std::pair<std::wstring, std::vector<std::wstring>>> byStack;
  for (const std::wstring& hang : Hangs) {
    const size_t bar = hang.find(L'|');
    const std::wstring stack = bar == std::wstring::npos ? L"" : hang.substr(bar + 1);
    auto found = std::find_if(byStack.begin(), byStack.end(), [&](const auto& Entry) { return Entry.first == stack; });
    if (found == byStack.end()) found = byStack.insert(byStack.end(), {stack, {}});
    found->second.push_back(hang.substr(0, bar));
  }
  for (const auto& [stack, copies] : byStack) {
    for (const std::wstring& copy : copies) std::wprintf(L"    %ls\n", copy.c_str());
    std::wprintf(L"      stack: %ls\n", stack.c_str());
  }
}

int RunSoak(const Options& Run) {
  PrintHeader(Run);
  std::vector<std::wstring> failures;
  const char* section = "";
  soak::Watchdog dog(kStepLimitMs, [&section](const soak::Hang& Stuck) {
    std::wprintf(L"\nHANG in %hs, step \"%hs\", %u ms without progress; the stuck thread's stack, innermost first:\n",
                 section, Stuck.Step.c_str(), Stuck.Elapsed);
    for (const std::wstring& frame : Stuck.Frames) std::wprintf(L"  %ls\n", frame.c_str());
    std::wprintf(L"FAILED: a hang\n");
    std::fflush(stdout);
    TerminateProcess(GetCurrentProcess(), 2);
  });
  testwin::HostWindow host(320, 240);
  playertest::TempFolder folder;  // the recordings and the workers' report, removed with its files
  const soak::CyclePlace place{host.Handle(), Run.Camera, Run.Clips + L"\\soak_player.avi", folder.Path(), &dog};

  if (Run.Runs(L"preview")) {
    section = "the preview cycles";
    CyclePair(L"1a. TVLmPreview: Open, Start, TakeSnapshot (waiting for the image), Stop, Close", L"TVLmPreview",
              Run.Preview, soak::PreviewCycle(place), soak::HandWrittenPreviewCycle(place), dog, failures);
  }
  if (Run.Runs(L"player")) {
    section = "the player cycles";
    CyclePair(L"1b. TVLmPlay on soak_player.avi (MJPEG): Open, Start, TakeSnapshot (waiting), Stop, Close", L"TVLmPlay",
              Run.Player, soak::PlayerCycle(place), soak::HandWrittenPlayerCycle(place), dog, failures);
  }
  if (Run.Runs(L"recorder")) {
    section = "the recorder cycles";
    CyclePair(L"1c. TVLmRecord: Open (AVI in a temporary folder), Start, 200 ms, Stop, Close", L"TVLmRecord",
              Run.Recorder, soak::RecorderCycle(place), soak::HandWrittenRecorderCycle(place), dog, failures);
  }
  if (Run.Runs(L"rounds")) {
    section = "the snapshot-then-teardown rounds";
    std::wprintf(L"2. TVLmPreview rounds: TakeSnapshot, then at once Stop (even rounds) or Close (odd rounds);\n"
                 L"   a step lasting over %lu s is a hang\n", kStepLimitMs / 1000);
    std::fflush(stdout);
    auto tally = std::make_shared<soak::TeardownTally>();
    const CycleFigures rounds =
        soak::RunCycles(L"TVLmPreview rounds", WarmUpFor(Run.Rounds), Run.Rounds, dog, soak::TeardownRound(place, tally));
    const CycleFigures byHand = soak::RunCycles(L"hand-written graph", WarmUpFor(Run.Rounds), Run.Rounds, dog,
                                                soak::HandWrittenTeardownRound(place));
    PrintGrowthHeader();
    for (const CycleFigures* figures : {&rounds, &byHand})
      PrintGrowthRow(figures->Name, figures->Cycles, figures->Failed, figures->Seconds, figures->Growth());
    PrintDetails(rounds);
    PrintDetails(byHand);
    const int total = rounds.Cycles + rounds.WarmUp;
    std::wprintf(L"    hangs 0; snapshots requested %d of %d, delivered %d (a request cut short by Close is dropped)\n\n",
                 tally->Requested, total, tally->Delivered);
    std::fflush(stdout);
    if (rounds.Failed) failures.push_back(L"rounds: " + std::to_wstring(rounds.Failed) + L" failed, " + rounds.FirstFailure);
    JudgeGrowth(L"rounds", JudgedGrowth(rounds, byHand), byHand.Growth(), rounds.Cycles, failures);
  }
  if (Run.Runs(L"damaged")) {
    section = "the damaged clips";
    // The workers' steps have time limits of their own; this thread only waits for them.
    dog.Rest("waiting for the damaged-clip workers");
    std::wprintf(L"3. Damaged clips played in worker processes by TVLmPlay and by a hand-written graph\n");
    std::fflush(stdout);
    const soak::DamagedFigures damaged = soak::RunDamagedClips(Run.Clips, Run.Damaged, folder.Path());
    std::wprintf(L"  copies %d, with a verdict %d, workers %d, %.0f s\n", damaged.Copies, damaged.Played, damaged.Workers,
                 damaged.Seconds);
    for (const auto& [outcome, count] : damaged.Outcomes) std::wprintf(L"    %-40ls %5d\n", outcome.c_str(), count);
    std::wprintf(L"  Wine's GStreamer parser hang (tried again): %d\n", damaged.WineParserHangs);
    PrintHangs(damaged.WineParserHangCopies);
    std::wprintf(L"  hangs of ours %zu, crashes %zu, unexpected error codes %zu\n", damaged.OwnHangs.size(),
                 damaged.Crashes.size(), damaged.UnexpectedErrors.size());
    PrintHangs(damaged.OwnHangs);
    for (const auto* list : {&damaged.Crashes, &damaged.UnexpectedErrors})
      for (const std::wstring& what : *list) std::wprintf(L"    %ls\n", what.c_str());
    std::wprintf(L"  growth summed over each play (before and after it, settled):\n");
    PrintGrowthHeader();
    PrintGrowthRow(L"TVLmPlay", damaged.Copies, 0, 0, damaged.PlayerGrowth);
    PrintGrowthRow(L"hand-written graph", damaged.Copies, 0, 0, damaged.HandWrittenGrowth);
    std::wprintf(L"    private KB on the copies the player refused / opened: TVLmPlay %ls / %ls, hand-written graph %ls / %ls\n",
                 Kilobytes(damaged.PlayerMemoryByOutcome[0]).c_str(), Kilobytes(damaged.PlayerMemoryByOutcome[1]).c_str(),
                 Kilobytes(damaged.HandWrittenMemoryByOutcome[0]).c_str(),
                 Kilobytes(damaged.HandWrittenMemoryByOutcome[1]).c_str());
    if (!damaged.ObjectChanges.empty()) std::wprintf(L"    GDI or USER objects changed by a play (TVLmPlay / hand-written graph):\n");
    for (const std::wstring& change : damaged.ObjectChanges) std::wprintf(L"      %ls\n", change.c_str());
    std::wprintf(L"\n");
    std::fflush(stdout);
    if (damaged.Failed()) failures.push_back(L"damaged clips: a hang of ours, a crash, an unexpected error or a copy not played");
    JudgeGrowth(L"damaged clips", damaged.PlayerGrowth, damaged.HandWrittenGrowth, damaged.Copies, failures,
                damaged.Workers);
  }
  dog.Step("done");
  if (failures.empty()) {
    std::wprintf(L"PASSED: no failure, no hang, no growth beyond Wine's own\n");
    return 0;
  }
  std::wprintf(L"FAILED:\n");
  for (const std::wstring& failure : failures) std::wprintf(L"  %ls\n", failure.c_str());
  return 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
    std::fwprintf(stderr, L"COM could not be initialised\n");
    return 1;
  }
  const Options options = Parse(argc, argv);
  int status = 0;
  if (argc >= 4 && std::wcscmp(argv[1], L"--damaged-worker") == 0)
    status = soak::DamagedClipWorker(options.Clips, options.Damaged, _wtoi(argv[2]), argv[3]);
  else if (!options.Clips.empty())
    status = RunSoak(options);
  else {
    std::fwprintf(stderr, L"usage: LmSoak.exe --clips DIR [options] (see tools/run-soak.sh)\n");
    status = 2;
  }
  std::fflush(stdout);
  CoUninitialize();
  return status;
}
