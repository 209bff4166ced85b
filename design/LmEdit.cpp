#include "design/LmEdit.h"

#include <functional>
#include <memory>

#include "display/Lumora.h"
#include "framework/Conversions.h"
#include "framework/SysLocale.h"

namespace {

// Heights the layout gives each kind of control.
constexpr int kComboHeight = 21;
constexpr int kCheckHeight = 17;
constexpr int kEditHeight = 21;
constexpr int kSwatchWidth = 33;
constexpr int kSwatchHeight = 25;
// The longest text an integer field may hold and still count.
constexpr int32_t kScrollDigits = 5;

// A control of the form at its place in Parent; the form owns it.
template <class T>
T* Place(TComponent* Form, TWinControl* Parent, int Left, int Top, int Width, int Height) {
  T* control = new T(Form);
  control->SetBounds(Left, Top, Width, Height);
  control->SetParent(Parent);
  return control;
}

// A label sizes itself to its text from its left and top.
TLabel* PlaceLabel(TComponent* Form, TWinControl* Parent, int Left, int Top, const wchar_t* Caption) {
  TLabel* label = Place<TLabel>(Form, Parent, Left, Top, 1, 1);
  label->SetCaption(Caption);
  return label;
}

TComboBox* PlaceList(TComponent* Form, TWinControl* Parent, int Left, int Top, int Width,
                     std::initializer_list<const wchar_t*> Items) {
  TComboBox* combo = Place<TComboBox>(Form, Parent, Left, Top, Width, kComboHeight);
  for (const wchar_t* item : Items) combo->Items().Add(item);
  return combo;
}

TCheckBox* PlaceCheck(TComponent* Form, TWinControl* Parent, int Left, int Top, int Width, const wchar_t* Caption) {
  TCheckBox* check = Place<TCheckBox>(Form, Parent, Left, Top, Width, kCheckHeight);
  check->SetCaption(Caption);
  return check;
}

TShape* PlaceSwatch(TComponent* Form, TWinControl* Parent, int Left, int Top) {
  TShape* swatch = Place<TShape>(Form, Parent, Left, Top, kSwatchWidth, kSwatchHeight);
  swatch->SetCursor(crHandPoint);
  return swatch;
}

// Replaces a list's items in place, so that each keeps its index.
void ReplaceItems(TComboBox* Combo, std::initializer_list<const wchar_t*> Items) {
  int index = 0;
  for (const wchar_t* item : Items) Combo->Items().SetStrings(index++, item);
}

constexpr std::initializer_list<const wchar_t*> kUnitItems = {L"None", L"Pixel", L"mm", L"Inch"};
constexpr std::initializer_list<const wchar_t*> kJapaneseUnitItems = {L"なし", L"ピクセル", L"ミリメートル", L"インチ"};

}  // namespace

