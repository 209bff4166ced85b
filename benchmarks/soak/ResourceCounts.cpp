#include "soak/ResourceCounts.h"

#include <tlhelp32.h>
#include <winternl.h>

#include <vector>

#include "benchmarks/BenchSupport.h"
#include "support/TestWindow.h"

namespace soak {

namespace {

// The system's handle table as NtQuerySystemInformation(SystemExtendedHandleInformation, 64)
// gives it; declared by the Windows Driver Kit, not by the SDK headers.
constexpr SYSTEM_INFORMATION_CLASS kSystemExtendedHandleInformation = static_cast<SYSTEM_INFORMATION_CLASS>(64);
struct HandleEntry {
  PVOID Object;
  ULONG_PTR UniqueProcessId;
  ULONG_PTR HandleValue;
  ULONG GrantedAccess;
  USHORT CreatorBackTraceIndex;
  USHORT ObjectTypeIndex;
  ULONG HandleAttributes;
  ULONG Reserved;
};
struct HandleTable {
  ULONG_PTR NumberOfHandles;
  ULONG_PTR Reserved;
  HandleEntry Handles[1];
};

// ObjectTypeInformation (2) of NtQueryObject starts with the type's name.
constexpr OBJECT_INFORMATION_CLASS kObjectTypeInformation = static_cast<OBJECT_INFORMATION_CLASS>(2);

// The handles of this process in the system's table; empty when the system does not say.
std::vector<HandleEntry> OwnHandles() {
  std::vector<BYTE> buffer(1 << 20);
  for (int attempt = 0; attempt < 6; ++attempt) {
    ULONG needed = 0;
    const NTSTATUS status = NtQuerySystemInformation(kSystemExtendedHandleInformation, buffer.data(),
                                                     static_cast<ULONG>(buffer.size()), &needed);
    if (status == static_cast<NTSTATUS>(0xC0000004L)) {  // STATUS_INFO_LENGTH_MISMATCH
      buffer.resize(std::max<size_t>(buffer.size() * 2, needed + 65536));
      continue;
    }
    if (status < 0) return {};
    const auto* table = reinterpret_cast<const HandleTable*>(buffer.data());
    std::vector<HandleEntry> own;
    const ULONG_PTR process = GetCurrentProcessId();
    for (ULONG_PTR i = 0; i < table->NumberOfHandles; ++i)
      if (table->Handles[i].UniqueProcessId == process) own.push_back(table->Handles[i]);
    return own;
  }
  return {};
}

int64_t CountHandles() {
  DWORD count = 0;
  // Windows counts them; Wine 8 answers 0, and its system handle table is read instead.
  if (GetProcessHandleCount(GetCurrentProcess(), &count) && count > 0) return count;
  return static_cast<int64_t>(OwnHandles().size());
}

int64_t CountThreads() {
  const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return -1;
  int64_t count = 0;
  THREADENTRY32 entry{};
  entry.dwSize = sizeof(entry);
  for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
    if (entry.th32OwnerProcessID == GetCurrentProcessId()) ++count;
  CloseHandle(snapshot);
  return count;
}

std::wstring TypeName(HANDLE Handle) {
  std::vector<BYTE> buffer(1024);
  ULONG length = 0;
  if (NtQueryObject(Handle, kObjectTypeInformation, buffer.data(), static_cast<ULONG>(buffer.size()), &length) < 0)
    return L"?";
  const auto* name = reinterpret_cast<const UNICODE_STRING*>(buffer.data());
  return name->Buffer ? std::wstring(name->Buffer, name->Length / sizeof(wchar_t)) : L"?";
}

}  // namespace

ResourceCounts ResourceCounts::operator-(const ResourceCounts& Other) const {
  return {Handles - Other.Handles, PrivateBytes - Other.PrivateBytes, Threads - Other.Threads, Gdi - Other.Gdi,
          User - Other.User};
}

ResourceCounts ResourceCounts::operator+(const ResourceCounts& Other) const {
  return {Handles + Other.Handles, PrivateBytes + Other.PrivateBytes, Threads + Other.Threads, Gdi + Other.Gdi,
          User + Other.User};
}

ResourceCounts CountResources() {
  ResourceCounts counts;
  counts.Handles = CountHandles();
  counts.PrivateBytes = bench::ProcessPrivateBytes();
  counts.Threads = CountThreads();
  counts.Gdi = testwin::GdiObjects();
  counts.User = testwin::UserObjects();
  return counts;
}

std::map<std::wstring, int64_t> HandlesByType() {
  std::map<USHORT, std::wstring> names;
  std::map<std::wstring, int64_t> counts;
  for (const HandleEntry& entry : OwnHandles()) {
    auto name = names.find(entry.ObjectTypeIndex);
    if (name == names.end())
      name = names.emplace(entry.ObjectTypeIndex, TypeName(reinterpret_cast<HANDLE>(entry.HandleValue))).first;
    ++counts[name->second];
  }
  return counts;
}

std::map<std::wstring, int64_t> HandleGrowth(const std::map<std::wstring, int64_t>& Before,
                                             const std::map<std::wstring, int64_t>& After) {
  std::map<std::wstring, int64_t> growth;
  for (const auto& [type, count] : After) {
    const auto before = Before.find(type);
    const int64_t change = count - (before == Before.end() ? 0 : before->second);
    if (change != 0) growth[type] = change;
  }
  for (const auto& [type, count] : Before)
    if (!After.count(type)) growth[type] = -count;
  return growth;
}

}  // namespace soak
