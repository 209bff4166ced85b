#pragma once

#include <windows.h>

#include <cstdint>

#include "core/LmCoreApi.h"

// Entry points of the core's image functions, held in exported variables that are bound when
// the library loads. Either may be null: callers test before calling.

// Creates an image of Width x Height pixels at BitCount bits per pixel and returns its handle
// (0 when it cannot). The remaining arguments describe a source to copy from; all zero means
// a blank image.
using TLmCreateImage = UINT_PTR (*)(int32_t Width, int32_t Height, int16_t BitCount, UINT_PTR Source,
                                     uint8_t Flags, uint8_t Reserved, int64_t OffsetX, int64_t OffsetY,
                                     int64_t SourceWidth, int64_t SourceHeight);
// Frees what LmCreateImage returned; 0 is accepted and ignored.
using TLmFreeMemory = BOOL (*)(UINT_PTR Image);

extern LMCORE_API TLmCreateImage LmCreateImage;
extern LMCORE_API TLmFreeMemory LmFreeMemory;
