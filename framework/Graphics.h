#pragma once

#include <windows.h>

#include <cstdint>

#include "framework/FrameworkApi.h"

// A colour: an RGB value (0x00BBGGRR), or 0x80000000 | COLOR_x naming a system colour.
using TColor = int32_t;

constexpr TColor clSystemColor = static_cast<TColor>(0x80000000u);
constexpr TColor clBlack = 0x000000;
constexpr TColor clMaroon = 0x000080;
constexpr TColor clGreen = 0x008000;
constexpr TColor clNavy = 0x800000;
constexpr TColor clGray = 0x808080;
constexpr TColor clSilver = 0xC0C0C0;
constexpr TColor clRed = 0x0000FF;
constexpr TColor clLime = 0x00FF00;
constexpr TColor clYellow = 0x00FFFF;
constexpr TColor clBlue = 0xFF0000;
constexpr TColor clFuchsia = 0xFF00FF;
constexpr TColor clAqua = 0xFFFF00;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clWindow = clSystemColor | COLOR_WINDOW;
constexpr TColor clWindowText = clSystemColor | COLOR_WINDOWTEXT;
constexpr TColor clBtnFace = clSystemColor | COLOR_BTNFACE;
constexpr TColor clBtnShadow = clSystemColor | COLOR_BTNSHADOW;
constexpr TColor clBtnHighlight = clSystemColor | COLOR_BTNHIGHLIGHT;
constexpr TColor clHighlight = clSystemColor | COLOR_HIGHLIGHT;

// The RGB value of a colour; system colours are resolved with GetSysColor.
FRAMEWORK_API COLORREF ColorToRGB(TColor Color);

// A solid brush whose GDI handle is made on demand and follows the colour.
class FRAMEWORK_API TBrush {
public:
  explicit TBrush(TColor Color = clWhite) : m_Color(Color) {}
  TBrush(const TBrush&) = delete;
  TBrush& operator=(const TBrush&) = delete;
  ~TBrush();

  TColor Color() const { return m_Color; }
  // A new colour deletes the old handle; the next Handle() makes a new one.
  void SetColor(TColor Color);
  HBRUSH Handle();

private:
  void FreeHandle();

  TColor m_Color;
  HBRUSH m_Handle = nullptr;  // owned
};

// Drawing surface of a control. While the control paints, Handle() is the paint device
// context; outside painting it is null and drawing code obtains a context of its own.
class FRAMEWORK_API TCanvas {
public:
  HDC Handle() const { return m_Handle; }
  void SetHandle(HDC Handle) { m_Handle = Handle; }

private:
  HDC m_Handle = nullptr;  // not owned: lent by the paint cycle
};
