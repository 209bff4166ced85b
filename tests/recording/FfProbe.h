#pragma once

// What ffprobe (Debian's, a Linux program) reads in a video file that a test wrote. The test
// process is a Windows program under Wine, which starts Unix executables too (through
// /bin/sh here, which leaves ffprobe's output in a file of the recordings folder).

#include <string>

namespace rectest {

struct VideoProbe {
  bool Read = false;      // ffprobe ran and found a stream
  std::string Output;     // what it printed (for failure messages)
  int VideoStreams = 0;
  int OtherStreams = 0;
  std::string Codec;      // of the first stream
  std::string PixelFormat;  // of the first stream, as ffmpeg names it (yuyv422, nv12, ...)
  int Width = 0, Height = 0;
  double FrameRate = 0;   // r_frame_rate
  int Frames = 0;         // frames decoded (-count_frames)
  double Duration = 0;    // of the container, seconds
};

// Probes the file at UnixPath (a path of this Linux machine) with the ffprobe that LM_FFPROBE
// names (/usr/bin/ffprobe when unset).
VideoProbe ProbeVideo(const std::string& UnixPath);

// The recordings folder (LM_RECORDINGS, a Unix path that the test program is given): the
// Unix path of a file in it and the same file as Wine sees it (drive Z:).
std::string RecordingUnixPath(const std::string& FileName);
std::wstring RecordingWindowsPath(const std::string& FileName);

// The bytes of the file at Path; empty when it cannot be read.
std::string ReadWholeFile(const std::wstring& Path);

}  // namespace rectest
