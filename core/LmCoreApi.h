#pragma once

#if defined(LMCORE_BUILD)
#define LMCORE_API __declspec(dllexport)
#else
#define LMCORE_API __declspec(dllimport)
#endif
