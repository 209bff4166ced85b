#pragma once

// The snapshot pipeline that the preview and the player share: the Sample Grabber's whole life
// in the graph (creating it, the media type it accepts, connecting it, the format it connected
// with, releasing it), arming its callback for one frame, turning that frame into a packed
// 24-bit DIB in a movable global block, and raising OnSnapshot with it on the GUI thread; and
// the frame stream (OnFrame, webcam/LmFrame.h), which takes every frame from the same grabber
// while the application asks for them.
//
// The grabber takes the frames in the format they come in (the camera's own, or the decoder's
// in the player) whenever the library can convert that format itself, and as 24-bit RGB only
// for formats it cannot (a system converter is then put in front of it). A snapshot converts the
// one frame it asks for, a frame stream the frames it delivers: nothing is converted, or even
// copied, while nobody asks.
//
// TLmSnapshotPipeline is a mixin beside the video-control base, so that a control takes
// snapshots only when it derives from it (the recorder does not); TVLmSnapshotControl is a
// video control with the pipeline, as the player uses it.

#include <windows.h>

#include <dshow.h>
#include <wrl/client.h>

#include <functional>
#include <memory>

#include "webcam/LmFrame.h"
#include "webcam/LmSampleGrabber.h"
#include "webcam/LmSampleGrabberCB.h"
#include "webcam/LmVideoSurface.h"

namespace lm {
class FrameStream;
}

class LMWEBCAM_API TLmSnapshotPipeline {
public:
  TLmSnapshotPipeline(const TLmSnapshotPipeline&) = delete;
  TLmSnapshotPipeline& operator=(const TLmSnapshotPipeline&) = delete;
  virtual ~TLmSnapshotPipeline();

  const TVLmVideoSnapShotEvent& OnSnapshot() const { return FOnSnapshot; }
  void SetOnSnapshot(TVLmVideoSnapShotEvent Handler) { FOnSnapshot = std::move(Handler); }

  // ---- The frame stream (webcam/LmFrame.h) ----
  // Raised with every frame (vlmFrameDirect) or the newest one (vlmFrameLatest) while the
  // control runs. No handler, no cost. Replacing the handler while running is safe (a Direct
  // call in flight finishes with the old one); setting one on a running control starts the
  // stream with the delivery and format of the last Start.
  const TVLmFrameEvent& OnFrame() const { return FOnFrame; }
  void SetOnFrame(TVLmFrameEvent Handler);
  // How frames are delivered and what they look like; both take effect at the next Start. A
  // value outside the enumeration is ignored.
  TVLmFrameDelivery FrameDelivery() const { return m_FrameDelivery; }
  void SetFrameDelivery(TVLmFrameDelivery Value);
  TVLmFrameFormat FrameFormat() const { return m_FrameFormat; }
  void SetFrameFormat(TVLmFrameFormat Value);

  // Smallest and largest image sizes (bytes of the 24-bit picture) a snapshot may have.
  static constexpr LONG kSmallestImage = 1000;
  static constexpr LONG kLargestImage = 16000000;

protected:
  // Control is the control this pipeline is part of: its window receives WM_CAPTURE, it raises
  // OnSnapshot (as one of its events) and is its sender. Not owned; it outlives the pipeline.
  explicit TLmSnapshotPipeline(TVLmVideoControl& Control);

  // ---- The grabber in the graph; each step true only when every call in it gave S_OK ----
  // Creates the Sample Grabber and takes its ISampleGrabber interface.
  bool CreateGrabber();
  // Tells the grabber to accept 24-bit RGB video and adds it to Graph as "Sample Grabber".
  bool AddGrabber(IGraphBuilder* Graph);
  // Connects the grabber to a capture stream with Connect (which renders the stream into the
  // grabber and returns the result): as 24-bit RGB, or else, asking SourceFormat for the
  // source's own format, with that format when its frames can be converted.
  bool ConnectGrabber(const std::function<HRESULT()>& Connect,
                      const std::function<const AM_MEDIA_TYPE*()>& SourceFormat);
  // Puts the grabber, not connected by the graph builder, in front of Graph's video renderer,
  // connected with the format the renderer receives, when those frames can be converted.
  // False (and the graph as it was) otherwise.
  bool InsertGrabberBeforeRenderer(IGraphBuilder* Graph);
  // Reads the grabber's connection into m_vih and m_GrabberSubType. False when the grabber is
  // not connected or its format is not a video-info one.
  bool ReadGrabberConnection();
  // Lets every sample pass without a copy, without one-shot mode and without a callback.
  bool QuietGrabber();
  // Detaches the callback from the grabber and releases the grabber's interfaces; the callback
  // is closed for good (a frame that was not delivered is freed, and a late call from the old
  // grabber does nothing) and a fresh one waits for the next grabber.
  void ReleaseGrabber();

