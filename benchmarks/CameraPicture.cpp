#include "benchmarks/CameraPicture.h"

#include <cmath>

#include "testcam/LmTestCam.h"
#include "webcam/LmWebCamera.h"

namespace bench {

std::wstring FormatText(const CameraFormat& Format) {
  return LmVideoSubTypeName(Format.SubType) + L" " + std::to_wstring(Format.Width) + L"x" +
         std::to_wstring(Format.Height);
}

namespace {

// The counter in a bottom-up 24-bit picture of Height rows of Stride bytes whose counter cells
// are ScaleX x ScaleY times their size in the camera's picture: each cell read at its centre.
int DecodeScaledCounter(const BYTE* Pixels, LONG Stride, LONG Height, double ScaleX, double ScaleY) {
  const LONG row = static_cast<LONG>((kLmCounterCell / 2) * ScaleY);
  if (row >= Height) return -1;
  int value = 0;
  for (int cell = 0; cell < kLmCounterBits; ++cell) {
    const LONG column = static_cast<LONG>((cell * kLmCounterCell + kLmCounterCell / 2) * ScaleX);
    const BYTE* p = Pixels + static_cast<size_t>(Height - 1 - row) * Stride + static_cast<size_t>(column) * 3;
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

}  // namespace

int DecodeCounter(const BYTE* Pixels, LONG Width, LONG Height) {
  constexpr LONG kCounterWidth = kLmCounterBits * kLmCounterCell;
  if (!Pixels || Width < kCounterWidth || Height < kLmCounterCell) return -1;
  return DecodeScaledCounter(Pixels, (Width * 3 + 3) & ~3, Height, 1.0, 1.0);
}

int ScreenCounter(HWND Window, LONG PictureWidth, LONG PictureHeight) {
  RECT client{};
  POINT origin{0, 0};
  if (!Window || PictureWidth <= 0 || PictureHeight <= 0 || !GetClientRect(Window, &client) ||
      !ClientToScreen(Window, &origin))
    return -1;
  const double scaleX = static_cast<double>(client.right) / PictureWidth;
  const double scaleY = static_cast<double>(client.bottom) / PictureHeight;
  // The counter's rows and columns as the screen shows them, and a pixel more for rounding.
  const LONG width = static_cast<LONG>(std::ceil(kLmCounterBits * kLmCounterCell * scaleX)) + 1;
  const LONG height = static_cast<LONG>(std::ceil(kLmCounterCell * scaleY)) + 1;
  if (width <= 1 || height <= 1) return -1;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;  // bottom-up, as DecodeScaledCounter reads
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
    if (BitBlt(memory, 0, 0, width, height, screen, origin.x, origin.y, SRCCOPY)) {
      GdiFlush();
      counter = DecodeScaledCounter(static_cast<const BYTE*>(bits), (width * 3 + 3) & ~3, height, scaleX, scaleY);
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
