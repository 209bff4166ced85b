#include "support/TestWindow.h"

#include <winternl.h>

#include <stdexcept>

namespace testwin {
namespace {

constexpr wchar_t kHostClass[] = L"LmTestHostWindow";

void RegisterHostClass() {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  if (GetClassInfoExW(GetModuleHandleW(nullptr), kHostClass, &wc)) return;
  wc.lpfnWndProc = DefWindowProcW;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = kHostClass;
  RegisterClassExW(&wc);
}

}  // namespace

HostWindow::HostWindow(int ClientWidth, int ClientHeight) {
  RegisterHostClass();
  RECT rect{0, 0, ClientWidth, ClientHeight};
  const DWORD style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
  AdjustWindowRect(&rect, style, FALSE);
  m_Handle = CreateWindowExW(0, kHostClass, L"test host", style, 20, 20, rect.right - rect.left,
                             rect.bottom - rect.top, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  if (!m_Handle) throw std::runtime_error("cannot create the test host window");
  ShowWindow(m_Handle, SW_SHOWNORMAL);
  UpdateWindow(m_Handle);
  PumpMessages();
}

HostWindow::~HostWindow() {
  if (m_Handle) DestroyWindow(m_Handle);
  PumpMessages(0);
}

void PumpMessages(DWORD Milliseconds) {
  const DWORD start = GetTickCount();
  do {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
      // A queue that never empties (a slow handler of a steady stream) still ends the pump.
      if (Milliseconds && GetTickCount() - start >= Milliseconds) return;
    }
    if (Milliseconds) Sleep(5);
  } while (GetTickCount() - start < Milliseconds);
}

bool PumpUntil(const std::function<bool()>& Condition, DWORD TimeoutMs) {
  const DWORD start = GetTickCount();
  while (!Condition()) {
    if (GetTickCount() - start >= TimeoutMs) return Condition();
    PumpMessages(10);
  }
  return true;
}

COLORREF ClientPixel(HWND Window, int X, int Y) {
  RedrawWindow(Window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  RECT client;
  GetClientRect(Window, &client);
  HDC windowDc = GetDC(Window);
  HDC memoryDc = CreateCompatibleDC(windowDc);
  HBITMAP bitmap = CreateCompatibleBitmap(windowDc, client.right, client.bottom);
  HGDIOBJ previous = SelectObject(memoryDc, bitmap);
  BitBlt(memoryDc, 0, 0, client.right, client.bottom, windowDc, 0, 0, SRCCOPY);
  const COLORREF pixel = GetPixel(memoryDc, X, Y);
  SelectObject(memoryDc, previous);
  DeleteObject(bitmap);
  DeleteDC(memoryDc);
  ReleaseDC(Window, windowDc);
  return pixel;
}

ClientImage::ClientImage(HWND Window) {
  RedrawWindow(Window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  RECT client;
  GetClientRect(Window, &client);
  m_Width = client.right;
  m_Height = client.bottom;
  if (m_Width <= 0 || m_Height <= 0) return;

  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = m_Width;
  info.bmiHeader.biHeight = -m_Height;  // top-down rows
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HDC windowDc = GetDC(Window);
  HDC memoryDc = CreateCompatibleDC(windowDc);
  HBITMAP bitmap = CreateDIBSection(windowDc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bitmap && bits) {
    HGDIOBJ previous = SelectObject(memoryDc, bitmap);
    BitBlt(memoryDc, 0, 0, m_Width, m_Height, windowDc, 0, 0, SRCCOPY);
    GdiFlush();
    const auto* quads = static_cast<const RGBQUAD*>(bits);
    m_Pixels.reserve(static_cast<size_t>(m_Width) * m_Height);
    for (int i = 0; i < m_Width * m_Height; ++i)
      m_Pixels.push_back(RGB(quads[i].rgbRed, quads[i].rgbGreen, quads[i].rgbBlue));
    SelectObject(memoryDc, previous);
  }
  if (bitmap) DeleteObject(bitmap);
  DeleteDC(memoryDc);
  ReleaseDC(Window, windowDc);
  if (m_Pixels.empty()) throw std::runtime_error("cannot copy the window's client area");
}

COLORREF ClientImage::Pixel(int X, int Y) const {
  if (X < 0 || Y < 0 || X >= m_Width || Y >= m_Height) return CLR_INVALID;
  return m_Pixels[static_cast<size_t>(Y) * m_Width + X];
}

COLORREF BrushColor(HBRUSH Brush) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = 4;
  info.bmiHeader.biHeight = 4;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ previous = SelectObject(dc, bitmap);
  const RECT rect{0, 0, 4, 4};
  FillRect(dc, &rect, Brush);
  const COLORREF color = GetPixel(dc, 1, 1);
  SelectObject(dc, previous);
  DeleteObject(bitmap);
  DeleteDC(dc);
  return color;
}

namespace {

// One entry of the GDI handle table that the system maps into every GUI process (the PEB's
// GdiSharedHandleTable); a free entry has type 0.
struct GdiHandleEntry {
  UINT64 Object;
  ULONG Owner;
  USHORT Unique;
  UCHAR Type;
  UCHAR Flags;
  UINT64 UserPointer;
};
static_assert(sizeof(GdiHandleEntry) == 24, "layout of a GDI handle table entry");
constexpr size_t kGdiHandleCount = 0x10000;

DWORD CountGdiHandleTable() {
  // GdiSharedHandleTable follows ProcessHeaps in the 64-bit PEB, at offset 0xF8.
  const auto* peb = reinterpret_cast<const BYTE*>(NtCurrentTeb()->ProcessEnvironmentBlock);
  const auto* table = *reinterpret_cast<const GdiHandleEntry* const*>(peb + 0xF8);
  if (!table) return 0;
  const USHORT process = static_cast<USHORT>(GetCurrentProcessId());
  DWORD count = 0;
  for (size_t i = 0; i < kGdiHandleCount; ++i) {
    const USHORT owner = static_cast<USHORT>(table[i].Owner & 0xFFFF);
    // Wine's table belongs to the process alone and leaves the owner at 0.
    if (table[i].Type != 0 && (owner == 0 || owner == process)) ++count;
  }
  return count;
}

BOOL CALLBACK CountWindow(HWND, LPARAM Count) {
  ++*reinterpret_cast<DWORD*>(Count);
  return TRUE;
}

// Counts a top-level window of this process with all its descendants.
BOOL CALLBACK CountProcessWindow(HWND Window, LPARAM Count) {
  DWORD process = 0;
  GetWindowThreadProcessId(Window, &process);
  if (process != GetCurrentProcessId()) return TRUE;
  ++*reinterpret_cast<DWORD*>(Count);
  EnumChildWindows(Window, &CountWindow, Count);  // visits grandchildren too
  return TRUE;
}

DWORD CountProcessWindows() {
  DWORD count = 0;
  EnumWindows(&CountProcessWindow, reinterpret_cast<LPARAM>(&count));
  // Message-only windows are not top-level windows of the desktop.
  for (HWND window = FindWindowExW(HWND_MESSAGE, nullptr, nullptr, nullptr); window;
       window = FindWindowExW(HWND_MESSAGE, window, nullptr, nullptr))
    CountProcessWindow(window, reinterpret_cast<LPARAM>(&count));
  return count;
}

}  // namespace

DWORD GdiObjects() {
  const DWORD count = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
  return count ? count : CountGdiHandleTable();
}

DWORD UserObjects() {
  const DWORD count = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
  return count ? count : CountProcessWindows();
}

}  // namespace testwin
