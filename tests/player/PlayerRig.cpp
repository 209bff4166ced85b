#include "player/PlayerRig.h"

#include <cstdlib>

namespace playertest {

LONGLONG PlayerProbe::Position() {
  LONGLONG position = -1;
  if (!m_pMediaSeeking || FAILED(m_pMediaSeeking->GetCurrentPosition(&position))) return -1;
  return position;
}

double PlayerProbe::Rate() {
  double rate = 0;
  if (!m_pMediaSeeking || FAILED(m_pMediaSeeking->GetRate(&rate))) return 0;
  return rate;
}

bool PlayerProbe::VideoWindowShown() {
  long visible = OAFALSE;
  const bool reported = m_pVideoWindow && SUCCEEDED(m_pVideoWindow->get_Visible(&visible)) && visible != OAFALSE;
  const HWND child = HandleAllocated() ? GetWindow(Handle(), GW_CHILD) : nullptr;
  return reported || (child && IsWindowVisible(child));
}

std::wstring ClipPath(const wchar_t* Name) {
  const char* folder = std::getenv("LM_PLAYER_CLIPS");
  std::wstring path = L"Z:";
  for (const char* c = folder ? folder : ""; *c; ++c) path += *c == '/' ? L'\\' : static_cast<wchar_t>(*c);
  if (path.back() != L'\\') path += L'\\';
  return path + Name;
}

std::vector<BYTE> ReadFileBytes(const std::wstring& Path) {
  std::vector<BYTE> bytes;
  const HANDLE file = CreateFileW(Path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return bytes;
  LARGE_INTEGER size{};
  if (GetFileSizeEx(file, &size) && size.QuadPart > 0 && size.QuadPart < (1 << 30)) {
    bytes.resize(static_cast<size_t>(size.QuadPart));
    DWORD read = 0;
    if (!ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) || read != bytes.size())
      bytes.clear();
  }
  CloseHandle(file);
  return bytes;
}

bool WriteFileBytes(const std::wstring& Path, const BYTE* Bytes, size_t Count) {
  const HANDLE file = CreateFileW(Path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok = Count == 0 || (WriteFile(file, Bytes, static_cast<DWORD>(Count), &written, nullptr) && written == Count);
  CloseHandle(file);
  return ok;
}

TempFolder::TempFolder() {
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  m_Path = std::wstring(temp) + L"LmPlayerTests-" + std::to_wstring(GetCurrentProcessId());
  CreateDirectoryW(m_Path.c_str(), nullptr);
}

TempFolder::~TempFolder() {
  WIN32_FIND_DATAW found;
  const HANDLE search = FindFirstFileW((m_Path + L"\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) DeleteFileW((m_Path + L"\\" + found.cFileName).c_str());
    } while (FindNextFileW(search, &found));
    FindClose(search);
  }
  RemoveDirectoryW(m_Path.c_str());
}

COLORREF ScreenPixel(int X, int Y) {
  const HDC screen = GetDC(nullptr);
  const HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = 1;
  info.bmiHeader.biHeight = 1;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  const HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  const HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, 1, 1, screen, X, Y, SRCCOPY);
  GdiFlush();
  const DWORD pixel = *static_cast<DWORD*>(bits);
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return RGB((pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF);
}

bool Near(COLORREF A, COLORREF B, int Tolerance) {
  return std::abs(GetRValue(A) - GetRValue(B)) <= Tolerance && std::abs(GetGValue(A) - GetGValue(B)) <= Tolerance &&
         std::abs(GetBValue(A) - GetBValue(B)) <= Tolerance;
}

TVLmVideoSnapShotEvent KeptSnapshots::Handler() {
  return [this](TObject* Sender, UINT_PTR Image, bool& FreeMemory) {
    Blocks.push_back(reinterpret_cast<HGLOBAL>(Image));
    Senders.push_back(Sender);
    Threads.push_back(GetCurrentThreadId());
    FreeMemory = false;
  };
}

KeptSnapshots::~KeptSnapshots() {
  for (HGLOBAL block : Blocks) GlobalFree(block);
}

}  // namespace playertest
