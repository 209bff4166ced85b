#include "benchmarks/RawFrames.h"

#include <new>

namespace bench {
namespace {

constexpr wchar_t kWindowClass[] = L"LmBenchRawFrames";
constexpr UINT kFrameWaiting = WM_APP + 1;

ATOM RegisterWindowClass(WNDPROC Procedure) {
  static const ATOM atom = [Procedure] {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = Procedure;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = kWindowClass;
    return RegisterClassExW(&wc);
  }();
  return atom;
}

// COM on the streaming thread, which belongs to the source: initialised once per thread, in the
// multithreaded apartment unless the thread has COM already (then that is used).
void EnsureCom() {
  thread_local bool ready = false;
  if (ready) return;
  const HRESULT hr = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  ready = SUCCEEDED(hr) || hr == RPC_E_CHANGED_MODE;
}

}  // namespace

Microsoft::WRL::ComPtr<RawFrameCallback> RawFrameCallback::Create(RawDelivery Delivery, RawPicture Picture,
                                                                  const lm::FrameFormat& Format, FrameTally& Tally) {
  const Microsoft::WRL::ComPtr<RawFrameCallback> callback = Adopt(new RawFrameCallback(Delivery, Picture, Format, Tally));
  if (Delivery == RawDelivery::Latest) {
    if (!RegisterWindowClass(&WindowProc)) return nullptr;
    callback->m_Window = CreateWindowExW(0, kWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                         GetModuleHandleW(nullptr), nullptr);
    if (!callback->m_Window) return nullptr;
    SetWindowLongPtrW(callback->m_Window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(callback.Get()));
  }
  return callback;
}

RawFrameCallback::RawFrameCallback(RawDelivery Delivery, RawPicture Picture, const lm::FrameFormat& Format,
                                   FrameTally& Tally)
    : m_Delivery(Delivery), m_PictureKind(Picture), m_Format(Format), m_Tally(Tally) {}

RawFrameCallback::~RawFrameCallback() { Close(); }

void RawFrameCallback::Close() {
  if (!m_Window) return;
  DestroyWindow(m_Window);  // a message still posted to it is discarded
  m_Window = nullptr;
}

size_t RawFrameCallback::Stride() const {
  return m_PictureKind == RawPicture::Rgb32 ? static_cast<size_t>(m_Format.Width) * 4 : lm::Rgb24Stride(m_Format.Width);
}

bool RawFrameCallback::Convert(const uint8_t* Source, size_t Length, std::vector<uint8_t>& Picture) const {
  const LONG height = m_Format.Height < 0 ? -m_Format.Height : m_Format.Height;
  const size_t stride = Stride();
  try {
    Picture.resize(stride * static_cast<size_t>(height));
  } catch (const std::bad_alloc&) {
    return false;
  }
  lm::PictureTarget target;
  target.Top = Picture.data();
  target.Stride = static_cast<ptrdiff_t>(stride);
  target.BytesPerPixel = m_PictureKind == RawPicture::Rgb32 ? 4 : 3;
  return lm::ConvertFrame(m_Format, Source, Length, target);
}

void RawFrameCallback::Deliver(const uint8_t* Data, uint32_t Bytes, int64_t Arrival, uint32_t Dropped,
                               std::vector<uint8_t>& Picture) {
  if (m_PictureKind == RawPicture::Native) {
    m_Tally.Handle(Data, Bytes, 0, 0, Arrival, Dropped + m_Unconverted);
    m_Unconverted = 0;
    return;
  }
  if (!Convert(Data, Bytes, Picture)) {
    m_Unconverted += Dropped + 1;
    return;
  }
  const LONG height = m_Format.Height < 0 ? -m_Format.Height : m_Format.Height;
  m_Tally.Handle(Picture.data(), static_cast<uint32_t>(Picture.size()), static_cast<int32_t>(Stride()), height,
                 Arrival, Dropped + m_Unconverted);
  m_Unconverted = 0;
}

STDMETHODIMP RawFrameCallback::SampleCB(double, IMediaSample* Sample) {
  const int64_t arrival = ArrivalClock();
  BYTE* data = nullptr;
  if (m_Delivery != RawDelivery::Direct || !Sample || Sample->GetPointer(&data) != S_OK || !data) return S_OK;
  const long length = Sample->GetActualDataLength();
  if (m_PictureKind != RawPicture::Native && IsEqualGUID(m_Format.SubType, MEDIASUBTYPE_MJPG)) EnsureCom();
  Deliver(data, length > 0 ? static_cast<uint32_t>(length) : 0, arrival, 0, m_Picture);
  return S_OK;
}

STDMETHODIMP RawFrameCallback::BufferCB(double, BYTE* Buffer, long Length) {
  const int64_t arrival = ArrivalClock();
  if (m_Delivery != RawDelivery::Latest || !Buffer || Length <= 0) return S_OK;
  try {
    m_Back.assign(Buffer, Buffer + Length);
  } catch (const std::bad_alloc&) {
    std::lock_guard lock(m_Lock);
    ++m_Received;  // received, and dropped
    return S_OK;
  }
  bool post = false;
  HWND window = nullptr;
  {
    std::lock_guard lock(m_Lock);
    m_Back.swap(m_WaitingBuffer);
    m_Waiting = true;
    m_WaitingBytes = static_cast<uint32_t>(Length);
    m_WaitingArrival = arrival;
    m_WaitingNumber = m_Received++;
    post = !m_Posted;
    m_Posted = true;
    window = m_Window;
    // m_Back is now the frame replaced (dropped) or an empty buffer: a buffer the GUI thread
    // gave back lends it its room.
    if (m_Back.capacity() < m_Spare.capacity()) m_Back.swap(m_Spare);
  }
  if (post && window) PostMessageW(window, kFrameWaiting, 0, 0);
  return S_OK;
}

void RawFrameCallback::DeliverWaiting() {
  std::vector<uint8_t> frame;
  uint32_t bytes = 0, dropped = 0;
  int64_t arrival = 0;
  {
    std::lock_guard lock(m_Lock);
    m_Posted = false;
    if (!m_Waiting) return;
    m_Waiting = false;
    frame.swap(m_WaitingBuffer);
    bytes = m_WaitingBytes;
    arrival = m_WaitingArrival;
    dropped = static_cast<uint32_t>(m_WaitingNumber - m_NextToDeliver);
    m_NextToDeliver = m_WaitingNumber + 1;
  }
  Deliver(frame.data(), bytes, arrival, dropped, m_Picture);
  std::lock_guard lock(m_Lock);
  if (frame.capacity() > m_Spare.capacity()) m_Spare.swap(frame);
}

LRESULT CALLBACK RawFrameCallback::WindowProc(HWND Window, UINT Msg, WPARAM WParam, LPARAM LParam) {
  if (Msg == kFrameWaiting) {
    auto* callback = reinterpret_cast<RawFrameCallback*>(GetWindowLongPtrW(Window, GWLP_USERDATA));
    if (callback) callback->DeliverWaiting();
    return 0;
  }
  return DefWindowProcW(Window, Msg, WParam, LParam);
}

}  // namespace bench
