#include <gtest/gtest.h>

#include "json/array.h"
#include "json/integer.h"
#include "json/literals.h"
#include "json/number.h"
#include "json/object.h"
#include "json/string_value.h"
#include "json/value_container.h"
#include "json_test_util.h"

using namespace VendraJSON;
using namespace VendraJSONTest;

TEST(TypeNames, NamesOfEveryCodeAndNoneOutside) {
  const char* narrow[] = {"null", "object", "string", "number", "array", "true", "false", "integer"};
  const char16_t* wide[] = {u"null", u"object", u"string", u"number",
                            u"array", u"true", u"false", u"integer"};
  for (int code = 0; code < 8; ++code) {
    EXPECT_STREQ(TypeNameA(code), narrow[code]);
    EXPECT_EQ(std::u16string(TypeName(code)), wide[code]);
  }
  EXPECT_EQ(TypeNameA(8), nullptr);
  EXPECT_EQ(TypeNameA(-1), nullptr);
  EXPECT_EQ(TypeName(8), nullptr);
}

TEST(TypeNames, EachClassReportsItsCode) {
  struct Case {
    VSJValue* value;
    int code;
  } cases[] = {
      {VSJNull::Create(), 0},       {VSJObject::Create(), 1}, {VSJString::Create(u"x"), 2},
      {VSJNumber::Create(1.5), 3},  {VSJArray::Create(), 4},  {VSJTrue::Create(), 5},
      {VSJFalse::Create(), 6},      {VSJInteger::Create(3), 7},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.value->GetType(), c.code);
    EXPECT_EQ(c.value->Kind(), c.code);
    EXPECT_STREQ(c.value->GetTypeNameA(), TypeNameA(c.code));
    EXPECT_EQ(c.value->GetTypeName(), TypeName(c.code));
    EXPECT_EQ(c.value->Release(), 0);
  }
}

TEST(RefCount, StartsAtOneAndCountsBothWays) {
  VSJInteger* value = VSJInteger::Create(7);
  EXPECT_EQ(value->RefCount(), 1);
  EXPECT_EQ(value->AddRef(), 2);
  EXPECT_EQ(value->AddRef(), 3);
  EXPECT_EQ(value->Release(), 2);
  EXPECT_EQ(value->Release(), 1);
  EXPECT_EQ(value->Release(), 0);
}

TEST(RefCount, HolderSharesItsValueAndReleasesItOnce) {
  VSJString* text = VSJString::Create(u"abc");
  VSJValueContainer* holder = VSJValueContainer::Create(text);
  EXPECT_EQ(text->RefCount(), 2);
  EXPECT_EQ(holder->GetType(), kTypeString);
  EXPECT_STREQ(holder->GetTypeNameA(), "string");

  VSJValue* got = nullptr;
  ASSERT_TRUE(holder->GetValue(&got));
  EXPECT_EQ(got, text);
  EXPECT_EQ(text->RefCount(), 3);
  got->Release();

  // Replacing the value releases the old one; the holder keeps the new one.
  VSJInteger* number = VSJInteger::Create(1);
  holder->SetValue(number);
  EXPECT_EQ(text->RefCount(), 1);
  EXPECT_EQ(number->RefCount(), 2);
  // Setting the same value again must not destroy it on the way.
  holder->SetValue(number);
  EXPECT_EQ(number->RefCount(), 2);
  number->Release();
  EXPECT_EQ(holder->Release(), 0);
  text->Release();
}

TEST(RefCount, EmptyHolderAnswersNothing) {
  VSJValueContainer* holder = VSJValueContainer::Create(nullptr);
  EXPECT_EQ(holder->GetType(), 0);
  EXPECT_EQ(holder->GetTypeNameA(), nullptr);
  EXPECT_EQ(holder->GetTypeName(), nullptr);
  VSJValue* out = reinterpret_cast<VSJValue*>(0x1);
  EXPECT_FALSE(holder->GetValue(&out));
  EXPECT_EQ(out, reinterpret_cast<VSJValue*>(0x1));
  EXPECT_FALSE(holder->Clone(&out));
  std::u16string text = u"keep";
  EXPECT_FALSE(holder->ToString(text));
  EXPECT_EQ(text, u"keep");
  int result = 9;
  EXPECT_FALSE(holder->Compare(nullptr, 0, result));
  EXPECT_EQ(result, 9);
  holder->Release();
}

