#include "webcam/LmPreview.h"

TVLmPreview::TVLmPreview(TComponent* AOwner)
    : TVLmCaptureControl(AOwner), TLmSnapshotPipeline(static_cast<TVLmVideoControl&>(*this)) {}

TVLmPreview::~TVLmPreview() { CloseGraph(); }

void TVLmPreview::Dispatch(TMessage& Message) {
  if (!DispatchCapture(Message)) TVLmCaptureControl::Dispatch(Message);
}

void TVLmPreview::ClearFormatFields() {
  TVLmCaptureControl::ClearFormatFields();
  m_isCapture = false;
}

bool TVLmPreview::Open(int32_t Index) {
  TLmCallScope busy(*this);
  if (!CheckOpenPreconditions() || !BindDevice(Index)) return false;
  return FinishOpen(StartupVideo());
}

bool TVLmPreview::OpenDevice(const std::wstring& DevicePath) {
  TLmCallScope busy(*this);
  return Open(FindDevicePath(DevicePath));
}

bool TVLmPreview::TakeSnapshot() {
  TLmCallScope busy(*this);
  m_ErrorStatus = RequestSnapshot(m_State, m_isCapture);
  return m_ErrorStatus == LMERR_NONE;
}
