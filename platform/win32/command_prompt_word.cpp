#include "platform/command_line.h"

namespace VendraPlatform {
namespace {

// Characters cmd and the program's own command-line rules both take as
// themselves (a comma or a semicolon would separate words in cmd).
bool Plain(char16_t c) {
  return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') ||
         c == u'+' || c == u'-' || c == u'.' || c == u'/' || c == u':' || c == u'@' ||
         c == u'_' || c == u'\\';
}

}  // namespace

std::u16string CommandPromptWord(std::u16string_view word) {
  bool plain = !word.empty();
  for (const char16_t c : word) plain = plain && Plain(c);
  return plain ? std::u16string(word) : QuoteCommandLineArgument(word);
}

}  // namespace VendraPlatform
