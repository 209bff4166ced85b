// The snapshot pipeline shared by the preview and the player: the grabber callback's latch
// and hand-over, and the checks and the bitmap block of WM_CAPTURE, driven directly.

#include <windows.h>

#include <psapi.h>

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <vector>

#include "support/HostedFakeComTest.h"
#include "support/TestWindow.h"
#include "webcam/LmSnapshot.h"

namespace {

// A grabber that only records how its callback is set.
class RecordingGrabber : public fakes::FakeComObject<ISampleGrabber> {
public:
  std::vector<std::pair<ISampleGrabberCB*, long>> Callbacks;

  STDMETHODIMP SetCallback(ISampleGrabberCB* Callback, long Which) override {
    Callbacks.emplace_back(Callback, Which);
    return S_OK;
  }
  STDMETHODIMP SetOneShot(BOOL) override { return fakes::Unexpected("ISampleGrabber::SetOneShot"); }
  STDMETHODIMP SetMediaType(const AM_MEDIA_TYPE*) override { return fakes::Unexpected("ISampleGrabber::SetMediaType"); }
  STDMETHODIMP GetConnectedMediaType(AM_MEDIA_TYPE*) override {
    return fakes::Unexpected("ISampleGrabber::GetConnectedMediaType");
  }
  STDMETHODIMP SetBufferSamples(BOOL) override { return fakes::Unexpected("ISampleGrabber::SetBufferSamples"); }
  STDMETHODIMP GetCurrentBuffer(LONG*, LONG*) override { return fakes::Unexpected("ISampleGrabber::GetCurrentBuffer"); }
  STDMETHODIMP GetCurrentSample(IMediaSample**) override {
    return fakes::Unexpected("ISampleGrabber::GetCurrentSample");
  }
};

class PipelineProbe : public TVLmSnapshotControl {
public:
  explicit PipelineProbe(TComponent* Owner) : TVLmSnapshotControl(Owner) {}
  using TVLmSnapshotControl::DropPendingSnapshot;
  using TVLmSnapshotControl::m_GrabberSubType;
  using TVLmSnapshotControl::m_LmSampleGrabberCB;
  using TVLmSnapshotControl::m_pSampleGrabber;
  using TVLmSnapshotControl::m_vih;
  using TVLmSnapshotControl::ReleaseGrabber;
  using TVLmSnapshotControl::StartGrabber;
};

struct Delivery {
  TObject* Sender = nullptr;
  BITMAPINFOHEADER Header{};
  SIZE_T BlockSize = 0;
  std::vector<BYTE> Pixels;
};

class SnapshotPipelineTest : public fakes::HostedFakeComTest<200, 150> {
protected:
  void SetUp() override {
    HostedFakeComTest::SetUp();
    m_Control = std::make_unique<PipelineProbe>(nullptr);
    m_Control->SetParentWindow(s_Host->Handle());
    m_Grabber = new RecordingGrabber();
    m_Control->m_pSampleGrabber = m_Grabber;
    m_Grabber->Release();  // the control holds the only reference
    SetFormat(320, 240, 320 * 240 * 3);
    m_Control->SetOnSnapshot([this](TObject* sender, UINT_PTR image, bool& freeMemory) {
      Delivery delivery;
      delivery.Sender = sender;
      const auto block = reinterpret_cast<HGLOBAL>(image);
      delivery.BlockSize = GlobalSize(block);
      const auto* bytes = static_cast<const BYTE*>(GlobalLock(block));
      std::memcpy(&delivery.Header, bytes, sizeof(BITMAPINFOHEADER));
      delivery.Pixels.assign(bytes + sizeof(BITMAPINFOHEADER), bytes + delivery.BlockSize);
      GlobalUnlock(block);
      m_Deliveries.push_back(delivery);
      if (m_KeepBlocks) {
        freeMemory = false;
        m_Kept.push_back(block);
      }
      if (m_Throw) throw std::runtime_error("handler failed");
    });
  }
  void TearDown() override {
    m_Control.reset();
    for (HGLOBAL block : m_Kept) GlobalFree(block);
    HostedFakeComTest::TearDown();
  }

