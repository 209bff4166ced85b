#pragma once

// TVLmPlay: a control that plays a video file inside its rectangle, with seeking, an end-of-
// file notice and still images.

#include <windows.h>

#include <dshow.h>
#include <wrl/client.h>

#include <cstdint>
#include <string>
#include <type_traits>

#include "webcam/LmSnapshot.h"

class LMWEBCAM_API TVLmPlay : public TVLmSnapshotControl {
public:
  explicit TVLmPlay(TComponent* AOwner);
  ~TVLmPlay() override;

  // Builds the playback graph for FileName, stopped and hidden.
  bool Open(const std::wstring& FileName);
  // Sets the position playback starts from: seconds (a floating-point Time), or 100-nanosecond
  // units (an integer Time of any type, so that StartFrom(0) rewinds).
  bool StartFrom(double Time);
  bool StartFrom(int64_t Time);
  template <typename Integer, std::enable_if_t<std::is_integral_v<Integer> && !std::is_same_v<Integer, int64_t> &&
                                                   !std::is_same_v<Integer, bool>,
                                               int> = 0>
  bool StartFrom(Integer Time) {
    return StartFrom(static_cast<int64_t>(Time));
  }
  // Shows the picture in Mode and plays at Rate (1.0 normal speed) from the current position.
  bool Start(TVLmVideoDisplayMode Mode, double Rate);
  // Asks for the next frame as a still image, delivered through OnSnapshot.
  bool TakeSnapshot();

  double Duration() const { return m_Duration; }
  double FrameRate() const { return m_FrameRate; }

  const TNotifyEvent& OnEnd() const { return FOnEnd; }
  void SetOnEnd(TNotifyEvent Handler) { FOnEnd = std::move(Handler); }

protected:
  virtual void DoEnd();
  bool GraphEvent(long Code, LONG_PTR Param1, LONG_PTR Param2) override;

  // 1 built, 0 the file cannot be played, -1 the graph objects or the video window failed.
  int32_t StartupVideo(const std::wstring& FileName);
  bool GetInterfaces();
  bool SetupGraph(const std::wstring& FileName);
  // The grabber and the seeking interface go before the graph.
  void ReleaseExtraInterfaces() override;
  // Closing clears the media information.
  void ClearFormatFields() override;
  bool SeekTo(REFERENCE_TIME Position);

  // Media information read from the built graph.
  SIZE GetVideoSize();
  void GetRate(IBasicVideo2* BasicVideo);
  double GetDuration();

  // Fields beyond those of the video surface and the snapshot pipeline. GUI thread only.
  double m_Duration = 0;
  double m_FrameRate = 0;
  uint32_t m_BitRate = 0;
  bool m_isSampleGrabber = false;
  Microsoft::WRL::ComPtr<IMediaSeeking> m_pMediaSeeking;
  TNotifyEvent FOnEnd;
};
