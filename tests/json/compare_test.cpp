#include <gtest/gtest.h>

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

ValueRef Str(const char16_t* s) { return ValueRef::Adopt(VSJString::Create(s)); }
ValueRef Num(double d) { return ValueRef::Adopt(VSJNumber::Create(d)); }
ValueRef Int(int64_t i) { return ValueRef::Adopt(VSJInteger::Create(i)); }
ValueRef True() { return ValueRef::Adopt(VSJTrue::Create()); }
ValueRef False() { return ValueRef::Adopt(VSJFalse::Create()); }
ValueRef Null() { return ValueRef::Adopt(VSJNull::Create()); }
ValueRef Obj() { return ValueRef::Adopt(VSJObject::Create()); }
ValueRef Arr() { return ValueRef::Adopt(VSJArray::Create()); }

constexpr int kNotComparable = 99;

int CompareOf(const ValueRef& a, const ValueRef& b, int flags) {
  int result = kNotComparable;
  const bool ok = a->Compare(b.get(), flags, result);
  EXPECT_EQ(ok, result != kNotComparable);
  return result;
}

}  // namespace

TEST(Compare, Table) {
  struct Case {
    ValueRef a, b;
    int flags;
    int expected;  // kNotComparable: false, out untouched
  } cases[] = {
      // Strings: folded A-Z by default, exact with flag 2, other values by their text.
      {Str(u"abc"), Str(u"ABC"), 0, 0},
      {Str(u"abc"), Str(u"ABC"), 2, 1},
      {Str(u"ABC"), Str(u"abd"), 0, -1},
      {Str(u"ab"), Str(u"abc"), 0, -1},
      {Str(u"\u00e9"), Str(u"\u00c9"), 0, 1},  // only A-Z fold
      {Str(u"1.50"), Num(1.5), 0, 0},
      {Str(u"1.50"), Num(1.5), 1, kNotComparable},
      {Str(u""), Null(), 0, 0},  // null has no text: empty
      {Str(u"true"), True(), 2, 0},
      // Numbers: strings read as numbers, integers as doubles.
      {Num(5.0), Int(5), 0, 0},
      {Num(5.0), Int(5), 1, kNotComparable},
      {Num(1.5), Str(u"  2abc"), 0, -1},
      {Num(0.0), Str(u"abc"), 0, 0},
      {Num(3.0), Num(2.0), 1, 1},
      {Num(3.0), True(), 0, kNotComparable},
      // Integers: numbers truncated toward zero, strings read as integers.
      {Int(5), Num(5.0), 0, 0},
      {Int(5), Num(5.0), 1, kNotComparable},
      {Int(5), Num(5.9), 0, 0},
      {Int(-5), Num(-5.9), 0, 0},
      {Int(12), Str(u"12abc"), 0, 0},
      {Int(12), Str(u"12"), 1, kNotComparable},
      {Int(INT64_MAX), Str(u"99999999999999999999"), 0, 0},
      {Int(1), Int(2), 1, -1},
      {Int(1), Null(), 0, kNotComparable},
      // Literals: flags ignored.
      {True(), True(), 1, 0},
      {True(), False(), 0, 1},
      {False(), True(), 0, -1},
      {False(), False(), 0, 0},
      {True(), Int(1), 0, kNotComparable},
      {Null(), Null(), 1, 0},
      {Null(), Int(0), 1, -1},
      // Containers compare with nothing.
      {Obj(), Obj(), 0, kNotComparable},
      {Arr(), Arr(), 0, kNotComparable},
  };
  int index = 0;
  for (const Case& c : cases) EXPECT_EQ(CompareOf(c.a, c.b, c.flags), c.expected) << "case " << index++;
}

TEST(Compare, NullOtherIsNotComparable) {
  int result = 3;
  for (const ValueRef& v : {Str(u"a"), Num(1), Int(1), True(), False(), Null()}) {
    EXPECT_FALSE(v->Compare(nullptr, 0, result));
    EXPECT_FALSE(v->Equals(nullptr));
    EXPECT_FALSE(v->EqualsLoose(nullptr));
  }
  EXPECT_EQ(result, 3);
}

TEST(Equals, StrictAndLooseTable) {
  struct Case {
    ValueRef a, b;
    bool equals, loose;
  } cases[] = {
      {Str(u"Hello"), Str(u"hELLO"), true, true},
      {Str(u"1.50"), Num(1.5), false, true},
      {Str(u"1.5"), Num(1.5), false, false},  // the number's text is 1.50
      {Str(u"TRUE"), True(), false, true},
      {Str(u""), Null(), false, true},
      {Num(2.0), Int(2), true, true},
      {Num(2.0), Str(u"2"), false, true},
      {Num(2.0), Str(u"2x"), false, true},
      {Num(2.5), Str(u"x"), false, false},
      {Int(2), Num(2.0), true, true},
      {Int(2), Num(2.5), false, false},
      {Int(7), Str(u" +7"), false, true},
      {Int(7), Str(u"7.9"), false, true},
      {Int(9007199254740993), Int(9007199254740992), true, true},  // equal as doubles
      {True(), True(), true, true},
      {True(), Str(u"true"), false, false},
      {False(), False(), true, true},
      {Null(), Null(), true, true},
      {Null(), False(), false, false},
      {Obj(), Obj(), false, false},
      {Arr(), Arr(), false, false},
  };
  int index = 0;
  for (const Case& c : cases) {
    EXPECT_EQ(c.a->Equals(c.b.get()), c.equals) << "case " << index;
    EXPECT_EQ(c.a->EqualsLoose(c.b.get()), c.loose) << "case " << index;
    ++index;
  }
}
