#pragma once

// Runs one kind of cycle many times on the GUI thread and counts what the process holds after
// a warm-up and at the end, with checkpoints between, so that growth per cycle shows.

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "soak/ResourceCounts.h"
#include "soak/Watchdog.h"

namespace soak {

struct CycleFigures {
  std::wstring Name;  // e.g. "TVLmPreview", "hand-written graph"
  int Cycles = 0;     // counted cycles, after the warm-up
  int WarmUp = 0;
  int Failed = 0;     // cycles in which an operation failed
  std::wstring FirstFailure;
  double Seconds = 0;  // for the counted cycles
  ResourceCounts AfterWarmUp;
  std::vector<ResourceCounts> Checkpoints;  // after each quarter of the counted cycles
  std::map<std::wstring, int64_t> HandleTypeGrowth;  // from the warm-up to the end

  ResourceCounts Growth() const { return Checkpoints.empty() ? ResourceCounts{} : Checkpoints.back() - AfterWarmUp; }
};

// One cycle; an empty text when every operation succeeded, else what failed.
using Cycle = std::function<std::wstring(int Index)>;

// WarmUp cycles, then Cycles counted ones. Between cycles the watchdog hears of each one.
CycleFigures RunCycles(const std::wstring& Name, int WarmUp, int Cycles, Watchdog& Dog, const Cycle& Body);

}  // namespace soak
