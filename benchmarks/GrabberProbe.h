#pragma once

// The hand-written program's Sample Grabber callback. Buffer mode (1): once armed, the next
// buffer is copied and announced through an event, as an application takes a still image.
// Sample mode (0): counts samples and touches nothing.

#include <windows.h>

#include <atomic>
#include <mutex>
#include <utility>
#include <vector>

#include "webcam/LmSampleGrabber.h"

namespace bench {

class GrabberProbe final : public ISampleGrabberCB {
public:
  GrabberProbe();
  GrabberProbe(const GrabberProbe&) = delete;
  GrabberProbe& operator=(const GrabberProbe&) = delete;

  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;
  // Streaming thread.
  STDMETHODIMP SampleCB(double SampleTime, IMediaSample* Sample) override;
  STDMETHODIMP BufferCB(double SampleTime, BYTE* Buffer, long Length) override;

  // GUI thread. Buffer mode: arm before attaching the callback; wait on ArrivedEvent().
  void Arm();
  void Disarm() { m_Armed = false; }
  HANDLE ArrivedEvent() const { return m_Arrived; }
  // Valid after ArrivedEvent() was set, until the next Arm().
  const std::vector<BYTE>& Copy() const { return m_Copy; }
  // Sample mode: how many samples arrived, and when the last one did (NowMs).
  int Samples() const;
  std::pair<int, double> LastSample() const;

private:
  ~GrabberProbe();

  std::atomic<ULONG> m_References{1};
  HANDLE m_Arrived;
  std::atomic<bool> m_Armed{false};  // GUI thread arms, streaming thread spends
  std::vector<BYTE> m_Copy;           // streaming thread writes, GUI thread reads after the event
  mutable std::mutex m_SampleLock;    // guards the two sample fields; held only to read or bump them
  int m_Samples = 0;
  double m_LastSampleAt = 0;
};

}  // namespace bench
