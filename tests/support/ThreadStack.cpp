#include "support/ThreadStack.h"

namespace testwin {

namespace {

std::wstring ModuleNameAt(DWORD64 Address) {
  HMODULE module = nullptr;
  wchar_t path[MAX_PATH];
  if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                          reinterpret_cast<LPCWSTR>(Address), &module) ||
      !GetModuleFileNameW(module, path, MAX_PATH))
    return L"?";
  const std::wstring name = path;
  return name.substr(name.find_last_of(L"\\/") + 1);
}

}  // namespace

std::vector<std::wstring> ThreadStackModules(HANDLE Thread) {
  std::vector<std::wstring> modules;
  if (SuspendThread(Thread) == static_cast<DWORD>(-1)) return modules;
  CONTEXT context{};
  context.ContextFlags = CONTEXT_FULL;
  if (GetThreadContext(Thread, &context)) {
    for (int frame = 0; frame < 128 && context.Rip; ++frame) {
      modules.push_back(ModuleNameAt(context.Rip));
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
  return modules;
}

}  // namespace testwin
