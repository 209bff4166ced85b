#pragma once

// LMWEBCAM_STATIC: the camera library is compiled into another module (the C interface's
// lumora10.dll), which neither imports nor exports it.
#if defined(LMWEBCAM_STATIC)
#define LMWEBCAM_API
#elif defined(LMWEBCAM_BUILD)
#define LMWEBCAM_API __declspec(dllexport)
#else
#define LMWEBCAM_API __declspec(dllimport)
#endif
