#include "capi/src/Events.h"

#include <mutex>
#include <unordered_set>

#include "capi/src/ControlTable.h"

namespace lm10 {
namespace {

// Counts a handler of the control as running for its lifetime. The control is alive: events
// come on its thread from its message loop, and it cannot be destroyed while a handler runs.
class RunningHandler {
public:
  explicit RunningHandler(Lm10Control Handle) : m_Entry(FindControl(Handle, kAnyControl)) {
    if (m_Entry) ++m_Entry->HandlersRunning;
  }
  RunningHandler(const RunningHandler&) = delete;
  RunningHandler& operator=(const RunningHandler&) = delete;
  ~RunningHandler() {
    if (m_Entry) --m_Entry->HandlersRunning;
  }

private:
  ControlEntry* m_Entry;
};

struct KeptSnapshots {
  std::mutex Lock;
  std::unordered_set<HGLOBAL> Blocks;
};

KeptSnapshots& Kept() {
  static KeptSnapshots kept;
  return kept;
}

}  // namespace

TNotifyEvent NotifyHandler(Lm10Control Handle, Lm10NotifyCallback Callback, void* Context) {
  if (!Callback) return nullptr;
  return [Handle, Callback, Context](TObject*) {
    RunningHandler running(Handle);
    Callback(Handle, Context);
  };
}

TVLmVideoSnapShotEvent SnapshotHandler(Lm10Control Handle, Lm10SnapshotCallback Callback, void* Context) {
  if (!Callback) return nullptr;
  return [Handle, Callback, Context](TObject*, UINT_PTR ImageHandle, bool& FreeMemory) {
    RunningHandler running(Handle);
    BOOL freeMemory = FreeMemory ? TRUE : FALSE;
    const auto image = reinterpret_cast<HGLOBAL>(ImageHandle);
    Callback(Handle, image, &freeMemory, Context);
    FreeMemory = freeMemory != FALSE;
    if (!FreeMemory) KeepSnapshot(image);
  };
}

TVLmFrameEvent FrameHandler(Lm10Control Handle, Lm10FrameCallback Callback, void* Context) {
  if (!Callback) return nullptr;
  return [Handle, Callback, Context](TObject*, const TLmFrame& Frame) {
    RunningHandler running(Handle);  // finds the control on its own thread only
    Lm10Frame frame{};
    frame.Size = sizeof(frame);
    frame.Data = Frame.Data;
    frame.Bytes = Frame.Bytes;
    frame.Width = Frame.Width;
    frame.Height = Frame.Height;
    frame.Stride = Frame.Stride;
    frame.SubType = Frame.SubType;
    frame.Number = Frame.Number;
    frame.SampleTime = Frame.SampleTime;
    frame.ArrivalTime = Frame.ArrivalTime;
    frame.Dropped = Frame.Dropped;
    Callback(Handle, &frame, Context);
  };
}

void KeepSnapshot(HGLOBAL Image) {
  KeptSnapshots& kept = Kept();
  std::lock_guard<std::mutex> lock(kept.Lock);
  kept.Blocks.insert(Image);
}

bool ReleaseKeptSnapshot(HGLOBAL Image) {
  KeptSnapshots& kept = Kept();
  std::lock_guard<std::mutex> lock(kept.Lock);
  return kept.Blocks.erase(Image) == 1;
}

}  // namespace lm10
