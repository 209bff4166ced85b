#include "framework/Fonts.h"

TFont::TFont()
    : m_Name(L"MS Sans Serif"), m_Height(-11), m_Charset(DEFAULT_CHARSET), m_Color(clWindowText) {}

TFont::~TFont() { FreeHandle(); }

void TFont::SetName(const std::wstring& Name) {
  if (Name == m_Name) return;
  m_Name = Name;
  Changed(true);
}

void TFont::SetHeight(int Height) {
  if (Height == m_Height) return;
  m_Height = Height;
  Changed(true);
}

int TFont::Size() const { return -MulDiv(m_Height, 72, PixelsPerInch); }

void TFont::SetSize(int Size) { SetHeight(-MulDiv(Size, PixelsPerInch, 72)); }

void TFont::SetCharset(TFontCharset Charset) {
  if (Charset == m_Charset) return;
  m_Charset = Charset;
  Changed(true);
}

void TFont::SetColor(TColor Color) {
  if (Color == m_Color) return;
  m_Color = Color;
  Changed(false);  // the colour is the text colour of whoever draws; the GDI font stays
}

void TFont::SetStyle(TFontStyles Style) {
  if (Style == m_Style) return;
  m_Style = Style;
  Changed(true);
}

bool TFont::SameAs(const TFont& Other) const {
  return m_Name == Other.m_Name && m_Height == Other.m_Height && m_Charset == Other.m_Charset &&
         m_Color == Other.m_Color && m_Style == Other.m_Style;
}

void TFont::Assign(const TFont& Source) {
  if (&Source == this || SameAs(Source)) return;
  const bool handleChanged = m_Name != Source.m_Name || m_Height != Source.m_Height ||
                             m_Charset != Source.m_Charset || m_Style != Source.m_Style;
  m_Name = Source.m_Name;
  m_Height = Source.m_Height;
  m_Charset = Source.m_Charset;
  m_Color = Source.m_Color;
  m_Style = Source.m_Style;
  Changed(handleChanged);
}

HFONT TFont::Handle() {
  if (m_Handle) return m_Handle;
  LOGFONTW font{};
  font.lfHeight = m_Height;
  font.lfWeight = m_Style.Contains(fsBold) ? FW_BOLD : FW_NORMAL;
  font.lfItalic = m_Style.Contains(fsItalic);
  font.lfUnderline = m_Style.Contains(fsUnderline);
  font.lfStrikeOut = m_Style.Contains(fsStrikeOut);
  font.lfCharSet = m_Charset;
  font.lfOutPrecision = OUT_DEFAULT_PRECIS;
  font.lfClipPrecision = CLIP_DEFAULT_PRECIS;
  font.lfQuality = DEFAULT_QUALITY;
  font.lfPitchAndFamily = DEFAULT_PITCH;
  lstrcpynW(font.lfFaceName, m_Name.c_str(), LF_FACESIZE);
  m_Handle = CreateFontIndirectW(&font);
  return m_Handle;
}

void TFont::Changed(bool HandleChanged) {
  if (HandleChanged) FreeHandle();
  if (OnChange) OnChange(this);
}

void TFont::FreeHandle() {
  if (m_Handle) DeleteObject(m_Handle);
  m_Handle = nullptr;
}
