#pragma once

#include <windows.h>

#include "framework/Classes.h"
#include "framework/Graphics.h"

// The system's colour chooser (ChooseColorW). The custom colours the user defines stay with
// the dialog object from one Execute to the next.
class FRAMEWORK_API TColorDialog : public TComponent {
public:
  explicit TColorDialog(TComponent* AOwner);

  TColor Color() const { return m_Color; }
  void SetColor(TColor Color) { m_Color = Color; }

  // Shows the chooser modally over the active window, starting at Color. True when the user
  // confirmed, with the choice in Color; false otherwise, with Color unchanged.
  bool Execute();

private:
  TColor m_Color = clBlack;
  COLORREF m_CustomColors[16];
};
