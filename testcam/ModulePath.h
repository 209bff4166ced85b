#pragma once

#include <windows.h>

#include <string>

namespace lmcam {

// The full path of Module's file, however long; empty when it cannot be read.
std::wstring ModulePath(HINSTANCE Module);

}  // namespace lmcam
