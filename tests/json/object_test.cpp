#include <gtest/gtest.h>

#include <cmath>

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

namespace {

std::vector<std::u16string> Keys(const VSJObject& object) {
  std::vector<std::u16string> keys;
  for (size_t i = 0; i < object.Count(); ++i) keys.emplace_back(object.KeyAt(i));
  return keys;
}

}  // namespace

TEST(ObjectStorage, RepeatedKeyKeepsFirstPlaceAndTakesNewValue) {
  ObjectRef object = ObjectRef::Adopt(VSJObject::Create());
  object->SetInteger(u"b", 1);
  object->SetInteger(u"a", 2);
  object->SetInteger(u"b", 3);
  EXPECT_EQ(Keys(*object), (std::vector<std::u16string>{u"b", u"a"}));
  int64_t b = 0;
  ASSERT_TRUE(object->GetInteger(u"b", b));
  EXPECT_EQ(b, 3);
  EXPECT_EQ(Compact(*object), u"{\"b\":3,\"a\":2}");
}

TEST(ObjectStorage, KeysAreExactAndCaseSensitive) {
  ObjectRef object = ObjectRef::Adopt(VSJObject::Create());
  object->SetInteger(u"Key", 1);
  object->SetInteger(u"key", 2);
  object->SetInteger(u"", 3);
  EXPECT_EQ(object->Count(), 3u);
  int64_t v = 0;
  EXPECT_TRUE(object->GetInteger(u"key", v));
  EXPECT_EQ(v, 2);
  EXPECT_TRUE(object->GetInteger(u"", v));
  EXPECT_EQ(v, 3);
  EXPECT_FALSE(object->Has(u"KEY"));
  // A key ends at its first code unit 0.
  object->SetInteger(std::u16string_view(u"key\0tail", 8), 4);
  EXPECT_EQ(object->Count(), 3u);
  EXPECT_TRUE(object->GetInteger(u"key", v));
  EXPECT_EQ(v, 4);
}

TEST(ObjectStorage, ManyMembersStayFindableAndOrdered) {
  ObjectRef object = ObjectRef::Adopt(VSJObject::Create());
  constexpr int kCount = 3000;
  for (int i = kCount - 1; i >= 0; --i) {
    const std::string narrow = "k" + std::to_string(i);
    object->SetInteger(std::u16string(narrow.begin(), narrow.end()), i);
  }
  // Replace every third member; order and count stay.
  for (int i = 0; i < kCount; i += 3) {
    const std::string narrow = "k" + std::to_string(i);
    object->SetInteger(std::u16string(narrow.begin(), narrow.end()), -i);
  }
  ASSERT_EQ(object->Count(), static_cast<size_t>(kCount));
  EXPECT_EQ(object->KeyAt(0), u"k2999");
  EXPECT_EQ(object->KeyAt(kCount - 1), u"k0");
  for (int i = 0; i < kCount; ++i) {
    const std::string narrow = "k" + std::to_string(i);
    int64_t v = 0;
    ASSERT_TRUE(object->GetInteger(std::u16string(narrow.begin(), narrow.end()), v)) << i;
    EXPECT_EQ(v, i % 3 == 0 ? -i : i);
  }
  EXPECT_FALSE(object->Has(u"k3000"));
}

TEST(ObjectStorage, NullValueMakesAnEmptyHolder) {
  ObjectRef object = ObjectRef::Adopt(VSJObject::Create());
  object->SetInteger(u"a", 1);
  object->Set(u"gone", nullptr);
  object->SetInteger(u"z", 2);
  EXPECT_TRUE(object->Has(u"gone"));
  VSJValue* out = nullptr;
  EXPECT_FALSE(object->Get(u"gone", &out));
  EXPECT_EQ(object->FindHolder(u"gone")->GetType(), 0);
  EXPECT_EQ(Compact(*object), u"{\"a\":1,\"z\":2}");
  EXPECT_EQ(PrettyA(*object), "{\n  \"a\":1,\n  \"z\":2\n}");
}

TEST(ObjectStorage, StoringSharesAndDestroyingReleases) {
  VSJString* text = VSJString::Create(u"v");
  {
    ObjectRef object = ObjectRef::Adopt(VSJObject::Create());
    object->Set(u"a", text);
    object->Set(u"b", text);
    EXPECT_EQ(text->RefCount(), 3);
    VSJValue* got = nullptr;
    ASSERT_TRUE(object->Get(u"a", &got));
    EXPECT_EQ(text->RefCount(), 4);
    got->Release();
  }
  EXPECT_EQ(text->RefCount(), 1);
  text->Release();
}

