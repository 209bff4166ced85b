#include "soak/DamagedClipSoak.h"

#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>

#include "player/DamagedClips.h"
#include "player/PlayerRig.h"
#include "soak/HandWrittenProgram.h"
#include "soak/Pump.h"
#include "soak/Watchdog.h"
#include "support/TestWindow.h"
#include "webcam/LmPlay.h"

namespace soak {

const wchar_t* const kDamagedSources[3] = {L"tiny_raw.avi", L"tiny_mjpeg.avi", L"tiny_av.avi"};

namespace {

constexpr DWORD kPlayMs = 2000;         // a copy that opens plays this long at most
constexpr DWORD kHangLimitMs = 8000;    // one step of a play (a tiny clip opens within a second)
constexpr int kWineHangTries = 2;       // the parser hang is a race: the same copy is tried again

std::string Narrow(const std::wstring& Text) {
  std::string narrow;
  for (wchar_t c : Text) narrow += c < 128 ? static_cast<char>(c) : '?';
  return narrow;
}

std::wstring Widen(const std::string& Text) { return std::wstring(Text.begin(), Text.end()); }

// The worker's play of one copy with TVLmPlay: "refused-<error>" or "opened".
std::string PlayWithPlayer(const std::wstring& Path, HWND Host, Watchdog& Dog) {
  Dog.Step("TVLmPlay::Open");
  TVLmPlay player(nullptr);
  player.SetParentWindow(Host);
  player.SetBounds(0, 0, 64, 48);
  bool ended = false;
  player.SetOnEnd([&](TObject*) { ended = true; });
  if (!player.Open(Path)) {
    Dog.Step("destroying TVLmPlay");
    return "refused-" + std::to_string(player.ErrorStatus());
  }
  Dog.Step("TVLmPlay::Start");
  if (player.Start(vlmVideoStretch, 1.0)) {
    Dog.Step("TVLmPlay playing");
    PumpUntil([&] { return ended; }, kPlayMs);
    Dog.Step("TVLmPlay::Stop");
    if (!ended) player.Stop();
  }
  Dog.Step("TVLmPlay::Close");
  player.Close();
  Dog.Step("destroying TVLmPlay");
  return "opened";
}

// The same with a hand-written graph: "refused" or "opened".
std::string PlayByHand(const std::wstring& Path, HWND Host, Watchdog& Dog) {
  Dog.Step("hand-written RenderFile");
  HandWrittenProgram graph;
  if (!graph.BuildPlayback(Path, Host)) return "refused";
  Dog.Step("hand-written graph playing");
  if (graph.Run()) graph.WaitForEnd(kPlayMs);
  Dog.Step("hand-written graph stopping");
  graph.Stop();
  Dog.Step("hand-written graph released");
  return "opened";
}

void Print(FILE* Out, const ResourceCounts& Counts) {
  fprintf(Out, " %lld %lld %lld %lld %lld", static_cast<long long>(Counts.Handles),
          static_cast<long long>(Counts.PrivateBytes), static_cast<long long>(Counts.Threads),
          static_cast<long long>(Counts.Gdi), static_cast<long long>(Counts.User));
}

ResourceCounts ReadCounts(std::istream& In) {
  ResourceCounts counts;
  In >> counts.Handles >> counts.PrivateBytes >> counts.Threads >> counts.Gdi >> counts.User;
  return counts;
}

// What a play left behind: the counts after it (settled) less those before it.
template <typename Play>
std::string CountedPlay(ResourceCounts& Growth, Play&& Body) {
  const ResourceCounts before = CountResources();
  const std::string outcome = Body();
  PumpFor(100);
  Growth = CountResources() - before;
  return outcome;
}

// The last Count lines of a text file.
std::wstring LastLines(const std::wstring& Path, size_t Count) {
  const std::vector<BYTE> bytes = playertest::ReadFileBytes(Path);
  std::vector<std::string> lines(1);
  for (BYTE b : bytes) {
    if (b == '\n')
      lines.emplace_back();
    else
      lines.back() += static_cast<char>(b);
  }
  std::wstring text;
  for (size_t i = lines.size() > Count ? lines.size() - Count : 0; i < lines.size(); ++i) text += L"      " + Widen(lines[i]) + L"\n";
  return text;
}

}  // namespace

std::vector<DamagedCopy> SoakCopies(const std::wstring& ClipFolder, int Count) {
  std::vector<DamagedCopy> all;
  for (const wchar_t* source : kDamagedSources) {
    const std::vector<BYTE> good = playertest::ReadFileBytes(ClipFolder + L"\\" + source);
    if (good.size() <= 4096) return {};
    for (auto* make : {&playertest::CutAndFlippedCopies, &playertest::FieldEditedCopies})
      for (playertest::Damage& damage : make(source, good)) all.push_back({damage.Name, std::move(damage.Bytes)});
  }
  if (static_cast<int>(all.size()) <= Count) return all;
  std::vector<DamagedCopy> picked;
  for (int i = 0; i < Count; ++i) picked.push_back(std::move(all[static_cast<size_t>(i) * all.size() / Count]));
  return picked;
}

int DamagedClipWorker(const std::wstring& ClipFolder, int Count, int First, const std::wstring& Report) {
  FILE* report = _wfopen(Report.c_str(), L"a");
  if (!report) return 1;
  const std::vector<DamagedCopy> copies = SoakCopies(ClipFolder, Count);
  if (copies.empty()) {
    fprintf(report, "fail no-source-clips\n");
    fclose(report);
    return 1;
  }
  int current = First;
  Watchdog dog(kHangLimitMs, [&](const Hang& Stuck) {
    const bool byHand = Stuck.Step.rfind("hand-written", 0) == 0;
    const bool inOpen = Stuck.Step == "TVLmPlay::Open" || Stuck.Step == "hand-written RenderFile";
    const bool wine = inOpen && playertest::StuckInWineParser(Stuck.Modules, byHand ? L"LmSoak.exe" : L"Lumo10WebCamD25.dll");
    std::string frames;
    for (const std::wstring& frame : Stuck.Frames) frames += (frames.empty() ? "" : " < ") + Narrow(frame);
    fprintf(report, "hang %d %s %s|%s\n", current, wine ? "wine-parser" : "other", Stuck.Step.c_str(), frames.c_str());
    fclose(report);
    TerminateProcess(GetCurrentProcess(), 3);  // no code may run after threads left in the parser
  });
  testwin::HostWindow host(320, 240);
  // A warm-up with a good clip, so that what the first play creates once is not counted.
  PlayWithPlayer(ClipFolder + L"\\" + kDamagedSources[1], host.Handle(), dog);
  PlayByHand(ClipFolder + L"\\" + kDamagedSources[1], host.Handle(), dog);
  // The copy goes beside the report, in the parent's work folder, which goes with the parent
  // (a worker ended in a hang cannot remove it).
  const std::wstring path = Report.substr(0, Report.find_last_of(L'\\') + 1) + L"copy-" +
                            std::to_wstring(GetCurrentProcessId()) + L".avi";
  for (; current < static_cast<int>(copies.size()); ++current) {
    const std::vector<BYTE>& bytes = copies[static_cast<size_t>(current)].Bytes;
    if (!playertest::WriteFileBytes(path, bytes.data(), bytes.size())) {
      fprintf(report, "fail cannot-write-copy\n");
      break;
    }
    // Each play's growth, measured around it; the order alternates, so that what one play's
    // threads free late is not always counted against the same side.
    ResourceCounts player, byHand;
    std::string ours, theirs;
    const auto playOurs = [&] { ours = CountedPlay(player, [&] { return PlayWithPlayer(path, host.Handle(), dog); }); };
    const auto playTheirs = [&] { theirs = CountedPlay(byHand, [&] { return PlayByHand(path, host.Handle(), dog); }); };
    if (current % 2 == 0) {
      playOurs();
      playTheirs();
    } else {
      playTheirs();
      playOurs();
    }
    fprintf(report, "copy %d %s %s", current, ours.c_str(), theirs.c_str());
    Print(report, player);
    Print(report, byHand);
    fprintf(report, "\n");
    fflush(report);
    dog.Step("between copies");
  }
  DeleteFileW(path.c_str());
  fprintf(report, "end\n");
  fclose(report);
  return 0;
}

DamagedFigures RunDamagedClips(const std::wstring& ClipFolder, int Count, const std::wstring& WorkFolder) {
  DamagedFigures figures;
  const std::vector<DamagedCopy> copies = SoakCopies(ClipFolder, Count);
  figures.Copies = static_cast<int>(copies.size());
  if (copies.empty()) {
    figures.Crashes.push_back(L"the source clips are missing in " + ClipFolder);
    return figures;
  }
  const std::wstring report = WorkFolder + L"\\damaged-report.txt";
  const std::wstring workerLog = WorkFolder + L"\\damaged-workers.log";
  DeleteFileW(report.c_str());
  wchar_t program[MAX_PATH];
  GetModuleFileNameW(nullptr, program, MAX_PATH);
  std::vector<int> wineTries(copies.size(), 0);
  size_t linesRead = 0;
  int next = 0;
  const ULONGLONG started = GetTickCount64();
  bool ended = false;
  while (!ended && next < figures.Copies) {
    std::wstring command = L"\"" + std::wstring(program) + L"\" --damaged-worker " + std::to_wstring(next) + L" \"" +
                           report + L"\" --clips \"" + ClipFolder + L"\" --damaged " + std::to_wstring(Count);
    // The worker's output (GStreamer's complaints about the damaged files, a crash's backtrace)
    // goes to a log of its own.
    SECURITY_ATTRIBUTES inherited{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    const HANDLE log = CreateFileW(workerLog.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherited,
                                   OPEN_ALWAYS, 0, nullptr);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nullptr;
    startup.hStdOutput = log;
    startup.hStdError = log;
    PROCESS_INFORMATION process{};
    ++figures.Workers;
    const BOOL started =
        CreateProcessW(program, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process);
    if (log != INVALID_HANDLE_VALUE) CloseHandle(log);
    if (!started) {
      figures.Crashes.push_back(L"cannot start a worker");
      break;
    }
    // Every step of a worker has a time limit of its own; a worker past all of them is hung.
    DWORD code = static_cast<DWORD>(-2);
    if (WaitForSingleObject(process.hProcess, static_cast<DWORD>(figures.Copies - next) * 4 * kHangLimitMs) == WAIT_OBJECT_0)
      GetExitCodeProcess(process.hProcess, &code);
    else
      TerminateProcess(process.hProcess, 4);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);

    std::ifstream in(Narrow(report));
    std::string line;
    bool reported = false;
    for (size_t number = 0; std::getline(in, line); ++number) {
      if (number < linesRead) continue;
      ++linesRead;
      std::istringstream fields(line);
      std::string kind;
      fields >> kind;
      if (kind == "end") {
        ended = true;
        reported = true;
      } else if (kind == "copy") {
        int index = 0;
        std::string ours, theirs;
        fields >> index >> ours >> theirs;
        const ResourceCounts player = ReadCounts(fields);
        const ResourceCounts byHand = ReadCounts(fields);
        figures.PlayerGrowth = figures.PlayerGrowth + player;
        figures.HandWrittenGrowth = figures.HandWrittenGrowth + byHand;
        const bool opened = ours == "opened";
        if (player.Gdi || player.User || byHand.Gdi || byHand.User)
          figures.ObjectChanges.push_back(copies[static_cast<size_t>(index)].Name + L" (" + Widen(ours) + L"): GDI " +
                                          std::to_wstring(player.Gdi) + L" / " + std::to_wstring(byHand.Gdi) + L", USER " +
                                          std::to_wstring(player.User) + L" / " + std::to_wstring(byHand.User));
        figures.PlayerMemoryByOutcome[opened] += player.PrivateBytes;
        figures.HandWrittenMemoryByOutcome[opened] += byHand.PrivateBytes;
        ++figures.Played;
        std::wstring outcome = L"TVLmPlay " + Widen(ours);
        if (ours.rfind("refused-", 0) == 0 && ours != "refused-20" && ours != "refused-203")
          figures.UnexpectedErrors.push_back(copies[static_cast<size_t>(index)].Name + L": " + Widen(ours));
        ++figures.Outcomes[outcome];
        ++figures.Outcomes[L"hand-written graph " + Widen(theirs)];
        next = index + 1;
      } else if (kind == "hang") {
        int index = 0;
        std::string which, rest;
        fields >> index >> which;
        std::getline(fields, rest);
        const std::wstring where = copies[static_cast<size_t>(index)].Name + L": " + Widen(rest);
        reported = true;
        if (which == "wine-parser") {
          ++figures.WineParserHangs;
          figures.WineParserHangCopies.push_back(where);
          // Tried again; a copy on which the parser hangs every time is left out.
          next = index;
          if (++wineTries[static_cast<size_t>(index)] == kWineHangTries) {
            ++figures.Outcomes[L"left out: Wine's parser hung on every try"];
            ++figures.Played;
            next = index + 1;
          }
        } else {
          figures.OwnHangs.push_back(where);
          next = index + 1;
        }
      } else if (kind == "fail") {
        figures.Crashes.push_back(L"worker: " + Widen(line));
        reported = true;
        ended = true;
      }
    }
    if (!reported) {
      // The worker ended without a word: it crashed on the copy after its last report.
      std::wostringstream text;
      text << L"exit code 0x" << std::hex << std::uppercase << code;
      figures.Crashes.push_back(copies[static_cast<size_t>(next)].Name + L": " + text.str() + L"; the end of the workers' log:\n" +
                                LastLines(workerLog, 30));
      ++figures.Played;
      ++next;
    }
  }
  figures.Seconds = static_cast<double>(GetTickCount64() - started) / 1000.0;
  return figures;
}

}  // namespace soak
