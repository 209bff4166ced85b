#pragma once

// The snapshot pipeline that the preview and the player share: arming the Sample Grabber's
// callback, turning the frame it hands over into a packed 24-bit DIB in a movable global
// block, and raising OnSnapshot with it on the GUI thread.
//
// TLmSnapshotPipeline is a mixin beside the video-control base, so that a control takes
// snapshots only when it derives from it (the recorder does not); TVLmSnapshotControl is a
// video control with the pipeline, as the player uses it.

#include <windows.h>

#include <dshow.h>
#include <wrl/client.h>

#include <memory>

#include "webcam/LmSampleGrabber.h"
#include "webcam/LmSampleGrabberCB.h"
#include "webcam/LmVideoSurface.h"

class LMWEBCAM_API TLmSnapshotPipeline {
public:
  TLmSnapshotPipeline(const TLmSnapshotPipeline&) = delete;
  TLmSnapshotPipeline& operator=(const TLmSnapshotPipeline&) = delete;
  virtual ~TLmSnapshotPipeline();

  const TVLmVideoSnapShotEvent& OnSnapshot() const { return FOnSnapshot; }
  void SetOnSnapshot(TVLmVideoSnapShotEvent Handler) { FOnSnapshot = std::move(Handler); }

  // Smallest and largest image sizes (biSizeImage) a snapshot may have.
  static constexpr LONG kSmallestImage = 1000;
  static constexpr LONG kLargestImage = 16000000;

protected:
  // Control is the control this pipeline is part of: its window receives WM_CAPTURE and it is
  // the sender of OnSnapshot. Not owned; it outlives the pipeline.
  explicit TLmSnapshotPipeline(TWinControl& Control);

  // Arms the callback and attaches it to the grabber for the next frame.
  bool StartGrabber();
  // TakeSnapshot of a control in State whose snapshot stream is complete when StreamReady:
  // the error status to report (11 unless running, 4 without the stream, 2 when the grabber
  // cannot be armed, else 0 with the grabber armed).
  int16_t RequestSnapshot(TVLmVideoStates State, bool StreamReady);
  // WM_CAPTURE goes to WMCapture; true when Message was that message.
  bool DispatchCapture(TMessage& Message);
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

private:
  TWinControl& m_Control;
};

class LMWEBCAM_API TVLmSnapshotControl : public TVLmVideoControl, public TLmSnapshotPipeline {
protected:
  explicit TVLmSnapshotControl(TComponent* AOwner);

  void Dispatch(TMessage& Message) override;
};
