#pragma once

// Damaged clips played in worker processes: each copy by TVLmPlay and by a hand-written graph
// (RenderFile, run to the end or 2 s, stop), with what each play leaves behind counted. A
// worker that meets Wine's GStreamer parser hang, or a hang or crash of its own, reports it and
// ends; the next worker goes on from the right copy.

#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "soak/ResourceCounts.h"

namespace soak {

struct DamagedFigures {
  int Copies = 0;
  int Played = 0;  // copies with a verdict: played by both, crashed on, or left out after Wine's parser hung on every try
  std::map<std::wstring, int> Outcomes;             // "TVLmPlay refused (20)", "hand-written opened", ...
  int WineParserHangs = 0;                          // retried; the defect is a race
  std::vector<std::wstring> WineParserHangCopies;
  std::vector<std::wstring> OwnHangs;               // copy, step and stack
  std::vector<std::wstring> Crashes;                // copy and exit code
  std::vector<std::wstring> UnexpectedErrors;       // refusals with a code other than 20 or 203
  int Workers = 0;
  double Seconds = 0;
  ResourceCounts PlayerGrowth;       // summed over the player's plays
  ResourceCounts HandWrittenGrowth;  // summed over the hand-written graph's plays
  // Private bytes summed over the copies the player refused [0] and opened [1].
  int64_t PlayerMemoryByOutcome[2] = {0, 0};
  int64_t HandWrittenMemoryByOutcome[2] = {0, 0};
  // The copies after whose play GDI or USER objects changed: "copy (outcome): GDI player / by
  // hand, USER player / by hand".
  std::vector<std::wstring> ObjectChanges;

  bool Failed() const { return !OwnHangs.empty() || !Crashes.empty() || !UnexpectedErrors.empty() || Played < Copies; }
};

// The damaged copies of the source clips (in Folder), Count of them in a fixed order: cut,
// flipped and field-edited copies of each, taken evenly when there are more.
struct DamagedCopy {
  std::wstring Name;
  std::vector<BYTE> Bytes;
};
std::vector<DamagedCopy> SoakCopies(const std::wstring& ClipFolder, int Count);

// The damaged-clip names the soak makes its copies from, in the clip folder.
extern const wchar_t* const kDamagedSources[3];

// In the parent: runs the workers (this program with --damaged-worker) until every copy is played.
DamagedFigures RunDamagedClips(const std::wstring& ClipFolder, int Count, const std::wstring& WorkFolder);

// In a worker: plays the copies from First on, reporting to the file Report; its exit code.
int DamagedClipWorker(const std::wstring& ClipFolder, int Count, int First, const std::wstring& Report);

}  // namespace soak
