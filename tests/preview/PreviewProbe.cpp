#include "preview/PreviewProbe.h"

#include <memory>

namespace previewtest {

HWND SharedHost() {
  // Left to the end of the program: its windows go with the process.
  static testwin::HostWindow* host = new testwin::HostWindow(400, 300);
  return host->Handle();
}

int DeviceIndex(TVLmPreview& Preview, const std::wstring& Name) {
  const TStringList* devices = Preview.VideoDevices();
  for (int i = 0; i < devices->Count(); ++i)
    if ((*devices)[i] == Name) return i;
  return -1;
}

RECT RectInParent(HWND Window) {
  RECT rect;
  GetWindowRect(Window, &rect);
  MapWindowPoints(nullptr, GetParent(Window), reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

namespace {

struct GuiThreadJob {
  std::function<void()> Action;
};

DWORD WINAPI GuiThreadMain(void* Parameter) {
  std::unique_ptr<GuiThreadJob> job(static_cast<GuiThreadJob*>(Parameter));
  if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 1;
  job->Action();
  CoUninitialize();
  return 0;
}

}  // namespace

bool RunsOnGuiThreadWithin(std::function<void()> Action, DWORD TimeoutMs, HANDLE* Stuck) {
  if (Stuck) *Stuck = nullptr;
  auto* job = new GuiThreadJob{std::move(Action)};
  HANDLE thread = CreateThread(nullptr, 0, &GuiThreadMain, job, 0, nullptr);
  if (!thread) {
    delete job;
    return false;
  }
  // The test thread keeps its own queue moving while it waits.
  const bool ended = testwin::PumpUntil([&] { return WaitForSingleObject(thread, 0) == WAIT_OBJECT_0; }, TimeoutMs);
  if (!ended && Stuck)
    *Stuck = thread;
  else
    CloseHandle(thread);
  return ended;
}

int HeapBlocksOfSize(SIZE_T Bytes) {
  const HANDLE heap = GetProcessHeap();
  if (!HeapLock(heap)) return -1;
  int count = 0;
  PROCESS_HEAP_ENTRY entry{};
  while (HeapWalk(heap, &entry)) {
    if ((entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) && entry.cbData >= Bytes && entry.cbData < Bytes + 64) ++count;
  }
  HeapUnlock(heap);
  return count;
}

}  // namespace previewtest
