#include "benchmarks/PreviewRig.h"

#include <utility>

#include "benchmarks/BenchSupport.h"

namespace bench {

PreviewRig::PreviewRig(HWND Host, const RECT& View) : m_Preview(std::make_unique<TVLmPreview>(nullptr)) {
  m_Preview->SetBorderVisible(false);
  m_Preview->SetParentWindow(Host);
  m_Preview->SetBounds(View.left, View.top, View.right - View.left, View.bottom - View.top);
  m_Preview->SetOnSnapshot([this](TObject*, UINT_PTR Image, bool&) {
    m_Last.ArrivedMs = NowMs();
    m_Delivered = true;
    const auto block = reinterpret_cast<HGLOBAL>(Image);
    const auto* bytes = static_cast<const BYTE*>(GlobalLock(block));
    if (!bytes) return;
    const auto* header = reinterpret_cast<const BITMAPINFOHEADER*>(bytes);
    m_Last.Width = header->biWidth;
    m_Last.Height = header->biHeight;
    m_Last.Counter = DecodeCounter(bytes + header->biSize, header->biWidth, header->biHeight);
    GlobalUnlock(block);
  });
}

PreviewRig::~PreviewRig() {
  if (m_Preview->State() == vlmStateRunning) m_Preview->Stop();
  if (m_Preview->State() != vlmStateClosed) m_Preview->Close();
  m_Preview.reset();
  DispatchPending();
}

bool PreviewRig::Fail(const std::wstring& Step) {
  Failure = Step + L" failed, error " + std::to_wstring(m_Preview->ErrorStatus());
  return false;
}

bool PreviewRig::Open(const wchar_t* Camera) {
  const int device = m_Preview->VideoDevices()->IndexOf(Camera);
  if (device < 0) {
    Failure = std::wstring(L"the camera \"") + Camera + L"\" is not registered";
    return false;
  }
  return m_Preview->Open(device) || Fail(L"Open");
}

bool PreviewRig::SelectFormat(const CameraFormat& Format) {
  const int32_t count = m_Preview->GetStreamFormats();
  for (int32_t i = 0; i < count; ++i) {
    if (!m_Preview->GetStreamFormat(i)) continue;
    const SIZE size = m_Preview->VideoSize();
    if (size.cx != Format.Width || size.cy != Format.Height) continue;
    if (!IsEqualGUID(Format.SubType, GUID_NULL) && !IsEqualGUID(m_Preview->VideoSubType(), Format.SubType)) continue;
    // The entry loaded its own rate into FrameRate; the one asked for replaces it.
    m_Preview->SetFrameRate(Format.Rate);
    return m_Preview->SetStreamFormat(i) || Fail(L"SetStreamFormat");
  }
  Failure = L"the camera lists no " + FormatText(Format) + L" format";
  return false;
}

void PreviewRig::SetFrames(TVLmFrameDelivery Delivery, TVLmFrameFormat Format, TVLmFrameEvent Handler) {
  m_Preview->SetFrameDelivery(Delivery);
  m_Preview->SetFrameFormat(Format);
  m_Preview->SetOnFrame(std::move(Handler));
}

bool PreviewRig::Start() { return m_Preview->Start(vlmVideoStretch) || Fail(L"Start"); }

bool PreviewRig::Stop() { return m_Preview->Stop() || Fail(L"Stop"); }

SnapshotResult PreviewRig::Snapshot(double TimeoutMs, SnapshotFigures& Figures) {
  m_Delivered = false;
  m_Last = SnapshotFigures{};
  m_Last.RequestedMs = NowMs();
  if (!m_Preview->TakeSnapshot()) {
    Fail(L"TakeSnapshot");
    return SnapshotResult::Failed;
  }
  if (!PumpWhileNot([&] { return m_Delivered; }, TimeoutMs)) {
    Failure = L"no snapshot within " + std::to_wstring(static_cast<int>(TimeoutMs)) + L" ms";
    return SnapshotResult::Lost;
  }
  Figures = m_Last;
  return SnapshotResult::Delivered;
}

HWND PreviewRig::VideoWindow() const {
  return m_Preview->HandleAllocated() ? GetWindow(m_Preview->Handle(), GW_CHILD) : nullptr;
}

}  // namespace bench
