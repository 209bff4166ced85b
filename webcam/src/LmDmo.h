#pragma once

// The DMO runtime's media-type functions (msdmo). mingw-w64's dmort.h declares them without C
// linkage, so it is included inside an extern "C" block here; the Windows SDK's already has it.

#include <windows.h>

#include <mediaobj.h>

extern "C" {
#include <dmort.h>
}
