#include "common/text/format.h"

#include <clocale>

#include <gtest/gtest.h>

using VendraText::Format;

TEST(Format, TheSystemsFormats) {
  EXPECT_EQ(Format(u"Error Code %d\n%ls", -109, std::u16string(u"User clicked Cancel")),
            u"Error Code -109\nUser clicked Cancel");
  EXPECT_EQ(Format(u"curl error %d: %hs", 28, "Timeout"), u"curl error 28: Timeout");
  EXPECT_EQ(Format("vclient-%u", 4294967295u), "vclient-4294967295");
  EXPECT_EQ(Format(u"%I64d", int64_t{-9223372036854775807LL - 1}), u"-9223372036854775808");
  EXPECT_EQ(Format(u"%016I64X", uint64_t{0xABCDEF12345ULL}), u"00000ABCDEF12345");
  EXPECT_EQ(Format("%08x%08x", 0x1234u, -1), "00001234ffffffff");
  EXPECT_EQ(Format(u"%c", char16_t{0x4e2d}), u"\u4e2d");
  EXPECT_EQ(Format("%c", char16_t{0xe9}), "\xC3\xA9");
  EXPECT_EQ(Format(u"%f", 1.5), u"1.500000");
  EXPECT_EQ(Format(u"%f", -0.25), u"-0.250000");
  EXPECT_EQ(Format(u"100%%"), u"100%");
}

TEST(Format, IntegersAreCutTo32BitsWithoutPrefix) {
  EXPECT_EQ(Format("%d", int64_t{0x100000005}), "5");
  EXPECT_EQ(Format("%u", -1), "4294967295");
  EXPECT_EQ(Format("%I64u", -1), "18446744073709551615");
}

TEST(Format, WidthPrecisionAndFlags) {
  EXPECT_EQ(Format("[%5d][%-5d][%05d][%+d][% d]", 42, 42, -42, 7, 7),
            "[   42][42   ][-0042][+7][ 7]");
  EXPECT_EQ(Format("[%.3s][%6hs][%-4ls]", "abcdef", "ab", std::u16string(u"x")),
            "[abc][    ab][x   ]");
  EXPECT_EQ(Format("%.2f|%.0f|%10.3f", 3.14159, 2.5, -1.0), "3.14|2|    -1.000");
  EXPECT_EQ(Format("%*d", 4, 1), "   1");
  EXPECT_EQ(Format("%#x", 255u), "0xff");
}

TEST(Format, ConvertsTextToTheOutputEncoding) {
  EXPECT_EQ(Format("%ls", std::u16string(u"\u00e9\U0001F600")), "\xC3\xA9\xF0\x9F\x98\x80");
  EXPECT_EQ(Format(u"%hs", "\xC3\xA9"), u"\u00e9");
  EXPECT_EQ(Format(u"%hs", "\xFF"), u"\uFFFD");
}

TEST(Format, MissingArgumentsAndOddFormatsDoNotCrash) {
  EXPECT_EQ(Format(u"a %d b %ls"), u"a  b ");
  EXPECT_EQ(Format("trailing %"), "trailing %");
  EXPECT_EQ(Format("%q", 1), "%q");
  EXPECT_EQ(Format("%ls", static_cast<const char16_t*>(nullptr)), "(null)");
}

TEST(Format, IgnoresTheProcessLocale) {
  const char* set = std::setlocale(LC_ALL, "de_DE.UTF-8");
  if (!set) set = std::setlocale(LC_ALL, "fr_FR.UTF-8");
  EXPECT_EQ(Format(u"%f", 1234.5), u"1234.500000");
  std::setlocale(LC_ALL, "C");
}
