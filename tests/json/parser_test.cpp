#include <gtest/gtest.h>

#include <string>

#include "common/text/utf.h"
#include "json/array.h"
#include "json/integer.h"
#include "json/number.h"
#include "json/object.h"
#include "json/parser.h"
#include "json/string_value.h"
#include "json/value_container.h"
#include "json_test_util.h"

using namespace VendraJSON;
using namespace VendraJSONTest;

namespace {

struct Outcome {
  bool ok;
  ValueRef value;
  std::u16string error;
};

Outcome ParseText(const std::u16string& text) {
  Outcome o;
  o.error = u"untouched";
  o.ok = ParseValue(text.c_str(), o.value.Receive(), o.error);
  return o;
}

std::u16string Raw(char16_t c, int position) {
  return std::u16string(u"Unexpected raw character ") + c + u" in JSON at position " +
         VendraText::Utf8ToUtf16(std::to_string(position)) + u". Should this be part of a string?";
}

}  // namespace

TEST(Parser, ValidTextsGiveTheirTree) {
  struct Case {
    std::u16string text;
    std::u16string compact;
  } cases[] = {
      {u"[1 2,,3,]", u"[1,2,3]"},
      {u"{\"a\":1 \"b\":2,}", u"{\"a\":1,\"b\":2}"},
      {u"{,,\"a\":1,,}", u"{\"a\":1}"},
      {u"{\"a\":1,\"a\":2,\"b\":3}", u"{\"a\":2,\"b\":3}"},
      {u"[TRUE,False,NULL,tRuE]", u"[true,false,null,true]"},
      {u"  \t\r\n{}\n ", u"{}"},
      {u"[]", u"[]"},
      {u"\"\"", u"\"\""},
      {u"-0", u"0"},
      {u"[1.0,1e3,-2.5E-1,1.2.3,1e,12345678901234567890,-99999999999999999999,1-2,-]",
       u"[1.0,1000.0,-0.250,1.20,1.0,9223372036854775807,-9223372036854775808,1,0]"},
      {u"{\"nested\":{\"deeper\":[{\"x\":[]}]}}", u"{\"nested\":{\"deeper\":[{\"x\":[]}]}}"},
      {u"[\"a\"\"b\"]", u"[\"a\",\"b\"]"},
  };
  for (const Case& c : cases) {
    Outcome o = ParseText(c.text);
    ASSERT_TRUE(o.ok) << VendraText::Utf16ToUtf8(c.text) << " " << VendraText::Utf16ToUtf8(o.error);
    EXPECT_EQ(o.error, u"untouched");
    EXPECT_EQ(Compact(*o.value), c.compact) << VendraText::Utf16ToUtf8(c.text);
  }
}

TEST(Parser, NumberKinds) {
  struct Case {
    const char16_t* text;
    int type;
  } cases[] = {
      {u"1.0", kTypeNumber}, {u"1", kTypeInteger}, {u"-0", kTypeInteger},
      {u"1e3", kTypeNumber}, {u"1E3", kTypeNumber}, {u"5+3", kTypeInteger},
  };
  for (const Case& c : cases) {
    Outcome o = ParseText(c.text);
    ASSERT_TRUE(o.ok);
    EXPECT_EQ(o.value->GetType(), c.type);
  }
  EXPECT_EQ(static_cast<VSJNumber*>(ParseText(u"1e3").value.get())->Value(), 1000.0);
  EXPECT_EQ(static_cast<VSJInteger*>(ParseText(u"5+3").value.get())->Value(), 5);
}

TEST(Parser, RepeatedKeyKeepsFirstPosition) {
  Outcome o = ParseText(u"{\"a\":1,\"a\":2,\"b\":3}");
  ASSERT_TRUE(o.ok);
  auto* object = static_cast<VSJObject*>(o.value.get());
  ASSERT_EQ(object->Count(), 2u);
  EXPECT_EQ(object->KeyAt(0), u"a");
  EXPECT_EQ(object->KeyAt(1), u"b");
  int64_t a = 0;
  ASSERT_TRUE(object->GetInteger(u"a", a));
  EXPECT_EQ(a, 2);
}

