#pragma once

#include <windows.h>

namespace lmcodec {

// The codec DLL's module handle (set by DllMain).
HINSTANCE ModuleInstance();

}  // namespace lmcodec
