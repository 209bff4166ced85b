#include "webcam/LmSnapshot.h"

#include <cstring>

namespace {

// A global block that is freed on every path unless ownership is handed on.
class OwnedBlock {
public:
  explicit OwnedBlock(HGLOBAL Block) : m_Block(Block) {}
  OwnedBlock(const OwnedBlock&) = delete;
  OwnedBlock& operator=(const OwnedBlock&) = delete;
  ~OwnedBlock() {
    if (m_Block) GlobalFree(m_Block);
  }
  HGLOBAL Get() const { return m_Block; }
  void Release() { m_Block = nullptr; }

private:
  HGLOBAL m_Block;
};

}  // namespace

TLmSnapshotPipeline::TLmSnapshotPipeline(TWinControl& Control)
    : m_LmSampleGrabberCB(std::make_unique<TLmSampleGrabberCB>()), m_Control(Control) {}

TLmSnapshotPipeline::~TLmSnapshotPipeline() {
  // The grabber may still point at the callback: detach it before the callback goes.
  if (m_pSampleGrabber) m_pSampleGrabber->SetCallback(nullptr, 0);
}

bool TLmSnapshotPipeline::DispatchCapture(TMessage& Message) {
  if (Message.Msg != WM_CAPTURE) return false;
  WMCapture(Message);
  return true;
}

bool TLmSnapshotPipeline::StartGrabber() {
  if (!m_pSampleGrabber) return false;
  const LONG imageSize = static_cast<LONG>(m_vih.bmiHeader.biSizeImage);
  if (imageSize < kSmallestImage || imageSize > kLargestImage) return false;
  try {
    m_LmSampleGrabberCB->SetCaptureInfo(m_Control.Handle(), false);
    m_pSampleGrabber->SetCallback(static_cast<ISampleGrabberCB*>(m_LmSampleGrabberCB.get()), 1);
  } catch (...) {
    return false;
  }
  return true;
}

int16_t TLmSnapshotPipeline::RequestSnapshot(TVLmVideoStates State, bool StreamReady) {
  if (State == vlmStateClosed || !State.Contains(vlmVideoStarted)) return LMERR_WRONG_STATE;
  if (!StreamReady) return LMERR_NO_SNAPSHOT_STREAM;
  return StartGrabber() ? LMERR_NONE : LMERR_GRAPH_FAILED;
}

void TLmSnapshotPipeline::WMCapture(TMessage& Message) {
  Message.Result = 0;
  HGLOBAL taken = nullptr;
  LONG length = 0;
  if (!m_LmSampleGrabberCB->TakeFrame(taken, length)) return;
  OwnedBlock block(taken);
  if (!m_pSampleGrabber) return;

  try {
    m_pSampleGrabber->SetCallback(nullptr, 0);

    const LONG width = m_vih.bmiHeader.biWidth;
    const LONG height = m_vih.bmiHeader.biHeight;
    if (width % 4 != 0 || width < 32 || width > 4096 || height < 32 || height > 4096) return;
    if (m_vih.bmiHeader.biSizeImage != static_cast<DWORD>(length)) return;
    if (!block.Get()) return;  // the frame could not be copied

    BITMAPINFOHEADER header{};
    header.biSize = sizeof(BITMAPINFOHEADER);
    header.biWidth = width;
    header.biHeight = height;
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biCompression = BI_RGB;
    header.biSizeImage = m_vih.bmiHeader.biSizeImage;
    void* bytes = GlobalLock(block.Get());
    if (!bytes) return;
    std::memcpy(bytes, &header, sizeof(header));
    GlobalUnlock(block.Get());
  } catch (...) {
    return;
  }

  bool freeMemory = true;
  try {
    DoSnapshot(reinterpret_cast<UINT_PTR>(block.Get()), freeMemory);
  } catch (...) {
    // The handler's error stays here; the block goes unless the handler took it first.
  }
  if (!freeMemory) block.Release();
}

void TLmSnapshotPipeline::DoSnapshot(UINT_PTR ImageHandle, bool& FreeMemory) {
  if (FOnSnapshot) FOnSnapshot(&m_Control, ImageHandle, FreeMemory);
}

void TLmSnapshotPipeline::DropPendingSnapshot() {
  if (m_pSampleGrabber) m_pSampleGrabber->SetCallback(nullptr, 0);
  m_LmSampleGrabberCB->DiscardFrame();
}

TVLmSnapshotControl::TVLmSnapshotControl(TComponent* AOwner) : TVLmVideoControl(AOwner), TLmSnapshotPipeline(static_cast<TWinControl&>(*this)) {}

void TVLmSnapshotControl::Dispatch(TMessage& Message) {
  if (!DispatchCapture(Message)) TVLmVideoControl::Dispatch(Message);
}