TLumoraEditor::TLumoraEditor(TComponent* AOwner) : TForm(AOwner) {
  SetCaption(L"Property Page");
  SetBorderStyle(bsDialog);
  SetBorderIcons(TBorderIcons{biSystemMenu});
  SetPosition(poScreenCenter);
  SetClientWidth(645);
  SetClientHeight(372);
  TForm::SetColor(clBtnFace);
  Font().SetName(L"MS Sans Serif");
  Font().SetHeight(-11);
  Font().SetCharset(ANSI_CHARSET);

  // Tab stops are placed in tab order, each parent's labels after them.
  ButtonOK = Place<TButton>(this, this, 424, 336, 81, 25);
  ButtonOK->SetCaption(L"OK");
  ButtonOK->SetModalResult(mrOk);
  ButtonCancel = Place<TButton>(this, this, 520, 336, 81, 25);
  ButtonCancel->SetCaption(L"Cancel");
  ButtonCancel->SetModalResult(mrCancel);
  PageControl1 = Place<TPageControl>(this, this, 8, 8, 625, 313);
  TabSheet1 = new TTabSheet(this);
  TabSheet1->SetCaption(L"Set");
  TabSheet1->SetPageControl(PageControl1);
  TabSheet2 = new TTabSheet(this);
  TabSheet2->SetCaption(L"Color");
  TabSheet2->SetPageControl(PageControl1);
  PageControl1->SetActivePage(TabSheet1);

  TTabSheet* set = TabSheet1;
  ComboAppearance = PlaceList(this, set, 152, 12, 129, {L"Flat", L"Lowered", L"Raised"});
  CheckBorder = PlaceCheck(this, set, 8, 46, 121, L"BorderVisible");
  CheckRect = PlaceCheck(this, set, 8, 76, 121, L"RectDraw");
  ComboBlinkSpeed = PlaceList(this, set, 152, 102, 129, {L"Slow", L"Medium", L"Fast"});
  ComboGrad = PlaceList(this, set, 152, 132, 129, kUnitItems);
  ComboGrid = PlaceList(this, set, 152, 162, 129, kUnitItems);
  EditGridSpace = Place<TEdit>(this, set, 152, 192, 81, kEditHeight);
  ComboToolTip = PlaceList(this, set, 152, 222, 129, kUnitItems);
  ComboMouseWheel = PlaceList(this, set, 152, 252, 129, {L"Disable", L"Scroll (Vertical)", L"Scroll (Horizontal)"});
  CheckScrollBar = PlaceCheck(this, set, 312, 16, 153, L"ScrollBar");
  EditScrollWidth = Place<TEdit>(this, set, 440, 42, 73, kEditHeight);
  EditScrollHeight = Place<TEdit>(this, set, 440, 72, 73, kEditHeight);
  ComboHatchPattern = PlaceList(this, set, 440, 102, 129, {L"None", L"Show", L"Transparent"});
  CheckRefine1BitImage = PlaceCheck(this, set, 312, 136, 153, L"Refine1BitImage");
  CheckSimpleControl = PlaceCheck(this, set, 312, 166, 153, L"SimpleControl");
  CheckMouseDragImage = PlaceCheck(this, set, 312, 196, 177, L"MouseDragImage");
  LabelAppearance = PlaceLabel(this, set, 8, 16, L"Appearance");
  LabelBlinkSpeed = PlaceLabel(this, set, 8, 106, L"BlinkSpeed");
  LabelGrad = PlaceLabel(this, set, 8, 136, L"Grad");
  LabelGrid = PlaceLabel(this, set, 8, 166, L"Grid");
  LabelGridSpace = PlaceLabel(this, set, 8, 196, L"GridSpace");
  LabelToolTip = PlaceLabel(this, set, 8, 226, L"ToolTip");
  LabelMouseWheel = PlaceLabel(this, set, 8, 256, L"MouseWheel");
  LabelScrollWidth = PlaceLabel(this, set, 312, 46, L"ScrollWidth");
  LabelP1 = PlaceLabel(this, set, 520, 46, L"Pixels");
  LabelScrollHeight = PlaceLabel(this, set, 312, 76, L"ScrollHeight");
  LabelP2 = PlaceLabel(this, set, 520, 74, L"Pixels");
  LabelHatchPattern = PlaceLabel(this, set, 312, 106, L"InvalidHatchPattern");

  TTabSheet* colors = TabSheet2;
  LabelBorder = PlaceLabel(this, colors, 16, 28, L"BorderColor");
  Shape1 = PlaceSwatch(this, colors, 144, 24);
  LabelColor = PlaceLabel(this, colors, 16, 58, L"Color");
  Shape2 = PlaceSwatch(this, colors, 144, 54);
  LabelGradBack = PlaceLabel(this, colors, 16, 88, L"GradBackColor");
  Shape3 = PlaceSwatch(this, colors, 144, 84);
  LabelGradColor = PlaceLabel(this, colors, 16, 118, L"GradColor");
  Shape4 = PlaceSwatch(this, colors, 144, 114);
  LabelGridColor = PlaceLabel(this, colors, 16, 148, L"GridColor");
  Shape5 = PlaceSwatch(this, colors, 144, 144);
  LabelInvalidHatchColor = PlaceLabel(this, colors, 16, 178, L"InvalidHatchColor");
  Shape6 = PlaceSwatch(this, colors, 144, 174);
  LabelRectColor1 = PlaceLabel(this, colors, 16, 208, L"RectColor1");
  Shape7 = PlaceSwatch(this, colors, 144, 204);
  LabelRectColor2 = PlaceLabel(this, colors, 16, 238, L"RectColor2");
  Shape8 = PlaceSwatch(this, colors, 144, 234);
  LabelToolTipColor = PlaceLabel(this, colors, 208, 28, L"ToolTipColor");
  Shape9 = PlaceSwatch(this, colors, 336, 24);

  EditGridSpace->OnKeyPress = std::bind_front(&TLumoraEditor::EditFloatNumKeyPress, this);
  EditScrollWidth->OnKeyPress = std::bind_front(&TLumoraEditor::EditNumKeyPress, this);
  EditScrollHeight->OnKeyPress = std::bind_front(&TLumoraEditor::EditNumKeyPress, this);
  Shape1->OnMouseDown = std::bind_front(&TLumoraEditor::Shape1MouseDown, this);
  Shape2->OnMouseDown = std::bind_front(&TLumoraEditor::Shape2MouseDown, this);
  Shape3->OnMouseDown = std::bind_front(&TLumoraEditor::Shape3MouseDown, this);
  Shape4->OnMouseDown = std::bind_front(&TLumoraEditor::Shape4MouseDown, this);
  Shape5->OnMouseDown = std::bind_front(&TLumoraEditor::Shape5MouseDown, this);
  Shape6->OnMouseDown = std::bind_front(&TLumoraEditor::Shape6MouseDown, this);
  Shape7->OnMouseDown = std::bind_front(&TLumoraEditor::Shape7MouseDown, this);
  Shape8->OnMouseDown = std::bind_front(&TLumoraEditor::Shape8MouseDown, this);
  Shape9->OnMouseDown = std::bind_front(&TLumoraEditor::Shape9MouseDown, this);
  OnShow = std::bind_front(&TLumoraEditor::FormShow, this);

  FormCreate(this);
}

