// Recording the test camera through the test capture graph builder on Wine's real graph, with
// ffprobe as the judge of the files.

#include <windows.h>

#include <dshow.h>

#include <gtest/gtest.h>

#include <string>

#include "recording/FfProbe.h"
#include "recording/RecordingGraph.h"

namespace {

using namespace rectest;

::testing::AssertionResult IsVideo(const VideoProbe& Probe, int Width, int Height, double FramesPerSecond) {
  if (!Probe.Read) return ::testing::AssertionFailure() << "ffprobe read nothing:\n" << Probe.Output;
  if (Probe.VideoStreams != 1 || Probe.OtherStreams != 0 || Probe.Width != Width || Probe.Height != Height ||
      Probe.FrameRate < FramesPerSecond - 0.01 || Probe.FrameRate > FramesPerSecond + 0.01)
    return ::testing::AssertionFailure() << "ffprobe says:\n" << Probe.Output;
  return ::testing::AssertionSuccess();
}

TEST(Recording, ThreeSecondsAt320x240And15FpsGiveOneVideoStreamOfAbout45Frames) {
  const std::string name = "three-seconds.avi";
  DeleteFileW(RecordingWindowsPath(name).c_str());
  {
    RecordingGraph graph(RecordingWindowsPath(name));
    ASSERT_EQ(graph.Result, S_OK) << graph.Step;
    ASSERT_TRUE(SUCCEEDED(graph.Control->Run()));
    Sleep(3000);
    // The name cannot change under a running writer.
    EXPECT_EQ(graph.Sink->SetFileName(L"C:\\other.avi", nullptr), VFW_E_NOT_STOPPED);
    ASSERT_EQ(graph.Control->Stop(), S_OK);
  }
  const VideoProbe probe = ProbeVideo(RecordingUnixPath(name));
  ASSERT_TRUE(IsVideo(probe, 320, 240, 15.0));
  EXPECT_EQ(probe.Codec, "rawvideo");
  EXPECT_NEAR(probe.Frames, 45, 6) << probe.Output;
  EXPECT_NEAR(probe.Duration, 3.0, 0.4) << probe.Output;
}

TEST(Recording, RunAfterStopWritesTheFileAnewFromItsStart) {
  const std::string name = "run-stop-run.avi";
  const std::wstring path = RecordingWindowsPath(name);
  RecordingGraph graph(path, 640, 480, 333333);
  ASSERT_EQ(graph.Result, S_OK) << graph.Step;
  ASSERT_TRUE(graph.Record(2000));
  const VideoProbe first = ProbeVideo(RecordingUnixPath(name));
  ASSERT_TRUE(IsVideo(first, 640, 480, 30.0));
  const LONGLONG firstSize = FileSize(path);

  ASSERT_TRUE(graph.Record(700));
  const VideoProbe second = ProbeVideo(RecordingUnixPath(name));
  ASSERT_TRUE(IsVideo(second, 640, 480, 30.0));
  EXPECT_NEAR(second.Frames, 21, 6) << second.Output;
  EXPECT_LT(second.Frames, first.Frames - 20);
  // Truncated, not written over: the file is no longer than the second recording.
  EXPECT_LT(FileSize(path), firstSize / 2);
}

TEST(Recording, WithoutOverwriteModeALongerFileIsWrittenOverAndEndsWhereTheRecordingEnds) {
  const std::string name = "written-over.avi";
  const std::wstring path = RecordingWindowsPath(name);
  {
    // An older, longer file of that name.
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    const std::string junk(8 << 20, 'x');
    DWORD written = 0;
    WriteFile(file, junk.data(), static_cast<DWORD>(junk.size()), &written, nullptr);
    CloseHandle(file);
  }
  RecordingGraph graph(path, 160, 120, 1000000);
  ASSERT_EQ(graph.Result, S_OK) << graph.Step;
  ComPtr<IFileSinkFilter2> sink;
  ASSERT_EQ(graph.Sink.As(&sink), S_OK);
  ASSERT_EQ(sink->SetMode(0), S_OK);
  ASSERT_TRUE(graph.Record(1000));
  const VideoProbe probe = ProbeVideo(RecordingUnixPath(name));
  ASSERT_TRUE(IsVideo(probe, 160, 120, 10.0));
  // RIFF's size field counts what follows it: the file ends with the RIFF.
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  DWORD header[2] = {};
  DWORD read = 0;
  ReadFile(file, header, sizeof(header), &read, nullptr);
  CloseHandle(file);
  EXPECT_EQ(header[0], 0x46464952u) << "RIFF";
  EXPECT_EQ(FileSize(path), static_cast<LONGLONG>(header[1]) + 8);
  EXPECT_LT(FileSize(path), 8 << 20);
}

TEST(Recording, ReleasingTheRunningGraphCompletesTheFile) {
  const std::string name = "released-running.avi";
  {
    RecordingGraph graph(RecordingWindowsPath(name), 160, 120, 1000000);
    ASSERT_EQ(graph.Result, S_OK) << graph.Step;
    ASSERT_TRUE(SUCCEEDED(graph.Control->Run()));
    Sleep(1500);
    // Every reference goes, the graph's last with it, without a Stop from here.
    graph.Control.Reset();
  }
  const VideoProbe probe = ProbeVideo(RecordingUnixPath(name));
  ASSERT_TRUE(IsVideo(probe, 160, 120, 10.0));
  EXPECT_NEAR(probe.Frames, 15, 4) << probe.Output;
}

TEST(Recording, ANameThatCannotBeWrittenIsRefusedWhenTheGraphIsBuilt) {
  const std::wstring path = RecordingWindowsPath("no-such-folder\\x.avi");
  RecordingGraph graph(path);
  EXPECT_EQ(graph.Result, HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND));
  EXPECT_EQ(graph.Step, "SetOutputFileName");
  ComPtr<IBaseFilter> writer;
  EXPECT_EQ(graph.Graph->FindFilterByName(L"AVI File Writer", &writer), VFW_E_NOT_FOUND);

