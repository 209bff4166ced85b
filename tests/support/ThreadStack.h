#pragma once

// Where another thread of this process is: the modules of its stack frames, read by
// suspending it and unwinding its stack from its saved context.

#include <windows.h>

#include <string>
#include <vector>

namespace testwin {

// The file names (no folder) of the modules whose code the thread's frames are in, innermost
// first; "?" for a frame outside every module. Empty when the thread cannot be read.
std::vector<std::wstring> ThreadStackModules(HANDLE Thread);

// The thread's frames, innermost first, each as "module+0xOFFSET" (the return address's offset
// from the module's base, for a look-up in the module's map or with addr2line), or the bare
// address outside every module. Empty when the thread cannot be read.
std::vector<std::wstring> ThreadStackFrames(HANDLE Thread);

}  // namespace testwin