  // ---- Snapshots ----
  // Arms the callback and attaches it to the grabber for the next frame.
  bool StartGrabber();
  // TakeSnapshot of a control in State whose snapshot stream is complete when StreamReady:
  // the error status to report (11 unless running, 4 without the stream, 2 when the grabber
  // cannot be armed, else 0 with the grabber armed).
  int16_t RequestSnapshot(TVLmVideoStates State, bool StreamReady);
  // WM_CAPTURE goes to WMCapture, and the frame stream's message to the delivery of the
  // waiting frame, as the control's library messages (held while a call of the control runs);
  // true when Message was one of them.
  bool DispatchCapture(TMessage& Message);
  // Receives the frame the callback took, checks it against m_vih, and queues OnSnapshot with
  // it (the block is freed instead when the graph is gone by then).
  void WMCapture(TMessage& Message);
  // Raises OnSnapshot; a descendant may override it.
  virtual void DoSnapshot(UINT_PTR ImageHandle, bool& FreeMemory);

  // Detaches the callback from the grabber and frees a frame that was not delivered.
  void DropPendingSnapshot();

  // The graph is about to run: the frame stream starts with the delivery and format chosen, if
  // a handler wants frames (the grabber's callback then takes every sample).
  void StartFrames();
  // The graph has stopped: no Direct call runs after this returns, and a waiting frame goes.
  void StopFrames();

  Microsoft::WRL::ComPtr<IBaseFilter> m_pGrabberFilter;
  Microsoft::WRL::ComPtr<ISampleGrabber> m_pSampleGrabber;
  // The format of the grabber's connection: its video-info header, and its subtype (24-bit RGB,
  // or the source's own format whose frames are converted for a snapshot). GUI thread only.
  VIDEOINFOHEADER m_vih{};
  GUID m_GrabberSubType = MEDIASUBTYPE_RGB24;
  // The callback armed for snapshots; the grabber holds a reference of its own while it is set.
  Microsoft::WRL::ComPtr<TLmSampleGrabberCB> m_LmSampleGrabberCB;
  TVLmVideoSnapShotEvent FOnSnapshot;
  // The frame stream and its settings; whether the callback feeds it now. GUI thread only.
  std::shared_ptr<lm::FrameStream> m_FrameStream;
  TVLmFrameDelivery m_FrameDelivery = vlmFrameLatest;
  TVLmFrameFormat m_FrameFormat = vlmFrameRGB24;
  bool m_FramesAttached = false;
  TVLmFrameEvent FOnFrame;

private:
  // Whether the frames of the grabber's connection are converted for a snapshot.
  bool ConvertsFrames() const;
  // Bytes of the 24-bit picture a snapshot of the connection has (0 when there is none).
  LONG SnapshotImageSize() const;
  // Gives the grabber the media type it accepts: 24-bit RGB, or the given source format.
  bool AcceptFormat(const AM_MEDIA_TYPE* SourceFormat);
  // Whether frames of Format can be converted for a snapshot.
  static bool CanConvert(const AM_MEDIA_TYPE& Format);
  // The block of a frame that failed its checks is freed by the caller; a frame that passed
  // becomes the block handed to the application (the frame's own block for 24-bit RGB, a new
  // one for a converted frame). Null when the frame cannot be delivered.
  HGLOBAL PrepareImage(HGLOBAL Frame, LONG Length);

  // Raises OnSnapshot with Image, freeing it unless the handler took it.
  void RaiseSnapshot(HGLOBAL Image);
  // Attaches the callback to the grabber in the mode the stream needs, feeding the stream.
  void AttachFrames();
  // Delivers the waiting frame (Latest): taken and converted now, raised as the control's event.
  void DeliverLatestFrame();

  TVLmVideoControl& m_Control;
};

class LMWEBCAM_API TVLmSnapshotControl : public TVLmVideoControl, public TLmSnapshotPipeline {
protected:
  explicit TVLmSnapshotControl(TComponent* AOwner);

  void Dispatch(TMessage& Message) override;
  void DropSnapshotRequest() override { DropPendingSnapshot(); }
  void GraphStarting() override { StartFrames(); }
  void GraphStopped() override { StopFrames(); }
};
