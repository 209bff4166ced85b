#include "benchmarks/FrameTally.h"

#include "benchmarks/BenchSupport.h"

namespace bench {
namespace {

constexpr size_t kTouchStep = 64;          // a cache line
constexpr size_t kLatenciesKept = 1 << 16;  // room reserved up front, so a call never allocates
constexpr double kFirstFrameTimeoutMs = 3000;

}  // namespace

int64_t ArrivalClock() {
  // The same arithmetic as the camera library's arrival time, so that the two compare exactly.
  LARGE_INTEGER count{}, frequency{};
  QueryPerformanceCounter(&count);
  QueryPerformanceFrequency(&frequency);
  if (frequency.QuadPart <= 0) return 0;
  const int64_t whole = count.QuadPart / frequency.QuadPart;
  const int64_t part = count.QuadPart % frequency.QuadPart;
  return whole * 10000000 + part * 10000000 / frequency.QuadPart;
}

uint32_t TouchPicture(const uint8_t* Data, uint32_t Bytes, int32_t Stride, int32_t Height) {
  if (!Data) return 0;
  const uint8_t* first = Data;
  size_t span = Bytes;
  if (Stride < 0) {
    const size_t row = static_cast<size_t>(-static_cast<int64_t>(Stride));
    span = Height > 0 ? row * static_cast<size_t>(Height) : 0;
    first = span ? Data - row * static_cast<size_t>(Height - 1) : Data;
  }
  uint32_t sum = 0;
  for (size_t at = 0; at < span; at += kTouchStep) sum += first[at];
  return sum;
}

FrameTally::FrameTally(DWORD HoldMs) : m_HoldMs(HoldMs) { m_LatenciesMs.reserve(kLatenciesKept); }

void FrameTally::Handle(const uint8_t* Data, uint32_t Bytes, int32_t Stride, int32_t Height, int64_t ArrivalTime,
                        uint32_t Dropped) {
  const double latencyMs = static_cast<double>(ArrivalClock() - ArrivalTime) / 10000.0;
  const uint32_t read = TouchPicture(Data, Bytes, Stride, Height);
  {
    std::lock_guard lock(m_Lock);
    ++m_Counts.Delivered;
    m_Counts.Dropped += Dropped;
    m_Sink += read;
    if (m_Keeping && m_LatenciesMs.size() < kLatenciesKept) m_LatenciesMs.push_back(latencyMs);
  }
  if (m_HoldMs) Sleep(m_HoldMs);
}

void FrameTally::Keep(bool On) {
  std::lock_guard lock(m_Lock);
  m_Keeping = On;
}

FrameTally::Counts FrameTally::Read() const {
  std::lock_guard lock(m_Lock);
  return m_Counts;
}

std::vector<double> FrameTally::LatenciesMs() const {
  std::lock_guard lock(m_Lock);
  return m_LatenciesMs;
}

bool WarmUp(const FrameTally& Tally, DWORD WarmUpMs) {
  PumpUntil(nullptr, WarmUpMs);
  return PumpWhileNot([&] { return Tally.Read().Delivered > 0; }, kFirstFrameTimeoutMs);
}

}  // namespace bench