TEST(Parser, StringEscapes) {
  struct Case {
    std::u16string text;
    std::u16string decoded;
  } cases[] = {
      {u"\"\\$\"", u"$"},
      {u"\"\\u00e9\\u00E9\"", u"\u00e9\u00e9"},
      {u"\"\\b\\f\\n\\r\\t\\\"\\/\\\\\"", u"\b\f\n\r\t\"/\\"},
      {u"\"\\ \\,\\[\\]\\{\\}\"", u" ,[]{}"},
      {u"\"\\ud83d\\ude00\"", u"\U0001F600"},
      {u"\"\\u0000x\"", std::u16string(u"\0x", 2)},
      {u"\"\\u12G4\"", u"\u0012"},  // reading stops at the first other character
      {u"\"\\uZZZZ\"", std::u16string(1, u'\0')},
      {u"\"line\nfeed\ttab\"", u"line\nfeed\ttab"},  // raw control characters are kept
      {u"\"\\u12\\\"x\"", u"\u0012x"},  // the four units may swallow an escape
  };
  for (const Case& c : cases) {
    Outcome o = ParseText(c.text);
    ASSERT_TRUE(o.ok) << VendraText::Utf16ToUtf8(c.text) << VendraText::Utf16ToUtf8(o.error);
    ASSERT_EQ(o.value->GetType(), kTypeString);
    EXPECT_EQ(static_cast<VSJString*>(o.value.get())->Text(), c.decoded)
        << VendraText::Utf16ToUtf8(c.text);
  }
}

TEST(Parser, KeyEndsAtAnEscapedZero) {
  Outcome o = ParseText(u"{\"ab\\u0000cd\":1}");
  ASSERT_TRUE(o.ok);
  auto* object = static_cast<VSJObject*>(o.value.get());
  ASSERT_EQ(object->Count(), 1u);
  EXPECT_EQ(object->KeyAt(0), u"ab");
}

TEST(Parser, FailuresAndTheirMessages) {
  const std::u16string keyValue = u"expected \"key\":value";
  struct Case {
    std::u16string text;
    std::u16string error;
  } cases[] = {
      {u"", u"No initial non-whitespace token found."},
      {u" \t\r\n ", u"No initial non-whitespace token found."},
      {u"\"unterminated", u"No initial non-whitespace token found."},  // string token fails silently
      {u"\"bad \\q escape\"", u"No initial non-whitespace token found."},
      {u"@", Raw(u'@', 0)},
      {u"  tru", Raw(u't', 2)},
      {u"[nulL, nul]", Raw(u'n', 7)},
      {u"{\"a\":1} x", Raw(u'x', 8)},
      {u"truex", Raw(u'x', 4)},
      {u"{\"a\":1}{}", u"Unexpected JSON terminator"},
      {u"{\"a\":1}\"open", u"No terminating token found."},
      {u"{", u"Unexpected end of JSON in object, expected \"key\":value or }"},
      {u"{1:2}", u"Unexpected character 1 in JSON object at position 1; " + keyValue},
      {u"{ [", u"Unexpected character [ in JSON object at position 2; " + keyValue},
      {u"{\"a\"", u"Unexpected end of JSON after object key; expected :value"},
      {u"{\"a\"  \n", u"Unexpected end of JSON after object key; expected :value"},
      {u"{\"a\" 1", u"Unexpected character 1 in JSON object at position 5 after key; expected :value"},
      {u"{\"a\":", u"Unexpected end of JSON after object key; expected value"},
      {u"{\"a\":\"open", u"Unexpected end of JSON after object key; expected value"},
      {u"{\"a\":}", u"Could not convert token to JSON value: }"},
      {u"[1", u""},
      {u"[\"open", u""},
      {u"[:]", u"Unexpected token : in JSON array"},
      {u"[1,]]", u"Unexpected JSON terminator"},
      {u",", u"Could not convert token to JSON value: ,"},
      {u"]", u"Could not convert token to JSON value: ]"},
      {u"[@]", Raw(u'@', 1)},
      {u"\"\\u12\"", u"Invalid escape sequence; unicode character requires 4 hexadecimal digits"},
      {u"\"\\u123\"", u"Invalid string, no terminating quote found before end of input"},
      {u"{\"\\u1\":1}", u"Invalid escape sequence; unicode character requires 4 hexadecimal digits"},
  };
  for (const Case& c : cases) {
    Outcome o = ParseText(c.text);
    EXPECT_FALSE(o.ok) << VendraText::Utf16ToUtf8(c.text);
    EXPECT_EQ(o.error, c.error) << VendraText::Utf16ToUtf8(c.text) << " gave "
                                << VendraText::Utf16ToUtf8(o.error);
  }
}