TLumoraEditor::~TLumoraEditor() { FormDestroy(this); }

void TLumoraEditor::FormCreate(TObject* /*Sender*/) { ColorDialog1 = new TColorDialog(this); }

void TLumoraEditor::FormDestroy(TObject* /*Sender*/) {
  delete ColorDialog1;
  ColorDialog1 = nullptr;
}

void TLumoraEditor::FormShow(TObject* /*Sender*/) { ComboAppearance->SetFocus(); }

void TLumoraEditor::AdaptToJapanese() {
  Font().SetCharset(SHIFTJIS_CHARSET);
  Font().SetName(L"ＭＳ Ｐゴシック");
  Font().SetSize(9);
  SetCaption(L"ﾌﾟﾛﾊﾟﾃｨ ﾍﾟｰｼﾞ");
  TabSheet1->SetCaption(L"設定");
  TabSheet2->SetCaption(L"色");
  LabelAppearance->SetCaption(L"表示スタイル");
  ReplaceItems(ComboAppearance, {L"ﾌﾗｯﾄ", L"凹", L"凸"});
  CheckBorder->SetCaption(L"境界の表示");
  CheckRect->SetCaption(L"矩形の設定");
  LabelBlinkSpeed->SetCaption(L"矩形の点滅速度");
  ReplaceItems(ComboBlinkSpeed, {L"低速", L"中速", L"高速"});
  LabelGrad->SetCaption(L"目盛の表示");
  ReplaceItems(ComboGrad, kJapaneseUnitItems);
  LabelGrid->SetCaption(L"グリッドの表示");
  ReplaceItems(ComboGrid, kJapaneseUnitItems);
  LabelGridSpace->SetCaption(L"グリッドの間隔");
  LabelToolTip->SetCaption(L"座標値の表示");
  ReplaceItems(ComboToolTip, kJapaneseUnitItems);
  LabelMouseWheel->SetCaption(L"マウスホイール");
  ReplaceItems(ComboMouseWheel, {L"無効", L"スクロール(縦)", L"スクロール(横)"});
  CheckScrollBar->SetCaption(L"スクロールバーの表示");
  LabelScrollWidth->SetCaption(L"横方向のスクロール幅");
  LabelScrollHeight->SetCaption(L"縦方向のスクロール幅");
  LabelHatchPattern->SetCaption(L"無効領域のハッチ表示");
  ReplaceItems(ComboHatchPattern, {L"なし", L"あり", L"透明"});
  CheckRefine1BitImage->SetCaption(L"2値画像の高精彩表示");
  CheckSimpleControl->SetCaption(L"シンプルコントロール");
  CheckMouseDragImage->SetCaption(L"マウスドラッグによる画像表示");
  ButtonCancel->SetCaption(L"キャンセル");
}

