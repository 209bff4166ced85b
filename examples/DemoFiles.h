#pragma once

// Image files the demos write: packed DIBs and screenshots as BMP files.

#include <windows.h>

#include <string>

namespace demo {

// Writes a packed DIB (header, then pixels) as a .bmp file.
bool WriteBitmapFile(const std::wstring& Path, const void* PackedDib, SIZE_T Size);

// Copies what the screen shows of Window into a 24-bit BMP file.
bool SaveScreenshot(HWND Window, const std::wstring& Path);

}  // namespace demo