TEST(Parser, BadTerminatorStillHandsTheValueOut) {
  Outcome o = ParseText(u"{\"a\":1} x");
  EXPECT_FALSE(o.ok);
  ASSERT_TRUE(o.value);
  EXPECT_EQ(Compact(*o.value), u"{\"a\":1}");
  EXPECT_EQ(o.value->RefCount(), 1);

  o = ParseText(u"{\"a\":1}{\"b\":2}");
  EXPECT_FALSE(o.ok);
  EXPECT_EQ(o.error, u"Unexpected JSON terminator");
  ASSERT_TRUE(o.value);
  EXPECT_EQ(Compact(*o.value), u"{\"a\":1}");

  // Any other failure hands out nothing.
  o = ParseText(u"[1,{\"a\":}]");
  EXPECT_FALSE(o.ok);
  EXPECT_FALSE(o.value);
}

TEST(Parser, InputEndsAtCodeUnitZero) {
  const std::u16string text(u"[1]\0garbage", 11);
  ValueRef value;
  std::u16string error;
  EXPECT_TRUE(ParseValue(text.data(), text.size(), value.Receive(), error));
  EXPECT_EQ(Compact(*value), u"[1]");
}

TEST(Parser, NestingIsBoundedAndDeepInputFailsCleanly) {
  std::u16string ok(kMaxNestingDepth, u'[');
  ok.append(kMaxNestingDepth, u']');
  Outcome o = ParseText(ok);
  EXPECT_TRUE(o.ok) << VendraText::Utf16ToUtf8(o.error);

  std::u16string tooDeep(kMaxNestingDepth + 1, u'[');
  tooDeep.append(kMaxNestingDepth + 1, u']');
  o = ParseText(tooDeep);
  EXPECT_FALSE(o.ok);
  EXPECT_FALSE(o.value);
  EXPECT_EQ(o.error, u"JSON nested deeper than 1000 levels at position 1000");

  // A million openings, of both kinds, must neither crash nor hand anything out.
  std::u16string hostile;
  for (int i = 0; i < 500000; ++i) hostile += u"[{\"k\":";
  o = ParseText(hostile);
  EXPECT_FALSE(o.ok);
  EXPECT_FALSE(o.value);
  EXPECT_NE(o.error.find(u"nested deeper"), std::u16string::npos);
}

TEST(ParserUtf8, ByteOrderMarkConversionAndEmptyText) {
  ValueRef value;
  std::u16string error = u"untouched";
  ASSERT_TRUE(ParseValueA("\xEF\xBB\xBF{\"caf\xC3\xA9\":\"\xF0\x9F\x98\x80\"}", value.Receive(), error));
  auto* object = static_cast<VSJObject*>(value.get());
  std::u16string text;
  ASSERT_TRUE(object->GetString(u"caf\u00e9", text));
  EXPECT_EQ(text, u"\U0001F600");

  // Invalid bytes become U+FFFD instead of failing.
  ASSERT_TRUE(ParseValueA("\"a\xFF" "b\xC3\"", value.Receive(), error));
  EXPECT_EQ(static_cast<VSJString*>(value.get())->Text(), u"a\uFFFDb\uFFFD");

  // An empty text, or one with nothing after the mark, says why it fails.
  for (const char* empty : {"", "\xEF\xBB\xBF", "\xEF\xBB\xBF \r\n"}) {
    error = u"untouched";
    EXPECT_FALSE(ParseValueA(empty, value.Receive(), error));
    EXPECT_EQ(error, u"No initial non-whitespace token found.");
    EXPECT_FALSE(value);
  }

  // Positions count UTF-16 code units of the converted text, after the mark.
  EXPECT_FALSE(ParseValueA("\xEF\xBB\xBF[\"\xF0\x9F\x98\x80\" @]", value.Receive(), error));
  EXPECT_EQ(error, Raw(u'@', 6));
}

