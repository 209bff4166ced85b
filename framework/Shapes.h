#pragma once

#include <windows.h>

#include "framework/Controls.h"

class TShape;

// The fill of a shape: a new colour repaints the shape.
class FRAMEWORK_API TShapeBrush {
public:
  explicit TShapeBrush(TShape& Shape) : m_Shape(Shape) {}
  TShapeBrush(const TShapeBrush&) = delete;
  TShapeBrush& operator=(const TShapeBrush&) = delete;

  TColor Color() const { return m_Brush.Color(); }
  void SetColor(TColor Color);
  HBRUSH Handle() { return m_Brush.Handle(); }

private:
  TShape& m_Shape;
  TBrush m_Brush{clWhite};
};

// A rectangle filled with its brush inside a one-pixel black outline. It does not capture the
// mouse, so that a mouse-down handler may open a modal window.
class FRAMEWORK_API TShape : public TCustomControl {
public:
  explicit TShape(TComponent* AOwner);

  TShapeBrush& Brush() { return m_Fill; }

protected:
  void Paint() override;

private:
  TShapeBrush m_Fill{*this};
};
