#include "soak/CycleSoak.h"

#include "soak/Pump.h"

namespace soak {

namespace {

// Lets what the last cycle posted or left to other threads settle before counting.
ResourceCounts SettledCounts() {
  PumpFor(300);
  return CountResources();
}

}  // namespace

CycleFigures RunCycles(const std::wstring& Name, int WarmUp, int Cycles, Watchdog& Dog, const Cycle& Body) {
  CycleFigures figures;
  figures.Name = Name;
  figures.WarmUp = WarmUp;
  figures.Cycles = Cycles;
  const auto run = [&](int Index) {
    const std::wstring failure = Body(Index);
    if (failure.empty()) return;
    if (++figures.Failed == 1) figures.FirstFailure = L"cycle " + std::to_wstring(Index) + L": " + failure;
  };
  for (int i = 0; i < WarmUp; ++i) run(i);
  Dog.Step("counting after the warm-up");
  figures.AfterWarmUp = SettledCounts();
  const auto typesBefore = HandlesByType();
  const ULONGLONG started = GetTickCount64();
  for (int quarter = 1; quarter <= 4; ++quarter) {
    for (int i = Cycles * (quarter - 1) / 4; i < Cycles * quarter / 4; ++i) run(WarmUp + i);
    Dog.Step("counting at a checkpoint");
    figures.Checkpoints.push_back(SettledCounts());
  }
  figures.Seconds = static_cast<double>(GetTickCount64() - started) / 1000.0;
  figures.HandleTypeGrowth = HandleGrowth(typesBefore, HandlesByType());
  return figures;
}

}  // namespace soak
