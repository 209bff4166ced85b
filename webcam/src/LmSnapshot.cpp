#include "webcam/LmSnapshot.h"

#include <climits>
#include <cstring>
#include <stdexcept>

#include "webcam/src/LmComCreate.h"
#include "webcam/src/LmComPtr.h"
#include "webcam/src/LmDirectShowIds.h"
#include "webcam/src/LmDmo.h"
#include "webcam/src/LmFrameConverter.h"
#include "webcam/src/LmFrameStream.h"
#include "webcam/src/LmMediaTypes.h"

using Microsoft::WRL::ComPtr;

namespace {

// A global block that is freed on every path unless ownership is handed on.
class OwnedBlock {
public:
  explicit OwnedBlock(HGLOBAL Block) : m_Block(Block) {}
  OwnedBlock(const OwnedBlock&) = delete;
  OwnedBlock& operator=(const OwnedBlock&) = delete;
  ~OwnedBlock() {
    if (m_Block) GlobalFree(m_Block);
  }
  HGLOBAL Get() const { return m_Block; }
  HGLOBAL Release() {
    HGLOBAL block = m_Block;
    m_Block = nullptr;
    return block;
  }

private:
  HGLOBAL m_Block;
};

// A locked global block, unlocked when it goes.
class LockedBlock {
public:
  explicit LockedBlock(HGLOBAL Block) : m_Block(Block), m_Bytes(static_cast<BYTE*>(GlobalLock(Block))) {}
  LockedBlock(const LockedBlock&) = delete;
  LockedBlock& operator=(const LockedBlock&) = delete;
  ~LockedBlock() {
    if (m_Bytes) GlobalUnlock(m_Block);
  }
  BYTE* Bytes() const { return m_Bytes; }

private:
  HGLOBAL m_Block;
  BYTE* m_Bytes;
};

// The type the grabber accepts while it is to be connected as 24-bit RGB.
AM_MEDIA_TYPE Rgb24Type() {
  AM_MEDIA_TYPE type{};
  type.majortype = MEDIATYPE_Video;
  type.subtype = MEDIASUBTYPE_RGB24;
  type.formattype = FORMAT_VideoInfo;
  return type;
}

// The renderer of the graph's video stream: a filter with the video-window interface whose
// input pin is connected. Its input pin, and the output pin upstream of it, are returned.
bool FindVideoRenderer(IGraphBuilder* Graph, IBaseFilter* Grabber, ComPtr<IBaseFilter>& Renderer,
                       ComPtr<IPin>& Input, ComPtr<IPin>& Upstream) {
  ComPtr<IEnumFilters> filters;
  if (Graph->EnumFilters(filters.GetAddressOf()) != S_OK || !filters) return false;
  ComPtr<IBaseFilter> filter;
  while (filters->Next(1, filter.ReleaseAndGetAddressOf(), nullptr) == S_OK && filter) {
    if (filter.Get() == Grabber) continue;
    ComPtr<IVideoWindow> window;
    if (filter->QueryInterface(IID_IVideoWindow, reinterpret_cast<void**>(window.GetAddressOf())) != S_OK) continue;
    ComPtr<IEnumPins> pins;
    if (filter->EnumPins(pins.GetAddressOf()) != S_OK || !pins) continue;
    ComPtr<IPin> pin;
    while (pins->Next(1, pin.ReleaseAndGetAddressOf(), nullptr) == S_OK && pin) {
      PIN_DIRECTION direction{};
      ComPtr<IPin> peer;
      if (pin->QueryDirection(&direction) == S_OK && direction == PINDIR_INPUT &&
          pin->ConnectedTo(peer.GetAddressOf()) == S_OK && peer) {
        Renderer = filter;
        Input = pin;
        Upstream = peer;
        return true;
      }
    }
  }
  return false;
}

// The grabber's input or output pin.
ComPtr<IPin> GrabberPin(IBaseFilter* Grabber, PIN_DIRECTION Wanted) {
  ComPtr<IEnumPins> pins;
  if (Grabber->EnumPins(pins.GetAddressOf()) != S_OK || !pins) return nullptr;
  ComPtr<IPin> pin;
  while (pins->Next(1, pin.ReleaseAndGetAddressOf(), nullptr) == S_OK && pin) {
    PIN_DIRECTION direction{};
    if (pin->QueryDirection(&direction) == S_OK && direction == Wanted) return pin;
  }
  return nullptr;
}

}  // namespace

