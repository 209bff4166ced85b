#include "benchmarks/RawProgram.h"

#include <vector>

#include "benchmarks/BenchSupport.h"
#include "webcam/src/LmFrameConverter.h"
#include "webcam/src/LmMediaTypes.h"

namespace bench {

bool RawProgram::Check(HRESULT Hr) {
  if (SUCCEEDED(Hr)) return true;
  Failure = m_Graph.Failure();
  return false;
}

bool RawProgram::Build(const RawProgramPlan& Plan) {
  m_Plan = Plan;
  if (!Check(m_Graph.CreateGraph()) || !Check(m_Graph.AddCamera(m_Plan.Format.Camera, L"Camera"))) return false;
  if (m_Plan.Capture) {
    m_Probe = handwritten::GrabberProbe::Create(handwritten::EventReset::Auto, NowMs);
    if (!Check(m_Graph.AddGrabber(MEDIASUBTYPE_RGB24)) || !Check(m_Graph.AddNullRenderer(L"Null Renderer", m_Sink)))
      return false;
  }
  return Render();
}

bool RawProgram::Render() {
  const CameraFormat& want = m_Plan.Format;
  if (!Check(m_Graph.SetCaptureFormat(want.SubType, want.Width, want.Height,
                                      static_cast<REFERENCE_TIME>(10000000.0 / want.Rate))))
    return false;
  // The grabber is told its type before the preview stream is rendered: a grabber that accepts
  // anything would be taken into the preview stream by the graph's intelligent connect.
  if (m_Plan.Capture && !Check(m_Graph.SetGrabberType(MEDIASUBTYPE_RGB24))) return false;
  if (m_Plan.Owner && !Check(m_Graph.RenderPreview())) return false;
  if (m_Plan.Capture && !(ConnectGrabber() && ReadConnection())) return false;
  return !m_Plan.Owner || (Check(m_Graph.PlaceVideo(m_Plan.Owner, m_Plan.View)) && Check(m_Graph.ShowVideo(true)));
}

bool RawProgram::ConnectGrabber() {
  if (m_Plan.NativeGrabber) return ConnectNativeGrabber(S_OK);
  const HRESULT rgb24 = m_Graph.RenderCapture(m_Graph.Grabber.Get(), m_Sink.Get());
  // No converter to 24-bit RGB: take the camera's frames as they come, when they can be
  // converted one at a time.
  return SUCCEEDED(rgb24) || ConnectNativeGrabber(rgb24);
}

bool RawProgram::ConnectNativeGrabber(HRESULT Rgb24Result) {
  Microsoft::WRL::ComPtr<IAMStreamConfig> config;
  lm::OwnedMediaType camera;
  lm::FrameFormat frame;
  if (FAILED(m_Graph.Builder->FindInterface(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, m_Graph.Camera.Get(),
                                            IID_IAMStreamConfig, reinterpret_cast<void**>(config.GetAddressOf()))) ||
      FAILED(config->GetFormat(camera.Receive())) || !camera.Get() || !lm::FrameFormatOf(*camera.Get(), frame) ||
      !lm::CanConvertFrame(frame)) {
    if (FAILED(Rgb24Result)) return Check(Rgb24Result);
    Failure = L"the camera's format is not one the library's converter takes";
    return false;
  }
  return Check(m_Graph.SetGrabberType(frame.SubType)) && Check(m_Graph.RenderCapture(m_Graph.Grabber.Get(), m_Sink.Get()));
}

bool RawProgram::ReadConnection() {
  lm::FrameFormat format;
  if (!Check(m_Graph.GrabberFormat(format))) return false;
  Width = format.Width;
  Height = format.Height;
  GrabberSubType = format.SubType;
  return true;
}

bool RawProgram::SwitchFormat(const CameraFormat& Format) {
  Stop();
  m_Graph.TakeApartBehindCamera({m_Sink.Get()});
  m_Plan.Format = Format;
  Width = Height = 0;
  GrabberSubType = GUID_NULL;
  return Render();
}

bool RawProgram::Run() { return Check(m_Graph.Run()); }

void RawProgram::Stop() {
  if (m_Graph.Control) m_Graph.Stop();
}

SnapshotResult RawProgram::Snapshot(double TimeoutMs, SnapshotFigures& Figures) {
  Figures = SnapshotFigures{};
  m_Probe->Arm();
  Figures.RequestedMs = NowMs();
  if (!Check(m_Graph.SetGrabberCallback(m_Probe.Get(), 1))) return SnapshotResult::Failed;
  const bool arrived = PumpUntil(m_Probe->ArrivedEvent(), TimeoutMs);
  Figures.ArrivedMs = NowMs();
  m_Probe->Disarm();
  m_Graph.SetGrabberCallback(nullptr, 0);
  if (!arrived) return SnapshotResult::Lost;

  const std::vector<BYTE>& copy = m_Probe->Copy();
  Figures.Width = Width;
  Figures.Height = Height < 0 ? -Height : Height;
  if (IsEqualGUID(GrabberSubType, MEDIASUBTYPE_RGB24)) {
    const bool whole = Width > 0 && Height > 0 && copy.size() >= lm::Rgb24ImageBytes(Width, Height);
    Figures.Counter = whole ? DecodeCounter(copy.data(), Width, Height) : -1;
    return SnapshotResult::Delivered;
  }
  // The one frame asked for becomes a bottom-up 24-bit picture here, on the GUI thread.
  lm::FrameFormat frame;
  frame.SubType = GrabberSubType;
  frame.Width = Width;
  frame.Height = Height;
  std::vector<BYTE> picture(lm::Rgb24ImageBytes(Width, Height));
  const bool converted = lm::ConvertFrame(frame, copy.data(), copy.size(), picture.data());
  Figures.ArrivedMs = NowMs();
  Figures.Counter = converted ? DecodeCounter(picture.data(), Figures.Width, Figures.Height) : -1;
  return SnapshotResult::Delivered;
}

bool RawProgram::CountSamples() { return Check(m_Graph.SetGrabberCallback(m_Probe.Get(), 0)); }

bool RawProgram::SetCallback(ISampleGrabberCB* Callback, long Mode) {
  return Check(m_Graph.SetGrabberCallback(Callback, Mode));
}

lm::FrameFormat RawProgram::Connection() const {
  lm::FrameFormat format;
  format.SubType = GrabberSubType;
  format.Width = Width;
  format.Height = Height;
  return format;
}

}  // namespace bench
