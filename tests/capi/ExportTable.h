#pragma once

// The names a loaded DLL exports, read from its export directory.

#include <windows.h>

#include <set>
#include <string>

namespace capitest {

std::set<std::string> ExportedNames(HMODULE Module);

}  // namespace capitest
