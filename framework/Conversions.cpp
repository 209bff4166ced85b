#include "framework/Conversions.h"

#include <windows.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cwchar>
#include <limits>

namespace {

std::string Narrow(const std::wstring& Text) {
  std::string narrow;
  for (const wchar_t c : Text) narrow += (c < 0x80) ? static_cast<char>(c) : '?';
  return narrow;
}

[[noreturn]] void ConvertError(const std::wstring& Text, const char* Kind) {
  throw EConvertError("'" + Narrow(Text) + "' is not a valid " + Kind);
}

bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

int HexDigit(wchar_t c) {
  if (IsDigit(c)) return c - L'0';
  if (c >= L'a' && c <= L'f') return c - L'a' + 10;
  if (c >= L'A' && c <= L'F') return c - L'A' + 10;
  return -1;
}

}  // namespace

std::wstring Trim(const std::wstring& Text) {
  size_t first = 0;
  size_t last = Text.size();
  while (first < last && Text[first] <= L' ') ++first;
  while (last > first && Text[last - 1] <= L' ') --last;
  return Text.substr(first, last - first);
}

std::wstring IntToStr(int64_t Value) { return std::to_wstring(Value); }

int32_t StrToInt(const std::wstring& Text) {
  size_t i = 0;
  while (i < Text.size() && Text[i] == L' ') ++i;
  bool negative = false;
  if (i < Text.size() && (Text[i] == L'+' || Text[i] == L'-')) negative = Text[i++] == L'-';
  int base = 10;
  if (i < Text.size() && Text[i] == L'$') {
    base = 16;
    ++i;
  } else if (i + 1 < Text.size() && Text[i] == L'0' && (Text[i + 1] == L'x' || Text[i + 1] == L'X')) {
    base = 16;
    i += 2;
  }
  if (i == Text.size()) ConvertError(Text, "integer value");
  int64_t value = 0;
  for (; i < Text.size(); ++i) {
    const int digit = base == 16 ? HexDigit(Text[i]) : (IsDigit(Text[i]) ? Text[i] - L'0' : -1);
    if (digit < 0) ConvertError(Text, "integer value");
    value = value * base + digit;
    if (value > static_cast<int64_t>(std::numeric_limits<int32_t>::max()) + 1) ConvertError(Text, "integer value");
  }
  if (negative) value = -value;
  if (value > std::numeric_limits<int32_t>::max()) ConvertError(Text, "integer value");
  return static_cast<int32_t>(value);
}

double StrToFloat(const std::wstring& Text) {
  const std::wstring text = Trim(Text);
  const wchar_t separator = DecimalSeparator();
  // Rebuilt with a full stop, which is what the C runtime's own conversion reads.
  std::wstring plain;
  size_t i = 0;
  if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) plain += text[i++];
  size_t digits = 0;
  for (; i < text.size() && IsDigit(text[i]); ++i, ++digits) plain += text[i];
  if (i < text.size() && text[i] == separator) {
    plain += L'.';
    for (++i; i < text.size() && IsDigit(text[i]); ++i, ++digits) plain += text[i];
  }
  if (digits == 0) ConvertError(Text, "floating point value");
  if (i < text.size() && (text[i] == L'e' || text[i] == L'E')) {
    plain += L'e';
    ++i;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) plain += text[i++];
    size_t exponentDigits = 0;
    for (; i < text.size() && IsDigit(text[i]); ++i, ++exponentDigits) plain += text[i];
    if (exponentDigits == 0) ConvertError(Text, "floating point value");
  }
  if (i != text.size()) ConvertError(Text, "floating point value");
  errno = 0;
  const double value = std::wcstod(plain.c_str(), nullptr);
  if (errno == ERANGE && std::isinf(value)) ConvertError(Text, "floating point value");
  return value;
}

std::wstring FloatToStr(double Value) {
  wchar_t buffer[48];
  std::swprintf(buffer, 48, L"%.15G", Value);
  std::wstring text = buffer;
  // "1E+20" and "1E-05" become "1E20" and "1E-5".
  const size_t exponent = text.find(L'E');
  if (exponent != std::wstring::npos) {
    std::wstring mantissa = text.substr(0, exponent);
    std::wstring power = text.substr(exponent + 1);
    std::wstring sign;
    if (!power.empty() && (power[0] == L'+' || power[0] == L'-')) {
      if (power[0] == L'-') sign = L"-";
      power.erase(0, 1);
    }
    const size_t nonZero = power.find_first_not_of(L'0');
    power = nonZero == std::wstring::npos ? L"0" : power.substr(nonZero);
    text = mantissa + L"E" + sign + power;
  }
  const size_t point = text.find(L'.');
  if (point != std::wstring::npos) text[point] = DecimalSeparator();
  return text;
}

wchar_t DecimalSeparator() {
  wchar_t separator[8] = {};
  if (GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, separator, 8) < 2) return L'.';
  return separator[0];
}
