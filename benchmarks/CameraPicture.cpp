#include "benchmarks/CameraPicture.h"

#include <cmath>

#include "testcam/LmTestCam.h"
#include "webcam/LmWebCamera.h"

namespace bench {

std::wstring FormatText(const CameraFormat& Format) {
  return LmVideoSubTypeName(Format.SubType) + L" " + std::to_wstring(Format.Width) + L"x" +
         std::to_wstring(Format.Height);
}

int DecodeCounter(const BYTE* Pixels, LONG Width, LONG Height) {
  constexpr LONG kCounterWidth = kLmCounterBits * kLmCounterCell;
  if (!Pixels || Width < kCounterWidth || Height < kLmCounterCell) return -1;
  const LONG stride = (Width * 3 + 3) & ~3;
  const LONG middle = kLmCounterCell / 2;
  int value = 0;
  for (int cell = 0; cell < kLmCounterBits; ++cell) {
    const BYTE* p = Pixels + static_cast<size_t>(Height - 1 - middle) * stride + (cell * kLmCounterCell + middle) * 3;
    int bit;
    if (p[0] >= 200 && p[1] >= 200 && p[2] >= 200)
      bit = 1;
    else if (p[0] <= 55 && p[1] <= 55 && p[2] <= 55)
      bit = 0;
    else
      return -1;
    value = value << 1 | bit;
  }
  return value;
}

int ScreenCounter(HWND Window) {
  constexpr LONG kWidth = kLmCounterBits * kLmCounterCell;
  constexpr LONG kHeight = kLmCounterCell;
  POINT origin{0, 0};
  if (!Window || !ClientToScreen(Window, &origin)) return -1;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = kWidth;
  info.bmiHeader.biHeight = kHeight;  // bottom-up, as DecodeCounter reads
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  int counter = -1;
  HDC screen = GetDC(nullptr);
  if (!screen) return -1;
  HDC memory = CreateCompatibleDC(screen);
  void* bits = nullptr;
  HBITMAP bitmap = memory ? CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0) : nullptr;
  if (bitmap && bits) {
    HGDIOBJ previous = SelectObject(memory, bitmap);
    if (BitBlt(memory, 0, 0, kWidth, kHeight, screen, origin.x, origin.y, SRCCOPY)) {
      GdiFlush();
      counter = DecodeCounter(static_cast<const BYTE*>(bits), kWidth, kHeight);
    }
    SelectObject(memory, previous);
  }
  if (bitmap) DeleteObject(bitmap);
  if (memory) DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return counter;
}

int CounterAdvance(int From, int To) { return (To - From + 65536) % 65536; }

double CounterRate(const std::vector<int>& Counters, const std::vector<double>& TimesMs) {
  long long advanced = 0;
  int first = -1, last = -1, previous = -1;
  for (size_t i = 0; i < Counters.size(); ++i) {
    if (Counters[i] < 0) continue;
    if (first < 0) first = static_cast<int>(i);
    if (previous >= 0) advanced += CounterAdvance(Counters[static_cast<size_t>(previous)], Counters[i]);
    previous = static_cast<int>(i);
    last = static_cast<int>(i);
  }
  if (first < 0 || last <= first) return NAN;
  const double seconds = (TimesMs[static_cast<size_t>(last)] - TimesMs[static_cast<size_t>(first)]) / 1000.0;
  return seconds > 0 ? static_cast<double>(advanced) / seconds : NAN;
}

}  // namespace bench
