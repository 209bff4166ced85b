#pragma once

// The hand-written program's frame callback: what an application writes to get the frames of a
// Sample Grabber that takes the camera's own format, set beside TVLmPreview's frame stream.
//
//   Direct: SampleCB (SetCallback mode 0), on the streaming thread, for every frame: the frame
//           converted to 24- or 32-bit RGB (top-down) with the library's converter when asked,
//           MJPG included (COM initialised on that thread once, in the multithreaded apartment,
//           as WIC needs), then handed to the handler.
//   Latest: BufferCB (mode 1) copies the buffer into the one waiting slot (a newer frame
//           replaces a waiting one) and posts a message to a window of the GUI thread while the
//           slot is full; the GUI thread takes the frame, converts it when asked and hands it to
//           the handler, with the frames replaced meanwhile as dropped.
//
// The handler is a FrameTally's (benchmarks/FrameTally.h), the same as the control's.
// Created, closed and released on the GUI thread.

#include <windows.h>

#include <wrl/client.h>

#include <cstdint>
#include <mutex>
#include <vector>

#include "benchmarks/FrameTally.h"
#include "handwritten/GrabberCallback.h"
#include "webcam/src/LmFrameConverter.h"

namespace bench {

enum class RawDelivery { Direct, Latest };
// What the handler gets: the frame as the camera sent it, or converted to top-down 24-bit RGB
// (rows padded to 4 bytes) or 32-bit RGB.
enum class RawPicture { Native, Rgb24, Rgb32 };

class RawFrameCallback final : public handwritten::GrabberCallback {
public:
  // A callback for frames of Format, handed to Tally as Picture (Tally must outlive the graph's
  // use of the callback); null when its window cannot be made.
  static Microsoft::WRL::ComPtr<RawFrameCallback> Create(RawDelivery Delivery, RawPicture Picture,
                                                         const lm::FrameFormat& Format, FrameTally& Tally);
  // The grabber's callback mode for the delivery.
  long Mode() const { return m_Delivery == RawDelivery::Direct ? 0 : 1; }
  // GUI thread, once the grabber no longer calls: no frame is delivered after this.
  void Close();

  // Streaming thread.
  STDMETHODIMP SampleCB(double SampleTime, IMediaSample* Sample) override;
  STDMETHODIMP BufferCB(double SampleTime, BYTE* Buffer, long Length) override;

private:
  RawFrameCallback(RawDelivery Delivery, RawPicture Picture, const lm::FrameFormat& Format, FrameTally& Tally);
  ~RawFrameCallback() override;
  static LRESULT CALLBACK WindowProc(HWND Window, UINT Msg, WPARAM WParam, LPARAM LParam);

  // Bytes from one row of the converted picture to the next.
  size_t Stride() const;
  // Converts Length bytes at Source into Picture; false when the frame cannot be converted.
  bool Convert(const uint8_t* Source, size_t Length, std::vector<uint8_t>& Picture) const;
  // Hands the frame to the handler, converted first when asked; a frame that cannot be
  // converted is counted as dropped with the next one.
  void Deliver(const uint8_t* Data, uint32_t Bytes, int64_t Arrival, uint32_t Dropped, std::vector<uint8_t>& Picture);
  // GUI thread: the waiting frame to the handler.
  void DeliverWaiting();

  const RawDelivery m_Delivery;
  const RawPicture m_PictureKind;
  const lm::FrameFormat m_Format;
  FrameTally& m_Tally;
  HWND m_Window = nullptr;  // Latest: the GUI thread's window that waiting frames are posted to

  // The thread that delivers (the streaming thread for Direct, the GUI thread for Latest).
  std::vector<uint8_t> m_Picture;  // the converted frame
  uint32_t m_Unconverted = 0;      // frames that could not be converted since the last delivery

  // Latest.
  std::vector<uint8_t> m_Back;  // streaming thread: the copy being made
  std::mutex m_Lock;            // guards what follows; never held while calling out or posting
  bool m_Waiting = false;
  bool m_Posted = false;
  std::vector<uint8_t> m_WaitingBuffer;
  uint32_t m_WaitingBytes = 0;
  int64_t m_WaitingArrival = 0;
  uint64_t m_WaitingNumber = 0;
  uint64_t m_Received = 0;
  uint64_t m_NextToDeliver = 0;  // GUI thread's: the number after the last delivered one
  std::vector<uint8_t> m_Spare;  // a buffer the GUI thread gave back
};

}  // namespace bench
