#include "soak/HandWrittenProgram.h"

#include "soak/Pump.h"

namespace soak {

bool HandWrittenProgram::Check(HRESULT Hr) {
  if (SUCCEEDED(Hr)) return true;
  m_Failure = m_Graph.Failure();
  return false;
}

bool HandWrittenProgram::AddGrabber() {
  if (!Check(m_Graph.AddGrabber(MEDIASUBTYPE_RGB24))) return false;
  m_Probe = handwritten::GrabberProbe::Create(handwritten::EventReset::Manual);
  return true;
}

bool HandWrittenProgram::PlaceVideo(HWND Host) {
  RECT client{};
  GetClientRect(Host, &client);
  return Check(m_Graph.PlaceVideo(Host, client));
}

bool HandWrittenProgram::BuildPreview(const std::wstring& CameraName, HWND Host) {
  return Check(m_Graph.CreateGraph()) && Check(m_Graph.AddCamera(CameraName)) && AddGrabber() &&
         Check(m_Graph.RenderPreview()) && Check(m_Graph.RenderCapture(nullptr, m_Graph.Grabber.Get())) &&
         PlaceVideo(Host);
}

bool HandWrittenProgram::BuildPlayback(const std::wstring& FileName, HWND Host) {
  return Check(m_Graph.CreateGraph()) && AddGrabber() && Check(m_Graph.RenderFile(FileName)) && PlaceVideo(Host);
}

bool HandWrittenProgram::BuildRecording(const std::wstring& CameraName, const std::wstring& FileName, HWND Host) {
  Microsoft::WRL::ComPtr<IBaseFilter> writer;
  return Check(m_Graph.CreateGraph()) && Check(m_Graph.AddCamera(CameraName)) &&
         Check(m_Graph.SetAviOutput(FileName, writer)) && Check(m_Graph.RenderPreview()) &&
         Check(m_Graph.RenderCapture(nullptr, writer.Get())) && PlaceVideo(Host);
}

bool HandWrittenProgram::Run() {
  m_Graph.ShowVideo(true);
  return Check(m_Graph.Run());
}

bool HandWrittenProgram::Arm() {
  if (!m_Probe) {
    m_Failure = L"no grabber to arm";
    return false;
  }
  m_Probe->Arm();
  return Check(m_Graph.SetGrabberCallback(m_Probe.Get(), 1));
}

bool HandWrittenProgram::GrabOne(DWORD TimeoutMs) {
  if (!Arm()) return false;
  const HANDLE arrived = m_Probe->ArrivedEvent();
  const bool ok = PumpUntil([&] { return WaitForSingleObject(arrived, 0) == WAIT_OBJECT_0; }, TimeoutMs, arrived);
  m_Probe->Disarm();
  m_Graph.SetGrabberCallback(nullptr, 0);
  if (!ok) m_Failure = L"no buffer within the time limit";
  return ok;
}

bool HandWrittenProgram::WaitForEnd(DWORD TimeoutMs) {
  bool ended = false;
  PumpUntil(
      [&] {
        long code = 0;
        LONG_PTR first = 0, second = 0;
        while (m_Graph.Events->GetEvent(&code, &first, &second, 0) == S_OK) {
          m_Graph.Events->FreeEventParams(code, first, second);
          if (code == EC_COMPLETE || code == EC_ERRORABORT || code == EC_USERABORT) ended = true;
        }
        return ended;
      },
      TimeoutMs);
  return ended;
}

bool HandWrittenProgram::Stop() {
  const bool stopped = Check(m_Graph.Stop());
  m_Graph.ShowVideo(false);
  return stopped;
}

}  // namespace soak