  void SetFormat(LONG Width, LONG Height, DWORD ImageSize) {
    m_Control->m_vih = VIDEOINFOHEADER{};
    m_Control->m_vih.bmiHeader.biWidth = Width;
    m_Control->m_vih.bmiHeader.biHeight = Height;
    m_Control->m_vih.bmiHeader.biSizeImage = ImageSize;
    m_Control->m_vih.bmiHeader.biBitCount = 24;
    m_Control->m_vih.bmiHeader.biCompression = BI_RGB;
  }
  // A frame of Length bytes counting up from Seed, handed to the armed callback as the
  // grabber's streaming thread would, then the GUI thread's messages.
  std::vector<BYTE> DeliverFrame(LONG Length, BYTE Seed = 1) {
    std::vector<BYTE> frame(static_cast<size_t>(Length));
    for (size_t i = 0; i < frame.size(); ++i) frame[i] = static_cast<BYTE>(Seed + i);
    EXPECT_EQ(m_Control->m_LmSampleGrabberCB->BufferCB(0.0, frame.data(), Length), S_OK);
    testwin::PumpMessages(30);
    return frame;
  }

  std::unique_ptr<PipelineProbe> m_Control;
  RecordingGrabber* m_Grabber = nullptr;  // owned by the control's m_pSampleGrabber
  std::vector<Delivery> m_Deliveries;
  std::vector<HGLOBAL> m_Kept;
  bool m_KeepBlocks = false;
  bool m_Throw = false;
};

}  // namespace

TEST(SampleGrabberCallback, IsReferenceCountedAndAnswersOnlyItsInterfaces) {
  Microsoft::WRL::ComPtr<TLmSampleGrabberCB> callback = TLmSampleGrabberCB::Create();
  ISampleGrabberCB* asCallback = callback.Get();
  EXPECT_EQ(asCallback->AddRef(), 2u);  // the grabber's reference, say
  EXPECT_EQ(asCallback->Release(), 1u);
  void* answer = reinterpret_cast<void*>(1);
  EXPECT_EQ(asCallback->QueryInterface(IID_ISampleGrabberCB, &answer), S_OK);
  EXPECT_EQ(answer, asCallback);
  EXPECT_EQ(asCallback->Release(), 1u);
  EXPECT_EQ(asCallback->QueryInterface(IID_IUnknown, &answer), S_OK);
  EXPECT_NE(answer, nullptr);
  EXPECT_EQ(asCallback->Release(), 1u);
  EXPECT_EQ(asCallback->QueryInterface(IID_IBaseFilter, &answer), E_NOINTERFACE);
  EXPECT_EQ(answer, nullptr);
  EXPECT_EQ(asCallback->SampleCB(0.0, nullptr), S_OK);
}

TEST(SampleGrabberCallback, OneFramePerArmingAndNoneWithoutAWindow) {
  Microsoft::WRL::ComPtr<TLmSampleGrabberCB> callback = TLmSampleGrabberCB::Create();
  BYTE frame[2000] = {};
  callback->SetCaptureInfo(nullptr, false);
  EXPECT_EQ(callback->BufferCB(0.0, frame, sizeof(frame)), S_OK);
  EXPECT_TRUE(callback->Captured());  // spent, though the message went nowhere
  EXPECT_EQ(callback->BufferCB(0.0, frame, sizeof(frame)), S_OK);

  HGLOBAL block = nullptr;
  LONG length = 0;
  ASSERT_TRUE(callback->TakeFrame(block, length));
  EXPECT_EQ(length, 2000);
  EXPECT_EQ(GlobalSize(block), TLmSampleGrabberCB::kHeaderRoom + 2000);
  GlobalFree(block);
  EXPECT_FALSE(callback->TakeFrame(block, length));  // the second buffer was ignored

  callback->SetCaptureInfo(nullptr, false);  // armed again
  EXPECT_EQ(callback->BufferCB(0.0, frame, sizeof(frame)), S_OK);
  EXPECT_TRUE(callback->TakeFrame(block, length));
  GlobalFree(block);
}

