#pragma once

// Real windows for GUI tests under Xvfb: a visible top-level host, message pumping, and
// pixels read back from what a window drew.

#include <windows.h>

#include <functional>
#include <vector>

namespace testwin {

// A visible top-level window whose client area hosts the controls under test.
class HostWindow {
public:
  HostWindow(int ClientWidth, int ClientHeight);
  HostWindow(const HostWindow&) = delete;
  HostWindow& operator=(const HostWindow&) = delete;
  ~HostWindow();

  HWND Handle() const { return m_Handle; }

private:
  HWND m_Handle = nullptr;
};

// Dispatches the messages queued for this thread, for at least Milliseconds.
void PumpMessages(DWORD Milliseconds = 50);

// Pumps messages until Condition holds or TimeoutMs passes; returns the final Condition.
bool PumpUntil(const std::function<bool()>& Condition, DWORD TimeoutMs = 5000);

// Repaints Window now and returns the colour of its client pixel (X, Y), read from a copy of
// the window's client area.
COLORREF ClientPixel(HWND Window, int X, int Y);

// A copy of a window's client area, taken right after the window has repainted (as ClientPixel
// does), for tests that check many pixels of one picture.
class ClientImage {
public:
  explicit ClientImage(HWND Window);

  int Width() const { return m_Width; }
  int Height() const { return m_Height; }
  // The colour of client pixel (X, Y); CLR_INVALID outside the client area.
  COLORREF Pixel(int X, int Y) const;

private:
  int m_Width = 0;
  int m_Height = 0;
  std::vector<COLORREF> m_Pixels;  // row by row, top row first
};

// The colour a brush paints, read back from a small bitmap filled with it.
COLORREF BrushColor(HBRUSH Brush);

// Counts of the GDI and USER objects this process holds, to find handle leaks. Where the
// system does not report them (Wine's GetGuiResources is a stub that returns 0), GDI objects
// are counted in the process's GDI handle table and USER objects as the process's windows.
DWORD GdiObjects();
DWORD UserObjects();

}  // namespace testwin
