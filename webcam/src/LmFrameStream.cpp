#include "webcam/src/LmFrameStream.h"

#include <uuids.h>

#include <climits>
#include <cstdint>
#include <initializer_list>
#include <new>

namespace lm {
namespace {

// Now, in 100-ns units of QueryPerformanceCounter.
int64_t ArrivalNow() {
  LARGE_INTEGER count{}, frequency{};
  QueryPerformanceCounter(&count);
  QueryPerformanceFrequency(&frequency);
  if (frequency.QuadPart <= 0) return 0;
  const int64_t whole = count.QuadPart / frequency.QuadPart;
  const int64_t part = count.QuadPart % frequency.QuadPart;
  return whole * 10000000 + part * 10000000 / frequency.QuadPart;
}

// The sample's start time, or -1 when it has none.
int64_t StartTimeOf(IMediaSample* Sample) {
  REFERENCE_TIME start = 0, stop = 0;
  const HRESULT hr = Sample->GetTime(&start, &stop);
  return hr == S_OK || hr == VFW_S_NO_STOP_TIME ? start : -1;
}

bool IsOneOf(const GUID& SubType, std::initializer_list<const GUID*> Kinds) {
  for (const GUID* kind : Kinds)
    if (IsEqualGUID(SubType, *kind)) return true;
  return false;
}

}  // namespace

void FrameStream::SetHandler(std::shared_ptr<const TVLmFrameEvent> Handler) {
  std::lock_guard lock(m_Lock);
  m_Handler = std::move(Handler);
}

bool FrameStream::HasHandler() {
  std::lock_guard lock(m_Lock);
  return m_Handler != nullptr;
}

std::shared_ptr<const TVLmFrameEvent> FrameStream::Handler() {
  std::lock_guard lock(m_Lock);
  return m_Handler;
}

void FrameStream::Start(const GUID& SubType, const VIDEOINFOHEADER& Format, TVLmFrameDelivery Delivery,
                        TVLmFrameFormat Picture, HWND Window, TObject* Sender) {
  Stop();
  // The gate is closed and nothing is in flight: the streaming thread reads none of this now.
  m_SubType = SubType;
  m_Format = Format;
  m_Convert = FrameFormat{};
  m_Convert.SubType = SubType;
  m_Convert.Width = Format.bmiHeader.biWidth;
  m_Convert.Height = Format.bmiHeader.biHeight;
  m_Picture = Picture;
  m_Window = Window;
  m_Sender = Sender;
  m_Received = 0;
  m_DirectDropped = 0;
  std::lock_guard lock(m_Lock);
  m_Delivery = Delivery;
  m_LastDelivered = 0;
  m_Open = true;
}

void FrameStream::Stop() {
  std::unique_lock lock(m_Lock);
  m_Open = false;
  m_Idle.wait(lock, [this] { return m_InFlight == 0; });
  m_Waiting = false;
  m_Posted = false;
}

void FrameStream::ReceiveSample(IMediaSample* Sample) {
  const int64_t arrival = ArrivalNow();
  BYTE* data = nullptr;
  if (!Sample || Sample->GetPointer(&data) != S_OK || !data) return;
  const long length = Sample->GetActualDataLength();
  const uint32_t bytes = length > 0 ? static_cast<uint32_t>(length) : 0;
  const int64_t sampleTime = StartTimeOf(Sample);

  bool direct = false;
  {
    std::lock_guard lock(m_Lock);
    if (!m_Open) return;
    direct = m_Delivery == vlmFrameDirect;
    if (direct) ++m_InFlight;
  }
  if (direct) {
    Deliver(Sample, data, bytes, sampleTime, arrival);
    std::lock_guard lock(m_Lock);
    --m_InFlight;
    m_Idle.notify_all();
    return;
  }

  // Latest: copy into the back buffer, then make it the waiting frame.
  try {
    m_Back.assign(data, data + bytes);
  } catch (const std::bad_alloc&) {
    ++m_Received;  // received, and dropped
    return;
  }
  bool post = false;
  {
    std::lock_guard lock(m_Lock);
    if (!m_Open) return;
    m_Back.swap(m_WaitingBuffer);
    m_Waiting = true;
    m_WaitingFrame = TLmFrame{};
    m_WaitingFrame.Bytes = bytes;
    m_WaitingFrame.Number = m_Received++;
    m_WaitingFrame.SampleTime = sampleTime;
    m_WaitingFrame.ArrivalTime = arrival;
    post = !m_Posted;
    m_Posted = true;
    // The back buffer is now the frame that waited before (dropped) or an emptied one: a buffer
    // the GUI thread gave back lends it its room.
    if (m_Back.capacity() < m_Spare.capacity()) m_Back.swap(m_Spare);
  }
  if (post && m_Window) PostMessageW(m_Window, WM_LMFRAME, 0, 0);
}

void FrameStream::Deliver(IMediaSample*, const uint8_t* Data, uint32_t Length, int64_t SampleTime, int64_t Arrival) {
  const uint64_t number = m_Received++;
  std::shared_ptr<const TVLmFrameEvent> handler = Handler();
  if (!handler || !*handler) return;
  TLmFrame frame{};
  if (m_Picture == vlmFrameNative) {
    DescribeNative(Data, Length, frame);
  } else if (!Convert(Data, Length, m_DirectPicture, frame, false)) {
    ++m_DirectDropped;
    return;
  }
  frame.Number = number;
  frame.SampleTime = SampleTime;
  frame.ArrivalTime = Arrival;
  frame.Dropped = m_DirectDropped;
  m_DirectDropped = 0;
  try {
    (*handler)(m_Sender, frame);
  } catch (...) {
    // The handler's exception stays on this thread, in the library.
  }
}

bool FrameStream::TakeLatest(TakenFrame& Taken) {
  std::vector<uint8_t> raw;
  TLmFrame frame{};
  {
    std::lock_guard lock(m_Lock);
    m_Posted = false;
    if (!m_Waiting) return false;
    raw.swap(m_WaitingBuffer);
    frame = m_WaitingFrame;
    m_Waiting = false;
    frame.Dropped = static_cast<uint32_t>(frame.Number - m_LastDelivered);
    m_LastDelivered = frame.Number + 1;
  }
  bool made = true;
  if (m_Picture == vlmFrameNative) {
    Taken.Buffer = std::move(raw);
    Taken.Converted = false;
    DescribeNative(Taken.Buffer.data(), frame.Bytes, frame);
  } else {
    {
      std::lock_guard lock(m_Lock);
      Taken.Buffer.swap(m_PictureSpare);
    }
    Taken.Converted = true;
    made = Convert(raw.data(), frame.Bytes, Taken.Buffer, frame, true);
    TakenFrame sample;
    sample.Buffer = std::move(raw);
    Recycle(sample);
  }
  Taken.Frame = frame;
  return made;
}

void FrameStream::Recycle(TakenFrame& Taken) {
  std::lock_guard lock(m_Lock);
  std::vector<uint8_t>& spare = Taken.Converted ? m_PictureSpare : m_Spare;
  if (Taken.Buffer.capacity() > spare.capacity()) spare.swap(Taken.Buffer);
}

void FrameStream::DescribeNative(const uint8_t* Buffer, uint32_t Bytes, TLmFrame& Frame) const {
  const BITMAPINFOHEADER& bitmap = m_Format.bmiHeader;
  const LONG width = bitmap.biWidth;
  const LONG height = bitmap.biHeight < 0 ? (bitmap.biHeight == LONG_MIN ? 0 : -bitmap.biHeight) : bitmap.biHeight;
  Frame.Data = Buffer;
  Frame.Bytes = Bytes;
  Frame.Width = width;
  Frame.Height = height;
  Frame.SubType = m_SubType;
  Frame.Stride = 0;
  if (width <= 0 || height <= 0) return;
  const bool rgb = IsOneOf(m_SubType, {&MEDIASUBTYPE_RGB24, &MEDIASUBTYPE_RGB32, &MEDIASUBTYPE_RGB565,
                                       &MEDIASUBTYPE_RGB555, &MEDIASUBTYPE_ARGB32});
  if (rgb) {
    // A DIB: rows padded to 4 bytes, bottom-up for a positive height.
    const size_t stride = (static_cast<size_t>(width) * bitmap.biBitCount + 31) / 32 * 4;
    if (stride == 0 || stride > INT32_MAX || static_cast<uint64_t>(stride) * static_cast<uint64_t>(height) > Bytes)
      return;
    if (bitmap.biHeight > 0) {
      Frame.Data = Buffer + stride * static_cast<size_t>(height - 1);
      Frame.Stride = -static_cast<int32_t>(stride);
    } else {
      Frame.Stride = static_cast<int32_t>(stride);
    }
    return;
  }
  // Packed and planar YUV: rows of the format's pitch from the top; MJPG and other compressed
  // kinds: Stride 0.
  if (MinimumFrameBytes(m_Convert) == 0 || MinimumFrameBytes(m_Convert) > Bytes) return;
  if (IsOneOf(m_SubType, {&MEDIASUBTYPE_YUY2, &MEDIASUBTYPE_UYVY}))
    Frame.Stride = width * 2;
  else
    Frame.Stride = width;  // NV12, I420, IYUV, YV12: the Y plane's pitch
}

bool FrameStream::Convert(const uint8_t* Source, size_t Length, std::vector<uint8_t>& Target, TLmFrame& Frame,
                          bool OnGuiThread) {
  if (!CanConvertFrame(m_Convert)) return false;
  const LONG width = m_Convert.Width;
  const LONG height = m_Convert.Height < 0 ? -m_Convert.Height : m_Convert.Height;
  const bool rgb32 = m_Picture == vlmFrameRGB32;
  const size_t stride = rgb32 ? static_cast<size_t>(width) * 4 : Rgb24Stride(width);
  try {
    Target.resize(stride * static_cast<size_t>(height));
  } catch (const std::bad_alloc&) {
    return false;
  }
  PictureTarget picture;
  picture.Top = Target.data();
  picture.Stride = static_cast<ptrdiff_t>(stride);
  picture.BytesPerPixel = rgb32 ? 4 : 3;
  // MJPG decoding needs COM on the thread that decodes: the GUI thread has it; a streaming
  // thread is the source's, so the library's own COM thread decodes for it.
  const bool needsCom = IsEqualGUID(m_Convert.SubType, MEDIASUBTYPE_MJPG);
  const auto convert = [&] { return ConvertFrame(m_Convert, Source, Length, picture); };
  const bool converted = needsCom && !OnGuiThread ? m_ComThread.Run(convert) : convert();
  if (!converted) return false;
  Frame.Data = Target.data();
  Frame.Bytes = static_cast<uint32_t>(Target.size());
  Frame.Width = width;
  Frame.Height = height;
  Frame.Stride = static_cast<int32_t>(stride);
  Frame.SubType = rgb32 ? MEDIASUBTYPE_RGB32 : MEDIASUBTYPE_RGB24;
  return true;
}

}  // namespace lm
