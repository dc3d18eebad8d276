#include "common/text/terminal_text.h"

#include <gtest/gtest.h>

#include "common/text/utf.h"

using namespace VendraText;

// Texts from a service reply must reach the terminal inert: every way of
// starting an escape or control sequence is replaced, printable text and the
// two layout characters stay.
TEST(TerminalText, ControlsAreReplacedAndTextKept) {
  struct Case {
    std::u16string in;
    std::u16string out;
  } cases[] = {
      {u"plain text \u00e9\u4e2d\U0001F600", u"plain text \u00e9\u4e2d\U0001F600"},
      {u"a\tb\nc", u"a\tb\nc"},
      {u"line\r\nnext", u"line\r\nnext"},
      {u"\x1b]0;owned\a\x1b[2J", u"\uFFFD]0;owned\uFFFD\uFFFD[2J"},
      {u"over\rwrite", u"over\uFFFDwrite"},
      {u"back\bspace\x7f", u"back\uFFFDspace\uFFFD"},
      {u"\u009b2J c1 csi", u"\uFFFD2J c1 csi"},
      {std::u16string(u"nul\0end", 7), u"nul\uFFFDend"},
      {u"ends with cr\r", u"ends with cr\uFFFD"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ShownOnTerminal(c.in), c.out);
    EXPECT_EQ(ShownOnTerminal(Utf16ToUtf8(c.in)), Utf16ToUtf8(c.out));
    EXPECT_EQ(ShownOnTerminalUtf8(c.in), Utf16ToUtf8(c.out));
  }
}

TEST(TerminalText, NarrowC1AndBrokenSequencesCannotSlipThrough) {
  // U+009B written in UTF-8 is a one-character CSI for some terminals.
  EXPECT_EQ(ShownOnTerminal(std::string("x\xC2\x9b" "2Jy")), "x\xEF\xBF\xBD" "2Jy");
  // A lone lead byte before ESC must not swallow the replacement of ESC.
  EXPECT_EQ(ShownOnTerminal(std::string("\xC2\x1b[2J")), "\xEF\xBF\xBD\xEF\xBF\xBD[2J");
}
