// A recording whose file cannot be written, on Wine's real capture graph with the test camera
// and the test capture graph builder's AVI writer made to fail as a full disk does: the
// recorder stops once with error 206 and OnRecordError (not a lost device), what was written is
// read by ffprobe, a handler may close the control, and the camera records again.

#include <windows.h>

#include <dshow.h>

#include <gtest/gtest.h>
#include <wrl/client.h>

#include <string>

#include "recording/FfProbe.h"
#include "support/DeviceLossWatch.h"
#include "support/TestWindow.h"
#include "testbuilder/LmTestCaptureBuilder.h"
#include "testcam/LmTestCam.h"
#include "webcam/LmRecord.h"

namespace {

using Microsoft::WRL::ComPtr;
using rectest::ProbeVideo;
using rectest::RecordingUnixPath;
using rectest::RecordingWindowsPath;

// The recorder with its graph reachable.
class RecorderProbe : public TVLmRecord {
public:
  RecorderProbe() : TVLmRecord(nullptr) {}
  // The full-disk switch of the AVI writer in the graph.
  ComPtr<ILmAviWriterDiskFull> DiskFullSwitch() {
    ComPtr<IBaseFilter> writer;
    ComPtr<ILmAviWriterDiskFull> diskFull;
    if (m_pGraphBuilder && m_pGraphBuilder->FindFilterByName(kLmAviFileWriterName, writer.GetAddressOf()) == S_OK)
      writer.As(&diskFull);
    return diskFull;
  }
};

TEST(RecordError, AFullDiskStopsTheRecordingOnceWithError206AndKeepsWhatWasWritten) {
  const std::string name = "disk-full.avi";
  testwin::HostWindow host(400, 300);
  RecorderProbe recorder;
  recorder.SetParentWindow(host.Handle());
  recorder.SetBounds(0, 0, 160, 120);
  int errors = 0, lost = 0;
  uint16_t stateThen = 0;
  int16_t errorThen = 0;
  recorder.SetOnRecordError([&](TObject*) {
    ++errors;
    stateThen = recorder.State().Value();
    errorThen = recorder.ErrorStatus();
  });
  recorder.SetOnDeviceLost([&](TObject*) { ++lost; });
  ASSERT_TRUE(recorder.OpenDevice(RecordingWindowsPath(name), kLmTestCameraDevicePath)) << recorder.ErrorStatus();
  const ComPtr<ILmAviWriterDiskFull> diskFull = recorder.DiskFullSwitch();
  ASSERT_TRUE(diskFull);
  // 160 x 120 RGB24 frames of 57600 bytes at 30 a second: the disk fills after about 20 frames.
  ASSERT_EQ(diskFull->FailWritesAfter(1200000), S_OK);
  ASSERT_TRUE(recorder.Start(vlmVideoStretch));
  ASSERT_TRUE(testwin::PumpUntil([&] { return errors > 0; }, 5000));
  testwin::PumpMessages(500);
  EXPECT_EQ(errors, 1);
  EXPECT_EQ(lost, 0) << "the camera is still there";
  EXPECT_EQ(stateThen, vlmStateOpen.Value());
  EXPECT_EQ(errorThen, LMERR_FILE_WRITE);
  EXPECT_EQ(recorder.State(), vlmStateOpen);
  EXPECT_EQ(recorder.ErrorStatus(), LMERR_FILE_WRITE);

  const rectest::VideoProbe written = ProbeVideo(RecordingUnixPath(name));
  ASSERT_TRUE(written.Read) << written.Output;
  EXPECT_GE(written.Frames, 10) << written.Output;
  EXPECT_LE(written.Frames, 21) << written.Output;

  // Space again: the same control records anew; its handler may close it.
  ASSERT_EQ(diskFull->FailWritesAfter(kLmAviWriteUnlimited), S_OK);
  ASSERT_TRUE(recorder.Start(vlmVideoStretch)) << recorder.ErrorStatus();
  testwin::PumpMessages(500);
  recorder.SetOnRecordError([&](TObject*) {
    ++errors;
    EXPECT_TRUE(recorder.Close());
  });
  ASSERT_EQ(diskFull->FailWritesAfter(0), S_OK);  // the next frame fails
  ASSERT_TRUE(testwin::PumpUntil([&] { return errors > 1; }, 5000));
  testwin::PumpMessages(300);
  EXPECT_EQ(errors, 2);
  EXPECT_EQ(recorder.State(), vlmStateClosed);
}

}  // namespace
