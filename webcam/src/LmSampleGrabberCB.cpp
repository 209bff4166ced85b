#include "webcam/LmSampleGrabberCB.h"

#include <cstring>
#include <new>

#include "webcam/LmWebCamera.h"
#include "webcam/src/LmComPtr.h"

STDMETHODIMP TLmInterfacedBase::QueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  if (IsEqualIID(riid, IID_IUnknown)) {
    *ppv = static_cast<IUnknown*>(this);
    return S_OK;
  }
  *ppv = nullptr;
  return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) TLmInterfacedBase::AddRef() { return static_cast<ULONG>(-1); }

STDMETHODIMP_(ULONG) TLmInterfacedBase::Release() { return static_cast<ULONG>(-1); }

Microsoft::WRL::ComPtr<TLmSampleGrabberCB> TLmSampleGrabberCB::Create() {
  return AdoptReference(new TLmSampleGrabberCB());
}

TLmSampleGrabberCB::~TLmSampleGrabberCB() { DiscardFrame(); }

STDMETHODIMP_(ULONG) TLmSampleGrabberCB::AddRef() { return ++m_RefCount; }

STDMETHODIMP_(ULONG) TLmSampleGrabberCB::Release() {
  const ULONG count = --m_RefCount;
  if (count == 0) delete this;
  return count;
}

void TLmSampleGrabberCB::SetCaptureInfo(HWND Wnd, bool bCaptured) {
  if (m_Detached) return;
  {
    std::lock_guard<std::mutex> lock(m_FrameLock);
    m_hWnd = Wnd;
  }
  m_Captured = bCaptured;
}

void TLmSampleGrabberCB::Detach() {
  m_Captured = true;
  std::shared_ptr<TLmSampleReceiver> receiver;
  {
    std::lock_guard<std::mutex> lock(m_FrameLock);
    m_Detached = true;
    m_hWnd = nullptr;
    receiver.swap(m_Receiver);
  }
  DiscardFrame();
}

STDMETHODIMP TLmSampleGrabberCB::QueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  if (IsEqualIID(riid, __uuidof(ISampleGrabberCB)) || IsEqualIID(riid, IID_IUnknown)) {
    *ppv = static_cast<ISampleGrabberCB*>(this);
    AddRef();
    return S_OK;
  }
  *ppv = nullptr;
  return E_NOINTERFACE;
}

void TLmSampleGrabberCB::SetSampleReceiver(std::shared_ptr<TLmSampleReceiver> Receiver) {
  std::lock_guard<std::mutex> lock(m_FrameLock);
  m_Receiver = std::move(Receiver);
}

STDMETHODIMP TLmSampleGrabberCB::SampleCB(double SampleTime, IMediaSample* pSample) {
  if (m_Detached || !pSample) return S_OK;
  if (!m_Captured) {
    BYTE* buffer = nullptr;
    if (pSample->GetPointer(&buffer) == S_OK) BufferCB(SampleTime, buffer, pSample->GetActualDataLength());
  }
  std::shared_ptr<TLmSampleReceiver> receiver;
  {
    std::lock_guard<std::mutex> lock(m_FrameLock);
    receiver = m_Receiver;
  }
  if (receiver) receiver->ReceiveSample(pSample);
  return S_OK;
}

STDMETHODIMP TLmSampleGrabberCB::BufferCB(double, BYTE* pBuffer, LONG BufferLen) {
  if (m_Detached || m_Captured.exchange(true)) return S_OK;

  // Copy while the grabber's buffer is valid; only lengths a snapshot can have are copied.
  HGLOBAL block = nullptr;
  if (pBuffer && BufferLen > 0 && BufferLen <= kLargestFrame) {
    block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, kHeaderRoom + static_cast<SIZE_T>(BufferLen));
    void* bytes = block ? GlobalLock(block) : nullptr;
    if (bytes) {
      std::memcpy(static_cast<BYTE*>(bytes) + kHeaderRoom, pBuffer, static_cast<size_t>(BufferLen));
      GlobalUnlock(block);
    } else if (block) {
      GlobalFree(block);
      block = nullptr;
    }
  }

  HGLOBAL dropped = nullptr;
  HWND window = nullptr;
  {
    std::lock_guard<std::mutex> lock(m_FrameLock);
    if (m_Detached) {
      // Detached while the frame was copied: nobody takes it.
      dropped = block;
    } else {
      dropped = m_FramePending ? m_FrameBlock : nullptr;
      m_FramePending = true;
      m_FrameBlock = block;
      m_FrameLength = BufferLen;
      window = m_hWnd;
    }
  }
  if (dropped) GlobalFree(dropped);
  if (window) PostMessageW(window, WM_CAPTURE, 0, 0);
  return S_OK;
}

bool TLmSampleGrabberCB::TakeFrame(HGLOBAL& Block, LONG& BufferLen) {
  std::lock_guard<std::mutex> lock(m_FrameLock);
  Block = nullptr;
  BufferLen = 0;
  if (!m_FramePending) return false;
  Block = m_FrameBlock;
  BufferLen = m_FrameLength;
  m_FramePending = false;
  m_FrameBlock = nullptr;
  m_FrameLength = 0;
  return true;
}

void TLmSampleGrabberCB::DiscardFrame() {
  HGLOBAL block = nullptr;
  LONG length = 0;
  if (TakeFrame(block, length) && block) GlobalFree(block);
}
