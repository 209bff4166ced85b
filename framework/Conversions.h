#pragma once

#include <cstdint>
#include <string>

#include "framework/Classes.h"

// Raised when a text is not a number of the kind asked for.
class FRAMEWORK_API EConvertError : public EFrameworkError {
public:
  using EFrameworkError::EFrameworkError;
};

// Text without the blanks and control characters (anything up to U+0020) at either end.
FRAMEWORK_API std::wstring Trim(const std::wstring& Text);

// The integer in decimal, with a minus sign when negative.
FRAMEWORK_API std::wstring IntToStr(int64_t Value);

// A 32-bit integer from text: leading blanks, an optional sign, then decimal digits, or
// hexadecimal ones after "$" or "0x"; nothing may follow. Raises EConvertError for anything
// else and for values outside the 32-bit range.
FRAMEWORK_API int32_t StrToInt(const std::wstring& Text);

// A floating-point number from text: blanks around, an optional sign, digits with at most
// one decimal separator of the user's locale, an optional exponent. Raises EConvertError
// for anything else.
FRAMEWORK_API double StrToFloat(const std::wstring& Text);

// General format with 15 significant digits and the locale's decimal separator: "10", "2.5",
// "1E20", "1E-5".
FRAMEWORK_API std::wstring FloatToStr(double Value);

// The user's decimal separator, read from the locale at each call.
FRAMEWORK_API wchar_t DecimalSeparator();
