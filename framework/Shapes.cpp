#include "framework/Shapes.h"

void TShapeBrush::SetColor(TColor Color) {
  if (Color == m_Brush.Color()) return;
  m_Brush.SetColor(Color);
  m_Shape.Invalidate();
}

TShape::TShape(TComponent* AOwner) : TCustomControl(AOwner) {
  TControlStyle style = ControlStyle();
  style.Exclude(csCaptureMouse);
  style.Include(csOpaque);  // Paint covers every pixel
  SetControlStyle(style);
}

void TShape::Paint() {
  const HDC dc = Canvas()->Handle();
  const RECT client = ClientRect();
  FillRect(dc, &client, m_Fill.Handle());
  FrameRect(dc, &client, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
}