TLmSnapshotPipeline::TLmSnapshotPipeline(TVLmVideoControl& Control)
    : m_LmSampleGrabberCB(TLmSampleGrabberCB::Create()),
      m_FrameStream(std::make_shared<lm::FrameStream>()),
      m_Control(Control) {}

TLmSnapshotPipeline::~TLmSnapshotPipeline() {
  if (m_pSampleGrabber) m_pSampleGrabber->SetCallback(nullptr, 0);
  if (m_LmSampleGrabberCB) m_LmSampleGrabberCB->Detach();
  m_FrameStream->Stop();
}

bool TLmSnapshotPipeline::CreateGrabber() {
  return lm::CreateInto(lm::kCLSID_SampleGrabber, CLSCTX_INPROC_SERVER, IID_IBaseFilter, m_pGrabberFilter) &&
         lm::QueryInto(m_pGrabberFilter.Get(), __uuidof(ISampleGrabber), m_pSampleGrabber);
}

bool TLmSnapshotPipeline::AcceptFormat(const AM_MEDIA_TYPE* SourceFormat) {
  if (!m_pSampleGrabber) throw std::logic_error("no sample grabber");
  AM_MEDIA_TYPE type = Rgb24Type();
  // The source's own subtype, still with a video-info header, which the snapshot reads.
  if (SourceFormat) type.subtype = SourceFormat->subtype;
  return m_pSampleGrabber->SetMediaType(&type) == S_OK;
}

bool TLmSnapshotPipeline::AddGrabber(IGraphBuilder* Graph) {
  if (!Graph) throw std::logic_error("no graph");
  return AcceptFormat(nullptr) && Graph->AddFilter(m_pGrabberFilter.Get(), L"Sample Grabber") == S_OK;
}

bool TLmSnapshotPipeline::CanConvert(const AM_MEDIA_TYPE& Format) {
  lm::FrameFormat frame;
  return IsEqualGUID(Format.majortype, MEDIATYPE_Video) && lm::FrameFormatOf(Format, frame) &&
         lm::CanConvertFrame(frame);
}

bool TLmSnapshotPipeline::ConnectGrabber(const std::function<HRESULT()>& Connect,
                                         const std::function<const AM_MEDIA_TYPE*()>& SourceFormat) {
  // The source's own format when the library converts it itself: the frames then reach the
  // grabber as they come, and only a frame someone asks for is converted. Otherwise (or when
  // that connection fails) 24-bit RGB, through whatever converter the system puts in between.
  const AM_MEDIA_TYPE* format = SourceFormat();
  if (format && CanConvert(*format) && AcceptFormat(format) && Connect() == S_OK) return true;
  return AcceptFormat(nullptr) && Connect() == S_OK;
}

bool TLmSnapshotPipeline::InsertGrabberBeforeRenderer(IGraphBuilder* Graph) {
  if (!Graph || !m_pGrabberFilter) throw std::logic_error("graph objects missing");
  ComPtr<IBaseFilter> renderer;
  ComPtr<IPin> input;
  ComPtr<IPin> upstream;
  if (!FindVideoRenderer(Graph, m_pGrabberFilter.Get(), renderer, input, upstream)) return false;
  AM_MEDIA_TYPE format{};
  if (input->ConnectionMediaType(&format) != S_OK) return false;
  const bool usable = CanConvert(format) && AcceptFormat(&format);
  if (!usable) {
    MoFreeMediaType(reinterpret_cast<DMO_MEDIA_TYPE*>(&format));
    return false;
  }
  const ComPtr<IPin> grabberIn = GrabberPin(m_pGrabberFilter.Get(), PINDIR_INPUT);
  const ComPtr<IPin> grabberOut = GrabberPin(m_pGrabberFilter.Get(), PINDIR_OUTPUT);
  bool inserted = false;
  if (grabberIn && grabberOut && Graph->Disconnect(upstream.Get()) == S_OK && Graph->Disconnect(input.Get()) == S_OK) {
    // The pins agree on the type themselves: the grabber takes the renderer's subtype with a
    // video-info header, which need not be the exact type the renderer had.
    inserted = Graph->ConnectDirect(upstream.Get(), grabberIn.Get(), nullptr) == S_OK &&
               Graph->ConnectDirect(grabberOut.Get(), input.Get(), nullptr) == S_OK;
    if (!inserted) {
      // Put the stream back as the graph builder had it.
      Graph->Disconnect(grabberIn.Get());
      Graph->Disconnect(grabberOut.Get());
      Graph->Disconnect(upstream.Get());
      Graph->Disconnect(input.Get());
      Graph->ConnectDirect(upstream.Get(), input.Get(), &format);
    }
  }
  MoFreeMediaType(reinterpret_cast<DMO_MEDIA_TYPE*>(&format));
  return inserted;
}

