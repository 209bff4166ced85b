#pragma once

// Keeps the newest frame that a CaptureRig's Sample Grabber delivers, converted to RGB24 (with
// the camera library's converter) and with the counter it shows, so that tests can read the
// pixels of a frame painted after a change.

#include <windows.h>

#include <condition_variable>
#include <mutex>
#include <vector>

#include "testcam/CameraRig.h"

namespace camtest {

// A converted frame: a bottom-up RGB24 picture.
struct Frame {
  LONG Width = 0, Height = 0;
  int Counter = -1;
  std::vector<BYTE> Pixels;
  // The red, green and blue of picture column X on picture row Y (0 = top).
  struct Colour {
    int R, G, B;
  };
  Colour At(LONG X, LONG Y) const;
};

class FrameKeeper : public fakes::FakeComObject<ISampleGrabberCB> {
public:
  STDMETHODIMP SampleCB(double SampleTime, IMediaSample* Sample) override;
  STDMETHODIMP BufferCB(double, BYTE*, long) override { return fakes::Unexpected("ISampleGrabberCB::BufferCB"); }

  // Takes over the grabber of Rig (after RenderCapture): its frames come here from now on.
  HRESULT Attach(CaptureRig& Rig);
  // Waits up to TimeoutMs for a frame whose counter is above After; false when none came.
  bool NextFrameAfter(int After, DWORD TimeoutMs, Frame& Out);
  // The counter of the newest frame that converted and showed one (-1 when none has yet).
  int NewestCounter();

private:
  std::mutex m_Lock;
  std::condition_variable m_Arrived;
  lm::FrameFormat m_Format;
  Frame m_Newest;
};

}  // namespace camtest
