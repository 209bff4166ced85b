// LmWrapperConsumer: the camera components from C++ through lumora10.hpp.
//
//   LmWrapperConsumer --snapshot FILE.bmp --record FILE.avi [--camera NAME]
//
// Opens the named camera (the test camera by default) by its identity, saves a snapshot as a
// BMP file, records two seconds into an AVI file and plays the recording to its end; the exit
// code is 0 only when all of it worked.
#include <lumora10.hpp>

// After lumora10.hpp, which brings <windows.h>.
#include <shellapi.h>

#include <cstdio>
#include <functional>
#include <string>

namespace {

// Dispatches this thread's messages until Done() holds or the time is up.
bool PumpUntil(const std::function<bool()>& Done, DWORD Milliseconds) {
  const DWORD start = GetTickCount();
  while (!Done() && GetTickCount() - start < Milliseconds) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }
  return Done();
}

bool Succeeded(Lm10Result Result, const char* What) {
  if (Result == LM10_OK) return true;
  std::fprintf(stderr, "LmWrapperConsumer: %s failed with %d (%ls)\n", What, static_cast<int>(Result),
               lm10::ErrorText(Result).c_str());
  return false;
}

bool WriteBmp(const std::wstring& FileName, HGLOBAL Image) {
  const auto* dib = static_cast<const BYTE*>(GlobalLock(Image));
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
  GlobalUnlock(Image);
  return ok;
}

bool SaveSnapshot(HWND Window, const std::wstring& Camera, const std::wstring& FileName) {
  lm10::Preview preview(Window);
  bool delivered = false, saved = false;
  preview.SetOnSnapshot([&](HGLOBAL Image, bool&) {
    delivered = true;
    saved = WriteBmp(FileName, Image);
  });
  return Succeeded(preview.SetBounds(10, 10, 320, 240), "SetBounds") &&
         Succeeded(preview.OpenDevice(Camera), "OpenDevice") && Succeeded(preview.Start(), "Start") &&
         Succeeded(preview.TakeSnapshot(), "TakeSnapshot") && PumpUntil([&] { return delivered; }, 5000) && saved &&
         Succeeded(preview.Close(), "Close");
}

bool Record(HWND Window, const std::wstring& Camera, const std::wstring& FileName) {
  lm10::Recorder recorder(Window);
  if (!Succeeded(recorder.SetFileFormat(LM10_FILE_AVI), "SetFileFormat") ||
      !Succeeded(recorder.OpenDevice(FileName, Camera), "OpenDevice") || !Succeeded(recorder.Start(), "Start"))
    return false;
  PumpUntil([] { return false; }, 2000);
  return Succeeded(recorder.Stop(), "Stop") && Succeeded(recorder.Close(), "Close");
}

bool PlayToEnd(HWND Window, const std::wstring& FileName) {
  lm10::Player player(Window);
  bool ended = false;
  player.SetOnEnd([&] { ended = true; });
  if (!Succeeded(player.SetBounds(340, 10, 320, 240), "SetBounds") || !Succeeded(player.Open(FileName), "Open") ||
      !Succeeded(player.Start(), "Start"))
    return false;
  std::printf("playing %ldx%ld, %.2f s\n", player.VideoSize().cx, player.VideoSize().cy, player.Duration());
  return PumpUntil([&] { return ended; }, static_cast<DWORD>(player.Duration() * 1000) + 5000);
}

}  // namespace

int main() {
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  std::wstring snapshot, recording, cameraName = L"Lumora Test Camera";
  for (int i = 1; argv && i + 1 < argc; i += 2) {
    const std::wstring option = argv[i];
    if (option == L"--snapshot") snapshot = argv[i + 1];
    if (option == L"--record") recording = argv[i + 1];
    if (option == L"--camera") cameraName = argv[i + 1];
  }
  LocalFree(argv);
  if (snapshot.empty() || recording.empty()) {
    std::fprintf(stderr, "usage: LmWrapperConsumer --snapshot FILE.bmp --record FILE.avi [--camera NAME]\n");
    return 2;
  }
  if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 1;
  bool passed = false;
  {
    std::wstring camera;
    for (const lm10::Device& device : lm10::Devices()) {
      std::printf("camera: %ls\n        %ls\n", device.Name.c_str(), device.Path.c_str());
      if (camera.empty() && device.Name == cameraName) camera = device.Path;
    }
    HWND window = CreateWindowExW(0, L"STATIC", L"LmWrapperConsumer", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 700, 300,
                                  nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    try {
      passed = !camera.empty() && window && SaveSnapshot(window, camera, snapshot) &&
               Record(window, camera, recording) && PlayToEnd(window, recording);
    } catch (const lm10::Error& error) {
      std::fprintf(stderr, "LmWrapperConsumer: %s\n", error.what());
    }
    if (window) DestroyWindow(window);
  }
  CoUninitialize();
  std::printf("%s\n", passed ? "passed" : "FAILED");
  return passed ? 0 : 1;
}
