#pragma once

// The snapshot pipeline that the preview and the player share: arming the Sample Grabber's
// callback, turning the frame it hands over into a packed 24-bit DIB in a movable global
// block, and raising OnSnapshot with it on the GUI thread.

#include <windows.h>

#include <dshow.h>
#include <qedit.h>
#include <wrl/client.h>

#include <memory>

#include "webcam/LmDirectShowIds.h"
#include "webcam/LmSampleGrabberCB.h"
#include "webcam/LmVideoSurface.h"

class LMWEBCAM_API TVLmSnapshotControl : public TVLmVideoControl {
public:
  ~TVLmSnapshotControl() override;

  const TVLmVideoSnapShotEvent& OnSnapshot() const { return FOnSnapshot; }
  void SetOnSnapshot(TVLmVideoSnapShotEvent Handler) { FOnSnapshot = std::move(Handler); }

  // Smallest and largest image sizes (biSizeImage) a snapshot may have.
  static constexpr LONG kSmallestImage = 1000;
  static constexpr LONG kLargestImage = 16000000;

protected:
  explicit TVLmSnapshotControl(TComponent* AOwner);

  void Dispatch(TMessage& Message) override;

  // Arms the callback and attaches it to the grabber for the next frame.
  bool StartGrabber();
  // TakeSnapshot of a component whose snapshot stream is complete when StreamReady: refused
  // with 11 unless running, with 4 without the stream, else the grabber armed (0, or 2).
  bool RequestSnapshot(bool StreamReady);
  // Receives the frame the callback took, checks it against m_vih, and delivers it.
  void WMCapture(TMessage& Message);
  // Raises OnSnapshot; a descendant may override it.
  virtual void DoSnapshot(UINT_PTR ImageHandle, bool& FreeMemory);

  // Detaches the callback from the grabber and frees a frame that was not delivered.
  void DropPendingSnapshot();

  Microsoft::WRL::ComPtr<IBaseFilter> m_pGrabberFilter;
  Microsoft::WRL::ComPtr<ISampleGrabber> m_pSampleGrabber;
  VIDEOINFOHEADER m_vih{};
  std::unique_ptr<TLmSampleGrabberCB> m_LmSampleGrabberCB;
  TVLmVideoSnapShotEvent FOnSnapshot;
};
