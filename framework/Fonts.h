#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "framework/Classes.h"
#include "framework/Graphics.h"

enum TFontStyle : uint8_t { fsBold = 0, fsItalic = 1, fsUnderline = 2, fsStrikeOut = 3 };
using TFontStyles = TSet<TFontStyle, uint8_t>;

// A character set number of the system (ANSI_CHARSET 0, DEFAULT_CHARSET 1, SHIFTJIS_CHARSET 128).
using TFontCharset = uint8_t;

// A font description with a GDI font made on demand. Height is the character height in pixels
// (negative, as forms store it); Size is the same height in points at the 96 pixels per inch
// that forms are designed at. Every change raises OnChange; the handle follows the description.
class FRAMEWORK_API TFont : public TObject {
public:
  static constexpr int PixelsPerInch = 96;

  TFont();
  TFont(const TFont&) = delete;
  TFont& operator=(const TFont&) = delete;
  ~TFont();

  const std::wstring& Name() const { return m_Name; }
  void SetName(const std::wstring& Name);
  int Height() const { return m_Height; }
  void SetHeight(int Height);
  int Size() const;
  void SetSize(int Size);
  TFontCharset Charset() const { return m_Charset; }
  void SetCharset(TFontCharset Charset);
  TColor Color() const { return m_Color; }
  void SetColor(TColor Color);
  TFontStyles Style() const { return m_Style; }
  void SetStyle(TFontStyles Style);

  // Copies every attribute of Source and raises OnChange once if anything differed.
  void Assign(const TFont& Source);
  bool SameAs(const TFont& Other) const;

  // The GDI font for the description; owned by this object, valid until the next change.
  HFONT Handle();

  TNotifyEvent OnChange;

private:
  void Changed(bool HandleChanged);
  void FreeHandle();

  std::wstring m_Name;
  int m_Height;
  TFontCharset m_Charset;
  TColor m_Color;
  TFontStyles m_Style;
  HFONT m_Handle = nullptr;  // owned
};
