#include "support/ThreadStack.h"

#include <cwchar>

namespace testwin {

namespace {

struct Frame {
  std::wstring Module;  // "?" outside every module
  DWORD64 Offset = 0;   // from the module's base, or the address itself
};

Frame FrameAt(DWORD64 Address) {
  HMODULE module = nullptr;
  wchar_t path[MAX_PATH];
  if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                          reinterpret_cast<LPCWSTR>(Address), &module) ||
      !GetModuleFileNameW(module, path, MAX_PATH))
    return {L"?", Address};
  const std::wstring name = path;
  return {name.substr(name.find_last_of(L"\\/") + 1), Address - reinterpret_cast<DWORD64>(module)};
}

std::vector<Frame> WalkStack(HANDLE Thread) {
  std::vector<Frame> frames;
  if (SuspendThread(Thread) == static_cast<DWORD>(-1)) return frames;
  CONTEXT context{};
  context.ContextFlags = CONTEXT_FULL;
  if (GetThreadContext(Thread, &context)) {
    for (int frame = 0; frame < 128 && context.Rip; ++frame) {
      frames.push_back(FrameAt(context.Rip));
      DWORD64 base = 0;
      PRUNTIME_FUNCTION function = RtlLookupFunctionEntry(context.Rip, &base, nullptr);
      if (!function) {
        // A leaf function: its return address is on top of the stack.
        context.Rip = *reinterpret_cast<const DWORD64*>(context.Rsp);
        context.Rsp += 8;
        continue;
      }
      void* handlerData = nullptr;
      DWORD64 establisher = 0;
      RtlVirtualUnwind(UNW_FLAG_NHANDLER, base, context.Rip, function, &context, &handlerData, &establisher, nullptr);
    }
  }
  ResumeThread(Thread);
  return frames;
}

}  // namespace

std::vector<std::wstring> ThreadStackModules(HANDLE Thread) {
  std::vector<std::wstring> modules;
  for (const Frame& frame : WalkStack(Thread)) modules.push_back(frame.Module);
  return modules;
}

std::vector<std::wstring> ThreadStackFrames(HANDLE Thread) {
  std::vector<std::wstring> frames;
  for (const Frame& frame : WalkStack(Thread)) {
    wchar_t offset[32];
    std::swprintf(offset, 32, frame.Module == L"?" ? L"0x%llX" : L"+0x%llX", static_cast<unsigned long long>(frame.Offset));
    frames.push_back((frame.Module == L"?" ? L"" : frame.Module) + offset);
  }
  return frames;
}

}  // namespace testwin