void TLumoraEditor::LoadSettings(TVLumora* Component) {
  ComboAppearance->SetItemIndex(Component->Appearance());
  CheckBorder->SetChecked(Component->BorderVisible());
  CheckRect->SetChecked(Component->RectDraw());
  ComboBlinkSpeed->SetItemIndex(Component->BlinkSpeed());
  ComboGrad->SetItemIndex(Component->Grad());
  ComboGrid->SetItemIndex(Component->Grid());
  EditGridSpace->SetText(FloatToStr(Component->GridSpace()));
  ComboToolTip->SetItemIndex(Component->ToolTip());
  ComboMouseWheel->SetItemIndex(Component->MouseWheel());
  CheckScrollBar->SetChecked(Component->ScrollBar());
  EditScrollWidth->SetText(IntToStr(Component->ScrollWidth()));
  EditScrollHeight->SetText(IntToStr(Component->ScrollHeight()));
  ComboHatchPattern->SetItemIndex(Component->InvalidHatchPattern());
  CheckRefine1BitImage->SetChecked(Component->Refine1BitImage());
  CheckSimpleControl->SetChecked(Component->SimpleDispCtrl());
  CheckMouseDragImage->SetChecked(Component->MouseDragImage());
  Shape1->Brush().SetColor(Component->BorderColor());
  Shape2->Brush().SetColor(Component->Color());
  Shape3->Brush().SetColor(Component->GradBackColor());
  Shape4->Brush().SetColor(Component->GradColor());
  Shape5->Brush().SetColor(Component->GridColor());
  Shape6->Brush().SetColor(Component->InvalidHatchColor());
  Shape7->Brush().SetColor(Component->RectColor1());
  Shape8->Brush().SetColor(Component->RectColor2());
  Shape9->Brush().SetColor(Component->ToolTipColor());
}

void TLumoraEditor::SaveSettings(TVLumora* Component) {
  // Converted before anything is written: a field that is no number leaves the component as
  // it was instead of half-written.
  const double gridSpace = CheckFloatNum(EditGridSpace->Text());
  const int32_t scrollWidth = CheckNum(EditScrollWidth->Text(), kScrollDigits);
  const int32_t scrollHeight = CheckNum(EditScrollHeight->Text(), kScrollDigits);

  // An enumeration's ordinal is the low byte of its list's index.
  const auto ordinal = [](TComboBox* Combo) { return static_cast<uint8_t>(Combo->ItemIndex()); };
  Component->SetAppearance(static_cast<TVLmAppearance>(ordinal(ComboAppearance)));
  Component->SetBorderVisible(CheckBorder->Checked());
  Component->SetRectDraw(CheckRect->Checked());
  Component->SetBlinkSpeed(static_cast<TVLmBlinkSpeed>(ordinal(ComboBlinkSpeed)));
  Component->SetGrad(static_cast<TVLmUnit>(ordinal(ComboGrad)));
  Component->SetGrid(static_cast<TVLmUnit>(ordinal(ComboGrid)));
  Component->SetGridSpace(gridSpace);
  Component->SetToolTip(static_cast<TVLmUnit>(ordinal(ComboToolTip)));
  Component->SetMouseWheel(static_cast<TVLmMouseWheel>(ordinal(ComboMouseWheel)));  // plain store
  Component->SetScrollBar(CheckScrollBar->Checked());
  Component->SetScrollWidth(scrollWidth);
  Component->SetScrollHeight(scrollHeight);
  Component->SetInvalidHatchPattern(static_cast<TVLmInvalidHatch>(ordinal(ComboHatchPattern)));
  Component->SetRefine1BitImage(CheckRefine1BitImage->Checked());
  Component->SetSimpleDispCtrl(CheckSimpleControl->Checked());
  Component->SetMouseDragImage(CheckMouseDragImage->Checked());  // plain store
  Component->SetBorderColor(Shape1->Brush().Color());
  Component->TWinControl::SetColor(Shape2->Brush().Color());  // the framework's own setter
  Component->SetGradBackColor(Shape3->Brush().Color());
  Component->SetGradColor(Shape4->Brush().Color());
  Component->SetGridColor(Shape5->Brush().Color());
  Component->SetInvalidHatchColor(Shape6->Brush().Color());
  Component->SetRectColor1(Shape7->Brush().Color());
  Component->SetRectColor2(Shape8->Brush().Color());
  Component->SetToolTipColor(Shape9->Brush().Color());
}

