#pragma once

// Export macro of the framework DLL: defined while the DLL itself builds, imported elsewhere.
#if defined(FRAMEWORK_BUILD)
#define FRAMEWORK_API __declspec(dllexport)
#else
#define FRAMEWORK_API __declspec(dllimport)
#endif
