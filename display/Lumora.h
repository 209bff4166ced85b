#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/Lminit.h"
#include "core/Lmtypes.h"
#include "display/LmDisplayApi.h"

// Hatching of the part of the control that the image does not cover.
enum TVLmInvalidHatch : uint8_t {
  vlmHatchNone = 0,
  vlmHatchShow = 1,
  vlmHatchTransparent = 2,
};

// What the mouse wheel does over the image.
enum TVLmMouseWheel : uint8_t {
  vlmWheelDisable = 0,
  vlmWheelScrollVertical = 1,
  vlmWheelScrollHorizontal = 2,
};

// The image-display control of the product family, as far as its display settings go. Every
// setter stores the value, repaints the control and notes the call in SetterLog, even when the
// value does not change; MouseWheel and MouseDragImage are plain stores with no side effect.
// The framework's Color setter is the control's own: a changed colour arrives as
// CM_COLORCHANGED, which the log notes as well.
class LMDISPLAY_API TVLumora : public TVLmUiControl {
public:
  explicit TVLumora(TComponent* AOwner);
  ~TVLumora() override;

  TVLmAppearance Appearance() const { return m_Appearance; }
  void SetAppearance(TVLmAppearance Value);
  bool BorderVisible() const { return m_BorderVisible; }
  void SetBorderVisible(bool Value);
  bool RectDraw() const { return m_RectDraw; }
  void SetRectDraw(bool Value);
  TVLmBlinkSpeed BlinkSpeed() const { return m_BlinkSpeed; }
  void SetBlinkSpeed(TVLmBlinkSpeed Value);
  TVLmUnit Grad() const { return m_Grad; }
  void SetGrad(TVLmUnit Value);
  TVLmUnit Grid() const { return m_Grid; }
  void SetGrid(TVLmUnit Value);
  double GridSpace() const { return m_GridSpace; }
  void SetGridSpace(double Value);
  TVLmUnit ToolTip() const { return m_ToolTip; }
  void SetToolTip(TVLmUnit Value);
  TVLmMouseWheel MouseWheel() const { return m_MouseWheel; }
  void SetMouseWheel(TVLmMouseWheel Value) { m_MouseWheel = Value; }
  bool ScrollBar() const { return m_ScrollBar; }
  void SetScrollBar(bool Value);
  int32_t ScrollWidth() const { return m_ScrollWidth; }
  void SetScrollWidth(int32_t Value);
  int32_t ScrollHeight() const { return m_ScrollHeight; }
  void SetScrollHeight(int32_t Value);
  TVLmInvalidHatch InvalidHatchPattern() const { return m_InvalidHatchPattern; }
  void SetInvalidHatchPattern(TVLmInvalidHatch Value);
  bool Refine1BitImage() const { return m_Refine1BitImage; }
  void SetRefine1BitImage(bool Value);
  bool SimpleDispCtrl() const { return m_SimpleDispCtrl; }
  void SetSimpleDispCtrl(bool Value);
  bool MouseDragImage() const { return m_MouseDragImage; }
  void SetMouseDragImage(bool Value) { m_MouseDragImage = Value; }
  TColor BorderColor() const { return m_BorderColor; }
  void SetBorderColor(TColor Value);
  TColor GradBackColor() const { return m_GradBackColor; }
  void SetGradBackColor(TColor Value);
  TColor GradColor() const { return m_GradColor; }
  void SetGradColor(TColor Value);
  TColor GridColor() const { return m_GridColor; }
  void SetGridColor(TColor Value);
  TColor InvalidHatchColor() const { return m_InvalidHatchColor; }
  void SetInvalidHatchColor(TColor Value);
  TColor RectColor1() const { return m_RectColor1; }
  void SetRectColor1(TColor Value);
  TColor RectColor2() const { return m_RectColor2; }
  void SetRectColor2(TColor Value);
  TColor ToolTipColor() const { return m_ToolTipColor; }
  void SetToolTipColor(TColor Value);

  // Every setter call and colour change so far, oldest first, as "SetName(value)" and
  // "Color(value)": integers and enumerations in decimal, colours as 0x plus eight hex
  // digits, booleans as 0 or 1, GridSpace with up to 15 significant digits.
  const std::vector<std::wstring>& SetterLog() const { return m_SetterLog; }
  int SetterCalls() const { return static_cast<int>(m_SetterLog.size()); }
  void ClearSetterLog() { m_SetterLog.clear(); }

protected:
  void Dispatch(TMessage& Message) override;
  void Paint() override;

private:
  template <class T>
  void Store(T& Field, T Value, const wchar_t* Setter, const std::wstring& Text);
  void StoreColor(TColor& Field, TColor Value, const wchar_t* Setter);

  TVLmAppearance m_Appearance = vlmLowered;
  bool m_BorderVisible = true;
  bool m_RectDraw = false;
  TVLmBlinkSpeed m_BlinkSpeed = vlmBlinkMedium;
  TVLmUnit m_Grad = vlmUnitNone;
  TVLmUnit m_Grid = vlmUnitNone;
  double m_GridSpace = 10.0;
  TVLmUnit m_ToolTip = vlmUnitNone;
  TVLmMouseWheel m_MouseWheel = vlmWheelScrollVertical;
  bool m_ScrollBar = true;
  int32_t m_ScrollWidth = 16;
  int32_t m_ScrollHeight = 16;
  TVLmInvalidHatch m_InvalidHatchPattern = vlmHatchShow;
  bool m_Refine1BitImage = false;
  bool m_SimpleDispCtrl = false;
  bool m_MouseDragImage = true;
  TColor m_BorderColor = clBlack;
  TColor m_GradBackColor = clBtnFace;
  TColor m_GradColor = clBlack;
  TColor m_GridColor = clSilver;
  TColor m_InvalidHatchColor = clGray;
  TColor m_RectColor1 = clRed;
  TColor m_RectColor2 = clWhite;
  TColor m_ToolTipColor = clYellow;
  std::vector<std::wstring> m_SetterLog;
};

// The image-display library's about box, shown modally over the active window.
LMDISPLAY_API void LumoraShowAbout();

// Caption of that about box.
inline constexpr wchar_t kLumoraAboutCaption[] = L"About Lumo10D25";
