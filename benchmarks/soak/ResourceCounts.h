#pragma once

// What a process holds, counted to find what a cycle of work leaves behind: kernel handles,
// private bytes, threads, GDI and USER objects.

#include <windows.h>

#include <cstdint>
#include <map>
#include <string>

namespace soak {

struct ResourceCounts {
  int64_t Handles = 0;       // kernel object handles of this process
  int64_t PrivateBytes = 0;  // private committed memory (Wine: the process's anonymous resident memory)
  int64_t Threads = 0;
  int64_t Gdi = 0;   // GDI objects, counted as the tests count them (testwin::GdiObjects)
  int64_t User = 0;  // USER objects, counted as the tests count them (testwin::UserObjects)

  ResourceCounts operator-(const ResourceCounts& Other) const;
  ResourceCounts operator+(const ResourceCounts& Other) const;
};

// The counts of this process now.
ResourceCounts CountResources();

// This process's kernel handles by object type ("Event", "Key", ...), to say what grows.
std::map<std::wstring, int64_t> HandlesByType();

// Per type, how many more handles After holds than Before (types that did not change left out).
std::map<std::wstring, int64_t> HandleGrowth(const std::map<std::wstring, int64_t>& Before,
                                             const std::map<std::wstring, int64_t>& After);

}  // namespace soak
