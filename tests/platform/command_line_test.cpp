#include "platform/command_line.h"

#include <gtest/gtest.h>

using VendraPlatform::SplitCommandLine;
using Args = std::vector<std::u16string>;

TEST(SplitCommandLine, FollowsTheWindowsQuotingRules) {
  struct Case {
    const char16_t* line;
    Args args;
  } cases[] = {
      {u"", {}},
      {u"   \t ", {}},
      {u"install tdy \"live\" \"1.2.3\" \"C:\\Games\\Tan dory\" \"C:\\Games\\Tan dory\\Tandory.exe\"",
       {u"install", u"tdy", u"live", u"1.2.3", u"C:\\Games\\Tan dory",
        u"C:\\Games\\Tan dory\\Tandory.exe"}},
      {u"a\\\\b \"c\\\\\" d", {u"a\\\\b", u"c\\", u"d"}},
      {u"\"a\\\"b\"", {u"a\"b"}},
      {u"\\\\\\\"x", {u"\\\"x"}},
      {u"\"a\"\"b\"", {u"a\"b"}},
      {u"a\"b c\"d e", {u"ab cd", u"e"}},
      {u"\"\"", {u""}},
      {u"\"unterminated arg", {u"unterminated arg"}},
  };
  for (const auto& c : cases) EXPECT_EQ(SplitCommandLine(c.line), c.args) << c.args.size();
}
