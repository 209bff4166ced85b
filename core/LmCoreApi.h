#pragma once

// LMCORE_STATIC: the core library is compiled into another module (the C interface's
// lumora10.dll), which neither imports nor exports it.
#if defined(LMCORE_STATIC)
#define LMCORE_API
#elif defined(LMCORE_BUILD)
#define LMCORE_API __declspec(dllexport)
#else
#define LMCORE_API __declspec(dllimport)
#endif
