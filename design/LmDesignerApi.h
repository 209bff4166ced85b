#pragma once

#if defined(LMDESIGNER_BUILD)
#define LMDESIGNER_API __declspec(dllexport)
#else
#define LMDESIGNER_API __declspec(dllimport)
#endif
