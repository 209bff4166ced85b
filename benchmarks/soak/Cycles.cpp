#include "soak/Cycles.h"

#include "soak/HandWrittenProgram.h"
#include "soak/Pump.h"
#include "webcam/LmPlay.h"
#include "webcam/LmPreview.h"
#include "webcam/LmRecord.h"

namespace soak {

namespace {

constexpr DWORD kSnapshotTimeoutMs = 5000;
constexpr DWORD kRecordingMs = 200;
constexpr DWORD kFramesFlowMs = 250;

std::wstring Error(const wchar_t* Operation, const TVLmVideoControl& Control) {
  return std::wstring(Operation) + L" failed, error " + std::to_wstring(Control.ErrorStatus());
}

// The component of a cycle, placed in the host window; deleted with the last copy of the cycle.
template <typename Component>
std::shared_ptr<Component> Placed(const CyclePlace& Place) {
  auto component = std::make_shared<Component>(nullptr);
  component->SetParentWindow(Place.Host);
  component->SetBounds(0, 0, 320, 240);
  return component;
}

// Counts the snapshots a component delivers; its handler leaves FreeMemory as it is, so the
// component frees each block.
struct SnapshotCount {
  int Delivered = 0;
};

template <typename Component>
std::wstring SnapshotAndWait(Component& Control, SnapshotCount& Count) {
  const int before = Count.Delivered;
  if (!Control.TakeSnapshot()) return Error(L"TakeSnapshot", Control);
  if (!PumpUntil([&] { return Count.Delivered > before; }, kSnapshotTimeoutMs)) return L"no snapshot within 5 s";
  return L"";
}

std::wstring FirstOf(std::initializer_list<std::wstring> Failures) {
  for (const std::wstring& failure : Failures)
    if (!failure.empty()) return failure;
  return L"";
}

}  // namespace

Cycle PreviewCycle(const CyclePlace& Place) {
  auto preview = Placed<TVLmPreview>(Place);
  auto count = std::make_shared<SnapshotCount>();
  preview->SetOnSnapshot([count](TObject*, UINT_PTR, bool&) { ++count->Delivered; });
  const int camera = preview->VideoDevices()->IndexOf(Place.Camera);
  Watchdog* dog = Place.Dog;
  return [preview, count, camera, dog](int) -> std::wstring {
    dog->Step("TVLmPreview::Open");
    if (!preview->Open(camera)) return Error(L"Open", *preview);
    dog->Step("TVLmPreview::Start");
    std::wstring failure = preview->Start(vlmVideoStretch) ? L"" : Error(L"Start", *preview);
    dog->Step("TVLmPreview::TakeSnapshot and its OnSnapshot");
    if (failure.empty()) failure = SnapshotAndWait(*preview, *count);
    dog->Step("TVLmPreview::Stop");
    const std::wstring stop = preview->Stop() ? L"" : Error(L"Stop", *preview);
    dog->Step("TVLmPreview::Close");
    const std::wstring close = preview->Close() ? L"" : Error(L"Close", *preview);
    return FirstOf({failure, stop, close});
  };
}

Cycle HandWrittenPreviewCycle(const CyclePlace& Place) {
  return [Place](int) -> std::wstring {
    Place.Dog->Step("hand-written preview graph");
    HandWrittenProgram graph;
    if (!graph.BuildPreview(Place.Camera, Place.Host) || !graph.Run() || !graph.GrabOne(kSnapshotTimeoutMs) ||
        !graph.Stop())
      return graph.Failure();
    return L"";
  };
}

Cycle PlayerCycle(const CyclePlace& Place) {
  auto player = Placed<TVLmPlay>(Place);
  auto count = std::make_shared<SnapshotCount>();
  player->SetOnSnapshot([count](TObject*, UINT_PTR, bool&) { ++count->Delivered; });
  const std::wstring clip = Place.Clip;
  Watchdog* dog = Place.Dog;
  return [player, count, clip, dog](int) -> std::wstring {
    dog->Step("TVLmPlay::Open");
    if (!player->Open(clip)) return Error(L"Open", *player);
    dog->Step("TVLmPlay::Start");
    std::wstring failure = player->Start(vlmVideoStretch, 1.0) ? L"" : Error(L"Start", *player);
    dog->Step("TVLmPlay::TakeSnapshot and its OnSnapshot");
    if (failure.empty()) failure = SnapshotAndWait(*player, *count);
    dog->Step("TVLmPlay::Stop");
    const std::wstring stop = player->Stop() ? L"" : Error(L"Stop", *player);
    dog->Step("TVLmPlay::Close");
    const std::wstring close = player->Close() ? L"" : Error(L"Close", *player);
    return FirstOf({failure, stop, close});
  };
}

Cycle HandWrittenPlayerCycle(const CyclePlace& Place) {
  return [Place](int) -> std::wstring {
    Place.Dog->Step("hand-written playback graph");
    HandWrittenProgram graph;
    if (!graph.BuildPlayback(Place.Clip, Place.Host) || !graph.Run() || !graph.GrabOne(kSnapshotTimeoutMs) ||
        !graph.Stop())
      return graph.Failure();
    return L"";
  };
}

Cycle RecorderCycle(const CyclePlace& Place) {
  auto recorder = Placed<TVLmRecord>(Place);
  recorder->SetFormat(vlmAvi);
  const int camera = recorder->VideoDevices()->IndexOf(Place.Camera);
  const std::wstring file = Place.Folder + L"\\recorder.avi";
  Watchdog* dog = Place.Dog;
  return [recorder, camera, file, dog](int) -> std::wstring {
    dog->Step("TVLmRecord::Open");
    if (!recorder->Open(file, camera)) return Error(L"Open", *recorder);
    dog->Step("TVLmRecord::Start");
    const std::wstring failure = recorder->Start(vlmVideoStretch) ? L"" : Error(L"Start", *recorder);
    dog->Step("recording");
    if (failure.empty()) PumpFor(kRecordingMs);
    dog->Step("TVLmRecord::Stop");
    const std::wstring stop = recorder->Stop() ? L"" : Error(L"Stop", *recorder);
    dog->Step("TVLmRecord::Close");
    const std::wstring close = recorder->Close() ? L"" : Error(L"Close", *recorder);
    return FirstOf({failure, stop, close});
  };
}

Cycle HandWrittenRecorderCycle(const CyclePlace& Place) {
  const std::wstring file = Place.Folder + L"\\hand-written.avi";
  return [Place, file](int) -> std::wstring {
    Place.Dog->Step("hand-written recording graph");
    HandWrittenProgram graph;
    if (!graph.BuildRecording(Place.Camera, file, Place.Host) || !graph.Run()) return graph.Failure();
    PumpFor(kRecordingMs);
    return graph.Stop() ? L"" : graph.Failure();
  };
}

Cycle TeardownRound(const CyclePlace& Place, std::shared_ptr<TeardownTally> Tally) {
  auto preview = Placed<TVLmPreview>(Place);
  preview->SetOnSnapshot([Tally](TObject*, UINT_PTR, bool&) { ++Tally->Delivered; });
  const int camera = preview->VideoDevices()->IndexOf(Place.Camera);
  Watchdog* dog = Place.Dog;
  return [preview, Tally, camera, dog](int Round) -> std::wstring {
    if (preview->State() == vlmStateClosed) {
      dog->Step("TVLmPreview::Open");
      if (!preview->Open(camera)) return Error(L"Open", *preview);
    }
    dog->Step("TVLmPreview::Start");
    if (!preview->Start(vlmVideoStretch)) return Error(L"Start", *preview);
    // The first frame comes about 200 ms after Start under Wine; the request then meets the
    // 30 fps frames at every moment.
    dog->Step("pause before TakeSnapshot");
    PumpFor(kFramesFlowMs + static_cast<DWORD>(Round * 7 % 34));
    dog->Step("TVLmPreview::TakeSnapshot");
    const bool requested = preview->TakeSnapshot();
    Tally->Requested += requested;
    if (Round % 2 == 0) {
      dog->Step("TVLmPreview::Stop right after TakeSnapshot");
      if (!preview->Stop()) return Error(L"Stop", *preview);
    } else {
      dog->Step("TVLmPreview::Close right after TakeSnapshot");
      if (!preview->Close()) return Error(L"Close", *preview);
    }
    dog->Step("messages after the round");
    PumpFor(0);
    return requested ? L"" : Error(L"TakeSnapshot", *preview);
  };
}

Cycle HandWrittenTeardownRound(const CyclePlace& Place) {
  auto graph = std::make_shared<std::unique_ptr<HandWrittenProgram>>();
  return [Place, graph](int Round) -> std::wstring {
    Place.Dog->Step("hand-written round");
    if (!*graph) {
      *graph = std::make_unique<HandWrittenProgram>();
      if (!(*graph)->BuildPreview(Place.Camera, Place.Host)) return (*graph)->Failure();
    }
    HandWrittenProgram& current = **graph;
    if (!current.Run()) return current.Failure();
    PumpFor(kFramesFlowMs + static_cast<DWORD>(Round * 7 % 34));
    const bool armed = current.Arm();
    const bool stopped = current.Stop();
    if (Round % 2 == 1) graph->reset();
    return armed && stopped ? L"" : L"the round failed";
  };
}

}  // namespace soak
