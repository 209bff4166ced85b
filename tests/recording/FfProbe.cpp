#include "recording/FfProbe.h"

#include <windows.h>

#include <cstdlib>
#include <string>
#include <sstream>

namespace rectest {

std::string ReadWholeFile(const std::wstring& Path) {
  std::string text;
  HANDLE file = CreateFileW(Path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return text;
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof(buffer), &got, nullptr) && got) text.append(buffer, got);
  CloseHandle(file);
  return text;
}

namespace {

std::wstring Widen(const std::string& Text) { return std::wstring(Text.begin(), Text.end()); }

std::string RecordingsFolder() {
  const char* folder = std::getenv("LM_RECORDINGS");
  return folder ? folder : "/tmp";
}

std::wstring WindowsPathOf(const std::string& UnixPath) {
  std::wstring path = L"Z:" + Widen(UnixPath);
  for (wchar_t& c : path)
    if (c == L'/') c = L'\\';
  return path;
}

// Runs a Unix shell command line and returns what it printed. Wine starts a Unix program
// without a Windows process to wait on and without the Windows pipe as its output, so the
// shell writes the output into a file and renames it when the command has ended.
std::string RunUnixCommand(const std::string& Command) {
  static int s_Runs = 0;
  const std::string base = RecordingUnixPath("probe-" + std::to_string(GetCurrentProcessId()) + "-" +
                                             std::to_string(++s_Runs));
  const std::string script = Command + " >'" + base + ".part' 2>&1; mv '" + base + ".part' '" + base + ".txt'";
  std::wstring command = L"/bin/sh -c \"" + Widen(script) + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
    return "cannot start /bin/sh: error " + std::to_string(GetLastError());
  if (process.hProcess) CloseHandle(process.hProcess);
  if (process.hThread) CloseHandle(process.hThread);
  const std::wstring result = WindowsPathOf(base + ".txt");
  for (int waited = 0; waited < 600 && GetFileAttributesW(result.c_str()) == INVALID_FILE_ATTRIBUTES; ++waited)
    Sleep(50);
  std::string output = ReadWholeFile(result);
  DeleteFileW(result.c_str());
  return output;
}

double Fraction(const std::string& Text) {
  const size_t slash = Text.find('/');
  if (slash == std::string::npos) return std::atof(Text.c_str());
  const double denominator = std::atof(Text.c_str() + slash + 1);
  return denominator ? std::atof(Text.substr(0, slash).c_str()) / denominator : 0;
}

}  // namespace

VideoProbe ProbeVideo(const std::string& UnixPath) {
  VideoProbe probe;
  const char* ffprobe = std::getenv("LM_FFPROBE");
  probe.Output = RunUnixCommand(
      std::string(ffprobe ? ffprobe : "/usr/bin/ffprobe") + " -v error -count_frames -show_entries "
      "stream=codec_type,codec_name,pix_fmt,width,height,r_frame_rate,nb_read_frames:format=duration "
      "-of default=noprint_wrappers=1 '" + UnixPath + "'");
  std::istringstream lines(probe.Output);
  std::string line;
  // One entry per line; the first stream's values are kept (recordings hold one stream).
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const size_t equals = line.find('=');
    if (equals == std::string::npos) continue;
    const std::string key = line.substr(0, equals), value = line.substr(equals + 1);
    if (key == "codec_type") (value == "video" ? probe.VideoStreams : probe.OtherStreams)++;
    if (key == "codec_name" && probe.Codec.empty()) probe.Codec = value;
    if (key == "pix_fmt" && probe.PixelFormat.empty()) probe.PixelFormat = value;
    if (key == "width" && !probe.Width) probe.Width = std::atoi(value.c_str());
    if (key == "height" && !probe.Height) probe.Height = std::atoi(value.c_str());
    if (key == "r_frame_rate" && probe.FrameRate == 0) probe.FrameRate = Fraction(value);
    if (key == "nb_read_frames" && !probe.Frames) probe.Frames = std::atoi(value.c_str());
    if (key == "duration") probe.Duration = std::atof(value.c_str());
  }
  probe.Read = probe.VideoStreams + probe.OtherStreams > 0;
  return probe;
}

std::string RecordingUnixPath(const std::string& FileName) { return RecordingsFolder() + "/" + FileName; }

std::wstring RecordingWindowsPath(const std::string& FileName) { return WindowsPathOf(RecordingUnixPath(FileName)); }

}  // namespace rectest
