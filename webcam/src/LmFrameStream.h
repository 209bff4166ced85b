#pragma once

// The frame stream of the preview and the player: every sample the Sample Grabber passes, with
// its times and numbers, delivered as the application chose (webcam/LmFrame.h). Internal to the
// camera library; the snapshot pipeline owns it and hands it the grabber's samples.
//
// Threads. Start, Stop, SetHandler and TakeLatest run on the GUI thread; ReceiveSample on the
// graph's streaming thread.
//  - Latest: the streaming thread copies the sample into the one waiting slot (replacing a frame
//    still waiting there) and posts the control's window one message while the slot is full;
//    the GUI thread takes the frame and converts it, if it is to be converted, when it delivers.
//  - Direct: the streaming thread converts (MJPG on the library's own COM thread, see
//    LmComThread.h) and calls the handler itself. Stop closes a gate and waits until a call in
//    flight has returned, so that none runs after Stop.
// No lock of the stream is held while the handler runs or a message is posted.

#include <windows.h>

#include <dshow.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "webcam/LmFrame.h"
#include "webcam/LmSampleGrabberCB.h"
#include "webcam/src/LmComThread.h"
#include "webcam/src/LmFrameConverter.h"

namespace lm {

// Posted by the stream to the control's window when a frame waits (Latest delivery).
constexpr UINT WM_LMFRAME = WM_APP + 4;

// A frame taken for delivery: its picture in a buffer of its own, and its description (Data
// points into Buffer). Converted: Buffer holds a converted picture, not the sample's bytes.
struct TakenFrame {
  std::vector<uint8_t> Buffer;
  TLmFrame Frame{};
  bool Converted = false;
};

class FrameStream final : public TLmSampleReceiver {
public:
  FrameStream() = default;
  FrameStream(const FrameStream&) = delete;
  FrameStream& operator=(const FrameStream&) = delete;

  // The handler frames go to; null stops deliveries (a call in flight finishes with the old
  // one).
  void SetHandler(std::shared_ptr<const TVLmFrameEvent> Handler);
  bool HasHandler();

  // Begins a stream of the grabber's connection Format (subtype and video-info header), with
  // the delivery and the format chosen, Window told of waiting frames and Sender as the
  // handler's sender: counts from 0 again and opens the gate.
  void Start(const GUID& SubType, const VIDEOINFOHEADER& Format, TVLmFrameDelivery Delivery,
             TVLmFrameFormat Picture, HWND Window, TObject* Sender);
  // Closes the gate and waits for a Direct call in flight; a waiting frame is dropped.
  void Stop();

  // Latest delivery: takes the waiting frame and makes it what the handler gets (converted
  // when frames are); false when none waits or it cannot be converted.
  bool TakeLatest(TakenFrame& Taken);
  // Gives a delivered frame's buffer back for a later frame of its kind, so that a running
  // stream allocates nothing per frame.
  void Recycle(TakenFrame& Taken);
  // The handler of the moment and the sender.
  std::shared_ptr<const TVLmFrameEvent> Handler();
  TObject* Sender() const { return m_Sender; }

  // Streaming thread.
  void ReceiveSample(IMediaSample* Sample) override;

private:
  // Where the picture of a native frame lies in its buffer; false for a subtype whose layout
  // the stream does not know (delivered with Stride 0).
  void DescribeNative(const uint8_t* Buffer, uint32_t Bytes, TLmFrame& Frame) const;
  // Converts Source into Target for the chosen RGB format; fills Frame. COM work (MJPG) runs on
  // the COM thread unless OnGuiThread.
  bool Convert(const uint8_t* Source, size_t Length, std::vector<uint8_t>& Target, TLmFrame& Frame, bool OnGuiThread);
  void Deliver(IMediaSample* Sample, const uint8_t* Data, uint32_t Length, int64_t SampleTime, int64_t Arrival);

  // Set by Start on the GUI thread while the gate is closed; read by the streaming thread.
  GUID m_SubType = GUID_NULL;
  VIDEOINFOHEADER m_Format{};
  FrameFormat m_Convert;
  TVLmFrameFormat m_Picture = vlmFrameRGB24;
  HWND m_Window = nullptr;
  TObject* m_Sender = nullptr;

  std::mutex m_Lock;  // guards what follows; never held while calling out
  std::condition_variable m_Idle;
  bool m_Open = false;
  TVLmFrameDelivery m_Delivery = vlmFrameLatest;
  int m_InFlight = 0;
  std::shared_ptr<const TVLmFrameEvent> m_Handler;
  // Latest: the waiting frame and what the GUI thread gave back.
  bool m_Waiting = false;
  bool m_Posted = false;
  std::vector<uint8_t> m_WaitingBuffer;
  TLmFrame m_WaitingFrame{};
  std::vector<uint8_t> m_Spare;         // a sample's room
  std::vector<uint8_t> m_PictureSpare;  // a converted picture's room
  uint64_t m_LastDelivered = 0;  // Number + 1 of the last frame delivered (0: none yet)

  std::atomic<uint64_t> m_Received{0};
  // Streaming thread only.
  std::vector<uint8_t> m_Back;
  std::vector<uint8_t> m_DirectPicture;
  uint32_t m_DirectDropped = 0;
  ComThread m_ComThread;
};

}  // namespace lm
