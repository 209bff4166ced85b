#include "webcam/LmPlay.h"

#include <cmath>
#include <stdexcept>

#include "webcam/src/LmComCreate.h"
#include "webcam/src/LmMediaTypes.h"

using Microsoft::WRL::ComPtr;

namespace {

// {329BB360-F6EA-11D1-9038-00A0C9697298}
constexpr IID kIID_IBasicVideo2 = {0x329BB360, 0xF6EA, 0x11D1, {0x90, 0x38, 0x00, 0xA0, 0xC9, 0x69, 0x72, 0x98}};

constexpr size_t kLongestFileName = 259;

// Leaves the seeking interface in media time (100 ns units). As everywhere, only S_OK counts
// as an answer.
void UseMediaTime(IMediaSeeking* Seeking) {
  GUID format = GUID_NULL;
  if (Seeking->GetTimeFormat(&format) == S_OK && !IsEqualGUID(format, TIME_FORMAT_MEDIA_TIME))
    Seeking->SetTimeFormat(&TIME_FORMAT_MEDIA_TIME);
}

}  // namespace

TVLmPlay::TVLmPlay(TComponent* AOwner) : TVLmSnapshotControl(AOwner) { DecideActive(); }

TVLmPlay::~TVLmPlay() {
  CloseGraph();
  m_Active = false;
}

void TVLmPlay::ClearFormatFields() {
  m_VideoSize = SIZE{0, 0};
  m_Duration = 0;
  m_FrameRate = 0;
  m_BitRate = 0;
  m_isSampleGrabber = false;
}

bool TVLmPlay::Open(const std::wstring& FileName) {
  TLmCallScope busy(*this);
  if (!CheckOpenPreconditions()) return false;
  if (FileName.size() > kLongestFileName) {
    m_ErrorStatus = LMERR_OUT_OF_RANGE;
    return false;
  }
  switch (StartupVideo(FileName)) {
    case 1:
      m_State = vlmStateOpen;
      m_ErrorStatus = LMERR_NONE;
      return true;
    case 0:
      m_ErrorStatus = LMERR_PLAYBACK_GRAPH;
      return false;
    default:
      m_ErrorStatus = LMERR_BUILD_GRAPH;
      return false;
  }
}

int32_t TVLmPlay::StartupVideo(const std::wstring& FileName) {
  try {
    if (!GetInterfaces()) return -1;
    if (!SetupGraph(FileName)) return 0;
    m_VideoSize = GetVideoSize();
    m_Duration = GetDuration();
    if (!SetupVideoWindow()) return -1;
    return 1;
  } catch (...) {
    return -1;
  }
}

bool TVLmPlay::GetInterfaces() {
  try {
    return CreateFilterGraph() && CreateGrabber() && QueryGraphControl() &&
           lm::QueryInto(m_pGraphBuilder.Get(), IID_IMediaSeeking, m_pMediaSeeking);
  } catch (...) {
    return false;
  }
}

bool TVLmPlay::SetupGraph(const std::wstring& FileName) {
  try {
    // The grabber, already in the graph and accepting only RGB24 video, is put on the video
    // stream's way to the renderer whenever it can be connected.
    if (!AddGrabber(m_pGraphBuilder.Get())) return false;
    if (m_pGraphBuilder->RenderFile(FileName.c_str(), nullptr) != S_OK) return false;
    // A decoder that cannot deliver RGB24: the grabber goes in front of the renderer with the
    // decoder's own format instead.
    m_isSampleGrabber =
        ReadGrabberConnection() || (InsertGrabberBeforeRenderer(m_pGraphBuilder.Get()) && ReadGrabberConnection());
    if (!m_isSampleGrabber) return true;  // plays without snapshots
    return QuietGrabber();
  } catch (...) {
    return false;
  }
}

SIZE TVLmPlay::GetVideoSize() {
  SIZE size{0, 0};
  ComPtr<IBasicVideo2> basicVideo;
  if (!m_pGraphBuilder ||
      m_pGraphBuilder->QueryInterface(kIID_IBasicVideo2, reinterpret_cast<void**>(basicVideo.GetAddressOf())) != S_OK ||
      !basicVideo)
    return size;
  long width = 0;
  long height = 0;
  if (basicVideo->GetVideoSize(&width, &height) == S_OK) size = SIZE{width, height};
  GetRate(basicVideo.Get());
  return size;
}