TEST(TypedSetters, StringsNullsAndIntegers) {
  ObjectRef object = ObjectRef::Adopt(VSJObject::Create());
  object->SetString(u"w", u"wide");
  object->SetString(u"wn", static_cast<const char16_t*>(nullptr));
  object->SetStringA(u"n", "caf\xC3\xA9");
  object->SetStringA(u"nn", static_cast<const char*>(nullptr));
  object->SetInteger(u"i", INT64_MIN);
  EXPECT_EQ(object->FindHolder(u"wn")->GetType(), kTypeNull);
  EXPECT_EQ(object->FindHolder(u"nn")->GetType(), kTypeNull);
  std::u16string s;
  ASSERT_TRUE(object->GetString(u"n", s));
  EXPECT_EQ(s, u"caf\u00e9");
  EXPECT_EQ(Compact(*object),
            u"{\"w\":\"wide\",\"wn\":null,\"n\":\"caf\u00e9\",\"nn\":null,"
            u"\"i\":-9223372036854775808}");
}

TEST(TypedGetters, GetStringGivesTextFormOfEveryType) {
  ValueRef parsed = Parse(
      u"{\"s\":\"12\",\"n\":1.5,\"i\":-3,\"t\":true,\"f\":false,\"z\":null,\"o\":{\"a\":1},\"l\":[1,2]}");
  ASSERT_TRUE(parsed);
  auto* o = static_cast<VSJObject*>(parsed.get());
  struct Case {
    const char16_t* key;
    bool ok;
    std::u16string text;
  } cases[] = {
      {u"s", true, u"12"},    {u"n", true, u"1.50"},        {u"i", true, u"-3"},
      {u"t", true, u"true"},  {u"f", true, u"false"},       {u"z", false, u"before"},
      {u"missing", false, u"before"},
      // Objects and arrays append their text to what the string holds.
      {u"o", true, u"before{\"a\":1}"}, {u"l", true, u"before[1,2]"},
  };
  for (const Case& c : cases) {
    std::u16string text = u"before";
    EXPECT_EQ(o->GetString(c.key, text), c.ok) << std::string(c.key, c.key + 1);
    EXPECT_EQ(text, c.text);
    std::string narrow = "before";
    EXPECT_EQ(o->GetStringA(c.key, narrow), c.ok);
  }
}

TEST(TypedGetters, IntegersAndUnsigned) {
  ValueRef parsed = Parse(
      u"{\"i\":-1,\"n\":-2.9,\"big\":9.9e30,\"s\":\"12\",\"t\":true,\"h\":4294967297,\"f\":3.99}");
  ASSERT_TRUE(parsed);
  auto* o = static_cast<VSJObject*>(parsed.get());
  int64_t i = 77;
  EXPECT_TRUE(o->GetInteger(u"i", i));
  EXPECT_EQ(i, -1);
  EXPECT_TRUE(o->GetInteger(u"n", i));
  EXPECT_EQ(i, -2);  // toward zero
  EXPECT_TRUE(o->GetInteger(u"big", i));
  EXPECT_EQ(i, INT64_MAX);  // saturates
  i = 77;
  EXPECT_FALSE(o->GetInteger(u"s", i));
  EXPECT_FALSE(o->GetInteger(u"t", i));
  EXPECT_FALSE(o->GetInteger(u"missing", i));
  EXPECT_EQ(i, 77);

  uint32_t u = 5;
  EXPECT_TRUE(o->GetUInt(u"i", u));
  EXPECT_EQ(u, 4294967295u);
  EXPECT_TRUE(o->GetUInt(u"h", u));
  EXPECT_EQ(u, 1u);  // low 32 bits
  EXPECT_TRUE(o->GetUInt(u"f", u));
  EXPECT_EQ(u, 3u);
  u = 5;
  EXPECT_FALSE(o->GetUInt(u"s", u));
  EXPECT_EQ(u, 5u);
}

TEST(TypedGetters, ObjectsAndArraysHandOutAReference) {
  ValueRef parsed = Parse(u"{\"o\":{},\"a\":[],\"s\":\"x\"}");
  ASSERT_TRUE(parsed);
  auto* o = static_cast<VSJObject*>(parsed.get());
  VSJObject* inner = nullptr;
  ASSERT_TRUE(o->GetObject(u"o", &inner));
  EXPECT_EQ(inner->RefCount(), 2);
  inner->Release();
  VSJArray* list = nullptr;
  ASSERT_TRUE(o->GetArray(u"a", &list));
  EXPECT_EQ(list->RefCount(), 2);
  list->Release();
  EXPECT_FALSE(o->GetObject(u"a", &inner));
  EXPECT_FALSE(o->GetArray(u"o", &list));
  EXPECT_FALSE(o->GetObject(u"s", &inner));
  EXPECT_FALSE(o->GetArray(u"missing", &list));
}
