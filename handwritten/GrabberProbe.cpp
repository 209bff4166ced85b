#include "handwritten/GrabberProbe.h"

namespace handwritten {

Microsoft::WRL::ComPtr<GrabberProbe> GrabberProbe::Create(EventReset Reset, double (*Clock)()) {
  return Adopt(new GrabberProbe(Reset, Clock));
}

GrabberProbe::GrabberProbe(EventReset Reset, double (*Clock)())
    : m_Arrived(CreateEventW(nullptr, Reset == EventReset::Manual, FALSE, nullptr)), m_Clock(Clock) {}

GrabberProbe::~GrabberProbe() {
  if (m_Arrived) CloseHandle(m_Arrived);
}

STDMETHODIMP GrabberProbe::SampleCB(double, IMediaSample*) {
  const double now = m_Clock ? m_Clock() : 0;
  std::lock_guard<std::mutex> lock(m_SampleLock);
  ++m_Samples;
  m_LastSampleAt = now;
  return S_OK;
}

STDMETHODIMP GrabberProbe::BufferCB(double, BYTE* Buffer, long Length) {
  if (!m_Armed.exchange(false)) return S_OK;
  try {
    if (Buffer && Length > 0) m_Copy.assign(Buffer, Buffer + Length);
  } catch (...) {
    m_Copy.clear();  // out of memory: the waiter sees an empty copy
  }
  SetEvent(m_Arrived);
  return S_OK;
}

void GrabberProbe::Arm() {
  ResetEvent(m_Arrived);
  m_Armed = true;
}

int GrabberProbe::Samples() const {
  std::lock_guard<std::mutex> lock(m_SampleLock);
  return m_Samples;
}

std::pair<int, double> GrabberProbe::LastSample() const {
  std::lock_guard<std::mutex> lock(m_SampleLock);
  return {m_Samples, m_LastSampleAt};
}

}  // namespace handwritten
