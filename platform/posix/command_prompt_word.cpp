#include "platform/command_line.h"

namespace VendraPlatform {
namespace {

// Characters no POSIX shell reads as anything but themselves, wherever they
// stand in a word.
bool Plain(char16_t c) {
  return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') ||
         c == u'+' || c == u',' || c == u'-' || c == u'.' || c == u'/' || c == u':' ||
         c == u'@' || c == u'_';
}

}  // namespace

std::u16string CommandPromptWord(std::u16string_view word) {
  bool plain = !word.empty();
  for (const char16_t c : word) plain = plain && Plain(c);
  if (plain) return std::u16string(word);
  // Within single quotes only the quote itself is special: it closes the
  // quotes, is written escaped, and they open again.
  std::u16string quoted = u"'";
  for (const char16_t c : word) {
    if (c == u'\'')
      quoted += u"'\\''";
    else
      quoted += c;
  }
  return quoted + u"'";
}

}  // namespace VendraPlatform