bool TLmSnapshotPipeline::ReadGrabberConnection() {
  if (!m_pSampleGrabber) throw std::logic_error("no sample grabber");
  AM_MEDIA_TYPE type{};
  if (m_pSampleGrabber->GetConnectedMediaType(&type) != S_OK) return false;
  const VIDEOINFOHEADER* vih = lm::VideoInfo(&type);
  if (vih) {
    m_vih = *vih;
    m_GrabberSubType = type.subtype;
  }
  MoFreeMediaType(reinterpret_cast<DMO_MEDIA_TYPE*>(&type));
  return vih != nullptr;
}

bool TLmSnapshotPipeline::QuietGrabber() {
  if (!m_pSampleGrabber) throw std::logic_error("no sample grabber");
  // The callback goes: the frame stream attaches it again when the graph next runs.
  m_FramesAttached = false;
  return m_pSampleGrabber->SetBufferSamples(FALSE) == S_OK && m_pSampleGrabber->SetOneShot(FALSE) == S_OK &&
         m_pSampleGrabber->SetCallback(nullptr, 0) == S_OK;
}

void TLmSnapshotPipeline::ReleaseGrabber() {
  // The grabber lets go of its reference to the callback before it goes; a frame on its way
  // in the old graph then meets a closed callback.
  if (m_pSampleGrabber) m_pSampleGrabber->SetCallback(nullptr, 0);
  m_pSampleGrabber.Reset();
  m_pGrabberFilter.Reset();
  if (m_LmSampleGrabberCB) m_LmSampleGrabberCB->Detach();
  m_LmSampleGrabberCB = TLmSampleGrabberCB::Create();
  m_FrameStream->Stop();
  m_FramesAttached = false;
}

bool TLmSnapshotPipeline::DispatchCapture(TMessage& Message) {
  if (Message.Msg == WM_CAPTURE) {
    m_Control.HandleLibraryMessage(Message, [this, &Message] { WMCapture(Message); });
    return true;
  }
  if (Message.Msg == lm::WM_LMFRAME) {
    m_Control.HandleLibraryMessage(Message, [this] { DeliverLatestFrame(); });
    return true;
  }
  return false;
}

// ---- The frame stream ----

void TLmSnapshotPipeline::SetOnFrame(TVLmFrameEvent Handler) {
  FOnFrame = std::move(Handler);
  m_FrameStream->SetHandler(FOnFrame ? std::make_shared<const TVLmFrameEvent>(FOnFrame) : nullptr);
  // A handler for a control that runs already: its frames start now.
  if (FOnFrame && !m_FramesAttached && m_Control.State().Contains(vlmVideoStarted)) {
    try {
      StartFrames();
    } catch (...) {
      // The frames start at the next Start instead.
    }
  }
}

void TLmSnapshotPipeline::SetFrameDelivery(TVLmFrameDelivery Value) {
  if (Value == vlmFrameLatest || Value == vlmFrameDirect) m_FrameDelivery = Value;
}

void TLmSnapshotPipeline::SetFrameFormat(TVLmFrameFormat Value) {
  if (Value == vlmFrameNative || Value == vlmFrameRGB24 || Value == vlmFrameRGB32) m_FrameFormat = Value;
}

