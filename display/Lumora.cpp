#include "display/Lumora.h"

#include <cwchar>

#include "core/Lmutils.h"

namespace {

std::wstring Decimal(long long Value) { return std::to_wstring(Value); }

std::wstring ColorText(TColor Value) {
  wchar_t text[16];
  std::swprintf(text, 16, L"0x%08X", static_cast<unsigned>(Value));
  return text;
}

std::wstring FloatText(double Value) {
  wchar_t text[40];
  std::swprintf(text, 40, L"%.15g", Value);
  return text;
}

}  // namespace

TVLumora::TVLumora(TComponent* AOwner) : TVLmUiControl(AOwner) {
  TControlStyle style = ControlStyle();
  style.Include(csOpaque);  // Paint covers the whole client area
  SetControlStyle(style);
  SetBounds(0, 0, 100, 100);
}

TVLumora::~TVLumora() = default;

template <class T>
void TVLumora::Store(T& Field, T Value, const wchar_t* Setter, const std::wstring& Text) {
  Field = Value;
  m_SetterLog.push_back(std::wstring(Setter) + L"(" + Text + L")");
  Invalidate();
}

void TVLumora::StoreColor(TColor& Field, TColor Value, const wchar_t* Setter) {
  Store(Field, Value, Setter, ColorText(Value));
}

void TVLumora::SetAppearance(TVLmAppearance Value) { Store(m_Appearance, Value, L"SetAppearance", Decimal(Value)); }
void TVLumora::SetBorderVisible(bool Value) { Store(m_BorderVisible, Value, L"SetBorderVisible", Decimal(Value)); }
void TVLumora::SetRectDraw(bool Value) { Store(m_RectDraw, Value, L"SetRectDraw", Decimal(Value)); }
void TVLumora::SetBlinkSpeed(TVLmBlinkSpeed Value) { Store(m_BlinkSpeed, Value, L"SetBlinkSpeed", Decimal(Value)); }
void TVLumora::SetGrad(TVLmUnit Value) { Store(m_Grad, Value, L"SetGrad", Decimal(Value)); }
void TVLumora::SetGrid(TVLmUnit Value) { Store(m_Grid, Value, L"SetGrid", Decimal(Value)); }
void TVLumora::SetGridSpace(double Value) { Store(m_GridSpace, Value, L"SetGridSpace", FloatText(Value)); }
void TVLumora::SetToolTip(TVLmUnit Value) { Store(m_ToolTip, Value, L"SetToolTip", Decimal(Value)); }
void TVLumora::SetScrollBar(bool Value) { Store(m_ScrollBar, Value, L"SetScrollBar", Decimal(Value)); }
void TVLumora::SetScrollWidth(int32_t Value) { Store(m_ScrollWidth, Value, L"SetScrollWidth", Decimal(Value)); }
void TVLumora::SetScrollHeight(int32_t Value) { Store(m_ScrollHeight, Value, L"SetScrollHeight", Decimal(Value)); }
void TVLumora::SetInvalidHatchPattern(TVLmInvalidHatch Value) {
  Store(m_InvalidHatchPattern, Value, L"SetInvalidHatchPattern", Decimal(Value));
}
void TVLumora::SetRefine1BitImage(bool Value) { Store(m_Refine1BitImage, Value, L"SetRefine1BitImage", Decimal(Value)); }
void TVLumora::SetSimpleDispCtrl(bool Value) { Store(m_SimpleDispCtrl, Value, L"SetSimpleDispCtrl", Decimal(Value)); }
void TVLumora::SetBorderColor(TColor Value) { StoreColor(m_BorderColor, Value, L"SetBorderColor"); }
void TVLumora::SetGradBackColor(TColor Value) { StoreColor(m_GradBackColor, Value, L"SetGradBackColor"); }
void TVLumora::SetGradColor(TColor Value) { StoreColor(m_GradColor, Value, L"SetGradColor"); }
void TVLumora::SetGridColor(TColor Value) { StoreColor(m_GridColor, Value, L"SetGridColor"); }
void TVLumora::SetInvalidHatchColor(TColor Value) { StoreColor(m_InvalidHatchColor, Value, L"SetInvalidHatchColor"); }
void TVLumora::SetRectColor1(TColor Value) { StoreColor(m_RectColor1, Value, L"SetRectColor1"); }
void TVLumora::SetRectColor2(TColor Value) { StoreColor(m_RectColor2, Value, L"SetRectColor2"); }
void TVLumora::SetToolTipColor(TColor Value) { StoreColor(m_ToolTipColor, Value, L"SetToolTipColor"); }

void TVLumora::Dispatch(TMessage& Message) {
  if (Message.Msg == CM_COLORCHANGED) m_SetterLog.push_back(L"Color(" + ColorText(Color()) + L")");
  TVLmUiControl::Dispatch(Message);
}

// The background in Color inside the frame that Appearance and BorderVisible ask for.
void TVLumora::Paint() {
  const HDC dc = Canvas()->Handle();
  RECT rect = ClientRect();
  if (m_BorderVisible) {
    if (m_Appearance == vlmFlat) {
      const HBRUSH frame = CreateSolidBrush(ColorToRGB(m_BorderColor));
      FrameRect(dc, &rect, frame);
      DeleteObject(frame);
      InflateRect(&rect, -1, -1);
    } else {
      DrawDisplayEdge(dc, rect, m_Appearance == vlmLowered);
      InflateRect(&rect, -2, -2);
    }
  }
  FillRect(dc, &rect, Brush().Handle());
}
