#pragma once

// The test cameras as the benchmark sees them: the formats it asks them for, and their frame
// counter (see testcam/LmTestCam.h), read from a frame or from the screen.

#include <windows.h>

#include <cguid.h>

#include <string>
#include <vector>

namespace bench {

// A format of a test camera, as a measurement asks for it.
struct CameraFormat {
  const wchar_t* Camera = L"";  // the device's FriendlyName
  GUID SubType = GUID_NULL;     // MEDIASUBTYPE_...
  LONG Width = 0;
  LONG Height = 0;
  double Rate = 30.0;  // frames per second requested
};

enum class SnapshotResult { Delivered, Lost, Failed };

// One snapshot: when it was asked for and delivered (NowMs), and what it held.
struct SnapshotFigures {
  double RequestedMs = 0;
  double ArrivedMs = 0;
  LONG Width = 0;
  LONG Height = 0;
  int Counter = -1;
};

// "MJPG 1920x1080".
std::wstring FormatText(const CameraFormat& Format);

// The frame counter in a bottom-up 24-bit picture (rows padded to 4 bytes): 16 cells of 8 x 8
// pixels on the top picture rows, most significant bit first; a cell whose centre has all three
// channels at 200 or more is a 1, at 55 or less a 0 (JPEG frames are a few steps off white and
// black). -1 when a cell is neither.
int DecodeCounter(const BYTE* Pixels, LONG Width, LONG Height);

// The counter of the picture of PictureWidth x PictureHeight pixels that fills Window's client
// area (scaled to it when the sizes differ), read back from the screen: each cell's centre, where
// the scaled cell lies; -1 when it cannot be read.
int ScreenCounter(HWND Window, LONG PictureWidth, LONG PictureHeight);

// Frames the counter advanced by from From to To (it counts modulo 65536).
int CounterAdvance(int From, int To);

// Frames per second that the counter advanced by between the first and the last readable frame
// of a series (counter values taken at the given times); NAN when unknown.
double CounterRate(const std::vector<int>& Counters, const std::vector<double>& TimesMs);

}  // namespace bench
