#pragma once

// What every Sample Grabber callback of a hand-written program shares: IUnknown over
// ISampleGrabberCB, with a reference count. An object is created with one reference (Adopt
// hands it to a ComPtr) and deletes itself at its last Release; the derived class writes
// SampleCB and BufferCB.

#include <windows.h>

#include <wrl/client.h>

#include <atomic>

#include "webcam/LmSampleGrabber.h"

namespace handwritten {

class GrabberCallback : public ISampleGrabberCB {
public:
  GrabberCallback(const GrabberCallback&) = delete;
  GrabberCallback& operator=(const GrabberCallback&) = delete;

  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;

  // A new object's one reference, taken by a ComPtr.
  template <typename T>
  static Microsoft::WRL::ComPtr<T> Adopt(T* Created) {
    Microsoft::WRL::ComPtr<T> owner;
    *owner.GetAddressOf() = Created;
    return owner;
  }

protected:
  GrabberCallback() = default;
  virtual ~GrabberCallback() = default;

private:
  std::atomic<ULONG> m_References{1};
};

}  // namespace handwritten