TEST(Clone, ObjectCopiesInAscendingKeyOrderAndDeeply) {
  ObjectRef source = ObjectRef::Adopt(VSJObject::Create());
  source->SetInteger(u"b", 1);
  source->SetString(u"a", u"x");
  source->Set(u"empty", nullptr);
  ArrayRef list = ArrayRef::Adopt(VSJArray::Create());
  list->AppendAdopted(VSJInteger::Create(5));
  list->Append(nullptr);
  source->Set(u"B", list.get());

  ValueRef copy;
  ASSERT_TRUE(source->Clone(copy.Receive()));
  ASSERT_EQ(copy->GetType(), kTypeObject);
  auto* object = static_cast<VSJObject*>(copy.get());
  ASSERT_EQ(object->Count(), 4u);
  // Code-unit order: 'B' (0x42) before 'a' (0x61).
  EXPECT_EQ(object->KeyAt(0), u"B");
  EXPECT_EQ(object->KeyAt(1), u"a");
  EXPECT_EQ(object->KeyAt(2), u"b");
  EXPECT_EQ(object->KeyAt(3), u"empty");
  EXPECT_TRUE(object->Has(u"empty"));
  EXPECT_EQ(object->HolderAt(3)->Value(), nullptr);

  // The copy owns new values: changing the source leaves it alone.
  VSJArray* copiedList = nullptr;
  ASSERT_TRUE(object->GetArray(u"B", &copiedList));
  EXPECT_NE(copiedList, list.get());
  EXPECT_EQ(Compact(*copiedList), u"[5,]");
  copiedList->Release();
  list->AppendAdopted(VSJInteger::Create(6));
  EXPECT_EQ(Compact(*object), u"{\"B\":[5,],\"a\":\"x\",\"b\":1}");
  EXPECT_EQ(copy->RefCount(), 1);
}

TEST(Clone, ScalarsCopyTheirContent) {
  for (VSJValue* value : std::initializer_list<VSJValue*>{
           VSJString::Create(std::u16string(u"a\0b", 3)), VSJNumber::Create(-2.5),
           VSJInteger::Create(INT64_MIN), VSJTrue::Create(), VSJFalse::Create(), VSJNull::Create()}) {
    VSJValue* copy = nullptr;
    ASSERT_TRUE(value->Clone(&copy));
    EXPECT_NE(copy, value);
    EXPECT_EQ(copy->GetType(), value->GetType());
    EXPECT_EQ(copy->RefCount(), 1);
    EXPECT_EQ(Compact(*copy), Compact(*value));
    copy->Release();
    value->Release();
  }
}

TEST(TextForm, EachClass) {
  struct Case {
    VSJValue* value;
    bool ok;
    std::u16string wide;
    std::string narrow;
  } cases[] = {
      {VSJString::Create(u"h\u00e9"), true, u"h\u00e9", "h\xC3\xA9"},
      {VSJNumber::Create(1.5), true, u"1.50", "1.50"},
      {VSJNumber::Create(2.0), true, u"2.0", "2.0"},
      {VSJNumber::Create(-0.25), true, u"-0.250", "-0.250"},
      {VSJInteger::Create(-3), true, u"-3", "-3"},
      {VSJTrue::Create(), true, u"true", "true"},
      {VSJFalse::Create(), true, u"false", "false"},
      {VSJNull::Create(), false, u"old", "old"},
  };
  for (const Case& c : cases) {
    std::u16string wide = u"old";
    std::string narrow = "old";
    EXPECT_EQ(c.value->ToString(wide), c.ok);
    EXPECT_EQ(c.value->ToStringA(narrow), c.ok);
    EXPECT_EQ(wide, c.wide);
    EXPECT_EQ(narrow, c.narrow);
    c.value->Release();
  }
}

