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

// Whatever an argument holds (quotes, trailing backslashes, blanks, nothing),
// its quoted form is split back into exactly that argument, also next to
// others on one line; a plain path keeps the familiar "path" form.
TEST(QuoteCommandLineArgument, EveryArgumentComesBackWhole) {
  using VendraPlatform::QuoteCommandLineArgument;
  const std::u16string args[] = {
      u"",          u"plain",       u"with blank",      u"a \"b\" c\\",   u"x\" \"--evil",
      u"\\",        u"\\\\",        u"ends\\\\\\",      u"\\\"",          u"\"\"",
      u"C:\\Games\\Tan dory\\",     u"/opt/a \"b\" c\\/Tandory.exe",     u"tab\there",
      u"inst\\..\\..\\elsewhere",   u"p\\\" q",
  };
  std::u16string line;
  Args all;
  for (const std::u16string& arg : args) {
    EXPECT_EQ(SplitCommandLine(QuoteCommandLineArgument(arg)), Args{arg});
    line += QuoteCommandLineArgument(arg) + u" ";
    all.push_back(arg);
  }
  EXPECT_EQ(SplitCommandLine(line), all);
  EXPECT_EQ(QuoteCommandLineArgument(u"C:\\Games\\Tan dory"), u"\"C:\\Games\\Tan dory\"");
}
