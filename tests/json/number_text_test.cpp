#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <limits>

#include "json/number_text.h"

using namespace VendraJSON;

namespace {

std::string NumberText(double value) {
  char buffer[kNumberTextMax];
  return std::string(buffer, FormatNumberText(value, buffer));
}

}  // namespace

TEST(NumberText, SixDecimalsThenTrailingZerosShortened) {
  struct Case {
    double value;
    const char* text;
  } cases[] = {
      {1.5, "1.50"},          {2.0, "2.0"},         {-0.25, "-0.250"},
      {1.23456, "1.234560"},  {3.14159265, "3.141593"}, {0.0, "0.0"},
      {-0.0, "-0.0"},         {100.0, "100.0"},     {1000.0, "1000.0"},
      {0.1, "0.10"},          {1e-7, "0.0"},        {0.0000005, "0.0"},  // just below the half
      {0.0000015, "0.000002"}, {123456789.125, "123456789.1250"},
      {9007199254740993.0, "9007199254740992.0"},
  };
  for (const Case& c : cases) EXPECT_EQ(NumberText(c.value), c.text) << c.value;
}

TEST(NumberText, HugeValuesKeepEveryDigit) {
  const std::string text = NumberText(1e300);
  EXPECT_EQ(text.size(), 301u + 2u);
  EXPECT_EQ(text.substr(0, 5), "10000");
  EXPECT_EQ(text.substr(text.size() - 2), ".0");
  EXPECT_EQ(NumberText(-std::numeric_limits<double>::max()).size(), 1u + 309u + 2u);
}

TEST(NumberText, IgnoresTheProcessLocale) {
  // A locale with a decimal comma, when the machine has one.
  const char* old = std::setlocale(LC_ALL, nullptr);
  const std::string saved = old ? old : "C";
  if (std::setlocale(LC_ALL, "de_DE.UTF-8") || std::setlocale(LC_ALL, "fr_FR.UTF-8")) {
    EXPECT_EQ(NumberText(1.5), "1.50");
    EXPECT_EQ(ReadDouble(u"1.5"), 1.5);
  }
  std::setlocale(LC_ALL, saved.c_str());
}

TEST(IntegerText, Decimal) {
  char buffer[24];
  EXPECT_EQ(std::string(buffer, FormatIntegerText(INT64_MIN, buffer)), "-9223372036854775808");
  EXPECT_EQ(std::string(buffer, FormatIntegerText(0, buffer)), "0");
  EXPECT_EQ(std::string(buffer, FormatIntegerText(42, buffer)), "42");
}

TEST(ReadDouble, LongestValidPrefix) {
  struct Case {
    const char16_t* text;
    double value;
  } cases[] = {
      {u"1.2.3", 1.2},   {u"1e", 1.0},      {u"1e+", 1.0},      {u"1E3", 1000.0},
      {u"1e-2", 0.01},   {u"-.5", -0.5},    {u"5.", 5.0},       {u".", 0.0},
      {u"-", 0.0},       {u"+7", 7.0},      {u"+-7", 0.0},      {u"  \t3.5x", 3.5},
      {u"abc", 0.0},     {u"inf", 0.0},     {u"0x10", 0.0},     {u"1-2", 1.0},
      {u"12e2e3", 1200.0}, {u"", 0.0},      {u"00012.50", 12.5},
  };
  for (const Case& c : cases) EXPECT_EQ(ReadDouble(c.text), c.value);
}

TEST(ReadDouble, OverflowAndUnderflow) {
  EXPECT_EQ(ReadDouble(u"1e400"), std::numeric_limits<double>::infinity());
  EXPECT_EQ(ReadDouble(u"-1e400"), -std::numeric_limits<double>::infinity());
  EXPECT_EQ(ReadDouble(u"123456789e99999999999999999999"), std::numeric_limits<double>::infinity());
  EXPECT_EQ(ReadDouble(u"1e-400"), 0.0);
  EXPECT_EQ(ReadDouble(u"0.0000001e-330"), 0.0);
  EXPECT_TRUE(std::signbit(ReadDouble(u"-1e-400")));
  EXPECT_GT(ReadDouble(u"5e-324"), 0.0);
  EXPECT_EQ(ReadDouble(u"0e999999"), 0.0);
}

TEST(ReadInt64, PrefixAndSaturation) {
  struct Case {
    const char16_t* text;
    int64_t value;
  } cases[] = {
      {u"12345678901234567890", INT64_MAX},
      {u"-12345678901234567890", INT64_MIN},
      {u"9223372036854775807", INT64_MAX},
      {u"9223372036854775808", INT64_MAX},
      {u"-9223372036854775808", INT64_MIN},
      {u"-9223372036854775809", INT64_MIN},
      {u"-", 0}, {u"1-2", 1}, {u"+5", 5}, {u"--5", 0}, {u" 42 ", 42}, {u"1.9", 1}, {u"", 0},
      {u"-0", 0}, {u"007", 7},
  };
  for (const Case& c : cases) EXPECT_EQ(ReadInt64(c.text), c.value);
}

TEST(TruncateToInt64, TowardZeroAndSaturating) {
  EXPECT_EQ(TruncateToInt64(-2.9), -2);
  EXPECT_EQ(TruncateToInt64(2.9), 2);
  EXPECT_EQ(TruncateToInt64(1e300), INT64_MAX);
  EXPECT_EQ(TruncateToInt64(-1e300), INT64_MIN);
  EXPECT_EQ(TruncateToInt64(std::nan("")), 0);
}
