#pragma once

#include <windows.h>

#include "core/LmCoreApi.h"

// Draws a 3-D edge two pixels wide along the inside of Rect: sunken when Lowered is true,
// raised otherwise. Returns whether the system drew it.
LMCORE_API BOOL DrawDisplayEdge(HDC DC, const RECT& Rect, bool Lowered);
