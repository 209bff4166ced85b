// The README's preview example: the live picture of a camera and one snapshot saved as a file.

#include "Examples.h"

#include <cstdio>

#include "MessageLoop.h"
#include "webcam/LmPreview.h"

// [README preview]
// Writes the snapshot block (a packed 24-bit DIB: BITMAPINFOHEADER, then the pixels) as a .bmp.
static bool WriteBmpFile(const std::wstring& FileName, HGLOBAL Block) {
  const auto* dib = static_cast<const BYTE*>(GlobalLock(Block));
  if (!dib) return false;
  const auto* info = reinterpret_cast<const BITMAPINFOHEADER*>(dib);
  BITMAPFILEHEADER head{};
  head.bfType = 0x4D42;  // "BM"
  head.bfOffBits = sizeof(head) + info->biSize;
  head.bfSize = head.bfOffBits + info->biSizeImage;
  HANDLE file = CreateFileW(FileName.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD written = 0, dibWritten = 0;
  const bool ok = file != INVALID_HANDLE_VALUE && WriteFile(file, &head, sizeof(head), &written, nullptr) &&
                  WriteFile(file, dib, info->biSize + info->biSizeImage, &dibWritten, nullptr);
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  GlobalUnlock(Block);
  return ok;
}

bool SaveSnapshotOfFirstCamera(HWND Parent, const std::wstring& FileName) {
  TVLmPreview preview(nullptr);  // no owner: the scope ends its life
  preview.SetParentWindow(Parent);
  preview.SetBounds(10, 10, 320, 240);
  bool delivered = false, saved = false;
  // Runs on this (the GUI) thread. The control frees the block when the handler returns,
  // unless the handler sets FreeMemory to false and later calls GlobalFree itself.
  preview.SetOnSnapshot([&](TObject*, UINT_PTR Image, bool& /*FreeMemory*/) {
    delivered = true;
    saved = WriteBmpFile(FileName, reinterpret_cast<HGLOBAL>(Image));
  });
  // VideoDevices lists the devices; Open takes an index into it.
  if (!preview.Open(0) || !preview.Start(vlmVideoStretch) || !preview.TakeSnapshot()) {
    std::fwprintf(stderr, L"preview: error %d\n", preview.ErrorStatus());
    return false;
  }
  PumpMessagesUntil([&] { return delivered; }, 5000);  // OnSnapshot comes through the messages
  preview.Close();
  return saved;
}
// [README end]