void TLmSnapshotPipeline::StartFrames() {
  if (!m_pSampleGrabber || !FOnFrame) return;
  m_FrameStream->Start(m_GrabberSubType, m_vih, m_FrameDelivery, m_FrameFormat, m_Control.Handle(), &m_Control);
  if (!m_FramesAttached) AttachFrames();
}

void TLmSnapshotPipeline::AttachFrames() {
  m_LmSampleGrabberCB->SetSampleReceiver(m_FrameStream);
  // Mode 0: every sample, with its times; the snapshot latch is served in it as well.
  m_FramesAttached = m_pSampleGrabber->SetCallback(static_cast<ISampleGrabberCB*>(m_LmSampleGrabberCB.Get()), 0) == S_OK;
  if (!m_FramesAttached) m_LmSampleGrabberCB->SetSampleReceiver(nullptr);
}

void TLmSnapshotPipeline::StopFrames() { m_FrameStream->Stop(); }

void TLmSnapshotPipeline::DeliverLatestFrame() {
  auto taken = std::make_shared<lm::TakenFrame>();
  if (!m_FrameStream->TakeLatest(*taken)) {
    m_FrameStream->Recycle(*taken);
    return;
  }
  const std::shared_ptr<lm::FrameStream> stream = m_FrameStream;
  m_Control.QueueEvent(
      [this, stream, taken] {
        const std::shared_ptr<const TVLmFrameEvent> handler = stream->Handler();
        if (handler && *handler) (*handler)(&m_Control, taken->Frame);
        stream->Recycle(*taken);
      },
      true, [stream, taken] { stream->Recycle(*taken); });
}

bool TLmSnapshotPipeline::ConvertsFrames() const { return !IsEqualGUID(m_GrabberSubType, MEDIASUBTYPE_RGB24); }

LONG TLmSnapshotPipeline::SnapshotImageSize() const {
  if (!ConvertsFrames()) return static_cast<LONG>(m_vih.bmiHeader.biSizeImage);
  // A converted frame becomes a bottom-up picture of the connection's width and height.
  const size_t size = lm::Rgb24ImageBytes(m_vih.bmiHeader.biWidth, m_vih.bmiHeader.biHeight);
  return size > static_cast<size_t>(kLargestImage) ? kLargestImage + 1 : static_cast<LONG>(size);
}

bool TLmSnapshotPipeline::StartGrabber() {
  if (!m_pSampleGrabber) return false;
  const LONG imageSize = SnapshotImageSize();
  if (imageSize < kSmallestImage || imageSize > kLargestImage) return false;
  try {
    m_LmSampleGrabberCB->SetCaptureInfo(m_Control.Handle(), false);
    // While the frame stream takes every sample, the callback is set already and serves the
    // latch in that mode; otherwise the buffer callback serves the one frame.
    if (!m_FramesAttached)
      m_pSampleGrabber->SetCallback(static_cast<ISampleGrabberCB*>(m_LmSampleGrabberCB.Get()), 1);
  } catch (...) {
    return false;
  }
  return true;
}

int16_t TLmSnapshotPipeline::RequestSnapshot(TVLmVideoStates State, bool StreamReady) {
  if (State == vlmStateClosed || !State.Contains(vlmVideoStarted)) return LMERR_WRONG_STATE;
  if (!StreamReady) return LMERR_NO_SNAPSHOT_STREAM;
  return StartGrabber() ? LMERR_NONE : LMERR_GRAPH_FAILED;
}