TEST_F(SnapshotPipelineTest, AReleasedGrabbersLateCallbackDoesNothingAndTheNextGrabberGetsAFreshOne) {
  ASSERT_TRUE(m_Control->StartGrabber());
  // The grabber holds its own reference; one that outlives the control's graph calls late.
  Microsoft::WRL::ComPtr<TLmSampleGrabberCB> old = m_Control->m_LmSampleGrabberCB;
  const Microsoft::WRL::ComPtr<RecordingGrabber> grabber = m_Grabber;
  m_Grabber = nullptr;
  m_Control->ReleaseGrabber();
  EXPECT_FALSE(m_Control->m_pSampleGrabber);
  ASSERT_FALSE(grabber->Callbacks.empty());
  EXPECT_EQ(grabber->Callbacks.back().first, nullptr) << "detached from the grabber before it went";
  EXPECT_TRUE(old->Detached());
  std::vector<BYTE> frame(320 * 240 * 3, 5);
  EXPECT_EQ(old->BufferCB(0.0, frame.data(), static_cast<LONG>(frame.size())), S_OK);
  HGLOBAL block = nullptr;
  LONG length = 0;
  EXPECT_FALSE(old->TakeFrame(block, length)) << "nothing was copied";
  testwin::PumpMessages(50);
  EXPECT_TRUE(m_Deliveries.empty()) << "and no window was told";
  ASSERT_TRUE(m_Control->m_LmSampleGrabberCB);
  EXPECT_NE(m_Control->m_LmSampleGrabberCB.Get(), old.Get());
  EXPECT_FALSE(m_Control->m_LmSampleGrabberCB->Detached());
}

TEST_F(SnapshotPipelineTest, ArmedGrabberDeliversOnePackedBitmapAndDetaches) {
  ASSERT_TRUE(m_Control->StartGrabber());
  ASSERT_EQ(m_Grabber->Callbacks.size(), 1u);
  EXPECT_EQ(m_Grabber->Callbacks[0].first, static_cast<ISampleGrabberCB*>(m_Control->m_LmSampleGrabberCB.Get()));
  EXPECT_EQ(m_Grabber->Callbacks[0].second, 1);

  const std::vector<BYTE> frame = DeliverFrame(320 * 240 * 3, 7);
  DeliverFrame(320 * 240 * 3, 9);  // a later frame, after the latch closed
  ASSERT_EQ(m_Deliveries.size(), 1u);
  const Delivery& delivery = m_Deliveries[0];
  EXPECT_EQ(delivery.Sender, m_Control.get());
  EXPECT_EQ(delivery.Header.biSize, 40u);
  EXPECT_EQ(delivery.Header.biWidth, 320);
  EXPECT_EQ(delivery.Header.biHeight, 240);
  EXPECT_EQ(delivery.Header.biPlanes, 1);
  EXPECT_EQ(delivery.Header.biBitCount, 24);
  EXPECT_EQ(delivery.Header.biCompression, static_cast<DWORD>(BI_RGB));
  EXPECT_EQ(delivery.Header.biSizeImage, 320u * 240 * 3);
  EXPECT_EQ(delivery.Header.biXPelsPerMeter, 0);
  EXPECT_EQ(delivery.Header.biClrUsed, 0u);
  EXPECT_EQ(delivery.BlockSize, 40u + 320 * 240 * 3);
  EXPECT_EQ(delivery.Pixels, frame);
  ASSERT_EQ(m_Grabber->Callbacks.size(), 2u);
  EXPECT_EQ(m_Grabber->Callbacks[1].first, nullptr);  // detached by the handler
  EXPECT_EQ(m_Grabber->Callbacks[1].second, 0);
}