// Backspace passes, Enter moves the focus on and is swallowed, digits pass, and every other
// character is swallowed.
void TLumoraEditor::NumberKeyPress(wchar_t& Key) {
  if (Key == L'\b') return;
  if (Key == L'\r') {
    SelectNext(ActiveControl(), true, true);
    Key = 0;
    return;
  }
  if (Key >= L'0' && Key <= L'9') return;
  Key = 0;
}

void TLumoraEditor::EditNumKeyPress(TObject* /*Sender*/, wchar_t& Key) { NumberKeyPress(Key); }

void TLumoraEditor::EditFloatNumKeyPress(TObject* /*Sender*/, wchar_t& Key) { NumberKeyPress(Key); }

int32_t TLumoraEditor::CheckNum(const std::wstring& Text, int32_t MaxLength) {
  const size_t length = Trim(Text).size();
  if (length == 0 || length > static_cast<size_t>(MaxLength)) return 0;
  return StrToInt(Text);
}

double TLumoraEditor::CheckFloatNum(const std::wstring& Text) {
  if (Trim(Text).empty()) return 0.0;
  return StrToFloat(Text);
}

TColor TLumoraEditor::SetColor(TColor Color) {
  ColorDialog1->SetColor(Color);
  if (ColorDialog1->Execute()) return ColorDialog1->Color();
  return Color;
}

void TLumoraEditor::PickSwatchColor(TShape* Swatch) { Swatch->Brush().SetColor(SetColor(Swatch->Brush().Color())); }

void TLumoraEditor::Shape1MouseDown(TObject*, TMouseButton, TShiftState, int, int) { PickSwatchColor(Shape1); }
void TLumoraEditor::Shape2MouseDown(TObject*, TMouseButton, TShiftState, int, int) { PickSwatchColor(Shape2); }
void TLumoraEditor::Shape3MouseDown(TObject*, TMouseButton, TShiftState, int, int) { PickSwatchColor(Shape3); }
void TLumoraEditor::Shape4MouseDown(TObject*, TMouseButton, TShiftState, int, int) { PickSwatchColor(Shape4); }
void TLumoraEditor::Shape5MouseDown(TObject*, TMouseButton, TShiftState, int, int) { PickSwatchColor(Shape5); }
void TLumoraEditor::Shape6MouseDown(TObject*, TMouseButton, TShiftState, int, int) { PickSwatchColor(Shape6); }
void TLumoraEditor::Shape7MouseDown(TObject*, TMouseButton, TShiftState, int, int) { PickSwatchColor(Shape7); }
void TLumoraEditor::Shape8MouseDown(TObject*, TMouseButton, TShiftState, int, int) { PickSwatchColor(Shape8); }
void TLumoraEditor::Shape9MouseDown(TObject*, TMouseButton, TShiftState, int, int) { PickSwatchColor(Shape9); }

void ShowDispEditor(TVLumora* Component) {
  // The form goes when this returns or raises.
  const std::unique_ptr<TLumoraEditor> editor = std::make_unique<TLumoraEditor>(nullptr);
  if (SysLocale.PriLangID == LANG_JAPANESE) editor->AdaptToJapanese();
  editor->LoadSettings(Component);
  if (editor->ShowModal() == mrOk) editor->SaveSettings(Component);
}
