#include "preview/PreviewProbe.h"

#include <memory>
#include <string>

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

FrameVisitor::FrameVisitor(std::function<void(HWND Frame)> Visit) : m_Visit(std::move(Visit)) {
  s_This = this;
  m_Timer = SetTimer(nullptr, 0, 100, &Tick);
}

FrameVisitor::~FrameVisitor() {
  KillTimer(nullptr, m_Timer);
  s_This = nullptr;
}

void CALLBACK FrameVisitor::Tick(HWND, UINT, UINT_PTR, DWORD) {
  FrameVisitor* self = s_This;
  if (!self) return;
  HWND frame = nullptr;
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND Window, LPARAM Found) -> BOOL {
        wchar_t name[16] = {};
        GetClassNameW(Window, name, 16);
        if (!IsWindowVisible(Window) || std::wstring(name) != L"#32770") return TRUE;
        *reinterpret_cast<HWND*>(Found) = Window;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&frame));
  if (!frame || frame == self->m_Last) return;
  self->m_Last = frame;
  ++self->Frames;
  self->m_Visit(frame);
  PostMessageW(frame, WM_COMMAND, IDCANCEL, 0);
  PostMessageW(frame, WM_CLOSE, 0, 0);
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
