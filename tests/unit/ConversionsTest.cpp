#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "framework/Conversions.h"

// These run under the test prefix's English locale, whose decimal separator is the full stop.

TEST(Conversions, TrimDropsBlanksAndControlCharactersAtBothEnds) {
  EXPECT_EQ(Trim(L" \t 12 3\r\n"), L"12 3");
  EXPECT_EQ(Trim(L"\x01\x1F"), L"");
  EXPECT_EQ(Trim(L""), L"");
}

TEST(Conversions, StrToIntReadsDecimalAndHexWithinThe32BitRange) {
  EXPECT_EQ(StrToInt(L"12345"), 12345);
  EXPECT_EQ(StrToInt(L"  -42"), -42);
  EXPECT_EQ(StrToInt(L"+7"), 7);
  EXPECT_EQ(StrToInt(L"$1F"), 31);
  EXPECT_EQ(StrToInt(L"0x10"), 16);
  EXPECT_EQ(StrToInt(L"2147483647"), std::numeric_limits<int32_t>::max());
  EXPECT_EQ(StrToInt(L"-2147483648"), std::numeric_limits<int32_t>::min());
  for (const wchar_t* bad : {L"", L"-", L"12a", L"1 2", L"12 ", L"1.5", L"2147483648", L"-2147483649",
                             L"99999999999999999999", L"$", L"\x0661"}) {
    EXPECT_THROW(StrToInt(bad), EConvertError) << testing::PrintToString(std::wstring(bad));
  }
}

TEST(Conversions, StrToFloatReadsTheLocalesSeparatorAndAnExponent) {
  ASSERT_EQ(DecimalSeparator(), L'.');
  EXPECT_DOUBLE_EQ(StrToFloat(L" 2.5 "), 2.5);
  EXPECT_DOUBLE_EQ(StrToFloat(L"-0.125"), -0.125);
  EXPECT_DOUBLE_EQ(StrToFloat(L"10"), 10.0);
  EXPECT_DOUBLE_EQ(StrToFloat(L".5"), 0.5);
  EXPECT_DOUBLE_EQ(StrToFloat(L"1E3"), 1000.0);
  EXPECT_DOUBLE_EQ(StrToFloat(L"1.5e-2"), 0.015);
  for (const wchar_t* bad : {L"", L"-", L".", L"1,5", L"1.2.3", L"12a", L"1E", L"e5", L"inf", L"nan", L"1E999"}) {
    EXPECT_THROW(StrToFloat(bad), EConvertError) << testing::PrintToString(std::wstring(bad));
  }
}

TEST(Conversions, FloatToStrUsesGeneralFormatWith15Digits) {
  EXPECT_EQ(FloatToStr(10.0), L"10");
  EXPECT_EQ(FloatToStr(2.5), L"2.5");
  EXPECT_EQ(FloatToStr(0.1), L"0.1");
  EXPECT_EQ(FloatToStr(-3.75), L"-3.75");
  EXPECT_EQ(FloatToStr(1.0 / 3.0), L"0.333333333333333");
  EXPECT_EQ(FloatToStr(1e20), L"1E20");
  EXPECT_EQ(FloatToStr(1e-5), L"1E-5");
  EXPECT_EQ(FloatToStr(0.0), L"0");
  // What it writes, it reads back.
  for (const double value : {12.75, 0.001, 123456.789}) EXPECT_DOUBLE_EQ(StrToFloat(FloatToStr(value)), value);
}

TEST(Conversions, IntToStrWritesDecimal) {
  EXPECT_EQ(IntToStr(0), L"0");
  EXPECT_EQ(IntToStr(-16), L"-16");
  EXPECT_EQ(IntToStr(99999), L"99999");
}
