// LmTestCamFrameCost: what painting one frame costs the camera's streaming thread, for each
// format of the UVC camera and for RGB24 1280 x 720. It paints the frames one after another
// into a buffer, as the streaming thread does for a receiver that is never late, and prints
// the thread's CPU time per frame: with every position of the moving bars painted for the first
// time (a new painter for each cycle of the bars), and painted again (one painter throughout).
// Not a test: it prints figures and checks nothing.

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <memory>
#include <numeric>
#include <vector>

#include "testcam/Capabilities.h"
#include "testcam/FramePainter.h"

namespace {

constexpr double kBudgetMs = 1000;

double ThreadCpuMs() {
  FILETIME created, exited, kernel, user;
  if (!GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user)) return 0;
  auto ms = [](const FILETIME& Time) {
    return static_cast<double>(ULARGE_INTEGER{{Time.dwLowDateTime, Time.dwHighDateTime}}.QuadPart) / 10000.0;
  };
  return ms(kernel) + ms(user);
}

// CPU time per frame (ms) of painting whole cycles of the bars for kBudgetMs of CPU time: with a
// new painter for each cycle (every position painted for the first time) or one painter for all
// (every position again). Bytes: the length of the last frame.
double PerFrame(const lmcam::Capability& Cap, bool NewPainterEachCycle, size_t& Bytes) {
  std::vector<BYTE> buffer(lmcam::ImageSize(Cap));
  const lmcam::PictureSettings defaults;
  // The bars move 4 pixels per frame: every position comes back after this many frames.
  const std::uint32_t cycle = static_cast<std::uint32_t>(Cap.Width / std::gcd(Cap.Width, 4L));
  auto painter = std::make_unique<lmcam::FramePainter>(Cap);
  painter->Paint(0, defaults, buffer.data(), buffer.size());  // allocations made once
  std::uint32_t frames = 0;
  const double start = ThreadCpuMs();
  do {
    if (NewPainterEachCycle) painter = std::make_unique<lmcam::FramePainter>(Cap);
    for (std::uint32_t i = 0; i < cycle; ++i) Bytes = painter->Paint(frames++, defaults, buffer.data(), buffer.size());
  } while (ThreadCpuMs() - start < kBudgetMs);
  return (ThreadCpuMs() - start) / frames;
}

void Measure(const lmcam::Capability& Cap) {
  size_t bytes = 0;
  const double first = PerFrame(Cap, true, bytes);
  const double again = PerFrame(Cap, false, bytes);
  std::wprintf(L"  %-5ls %4ldx%-4ld %12.3f %12.3f %10zu\n", lmcam::SubTypeName(Cap.SubType),
               static_cast<long>(Cap.Width), static_cast<long>(Cap.Height), first, again, bytes);
  std::fflush(stdout);
}

}  // namespace

int main() {
  std::wprintf(L"Test camera: CPU time of the streaming thread to paint one frame (ms), default settings,\n"
               L"each position of the moving bars painted for the first time, and again\n\n");
  std::wprintf(L"  %-15ls %12ls %12ls %10ls\n", L"format", L"first time", L"again", L"bytes");
  for (const lmcam::Capability& cap : lmcam::UvcCameraCapabilities()) Measure(cap);
  Measure(lmcam::RgbCameraCapabilities()[3]);  // RGB24 1280 x 720
  return 0;
}
