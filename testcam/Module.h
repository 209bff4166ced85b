#pragma once

#include <windows.h>

namespace lmcam {

// The DLL's own module handle (for its path, window classes and resources).
HINSTANCE ModuleInstance();

}  // namespace lmcam
