#include "common/text/utf.h"

#include <gtest/gtest.h>

using namespace VendraText;

TEST(Utf, RoundTripsAllPlanes) {
  const std::u16string text = u"a\u00e9\u4e2d\U0001F600z";
  const std::string utf8 = Utf16ToUtf8(text);
  EXPECT_EQ(utf8, "a\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80z");
  EXPECT_EQ(Utf8ToUtf16(utf8), text);
}

TEST(Utf, EmbeddedZeroPassesThrough) {
  const std::u16string text(u"a\0b", 3);
  EXPECT_EQ(Utf16ToUtf8(text), std::string("a\0b", 3));
  EXPECT_EQ(Utf8ToUtf16(std::string("a\0b", 3)), text);
}

TEST(Utf, InvalidUtf8BecomesReplacement) {
  struct Case {
    std::string in;
    std::u16string out;
  } cases[] = {
      {"\xFF", u"\uFFFD"},
      {"a\x80z", u"a\uFFFDz"},
      {"\xC3", u"\uFFFD"},                   // truncated
      {"\xE4\xB8", u"\uFFFD"},               // truncated, maximal subpart
      {"\xC0\xAF", u"\uFFFD\uFFFD"},         // overlong
      {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},  // encoded surrogate
      {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},  // above U+10FFFF
  };
  for (const auto& c : cases) EXPECT_EQ(Utf8ToUtf16(c.in), c.out) << c.in.size();
}

TEST(Utf, UnpairedSurrogatesBecomeReplacement) {
  EXPECT_EQ(Utf16ToUtf8(u"\xD800"), "\xEF\xBF\xBD");
  EXPECT_EQ(Utf16ToUtf8(std::u16string{0xDC00, u'a'}), "\xEF\xBF\xBD" "a");
  EXPECT_EQ(Utf16ToUtf8(std::u16string{0xD83D, 0xD83D, 0xDE00}), "\xEF\xBF\xBD\xF0\x9F\x98\x80");
}

TEST(Utf, CaseInsensitiveCompareIsAsciiOnly) {
  EXPECT_TRUE(EqualsIgnoreAsciiCase(u"Device Auth REQUIRED", u"device auth required"));
  EXPECT_FALSE(EqualsIgnoreAsciiCase(u"\u00c9", u"\u00e9"));
  EXPECT_FALSE(EqualsIgnoreAsciiCase("abc", "abcd"));
}
