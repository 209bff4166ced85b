#include "testcam/FrameKeeper.h"

#include <chrono>

namespace camtest {

Frame::Colour Frame::At(LONG X, LONG Y) const {
  const LONG stride = (Width * 3 + 3) & ~3;
  const BYTE* pixel = Pixels.data() + static_cast<size_t>(Height - 1 - Y) * stride + X * 3;
  return {pixel[2], pixel[1], pixel[0]};
}

HRESULT FrameKeeper::Attach(CaptureRig& Rig) {
  AM_MEDIA_TYPE type{};
  HRESULT hr = Rig.Grab->GetConnectedMediaType(&type);
  if (FAILED(hr)) return hr;
  lm::FrameFormat format;
  const bool known = lm::FrameFormatOf(type, format);
  if (type.pbFormat) CoTaskMemFree(type.pbFormat);
  if (type.pUnk) type.pUnk->Release();
  if (!known) return VFW_E_INVALIDMEDIATYPE;
  {
    std::lock_guard lock(m_Lock);
    m_Format = format;
  }
  return Rig.Grab->SetCallback(this, 0);
}

STDMETHODIMP FrameKeeper::SampleCB(double, IMediaSample* Sample) {
  lm::FrameFormat format;
  {
    std::lock_guard lock(m_Lock);
    format = m_Format;
  }
  Frame frame;
  frame.Width = format.Width;
  frame.Height = format.Height < 0 ? -format.Height : format.Height;
  frame.Pixels.resize(lm::Rgb24ImageBytes(frame.Width, frame.Height));
  BYTE* data = nullptr;
  if (FAILED(Sample->GetPointer(&data)) ||
      !lm::ConvertFrame(format, data, static_cast<size_t>(Sample->GetActualDataLength()), frame.Pixels.data()))
    return S_OK;
  frame.Counter = DecodeCounter(frame.Pixels.data(), frame.Width, frame.Height);
  if (frame.Counter < 0) return S_OK;
  {
    std::lock_guard lock(m_Lock);
    m_Newest = std::move(frame);
  }
  m_Arrived.notify_all();
  return S_OK;
}

bool FrameKeeper::NextFrameAfter(int After, DWORD TimeoutMs, Frame& Out) {
  std::unique_lock lock(m_Lock);
  if (!m_Arrived.wait_for(lock, std::chrono::milliseconds(TimeoutMs), [&] { return m_Newest.Counter > After; }))
    return false;
  Out = m_Newest;
  return true;
}

int FrameKeeper::NewestCounter() {
  std::lock_guard lock(m_Lock);
  return m_Newest.Counter;
}

}  // namespace camtest
