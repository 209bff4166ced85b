#include "capi/src/ControlTable.h"

#include <mutex>
#include <unordered_map>

namespace lm10 {
namespace {

// Handles count up from a base that no user-mode address has (a non-canonical address on x64),
// one step per control, for the life of the process.
constexpr uint64_t kFirstHandle = 0x4C4D313000000001ull;

// The table is read by every call; another thread's call only finds that the handle is not
// its own, but it must not see the table change under it.
struct Table {
  std::mutex Lock;
  std::unordered_map<uint64_t, std::unique_ptr<ControlEntry>> Entries;
  uint64_t Next = kFirstHandle;
};

Table& Controls() {
  static Table table;
  return table;
}

uint64_t Key(Lm10Control Handle) { return static_cast<uint64_t>(reinterpret_cast<uintptr_t>(Handle)); }

}  // namespace

Lm10Control AddControl(std::unique_ptr<ControlEntry> Entry) {
  Table& table = Controls();
  std::lock_guard<std::mutex> lock(table.Lock);
  const uint64_t key = table.Next++;
  table.Entries.emplace(key, std::move(Entry));
  return reinterpret_cast<Lm10Control>(static_cast<uintptr_t>(key));
}

ControlEntry* FindControl(Lm10Control Handle, uint32_t Kinds) {
  Table& table = Controls();
  std::lock_guard<std::mutex> lock(table.Lock);
  const auto found = table.Entries.find(Key(Handle));
  if (found == table.Entries.end()) return nullptr;
  ControlEntry* entry = found->second.get();
  if ((entry->Kind & Kinds) == 0 || entry->Thread != GetCurrentThreadId()) return nullptr;
  return entry;
}

std::unique_ptr<ControlEntry> RemoveControl(Lm10Control Handle) {
  Table& table = Controls();
  std::lock_guard<std::mutex> lock(table.Lock);
  const auto found = table.Entries.find(Key(Handle));
  if (found == table.Entries.end()) return nullptr;
  std::unique_ptr<ControlEntry> entry = std::move(found->second);
  table.Entries.erase(found);
  return entry;
}

}  // namespace lm10