TEST_F(SnapshotPipelineTest, FramesThatFailTheChecksGiveNoEventButDetach) {
  struct Case {
    LONG Width, Height;
    DWORD ImageSize;
    LONG Delivered;
    const char* Why;
    WORD BitCount = 24;
    DWORD Compression = BI_RGB;
  };
  const Case cases[] = {
      {162, 120, 162 * 120 * 3, 162 * 120 * 3, "width not a multiple of 4"},
      {28, 240, 28 * 240 * 3, 28 * 240 * 3, "width below 32"},
      {4100, 32, 4100 * 32 * 3, 4100 * 32 * 3, "width above 4096"},
      {320, 28, 320 * 28 * 3, 320 * 28 * 3, "height below 32"},
      {32, 4100, 32 * 4100 * 3, 32 * 4100 * 3, "height above 4096"},
      {320, -240, 320 * 240 * 3, 320 * 240 * 3, "top-down picture"},
      {320, 240, 320 * 240 * 3, 320 * 240 * 3 - 1, "length differs from the image size"},
      // A connection whose header promises more pixels than its frames hold (a crafted file
      // decides the player's): the bitmap handed out would be read past its end.
      {320, 240, 4000, 4000, "image size below the 320 x 240 x 3 bytes of the picture"},
      {320, 240, 320 * 240 * 3, 320 * 240 * 3, "16 bits per pixel", 16},
      {320, 240, 320 * 240 * 3, 320 * 240 * 3, "compressed", 24, MAKEFOURCC('M', 'J', 'P', 'G')},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Why);
    SetFormat(c.Width, c.Height, c.ImageSize);
    m_Control->m_vih.bmiHeader.biBitCount = c.BitCount;
    m_Control->m_vih.bmiHeader.biCompression = c.Compression;
    m_Grabber->Callbacks.clear();
    ASSERT_TRUE(m_Control->StartGrabber());
    DeliverFrame(c.Delivered);
    EXPECT_TRUE(m_Deliveries.empty());
    ASSERT_EQ(m_Grabber->Callbacks.size(), 2u);
    EXPECT_EQ(m_Grabber->Callbacks[1].first, nullptr);
    HGLOBAL block = nullptr;
    LONG length = 0;
    EXPECT_FALSE(m_Control->m_LmSampleGrabberCB->TakeFrame(block, length));  // nothing left behind
  }
}

// A grabber connected with the source's own format: the one frame asked for becomes the same
// upright 24-bit bitmap; a frame shorter than its format is not converted.
TEST_F(SnapshotPipelineTest, FramesInTheSourcesOwnFormatAreConvertedUpright) {
  SetFormat(320, 240, 320 * 240 * 2);
  m_Control->m_vih.bmiHeader.biBitCount = 16;
  m_Control->m_vih.bmiHeader.biCompression = MAKEFOURCC('Y', 'U', 'Y', '2');
  m_Control->m_GrabberSubType = MEDIASUBTYPE_YUY2;
  // The top half white (Y 235), the bottom half black (Y 16), no colour; YUY2 is top-down.
  std::vector<BYTE> frame(320 * 240 * 2);
  for (size_t i = 0; i < frame.size(); i += 2) {
    frame[i] = i / 640 < 120 ? 235 : 16;
    frame[i + 1] = 128;
  }
  ASSERT_TRUE(m_Control->StartGrabber());
  ASSERT_EQ(m_Control->m_LmSampleGrabberCB->BufferCB(0.0, frame.data(), static_cast<LONG>(frame.size())), S_OK);
  testwin::PumpMessages(30);
  ASSERT_EQ(m_Deliveries.size(), 1u);
  const Delivery& shot = m_Deliveries[0];
  EXPECT_EQ(shot.Header.biWidth, 320);
  EXPECT_EQ(shot.Header.biHeight, 240);
  EXPECT_EQ(shot.Header.biBitCount, 24);
  EXPECT_EQ(shot.Header.biCompression, static_cast<DWORD>(BI_RGB));
  EXPECT_EQ(shot.Header.biSizeImage, 320u * 240 * 3);
  EXPECT_EQ(shot.BlockSize, 40u + 320 * 240 * 3);
  // Bottom-up: the first row of the block is the picture's bottom row.
  EXPECT_EQ(shot.Pixels[0], 0);
  EXPECT_EQ(shot.Pixels[239 * 960 + 1], 255);

  ASSERT_TRUE(m_Control->StartGrabber());
  DeliverFrame(320 * 240 * 2 - 2);
  EXPECT_EQ(m_Deliveries.size(), 1u);

  // A height that has no positive counterpart, met when the frame arrives: no image.
  ASSERT_TRUE(m_Control->StartGrabber());
  m_Control->m_vih.bmiHeader.biHeight = LONG_MIN;
  DeliverFrame(320 * 240 * 2);
  EXPECT_EQ(m_Deliveries.size(), 1u);
}

