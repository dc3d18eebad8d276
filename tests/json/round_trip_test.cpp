#include <gtest/gtest.h>

#include <random>

#include "common/text/utf.h"
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

// Structural equality: same kinds, same text and numbers, same keys in the
// same order, same elements.
bool SameTree(const VSJValue* a, const VSJValue* b) {
  if (!a || !b) return a == b;
  if (a->Kind() != b->Kind()) return false;
  switch (a->Kind()) {
    case kTypeString:
      return static_cast<const VSJString*>(a)->Text() == static_cast<const VSJString*>(b)->Text();
    case kTypeNumber:
      return static_cast<const VSJNumber*>(a)->Value() == static_cast<const VSJNumber*>(b)->Value();
    case kTypeInteger:
      return static_cast<const VSJInteger*>(a)->Value() == static_cast<const VSJInteger*>(b)->Value();
    case kTypeObject: {
      auto* x = static_cast<const VSJObject*>(a);
      auto* y = static_cast<const VSJObject*>(b);
      if (x->Count() != y->Count()) return false;
      for (size_t i = 0; i < x->Count(); ++i)
        if (x->KeyAt(i) != y->KeyAt(i) || !SameTree(x->HolderAt(i)->Value(), y->HolderAt(i)->Value()))
          return false;
      return true;
    }
    case kTypeArray: {
      auto* x = static_cast<const VSJArray*>(a);
      auto* y = static_cast<const VSJArray*>(b);
      if (x->Count() != y->Count()) return false;
      for (size_t i = 0; i < x->Count(); ++i)
        if (!SameTree(x->At(i)->Value(), y->At(i)->Value())) return false;
      return true;
    }
    default:
      return true;
  }
}

// A random tree whose numbers have at most six decimals, so that their text
// reads back exactly.
class TreeMaker {
 public:
  explicit TreeMaker(unsigned seed) : random_(seed) {}

  VSJValue* Make(int depth) {
    const int kind = Pick(depth > 4 ? 5 : 7);
    switch (kind) {
      case 0: return VSJInteger::Create(static_cast<int64_t>(random_() >> 1) - (int64_t{1} << 62));
      case 1: return VSJNumber::Create(static_cast<double>(Pick(2000001) - 1000000) / 64.0);
      case 2: return VSJString::Create(Text());
      case 3: return Pick(2) ? static_cast<VSJValue*>(VSJTrue::Create()) : VSJFalse::Create();
      case 4: return VSJNull::Create();
      case 5: {
        VSJObject* object = VSJObject::Create();
        for (int i = Pick(6); i > 0; --i) object->SetAdopted(Text(), Make(depth + 1));
        return object;
      }
      default: {
        VSJArray* array = VSJArray::Create();
        for (int i = Pick(6); i > 0; --i) array->AppendAdopted(Make(depth + 1));
        return array;
      }
    }
  }

 private:
  int Pick(int n) { return static_cast<int>(random_() % static_cast<unsigned>(n)); }

  // Any code units but 0 (the UTF-8 writer ends text there) and lone
  // surrogates (UTF-8 cannot carry them), escapes and non-ASCII included.
  std::u16string Text() {
    static const char16_t kUnits[] = {u'a', u'Z', u'"', u'\\', u'/', u'\n', u'\t', u'\x01',
                                      u'\x7f', u' ', u'\u00e9', u'\u4e2d', u'{', u'}'};
    std::u16string text;
    for (int i = Pick(8); i > 0; --i) {
      if (Pick(10) == 0)
        text += u"\U0001F600";
      else
        text += kUnits[Pick(sizeof kUnits / sizeof kUnits[0])];
    }
    return text;
  }

  std::mt19937_64 random_;
};

}  // namespace

TEST(RoundTrip, CompactAndPrettyTextsParseToTheSameTree) {
  for (unsigned seed = 1; seed <= 300; ++seed) {
    TreeMaker maker(seed);
    ValueRef tree = ValueRef::Adopt(maker.Make(0));
    for (bool pretty : {false, true}) {
      std::u16string wide;
      tree->WriteJSON(wide, pretty, 0, u"\n");
      ValueRef fromWide = Parse(wide.c_str());
      ASSERT_TRUE(fromWide) << "seed " << seed;
      EXPECT_TRUE(SameTree(tree.get(), fromWide.get())) << "seed " << seed;

      std::string narrow;
      tree->WriteJSONA(narrow, pretty, 0, "\n");
      ValueRef fromNarrow;
      std::u16string error;
      ASSERT_TRUE(ParseValueA(narrow.c_str(), fromNarrow.Receive(), error)) << "seed " << seed;
      EXPECT_TRUE(SameTree(tree.get(), fromNarrow.get())) << "seed " << seed;
      EXPECT_EQ(VendraText::Utf8ToUtf16(narrow), wide);
    }
  }
}

TEST(RoundTrip, CloneIsTheSameTreeWithSortedKeys) {
  ValueRef tree = Parse(u"{\"z\":[1,{\"y\":2,\"x\":3}],\"a\":\"s\"}");
  ValueRef copy;
  ASSERT_TRUE(tree->Clone(copy.Receive()));
  EXPECT_EQ(Compact(*copy), u"{\"a\":\"s\",\"z\":[1,{\"x\":3,\"y\":2}]}");
}

TEST(RoundTrip, SurrogatePairFromTwoEscapesSurvivesBothWriters) {
  ValueRef value = Parse(u"\"\\uD83D\\uDE00\"");
  ASSERT_TRUE(value);
  EXPECT_EQ(static_cast<VSJString*>(value.get())->Text(), u"\U0001F600");
  EXPECT_EQ(CompactA(*value), "\"\xF0\x9F\x98\x80\"");
  EXPECT_EQ(Compact(*value), u"\"\U0001F600\"");
}

TEST(RoundTrip, EmbeddedZeroThroughBothWriters) {
  ValueRef value = Parse(u"{\"k\":\"a\\u0000b\"}");
  ASSERT_TRUE(value);
  const std::u16string wide = Compact(*value);
  EXPECT_EQ(wide, u"{\"k\":\"a\\u0000b\"}");
  EXPECT_TRUE(SameTree(value.get(), Parse(wide.c_str()).get()));
  EXPECT_EQ(CompactA(*value), "{\"k\":\"a\"}");
}
