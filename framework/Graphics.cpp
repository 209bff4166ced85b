#include "framework/Graphics.h"

COLORREF ColorToRGB(TColor Color) {
  if (Color < 0) return GetSysColor(Color & 0xFF);
  return static_cast<COLORREF>(Color);
}

TBrush::~TBrush() { FreeHandle(); }

void TBrush::SetColor(TColor Color) {
  if (Color == m_Color) return;
  m_Color = Color;
  FreeHandle();
}

HBRUSH TBrush::Handle() {
  if (!m_Handle) m_Handle = CreateSolidBrush(ColorToRGB(m_Color));
  return m_Handle;
}

void TBrush::FreeHandle() {
  if (m_Handle) DeleteObject(m_Handle);
  m_Handle = nullptr;
}
