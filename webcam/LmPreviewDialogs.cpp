// The preview's device and capture-pin property dialogs.

#include "webcam/LmPreview.h"

// Both dialogs need an opened component and a device list with a name in it.
bool TVLmPreview::CheckDialogAllowed() {
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

bool TVLmPreview::ShowFilterDialog() {
  if (!CheckDialogAllowed()) return false;
  const bool shown = ShowFilter(m_pDeviceFilter.Get(), Handle());
  m_ErrorStatus = shown ? LMERR_NONE : LMERR_GRAPH_FAILED;
  return shown;
}

bool TVLmPreview::ShowCapturePinDialog() {
  if (!CheckDialogAllowed()) return false;
  SIZE videoSize{0, 0};
  GUID subType = GUID_NULL;
  double frameRate = 0;
  uint16_t bitCount = 0;
  uint32_t compression = 0;
  uint32_t bitRate = 0;

  bool found = false;
  if (!m_State.Contains(vlmVideoStarted)) {
    // The pin's pages may change its format only while it is unconnected: take the graph
    // apart behind the device for the dialog and build it again afterwards.
    DropPendingSnapshot();
    RemoveDownstream(m_pDeviceFilter.Get());
    SetupGraph1(false);
    found = ShowCapturePin(m_pCaptureGraphBuilder.Get(), m_pDeviceFilter.Get(), Handle(), &videoSize, &subType,
                           &frameRate, &bitCount, &compression, &bitRate);
    SetupGraph2();
    SetupVideoWindow();
  } else {
    found = ShowCapturePin(m_pCaptureGraphBuilder.Get(), m_pDeviceFilter.Get(), Handle(), &videoSize, &subType,
                           &frameRate, &bitCount, &compression, &bitRate);
  }
  if (!found) {
    m_ErrorStatus = LMERR_GRAPH_FAILED;
    return false;
  }

  m_oldVideoSize = m_VideoSize;
  m_VideoSize = videoSize;
  m_VideoSubType = subType;
  Set_StrVideoSubType(m_VideoSubType);
  m_FrameRate = frameRate;
  m_BitCount = bitCount;
  m_Compression = compression;
  m_BitRate = bitRate;
  m_ErrorStatus = LMERR_NONE;
  m_oldFrameRate = m_FrameRate;
  m_oldBitRate = m_BitRate;

  for (int32_t i = 0; i < m_pVSI_Count[1]; ++i) {
    const TLM_VIDEO_STREAM_INFORMATION& entry = m_pVSI[static_cast<size_t>(i)];
    if (IsEqualGUID(entry.SubType, m_VideoSubType) && entry.VideoSize.cx == m_VideoSize.cx &&
        entry.VideoSize.cy == m_VideoSize.cy) {
      m_SelectedIndex = i;
      break;
    }
  }
  return true;
}
