#include "framework/Dialogs.h"

#include <commdlg.h>

TColorDialog::TColorDialog(TComponent* AOwner) : TComponent(AOwner) {
  for (COLORREF& color : m_CustomColors) color = RGB(255, 255, 255);
}

bool TColorDialog::Execute() {
  CHOOSECOLORW choose{};
  choose.lStructSize = sizeof(choose);
  choose.hwndOwner = GetActiveWindow();
  choose.rgbResult = ColorToRGB(m_Color);
  choose.lpCustColors = m_CustomColors;
  choose.Flags = CC_RGBINIT;
  // The chooser updates rgbResult while the user picks; only a confirmed choice counts.
  if (!ChooseColorW(&choose)) return false;
  m_Color = static_cast<TColor>(choose.rgbResult);
  return true;
}
