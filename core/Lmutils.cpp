#include "core/Lmutils.h"

BOOL DrawDisplayEdge(HDC DC, const RECT& Rect, bool Lowered) {
  RECT edge = Rect;
  return DrawEdge(DC, &edge, Lowered ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
}
