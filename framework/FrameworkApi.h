#pragma once

// Export macro of the framework DLL: defined while the DLL itself builds, imported elsewhere.
// FRAMEWORK_STATIC: the framework is compiled into another module (the C interface's
// lumora10.dll), which neither imports nor exports it.
#if defined(FRAMEWORK_STATIC)
#define FRAMEWORK_API
#elif defined(FRAMEWORK_BUILD)
#define FRAMEWORK_API __declspec(dllexport)
#else
#define FRAMEWORK_API __declspec(dllimport)
#endif
