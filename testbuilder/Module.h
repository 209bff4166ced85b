#pragma once

#include <windows.h>

namespace lmbuilder {

// The DLL's own module handle (for its path).
HINSTANCE ModuleInstance();

}  // namespace lmbuilder
