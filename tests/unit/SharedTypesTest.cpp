#include <gtest/gtest.h>

#include "webcam/LmWebCamera.h"

#include <uuids.h>

TEST(SharedTypes, StatesHaveTheirSixteenBitValues) {
  EXPECT_EQ(vlmStateClosed.Value(), 1);
  EXPECT_EQ(vlmStateOpen.Value(), 2);
  EXPECT_EQ(vlmStateRunning.Value(), 6);
  EXPECT_EQ(vlmStatePaused.Value(), 18);
  EXPECT_EQ(vlmStateStopped.Value(), 258);
  EXPECT_EQ(sizeof(TVLmVideoStates), 2u);
}

TEST(SharedTypes, StateTestsDistinguishTheFiveStates) {
  // "running" is membership of started, "paused" of paused, "open" of opened.
  EXPECT_TRUE(vlmStateRunning.Contains(vlmVideoStarted));
  EXPECT_FALSE(vlmStatePaused.Contains(vlmVideoStarted));
  EXPECT_TRUE(vlmStatePaused.Contains(vlmVideoPaused));
  EXPECT_FALSE(vlmStateClosed.Contains(vlmVideoOpened));
  for (auto state : {vlmStateOpen, vlmStateRunning, vlmStatePaused, vlmStateStopped}) {
    EXPECT_TRUE(state.Contains(vlmVideoOpened));
    EXPECT_NE(state, vlmStateClosed);
  }
  EXPECT_EQ(TVLmVideoStates({vlmVideoStarted, vlmVideoOpened}), vlmStateRunning);
}

TEST(SharedTypes, EnumerationsKeepTheirSizesAndOrdinals) {
  EXPECT_EQ(sizeof(TVLmVideoDisplayMode), 1u);
  EXPECT_EQ(static_cast<int>(vlmVideoScale), 0);
  EXPECT_EQ(static_cast<int>(vlmVideoStretch), 1);
  EXPECT_EQ(static_cast<int>(vlmVideoPaused), 4);
  EXPECT_EQ(static_cast<int>(vlmVideoStopped), 8);
}

TEST(SharedTypes, MessagesAndErrorCodes) {
  EXPECT_EQ(WM_GRAPHNOTIFY, 0x8001u);
  EXPECT_EQ(WM_CAPTURE, 0x8002u);
  const int16_t codes[] = {LMERR_NONE, LMERR_GRAPH_FAILED, LMERR_NO_SNAPSHOT_STREAM, LMERR_OUT_OF_RANGE,
                           LMERR_WRONG_STATE, LMERR_CORE_NOT_BOUND, LMERR_PLAYBACK_GRAPH, LMERR_INACTIVE,
                           LMERR_NO_DEVICE, LMERR_BUILD_GRAPH, LMERR_DEVICE_LOST};
  const int16_t expected[] = {0, 2, 4, 5, 11, 14, 20, 201, 202, 203, 204};
  for (size_t i = 0; i < std::size(codes); ++i) EXPECT_EQ(codes[i], expected[i]);
}

TEST(SharedTypes, StreamInformationFieldsInOrder) {
  using R = TLM_VIDEO_STREAM_INFORMATION;
  EXPECT_LT(offsetof(R, MajorType), offsetof(R, SubType));
  EXPECT_LT(offsetof(R, SubType), offsetof(R, VideoSize));
  EXPECT_LT(offsetof(R, VideoSize), offsetof(R, FrameRate));
  EXPECT_LT(offsetof(R, MaximumFrameRate), offsetof(R, BitCount));
  EXPECT_LT(offsetof(R, BitCount), offsetof(R, Compression));
  EXPECT_LT(offsetof(R, MaximumBitRate), offsetof(R, Index));
  EXPECT_EQ(sizeof(R{}.BitCount), 2u);
  EXPECT_EQ(sizeof(R{}.MinimumBitRate), 4u);
}

TEST(SharedTypes, SubtypesAreNamedAsUsersKnowThem) {
  EXPECT_EQ(LmVideoSubTypeName(MEDIASUBTYPE_RGB24), L"RGB24");
  EXPECT_EQ(LmVideoSubTypeName(MEDIASUBTYPE_RGB565), L"RGB565");
  EXPECT_EQ(LmVideoSubTypeName(MEDIASUBTYPE_YUY2), L"YUY2");
  EXPECT_EQ(LmVideoSubTypeName(MEDIASUBTYPE_MJPG), L"MJPG");
  EXPECT_EQ(LmVideoSubTypeName(MEDIASUBTYPE_NV12), L"NV12");
  // Any FOURCC GUID gives its characters; anything else its GUID.
  EXPECT_EQ(LmVideoSubTypeName(MEDIATYPE_Video), L"vids");
  const GUID unprintable = {0x00000001, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
  EXPECT_EQ(LmVideoSubTypeName(unprintable), L"{00000001-0000-0010-8000-00AA00389B71}");
  EXPECT_EQ(LmVideoSubTypeName(GUID_NULL), L"{00000000-0000-0000-0000-000000000000}");
}
