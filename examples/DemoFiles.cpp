#include "examples/DemoFiles.h"

#include <cstring>
#include <vector>

namespace demo {

// Writes a packed DIB (header, then pixels) as a .bmp file.
bool WriteBitmapFile(const std::wstring& Path, const void* PackedDib, SIZE_T Size) {
  BITMAPFILEHEADER file{};
  file.bfType = 0x4D42;  // "BM"
  file.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
  file.bfSize = static_cast<DWORD>(sizeof(BITMAPFILEHEADER) + Size);
  HANDLE handle = CreateFileW(Path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok = WriteFile(handle, &file, sizeof(file), &written, nullptr) &&
                  WriteFile(handle, PackedDib, static_cast<DWORD>(Size), &written, nullptr);
  CloseHandle(handle);
  return ok;
}

// Copies what the screen shows of Window into a 24-bit BMP file.
bool SaveScreenshot(HWND Window, const std::wstring& Path) {
  RECT rect;
  GetWindowRect(Window, &rect);
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ previous = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
  GdiFlush();
  const SIZE_T stride = ((static_cast<SIZE_T>(width) * 3 + 3) / 4) * 4;
  info.bmiHeader.biSizeImage = static_cast<DWORD>(stride * height);
  std::vector<BYTE> dib(sizeof(BITMAPINFOHEADER) + info.bmiHeader.biSizeImage);
  memcpy(dib.data(), &info.bmiHeader, sizeof(BITMAPINFOHEADER));
  memcpy(dib.data() + sizeof(BITMAPINFOHEADER), bits, info.bmiHeader.biSizeImage);
  SelectObject(memory, previous);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return WriteBitmapFile(Path, dib.data(), dib.size());
}

}  // namespace demo