void TVLmPlay::GetRate(IBasicVideo2* BasicVideo) {
  REFTIME timePerFrame = 0;
  // A time per frame of 0 (variable or unknown rate) is something the graph cannot tell.
  if (BasicVideo->get_AvgTimePerFrame(&timePerFrame) == S_OK && timePerFrame > 0 && std::isfinite(timePerFrame)) {
    const double hundredths = std::trunc(100.0 / timePerFrame);
    if (hundredths < 1e15) m_FrameRate = hundredths / 100.0;
  }
  long bitRate = 0;
  if (BasicVideo->get_BitRate(&bitRate) == S_OK) m_BitRate = static_cast<uint32_t>(bitRate);
}

double TVLmPlay::GetDuration() {
  if (!m_pMediaSeeking) return 0;
  UseMediaTime(m_pMediaSeeking.Get());
  LONGLONG duration = 0;
  if (m_pMediaSeeking->GetDuration(&duration) != S_OK) return 0;
  return static_cast<double>(duration) / 10000000.0;
}

bool TVLmPlay::SeekTo(REFERENCE_TIME Position) {
  try {
    if (!m_pMediaSeeking) throw std::logic_error("no seeking interface");
    UseMediaTime(m_pMediaSeeking.Get());
    LONGLONG current = Position;
    LONGLONG stop = 0;
    m_pMediaSeeking->SetPositions(&current, AM_SEEKING_AbsolutePositioning, &stop, AM_SEEKING_NoPositioning);
  } catch (...) {
    m_ErrorStatus = LMERR_GRAPH_FAILED;
    return false;
  }
  m_ErrorStatus = LMERR_NONE;
  return true;
}

bool TVLmPlay::StartFrom(double Time) {
  TLmCallScope busy(*this);
  if (!CheckOpenAndNotRunning()) return false;
  // Not a number, or a position beyond what 64 bits of 100 ns hold, is out of range too.
  if (!(Time >= 0) || !(Time * 10000000.0 < 9.2e18)) {
    m_ErrorStatus = LMERR_OUT_OF_RANGE;
    return false;
  }
  return SeekTo(static_cast<REFERENCE_TIME>(std::trunc(Time * 10000000.0)));
}

bool TVLmPlay::StartFrom(int64_t Time) {
  TLmCallScope busy(*this);
  if (!CheckOpenAndNotRunning()) return false;
  if (Time < 0) {
    m_ErrorStatus = LMERR_OUT_OF_RANGE;
    return false;
  }
  return SeekTo(Time);
}

bool TVLmPlay::Start(TVLmVideoDisplayMode Mode, double Rate) {
  TLmCallScope busy(*this);
  if (!CheckOpenAndNotRunning()) return false;
  if (!(Rate > 0)) {
    m_ErrorStatus = LMERR_OUT_OF_RANGE;
    return false;
  }
  try {
    if (Mode != m_Mode) {
      m_Mode = Mode;
      PlaceVideoWindow();
    }
    if (!m_pMediaSeeking) throw std::logic_error("graph without seeking");
    m_pMediaSeeking->SetRate(Rate);
    if (!ShowAndRun()) return false;
  } catch (...) {
    m_State = vlmStateOpen;
    m_ErrorStatus = LMERR_GRAPH_FAILED;
    return false;
  }
  m_State = vlmStateRunning;
  m_ErrorStatus = LMERR_NONE;
  return true;
}

bool TVLmPlay::TakeSnapshot() {
  TLmCallScope busy(*this);
  m_ErrorStatus = RequestSnapshot(m_State, m_isSampleGrabber);
  return m_ErrorStatus == LMERR_NONE;
}

bool TVLmPlay::GraphEvent(long Code, LONG_PTR, LONG_PTR) {
  if (Code != EC_COMPLETE) return false;
  StopGraph();
  if (m_pVideoWindow) m_pVideoWindow->put_Visible(OAFALSE);
  m_State = vlmStateOpen;
  QueueEvent([this] { DoEnd(); }, true);
  return true;
}

void TVLmPlay::DoEnd() {
  if (FOnEnd) FOnEnd(this);
}

void TVLmPlay::ReleaseExtraInterfaces() {
  ReleaseGrabber();
  m_pMediaSeeking.Reset();
}
