#pragma once

#if defined(DCLLM_BUILD)
#define DCLLM_API __declspec(dllexport)
#else
#define DCLLM_API __declspec(dllimport)
#endif
