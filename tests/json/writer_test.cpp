#include <gtest/gtest.h>

#include <limits>

#include "json/array.h"
#include "json/integer.h"
#include "json/literals.h"
#include "json/number.h"
#include "json/object.h"
#include "json/string_value.h"
#include "json_test_util.h"

using namespace VendraJSON;
using namespace VendraJSONTest;

namespace {

ValueRef Str(std::u16string_view s) { return ValueRef::Adopt(VSJString::Create(s)); }

}  // namespace

TEST(WriterStrings, EscapeTable) {
  struct Case {
    std::u16string text;
    std::u16string wide;
    std::string narrow;
  } cases[] = {
      {u"\t\"\\", u"\"\\t\\\"\\\\\"", "\"\\t\\\"\\\\\""},
      {u"\b\f\n\r", u"\"\\b\\f\\n\\r\"", "\"\\b\\f\\n\\r\""},
      {u"\x01\x1f\x7f/", u"\"\x01\x1f\x7f/\"", "\"\x01\x1f\x7f/\""},  // written as they are
      {u"\u00e9\u20ac\U0001F600", u"\"\u00e9\u20ac\U0001F600\"",
       "\"\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\""},
      {std::u16string(1, char16_t(0xD800)) + u"x", std::u16string(u"\"") + char16_t(0xD800) + u"x\"",
       "\"\xEF\xBF\xBDx\""},  // unpaired surrogate: kept wide, U+FFFD in UTF-8
      {std::u16string(u"a\0b", 3), u"\"a\\u0000b\"", "\"a\""},
  };
  for (const Case& c : cases) {
    ValueRef s = Str(c.text);
    EXPECT_EQ(Compact(*s), c.wide);
    EXPECT_EQ(CompactA(*s), c.narrow);
  }
}

TEST(WriterStrings, LongTextsWithManyEscapes) {
  // Longer than one escaping slice, with escapes on both sides of its borders.
  std::u16string text;
  for (int i = 0; i < 5000; ++i)
    text += (i % 3 == 0) ? std::u16string(u"\"\U0001F600") : std::u16string(u"a\\", 2);
  text += std::u16string(u"z\0tail", 6);
  text.push_back(u'\\');
  ValueRef s = Str(text);
  std::u16string expectedWide = u"\"";
  std::string expectedNarrow = "\"";
  bool cut = false;
  for (char16_t u : text) {
    if (u == u'"') expectedWide += u"\\\"";
    else if (u == 0) expectedWide += u"\\u0000";
    else if (u == u'\\') expectedWide += u"\\\\";
    else expectedWide += u;
  }
  for (size_t i = 0; i < text.size() && !cut; ++i) {
    if (text[i] == 0) cut = true;
    else if (text[i] == u'"') expectedNarrow += "\\\"";
    else if (text[i] == u'\\') expectedNarrow += "\\\\";
    else if (text[i] == 0xD83D) expectedNarrow += "\xF0\x9F\x98\x80", ++i;
    else expectedNarrow += static_cast<char>(text[i]);
  }
  expectedWide += u"\"";
  expectedNarrow += "\"";
  EXPECT_TRUE(Compact(*s) == expectedWide);
  EXPECT_TRUE(CompactA(*s) == expectedNarrow);
}

TEST(WriterScalars, NumbersIntegersLiterals) {
  ObjectRef object = ObjectRef::Adopt(VSJObject::Create());
  object->SetInteger(u"a", 1);
  object->Set(u"b", ValueRef::Adopt(VSJNumber::Create(1.5)).get());
  EXPECT_EQ(Compact(*object), u"{\"a\":1,\"b\":1.50}");
  EXPECT_EQ(CompactA(*object), "{\"a\":1,\"b\":1.50}");
  EXPECT_EQ(PrettyA(*object), "{\n  \"a\":1,\n  \"b\":1.50\n}");

  ArrayRef list = ArrayRef::Adopt(VSJArray::Create());
  list->AppendAdopted(VSJTrue::Create());
  list->AppendAdopted(VSJFalse::Create());
  list->AppendAdopted(VSJNull::Create());
  list->AppendAdopted(VSJNumber::Create(2.0));
  list->AppendAdopted(VSJInteger::Create(-9));
  EXPECT_EQ(CompactA(*list), "[true,false,null,2.0,-9]");
}