TEST_F(SnapshotPipelineTest, GrabberIsNotArmedForImageSizesOutsideTheLimits) {
  for (DWORD size : {0u, 999u, 16000001u}) {
    SetFormat(320, 240, size);
    EXPECT_FALSE(m_Control->StartGrabber()) << size;
  }
  for (DWORD size : {1000u, 16000000u}) {
    SetFormat(320, 240, size);
    EXPECT_TRUE(m_Control->StartGrabber()) << size;
  }
  m_Control->m_pSampleGrabber.Reset();
  SetFormat(320, 240, 320 * 240 * 3);
  EXPECT_FALSE(m_Control->StartGrabber());
  m_Grabber = nullptr;
}

TEST_F(SnapshotPipelineTest, HandlerKeepingTheBlockOwnsIt) {
  m_KeepBlocks = true;
  ASSERT_TRUE(m_Control->StartGrabber());
  const std::vector<BYTE> frame = DeliverFrame(320 * 240 * 3);
  ASSERT_EQ(m_Kept.size(), 1u);
  EXPECT_EQ(GlobalSize(m_Kept[0]), 40u + frame.size());  // still valid after the handler
  const auto* bytes = static_cast<const BYTE*>(GlobalLock(m_Kept[0]));
  EXPECT_EQ(std::memcmp(bytes + 40, frame.data(), frame.size()), 0);
  GlobalUnlock(m_Kept[0]);
}

// Bytes of memory this process has written to privately (committed and touched).
SIZE_T PrivateBytes() {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof(counters);
  GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters));
  return counters.PagefileUsage;
}

TEST_F(SnapshotPipelineTest, BlockLeftToTheComponentOrThrownOnIsFreed) {
  // Blocks of 2.7 MB: thirty of them kept by mistake would show far above the noise.
  constexpr LONG kImage = 1280 * 720 * 3;
  constexpr int kSnapshots = 30;
  SetFormat(1280, 720, kImage);
  for (bool throwing : {false, true}) {
    SCOPED_TRACE(throwing ? "handler raises" : "handler returns");
    int seen = 0;
    m_Control->SetOnSnapshot([&seen, throwing](TObject*, UINT_PTR image, bool& freeMemory) {
      EXPECT_TRUE(freeMemory);
      EXPECT_EQ(GlobalSize(reinterpret_cast<HGLOBAL>(image)), 40u + kImage);
      ++seen;
      if (throwing) throw std::runtime_error("handler failed");
    });
    ASSERT_TRUE(m_Control->StartGrabber());
    DeliverFrame(kImage);  // the first one may grow the heap for good
    const SIZE_T before = PrivateBytes();
    for (int i = 0; i < kSnapshots; ++i) {
      ASSERT_TRUE(m_Control->StartGrabber());
      DeliverFrame(kImage);
    }
    EXPECT_EQ(seen, kSnapshots + 1);
    const SIZE_T after = PrivateBytes();
    EXPECT_LT(after > before ? after - before : 0, SIZE_T{kImage} * kSnapshots / 4) << "blocks were kept";
  }
}

TEST_F(SnapshotPipelineTest, FrameStillPendingIsFreedWhenDropped) {
  ASSERT_TRUE(m_Control->StartGrabber());
  std::vector<BYTE> frame(320 * 240 * 3, 0x55);
  // The streaming thread's hand-over arrives, but the control drops the request (a graph
  // rebuild or Close) before its window sees the message.
  ASSERT_EQ(m_Control->m_LmSampleGrabberCB->BufferCB(0.0, frame.data(), static_cast<LONG>(frame.size())), S_OK);
  m_Control->DropPendingSnapshot();
  testwin::PumpMessages(30);
  EXPECT_TRUE(m_Deliveries.empty());
  HGLOBAL block = nullptr;
  LONG length = 0;
  EXPECT_FALSE(m_Control->m_LmSampleGrabberCB->TakeFrame(block, length));
}

TEST_F(SnapshotPipelineTest, WithoutAHandlerTheBlockIsFreedAtOnce) {
  m_Control->SetOnSnapshot(nullptr);
  ASSERT_TRUE(m_Control->StartGrabber());
  DeliverFrame(320 * 240 * 3);
  HGLOBAL block = nullptr;
  LONG length = 0;
  EXPECT_FALSE(m_Control->m_LmSampleGrabberCB->TakeFrame(block, length));
  EXPECT_EQ(m_Grabber->Callbacks.back().first, nullptr);
}
