#pragma once

// The sample-grabber callback that hands one frame per arming from the graph's streaming
// thread to a component's window.

#include <windows.h>

#include <dshow.h>
#include <wrl/client.h>

#include <atomic>
#include <memory>
#include <mutex>

#include "framework/Classes.h"
#include "webcam/LmSampleGrabber.h"
#include "webcam/LmWebCamApi.h"

// A COM object whose lifetime is not decided by reference counts: AddRef and Release answer
// -1 and change nothing; the owner deletes the object. Holders of its interfaces must be gone
// (or detached) before that. The library's own callback no longer uses it (see below); it stays
// for applications that derive their own objects from it.
class LMWEBCAM_API TLmInterfacedBase : public TObject, public IUnknown {
public:
  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;
};

// What receives every sample that the grabber passes in callback mode 0 (SampleCB), on the
// streaming thread: the frame stream of the preview and the player.
class LMWEBCAM_API TLmSampleReceiver {
public:
  virtual void ReceiveSample(IMediaSample* Sample) = 0;

protected:
  ~TLmSampleReceiver() = default;
};

// Buffer callback of the Sample Grabber (callback mode 1). Arming it (SetCaptureInfo with
// false) opens the latch; the first buffer that arrives closes it, is copied on the streaming
// thread into a movable global block (pixels at offset 40, room for the bitmap header in
// front), kept as the pending frame, and announced by posting WM_CAPTURE to the window. The
// streaming thread never waits for the GUI thread, so stopping or tearing down the graph
// right after a snapshot request cannot deadlock. The window's handler takes the pending frame
// with TakeFrame; a frame nobody took is freed by DiscardFrame or the destructor.
//
// In callback mode 0 (SampleCB) the object also hands every sample to its receiver, if one is
// set: the frame stream selects that mode while it runs, and the snapshot latch works the same
// in either mode.
//
// Lifetime: a reference-counted COM object (Create gives the first reference). The grabber
// holds a reference of its own while the callback is set, so the object outlives every call
// the grabber makes. Its owner detaches it (SetCallback(nullptr, 0), then Detach) before it lets
// the grabber go; a BufferCB that still arrives after Detach, from a streaming thread that was
// already on its way, copies nothing and tells no window.
class LMWEBCAM_API TLmSampleGrabberCB : public TObject, public ISampleGrabberCB {
public:
  // Bytes reserved in front of the pixels of a pending frame.
  static constexpr SIZE_T kHeaderRoom = sizeof(BITMAPINFOHEADER);
  // Largest buffer that is copied; longer (or negative) lengths are announced without pixels.
  static constexpr LONG kLargestFrame = 16000000;

  // A new callback, with no window and one reference for the caller.
  static Microsoft::WRL::ComPtr<TLmSampleGrabberCB> Create();

  // Stores the window that is told of frames and the latch (false arms the object). Does
  // nothing once the object is detached.
  void SetCaptureInfo(HWND Wnd, bool bCaptured);
  // Closes the object for good: no window is told of a frame again, and a pending frame is freed.
  void Detach();
  bool Detached() const { return m_Detached; }

  // Hands over the pending frame: its block (null when the buffer was not copied) and the
  // buffer length the grabber reported. False when no frame is pending.
  bool TakeFrame(HGLOBAL& Block, LONG& BufferLen);
  // Frees a pending frame that will not be delivered.
  void DiscardFrame();

  bool Captured() const { return m_Captured; }

  // The receiver of every sample in mode 0 (null: none). Set on the GUI thread at any time; a
  // call in flight finishes with the receiver it had.
  void SetSampleReceiver(std::shared_ptr<TLmSampleReceiver> Receiver);

  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;

  // Serves the snapshot latch with the sample's buffer, then hands the sample to the receiver.
  STDMETHODIMP SampleCB(double SampleTime, IMediaSample* pSample) override;
  // Serves the snapshot latch.
  STDMETHODIMP BufferCB(double SampleTime, BYTE* pBuffer, LONG BufferLen) override;

protected:
  TLmSampleGrabberCB() = default;
  ~TLmSampleGrabberCB() override;

private:
  std::atomic<ULONG> m_RefCount{1};
  std::atomic<bool> m_Captured{false};  // written by the GUI thread to arm, by the streaming thread to spend
  std::atomic<bool> m_Detached{false};  // set once, on the GUI thread

  std::mutex m_FrameLock;               // guards what follows; never held while calling out
  HWND m_hWnd = nullptr;                // set on the GUI thread before arming
  bool m_FramePending = false;
  HGLOBAL m_FrameBlock = nullptr;       // owned while pending
  LONG m_FrameLength = 0;
  std::shared_ptr<TLmSampleReceiver> m_Receiver;
};