  // A name that can be written is not created by looking at it.
  const std::wstring fresh = RecordingWindowsPath("looked-at.avi");
  DeleteFileW(fresh.c_str());
  RecordingGraph other(fresh);
  ASSERT_EQ(other.Result, S_OK) << other.Step;
  EXPECT_EQ(FileSize(fresh), -1);
}

TEST(Recording, AFileThatCannotBeOpenedWhenTheGraphRunsFailsRun) {
  const std::wstring path = RecordingWindowsPath("taken.avi");
  DeleteFileW(path.c_str());
  RemoveDirectoryW(path.c_str());
  RecordingGraph graph(path);
  ASSERT_EQ(graph.Result, S_OK) << graph.Step;
  // Something else takes the name between building and running.
  ASSERT_TRUE(CreateDirectoryW(path.c_str(), nullptr));
  EXPECT_EQ(graph.Control->Run(), HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED));
  graph.StopEveryFilter();
  RemoveDirectoryW(path.c_str());
}

TEST(Recording, LeavesNoObjectOfTheBuilderBehind) {
  {
    RecordingGraph graph(RecordingWindowsPath("leaves-nothing.avi"), 160, 120, 1000000);
    ASSERT_EQ(graph.Result, S_OK) << graph.Step;
    ComPtr<IEnumPins> pins;
    ASSERT_EQ(graph.Writer->EnumPins(&pins), S_OK);
    ASSERT_TRUE(graph.Record(300));
    EXPECT_EQ(BuilderCanUnloadNow(), S_FALSE) << "the builder, the writer and its pin enumerator are alive";
  }
  // The builder, the writer, its pin and enumerators, and the class object are all gone.
  EXPECT_EQ(BuilderCanUnloadNow(), S_OK);
}

}  // namespace