TEST(TextForm, StringNarrowFormEndsAtCodeUnitZero) {
  VSJString* s = VSJString::Create(std::u16string(u"ab\0cd", 5));
  std::u16string wide;
  std::string narrow;
  s->ToString(wide);
  s->ToStringA(narrow);
  EXPECT_EQ(wide, std::u16string(u"ab\0cd", 5));
  EXPECT_EQ(narrow, "ab");
  s->Release();
}

TEST(TextForm, ContainersAppendWideAndReplaceNarrow) {
  ObjectRef object = ObjectRef::Adopt(VSJObject::Create());
  object->SetInteger(u"a", 1);
  object->SetString(u"t", std::u16string_view(u"x\0y", 3));
  std::u16string wide = u"x";
  EXPECT_TRUE(object->ToString(wide));
  EXPECT_EQ(wide, u"x{\"a\":1,\"t\":\"x\\u0000y\"}");
  std::string narrow = "junk";
  EXPECT_TRUE(object->ToStringA(narrow));
  // The narrow form is the wide compact text converted, escape included.
  EXPECT_EQ(narrow, "{\"a\":1,\"t\":\"x\\u0000y\"}");

  ArrayRef array = ArrayRef::Adopt(VSJArray::Create());
  array->AppendAdopted(VSJTrue::Create());
  std::u16string bracket(1, u'[');
  EXPECT_TRUE(array->ToString(bracket));
  EXPECT_EQ(bracket, u"[[true]");
}

TEST(Split, PiecesFollowTheSeparatorRules) {
  struct Case {
    std::u16string text;
    std::vector<std::u16string> pieces;
  } cases[] = {
      {u"a,b,c", {u"a", u"b", u"c"}},
      {u"a,,b", {u"a", u"", u"b"}},
      {u",a", {u"", u"a"}},
      {u"a,", {u"a"}},          // nothing after the last separator
      {u"a,,", {u"a", u""}},
      {u"abc", {u"abc"}},
      {u"", {}},
      {u",", {u""}},
  };
  for (const Case& c : cases) {
    VSJString* s = VSJString::Create(c.text);
    VSJArray* pieces = nullptr;
    ASSERT_TRUE(s->Split(u',', &pieces));
    ASSERT_EQ(pieces->Count(), c.pieces.size()) << Compact(*s).size();
    for (size_t i = 0; i < c.pieces.size(); ++i) {
      ASSERT_EQ(pieces->At(i)->GetType(), kTypeString);
      EXPECT_EQ(static_cast<VSJString*>(pieces->At(i)->Value())->Text(), c.pieces[i]);
    }
    EXPECT_EQ(pieces->RefCount(), 1);
    pieces->Release();
    s->Release();
  }
}

TEST(SetUTF8, ReplacesTextOrKeepsItWhenNothingComesOut) {
  VSJString* s = VSJString::Create(u"short");
  EXPECT_TRUE(s->SetUTF8("a much longer text \xE2\x82\xAC"));
  EXPECT_EQ(s->Text(), u"a much longer text \u20AC");
  EXPECT_TRUE(s->SetUTF8("ok"));
  EXPECT_EQ(s->Text(), u"ok");
  EXPECT_FALSE(s->SetUTF8(""));
  EXPECT_FALSE(s->SetUTF8(nullptr));
  EXPECT_EQ(s->Text(), u"ok");
  EXPECT_TRUE(s->SetUTF8("bad \xFF"));
  EXPECT_EQ(s->Text(), u"bad \uFFFD");
  s->Release();
}

TEST(Array, AppendCountsAndKeepsEmptyHolders) {
  ArrayRef array = ArrayRef::Adopt(VSJArray::Create());
  VSJInteger* one = VSJInteger::Create(1);
  EXPECT_EQ(array->Append(one), 1u);
  EXPECT_EQ(one->RefCount(), 2);
  one->Release();
  EXPECT_EQ(array->Append(nullptr), 2u);
  EXPECT_EQ(array->AppendAdopted(VSJString::Create(u"s")), 3u);
  std::vector<int> types;
  for (const VSJValueContainer* holder : *array) types.push_back(holder->GetType());
  EXPECT_EQ(types, (std::vector<int>{kTypeInteger, kTypeNull, kTypeString}));
  EXPECT_EQ(array->At(1)->Value(), nullptr);
}