TEST(ParseObject, FirstCharacterRules) {
  VSJObject* object = nullptr;
  std::u16string error;
  EXPECT_FALSE(ParseObjectA(" {}", &object, error));
  EXPECT_EQ(error, u"Expected '{', got ' '");
  EXPECT_FALSE(ParseObjectA("[1]", &object, error));
  EXPECT_EQ(error, u"Expected '{', got '['");
  EXPECT_FALSE(ParseObjectA("\xC3\xA9", &object, error));
  EXPECT_EQ(error, std::u16string(u"Expected '{', got '") + char16_t(0xFFC3) + u"'");
  EXPECT_FALSE(ParseObjectA("", &object, error));
  EXPECT_EQ(error, std::u16string(u"Expected '{', got '\0'", 21));
  EXPECT_FALSE(ParseObject(u" {}", &object, error));
  EXPECT_EQ(error, u"Expected '{', got ' '");
  EXPECT_FALSE(ParseObject(u"\u00e9", &object, error));
  EXPECT_EQ(error, u"Expected '{', got '\u00e9'");
  EXPECT_EQ(object, nullptr);

  ASSERT_TRUE(ParseObjectA("\xEF\xBB\xBF{\"a\":[1]}", &object, error));
  EXPECT_EQ(Compact(*object), u"{\"a\":[1]}");
  object->Release();
  object = nullptr;

  // A bad terminator is a failure here, and nothing is handed out.
  EXPECT_FALSE(ParseObjectA("{\"a\":1} x", &object, error));
  EXPECT_EQ(error, Raw(u'x', 8));
  EXPECT_EQ(object, nullptr);
  EXPECT_FALSE(ParseObject(u"{\"a\":1}{}", &object, error));
  EXPECT_EQ(error, u"Unexpected JSON terminator");
  EXPECT_EQ(object, nullptr);
}

TEST(ParserUtf8, ReadsUtf8TextExactlyAsItsUtf16Form) {
  // The UTF-8 parser works on the bytes; every answer must be the one the
  // wide parser gives for the converted text.
  const std::u16string cases[] = {
      u"{\"caf\u00e9\":\"\u4e2d\u6587\",\"\U0001F600\":[1,2]}",
      u"{\"\u00e9\":1} x",
      u"[\"\U0001F600\" @]",
      u"\u00e9",
      u"\U0001F600",
      u"[1, \u00e9]",
      u"{\"a\" \u00e9}",
      u"{\u00e9:1}",
      u"\"\\u12\u00e94\"",
      u"\"\\u1\u00e9\"",
      u"\"\\u\U0001F600\"",
      u"\"\\u12\U0001F600\"",
      u"[\"\u00e9\\n\u00e9\", \"\\u00e9\u00e9\"]",
      u"fals\u00e9",
      u"tru\U0001F600",
      u"nul",
      u"{\"k\u00e9y\":{\"x\":[tRUE,\"\\/\"]}}{}",
      u"   \u3000",
  };
  for (const std::u16string& text : cases) {
    ValueRef wide, narrow;
    std::u16string wideError = u"-", narrowError = u"-";
    const bool wideOk = ParseValue(text.c_str(), wide.Receive(), wideError);
    const std::string utf8 = VendraText::Utf16ToUtf8(text);
    const bool narrowOk = ParseValueA(utf8.c_str(), narrow.Receive(), narrowError);
    EXPECT_EQ(wideOk, narrowOk) << utf8;
    EXPECT_EQ(wideError, narrowError) << utf8;
    ASSERT_EQ(static_cast<bool>(wide), static_cast<bool>(narrow)) << utf8;
    if (wide) {
      EXPECT_EQ(Compact(*wide), Compact(*narrow)) << utf8;
    }
  }
}
