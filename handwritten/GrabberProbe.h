#pragma once

// The Sample Grabber callback of a hand-written program.
//
// Buffer mode (SetCallback mode 1): once armed, the next buffer is copied (it is valid only
// during the call, so an application must copy it) and an event is set, as an application
// takes a still image. The event is made auto-reset or manual-reset, as the waiter wants it:
// an auto-reset event is reset by the wait that sees it; a manual-reset one stays set until the
// next Arm, for a waiter that pumps messages and checks it again and again.
// Sample mode (mode 0): counts the samples and notes when the last one came, by the caller's
// clock; touches nothing.

#include <windows.h>

#include <wrl/client.h>

#include <atomic>
#include <mutex>
#include <utility>
#include <vector>

#include "handwritten/GrabberCallback.h"

namespace handwritten {

enum class EventReset { Auto, Manual };

class GrabberProbe final : public GrabberCallback {
public:
  // A new probe, owned by the caller's reference. Clock (milliseconds), when given, times the
  // samples.
  static Microsoft::WRL::ComPtr<GrabberProbe> Create(EventReset Reset, double (*Clock)() = nullptr);

  // Streaming thread.
  STDMETHODIMP SampleCB(double SampleTime, IMediaSample* Sample) override;
  STDMETHODIMP BufferCB(double SampleTime, BYTE* Buffer, long Length) override;

  // GUI thread. Buffer mode: arm before attaching the callback, then wait on ArrivedEvent().
  void Arm();
  void Disarm() { m_Armed = false; }
  HANDLE ArrivedEvent() const { return m_Arrived; }
  // The copy of the buffer; valid after ArrivedEvent() was set, until the next Arm().
  const std::vector<BYTE>& Copy() const { return m_Copy; }
  // Sample mode: how many samples arrived, and when the last one did (by the clock; 0 without).
  int Samples() const;
  std::pair<int, double> LastSample() const;

private:
  GrabberProbe(EventReset Reset, double (*Clock)());
  ~GrabberProbe() override;

  const HANDLE m_Arrived;
  double (*const m_Clock)();
  std::atomic<bool> m_Armed{false};  // the GUI thread arms, the streaming thread spends
  std::vector<BYTE> m_Copy;           // the streaming thread writes, the GUI thread reads after the event
  mutable std::mutex m_SampleLock;    // guards the two sample fields; held only to read or bump them
  int m_Samples = 0;
  double m_LastSampleAt = 0;
};

}  // namespace handwritten
