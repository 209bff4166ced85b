#pragma once

// The frame handler of the frame-stream measurements, the same code in TVLmPreview's OnFrame
// and in the hand-written program's callbacks: it notes how long after the frame's arrival it
// runs, reads the picture (a byte of every 64, which brings the whole frame through the cache,
// as any use of the frame does), optionally holds the thread as a slow handler does, and counts
// the frames and what was dropped before them.
//
// Threads: one handler call at a time, on whichever thread delivers (a streaming thread or the
// GUI thread); the GUI thread reads the counts and latencies meanwhile.

#include <windows.h>

#include <cstdint>
#include <mutex>
#include <vector>

namespace bench {

// Now, in 100-ns units of QueryPerformanceCounter (the unit of TLmFrame::ArrivalTime).
int64_t ArrivalClock();

// Reads a byte of every 64 of a picture: Bytes from Data for a Stride of 0 or more, or, for a
// bottom-up picture whose top row Data points to (a negative Stride), the Height rows that end
// at that row. Answers what it read, summed, so that the reads cannot be left out.
uint32_t TouchPicture(const uint8_t* Data, uint32_t Bytes, int32_t Stride, int32_t Height);

class FrameTally {
public:
  struct Counts {
    uint64_t Delivered = 0;  // handler calls
    uint64_t Dropped = 0;    // the frames that the deliveries said were dropped before them
  };

  // HoldMs: how long each call holds its thread after reading the frame (0: not at all).
  explicit FrameTally(DWORD HoldMs = 0);
  FrameTally(const FrameTally&) = delete;
  FrameTally& operator=(const FrameTally&) = delete;

  // The handler's work for one frame that arrived at ArrivalTime (ArrivalClock units), with
  // Dropped frames dropped since the previous one delivered.
  void Handle(const uint8_t* Data, uint32_t Bytes, int32_t Stride, int32_t Height, int64_t ArrivalTime,
              uint32_t Dropped);

  // From Keep(true) to Keep(false), each call's latency (handler start minus arrival) is kept.
  void Keep(bool On);
  Counts Read() const;
  std::vector<double> LatenciesMs() const;

private:
  const DWORD m_HoldMs;
  mutable std::mutex m_Lock;  // guards what follows; held only to read or update it
  Counts m_Counts;
  bool m_Keeping = false;
  std::vector<double> m_LatenciesMs;
  uint32_t m_Sink = 0;  // the sums of the reads
};

// GUI thread: pumps its messages for WarmUpMs, then until a frame has reached Tally's handler
// (for 3 s at most); false when none did.
bool WarmUp(const FrameTally& Tally, DWORD WarmUpMs);

}  // namespace bench
