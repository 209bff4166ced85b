// The device and capture-pin property dialogs of the preview and the recorder.

#include "webcam/LmCaptureControl.h"

// Both dialogs need an opened component and a device list with a name in it.
bool TVLmCaptureControl::CheckDialogAllowed() {
  if (m_State == vlmStateClosed) {
    m_ErrorStatus = LMERR_WRONG_STATE;
    return false;
  }
  if (m_VideoDevices->Count() < 1) {
    m_ErrorStatus = LMERR_NO_DEVICE;
    return false;
  }
  return true;
}

bool TVLmCaptureControl::ShowFilterDialog() {
  // The property frame's modal loop dispatches the window's messages: graph events and
  // device changes wait until the dialog has closed and this call has returned.
  TLmCallScope busy(*this);
  if (!CheckDialogAllowed()) return false;
  const bool shown = ShowFilter(m_pDeviceFilter.Get(), Handle());
  m_ErrorStatus = shown ? LMERR_NONE : LMERR_GRAPH_FAILED;
  return shown;
}

bool TVLmCaptureControl::ShowCapturePinDialog() {
  // As for the filter dialog: no event interrupts taking the graph apart, the dialog and the
  // rebuild.
  TLmCallScope busy(*this);
  if (!CheckDialogAllowed()) return false;
  SIZE videoSize{0, 0};
  GUID subType = GUID_NULL;
  double frameRate = 0;
  uint16_t bitCount = 0;
  uint32_t compression = 0;
  uint32_t bitRate = 0;

  // The pin's pages may change its format only while it is unconnected: take the graph apart
  // behind the device for the dialog and build it again afterwards.
  const bool takenApart = !m_State.Contains(vlmVideoStarted);
  if (takenApart) TakeGraphApart(m_pDeviceFilter.Get());
  const bool found = ShowCapturePin(m_pCaptureGraphBuilder.Get(), m_pDeviceFilter.Get(), Handle(), &videoSize,
                                    &subType, &frameRate, &bitCount, &compression, &bitRate);
  if (takenApart && !RebuildsAfterPinFormat()) RebuildGraph(m_SelectedIndex);
  if (found)
    LoadPinFormat(videoSize, subType, frameRate, bitCount, compression, bitRate);
  else
    m_ErrorStatus = LMERR_GRAPH_FAILED;
  if (takenApart && RebuildsAfterPinFormat()) RebuildGraph(m_SelectedIndex);
  return found;
}

// The format the pin reported after its dialog becomes the current one, and the one last
// applied; the first list entry with its subtype and size becomes the selected one.
void TVLmCaptureControl::LoadPinFormat(SIZE VideoSize, const GUID& SubType, double FrameRate, uint16_t BitCount,
                                       uint32_t Compression, uint32_t BitRate) {
  m_oldVideoSize = m_VideoSize;
  m_VideoSize = VideoSize;
  m_VideoSubType = SubType;
  Set_StrVideoSubType(m_VideoSubType);
  m_FrameRate = FrameRate;
  m_BitCount = BitCount;
  m_Compression = Compression;
  m_BitRate = BitRate;
  m_ErrorStatus = LMERR_NONE;
  m_oldFrameRate = m_FrameRate;
  m_oldBitRate = m_BitRate;
  m_AppliedSubType = m_VideoSubType;
  m_AppliedSize = m_VideoSize;

  for (int32_t i = 0; i < m_pVSI_Count[1]; ++i) {
    const TLM_VIDEO_STREAM_INFORMATION& entry = m_pVSI[static_cast<size_t>(i)];
    if (IsEqualGUID(entry.SubType, m_VideoSubType) && entry.VideoSize.cx == m_VideoSize.cx &&
        entry.VideoSize.cy == m_VideoSize.cy) {
      m_SelectedIndex = i;
      break;
    }
  }
}
