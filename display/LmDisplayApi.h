#pragma once

#if defined(LMDISPLAY_BUILD)
#define LMDISPLAY_API __declspec(dllexport)
#else
#define LMDISPLAY_API __declspec(dllimport)
#endif
