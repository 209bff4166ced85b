#pragma once

#if defined(LMWEBCAM_BUILD)
#define LMWEBCAM_API __declspec(dllexport)
#else
#define LMWEBCAM_API __declspec(dllimport)
#endif