TEST(WriterScalars, NonFiniteNumbersStayReadable) {
  ArrayRef list = ArrayRef::Adopt(VSJArray::Create());
  list->AppendAdopted(VSJNumber::Create(std::numeric_limits<double>::infinity()));
  list->AppendAdopted(VSJNumber::Create(-std::numeric_limits<double>::infinity()));
  list->AppendAdopted(VSJNumber::Create(std::numeric_limits<double>::quiet_NaN()));
  EXPECT_EQ(CompactA(*list), "[1e999,-1e999,null]");
  ValueRef back = Parse(Compact(*list).c_str());
  ASSERT_TRUE(back);
  EXPECT_EQ(CompactA(*back), "[1e999,-1e999,null]");
}

TEST(WriterLayout, PrettyIndentsTwoSpacesPerLevelWithoutFinalNewline) {
  ValueRef tree = Parse(u"{\"a\":{\"b\":[1,{}],\"c\":[]},\"d\":\"x\"}");
  ASSERT_TRUE(tree);
  EXPECT_EQ(PrettyA(*tree),
            "{\n"
            "  \"a\":{\n"
            "    \"b\":[\n"
            "      1,\n"
            "      {\n"
            "        \n"
            "      }\n"
            "    ],\n"
            "    \"c\":[\n"
            "      \n"
            "    ]\n"
            "  },\n"
            "  \"d\":\"x\"\n"
            "}");
  std::u16string wide;
  tree->WriteJSON(wide, true, 0, u"\r\n");
  EXPECT_EQ(wide.substr(0, 12), u"{\r\n  \"a\":{\r\n");
  EXPECT_EQ(wide.substr(wide.size() - 3), u"\r\n}");
}

TEST(WriterLayout, EmptyContainers) {
  ValueRef object = ValueRef::Adopt(VSJObject::Create());
  ValueRef array = ValueRef::Adopt(VSJArray::Create());
  EXPECT_EQ(CompactA(*object), "{}");
  EXPECT_EQ(PrettyA(*object), "{\n  \n}");
  EXPECT_EQ(CompactA(*array), "[]");
  EXPECT_EQ(PrettyA(*array), "[\n  \n]");
}

TEST(WriterLayout, LevelAndAppending) {
  ValueRef tree = Parse(u"[1]");
  std::string out = "prefix:";
  tree->WriteJSONA(out, true, 2, "\n");
  EXPECT_EQ(out, "prefix:[\n      1\n    ]");
}

TEST(WriterLayout, EmptyHoldersSkippedInObjectsSeparatedInArrays) {
  ObjectRef object = ObjectRef::Adopt(VSJObject::Create());
  object->Set(u"first", nullptr);
  object->SetInteger(u"a", 1);
  object->Set(u"mid", nullptr);
  object->SetInteger(u"b", 2);
  object->Set(u"last", nullptr);
  EXPECT_EQ(CompactA(*object), "{\"a\":1,\"b\":2}");

  ArrayRef array = ArrayRef::Adopt(VSJArray::Create());
  array->Append(nullptr);
  array->AppendAdopted(VSJInteger::Create(1));
  array->Append(nullptr);
  EXPECT_EQ(CompactA(*array), "[,1,]");
  EXPECT_EQ(PrettyA(*array), "[\n  ,\n  1,\n  \n]");
}

TEST(WriterKeys, EscapedAndConvertedToUtf8) {
  ObjectRef object = ObjectRef::Adopt(VSJObject::Create());
  object->SetInteger(u"q\"\\\t\u00e9", 1);
  EXPECT_EQ(Compact(*object), u"{\"q\\\"\\\\\\t\u00e9\":1}");
  EXPECT_EQ(CompactA(*object), "{\"q\\\"\\\\\\t\xC3\xA9\":1}");
}
