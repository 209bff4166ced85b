#pragma once

// The display-property dialog of TVLumora: 16 behaviour settings on the page "Set", 9
// colours on the page "Color". The dialog works on its controls; the component changes only
// when the user confirms with OK.

#include <cstdint>
#include <string>

#include "design/DclLmApi.h"
#include "framework/ComCtrls.h"
#include "framework/Dialogs.h"
#include "framework/Forms.h"
#include "framework/InputCtrls.h"
#include "framework/Shapes.h"
#include "framework/StdCtrls.h"

class TVLumora;

class DCLLM_API TLumoraEditor : public TForm {
public:
  // Builds the form and its controls, then runs FormCreate.
  explicit TLumoraEditor(TComponent* AOwner);
  // Runs FormDestroy first.
  ~TLumoraEditor() override;

  // Japanese font, captions and list items, in place (list indices stay).
  void AdaptToJapanese();
  // Loads the controls from the component's settings.
  void LoadSettings(TVLumora* Component);
  // Writes every setting back in the settings' order. The three number fields are converted
  // first: a field that is not a number raises EConvertError before anything is written.
  void SaveSettings(TVLumora* Component);

  // Event handlers the form's controls name.
  void FormCreate(TObject* Sender);
  void FormDestroy(TObject* Sender);
  void FormShow(TObject* Sender);
  void EditNumKeyPress(TObject* Sender, wchar_t& Key);
  void EditFloatNumKeyPress(TObject* Sender, wchar_t& Key);
  void Shape1MouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void Shape2MouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void Shape3MouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void Shape4MouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void Shape5MouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void Shape6MouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void Shape7MouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void Shape8MouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void Shape9MouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);

  // The form's controls, owned by the form.
  TButton* ButtonOK;
  TButton* ButtonCancel;
  TPageControl* PageControl1;
  TTabSheet* TabSheet1;
  TTabSheet* TabSheet2;
  TLabel* LabelAppearance;
  TComboBox* ComboAppearance;
  TCheckBox* CheckBorder;
  TLabel* LabelBlinkSpeed;
  TComboBox* ComboBlinkSpeed;
  TLabel* LabelGridSpace;
  TEdit* EditGridSpace;
  TLabel* LabelGrad;
  TComboBox* ComboGrad;
  TLabel* LabelGrid;
  TComboBox* ComboGrid;
  TShape* Shape1;
  TShape* Shape2;
  TCheckBox* CheckRect;
  TLabel* LabelToolTip;
  TComboBox* ComboToolTip;
  TCheckBox* CheckScrollBar;
  TLabel* LabelScrollWidth;
  TEdit* EditScrollWidth;
  TLabel* LabelP1;
  TLabel* LabelScrollHeight;
  TEdit* EditScrollHeight;
  TLabel* LabelP2;
  TCheckBox* CheckRefine1BitImage;
  TShape* Shape3;
  TShape* Shape4;
  TShape* Shape5;
  TShape* Shape6;
  TLabel* LabelBorder;
  TLabel* LabelColor;
  TLabel* LabelGradBack;
  TLabel* LabelGradColor;
  TLabel* LabelGridColor;
  TLabel* LabelInvalidHatchColor;
  TShape* Shape7;
  TShape* Shape8;
  TLabel* LabelRectColor1;
  TShape* Shape9;
  TLabel* LabelRectColor2;
  TLabel* LabelToolTipColor;
  TLabel* LabelMouseWheel;
  TComboBox* ComboMouseWheel;
  TCheckBox* CheckSimpleControl;
  TCheckBox* CheckMouseDragImage;
  TLabel* LabelHatchPattern;
  TComboBox* ComboHatchPattern;

private:
  // Converts an integer field: 0 when the trimmed text is empty or longer than MaxLength,
  // otherwise the untrimmed text as an integer (EConvertError when it is none).
  static int32_t CheckNum(const std::wstring& Text, int32_t MaxLength);
  // Converts the grid-space field: 0.0 when the trimmed text is empty, otherwise the
  // untrimmed text as a number with the locale's separator (EConvertError when it is none).
  static double CheckFloatNum(const std::wstring& Text);

  // Runs the colour chooser from Color; the chosen colour, or Color when the user cancels.
  TColor SetColor(TColor Color);
  // Lets the user change one swatch's colour.
  void PickSwatchColor(TShape* Swatch);
  // The key rule of the three number fields.
  void NumberKeyPress(wchar_t& Key);

  TColorDialog* ColorDialog1 = nullptr;  // owned: made in FormCreate, freed in FormDestroy
};

// Shows the display-property dialog of Component modally and, when the user confirms with OK,
// writes all its settings back. A number field that cannot be converted raises EConvertError
// and leaves Component unchanged. The dialog is destroyed before this returns or raises.
DCLLM_API void ShowDispEditor(TVLumora* Component);