HGLOBAL TLmSnapshotPipeline::PrepareImage(HGLOBAL Frame, LONG Length) {
  const BITMAPINFOHEADER& format = m_vih.bmiHeader;
  const LONG width = format.biWidth;
  // A converted frame is turned upright whatever its height's sign; a 24-bit RGB frame is
  // handed on as it is, so it must be bottom-up.
  // (LONG_MIN has no positive counterpart: it is out of range like any other huge height.)
  const LONG height =
      ConvertsFrames() && format.biHeight < 0 ? (format.biHeight == LONG_MIN ? 0 : -format.biHeight) : format.biHeight;
  if (width % 4 != 0 || width < 32 || width > 4096 || height < 32 || height > 4096) return nullptr;
  if (!Frame || Length <= 0) return nullptr;  // the frame could not be copied
  const size_t pictureBytes = lm::Rgb24ImageBytes(width, height);

  BITMAPINFOHEADER header{};
  header.biSize = sizeof(BITMAPINFOHEADER);
  header.biWidth = width;
  header.biHeight = height;
  header.biPlanes = 1;
  header.biBitCount = 24;
  header.biCompression = BI_RGB;

  if (!ConvertsFrames()) {
    // The frame is handed on as the grabber delivered it: it must be the 24-bit picture the
    // header describes, whole.
    if (format.biBitCount != 24 || format.biCompression != BI_RGB) return nullptr;
    if (format.biSizeImage != static_cast<DWORD>(Length) || static_cast<size_t>(Length) < pictureBytes) return nullptr;
    header.biSizeImage = format.biSizeImage;
    LockedBlock bytes(Frame);
    if (!bytes.Bytes()) return nullptr;
    std::memcpy(bytes.Bytes(), &header, sizeof(header));
    return Frame;
  }

  lm::FrameFormat frame;
  frame.SubType = m_GrabberSubType;
  frame.Width = width;
  frame.Height = format.biHeight;
  if (!lm::CanConvertFrame(frame) || static_cast<size_t>(Length) < lm::MinimumFrameBytes(frame)) return nullptr;
  header.biSizeImage = static_cast<DWORD>(pictureBytes);
  OwnedBlock image(GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(header) + pictureBytes));
  if (!image.Get()) return nullptr;
  {
    LockedBlock source(Frame);
    LockedBlock target(image.Get());
    if (!source.Bytes() || !target.Bytes()) return nullptr;
    if (!lm::ConvertFrame(frame, source.Bytes() + TLmSampleGrabberCB::kHeaderRoom, static_cast<size_t>(Length),
                          target.Bytes() + sizeof(header)))
      return nullptr;
    std::memcpy(target.Bytes(), &header, sizeof(header));
  }
  return image.Release();
}

void TLmSnapshotPipeline::WMCapture(TMessage& Message) {
  Message.Result = 0;
  HGLOBAL taken = nullptr;
  LONG length = 0;
  if (!m_LmSampleGrabberCB->TakeFrame(taken, length)) return;
  OwnedBlock frame(taken);
  if (!m_pSampleGrabber) return;

  HGLOBAL prepared = nullptr;
  try {
    if (!m_FramesAttached) m_pSampleGrabber->SetCallback(nullptr, 0);
    prepared = PrepareImage(frame.Get(), length);
  } catch (...) {
    return;
  }
  if (!prepared) return;
  // The image is either the frame's own block or a new one; either way it is owned here now,
  // and passes to the queued event, which frees it when it is dropped.
  if (prepared == frame.Get()) frame.Release();
  m_Control.QueueEvent([this, prepared] { RaiseSnapshot(prepared); }, true, [prepared] { GlobalFree(prepared); });
}

void TLmSnapshotPipeline::RaiseSnapshot(HGLOBAL Image) {
  OwnedBlock image(Image);
  bool freeMemory = true;
  try {
    DoSnapshot(reinterpret_cast<UINT_PTR>(image.Get()), freeMemory);
  } catch (...) {
    // The handler's error stays here; the block goes unless the handler took it first.
  }
  if (!freeMemory) image.Release();
}

void TLmSnapshotPipeline::DoSnapshot(UINT_PTR ImageHandle, bool& FreeMemory) {
  if (FOnSnapshot) FOnSnapshot(&m_Control, ImageHandle, FreeMemory);
}

void TLmSnapshotPipeline::DropPendingSnapshot() {
  if (m_FramesAttached)
    m_LmSampleGrabberCB->SetCaptureInfo(m_Control.Handle(), true);  // closes the latch, keeps the stream
  else if (m_pSampleGrabber)
    m_pSampleGrabber->SetCallback(nullptr, 0);
  m_LmSampleGrabberCB->DiscardFrame();
}

TVLmSnapshotControl::TVLmSnapshotControl(TComponent* AOwner)
    : TVLmVideoControl(AOwner), TLmSnapshotPipeline(static_cast<TVLmVideoControl&>(*this)) {}

void TVLmSnapshotControl::Dispatch(TMessage& Message) {
  if (!DispatchCapture(Message)) TVLmVideoControl::Dispatch(Message);
}
