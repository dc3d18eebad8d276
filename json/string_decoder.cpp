#include "json/string_decoder.h"

namespace VendraJSON {
namespace {

// Reads up to four hexadecimal digits, stopping at the first other unit.
char16_t ReadHex4(std::u16string_view digits) {
  unsigned value = 0;
  for (char16_t c : digits) {
    unsigned d;
    if (c >= u'0' && c <= u'9')
      d = c - u'0';
    else if (c >= u'a' && c <= u'f')
      d = c - u'a' + 10;
    else if (c >= u'A' && c <= u'F')
      d = c - u'A' + 10;
    else
      break;
    value = value * 16 + d;
  }
  return static_cast<char16_t>(value);
}

}  // namespace

bool DecodeStringToken(std::u16string_view token, std::u16string& out, std::u16string& error) {
  if (token.empty() || token[0] != u'"') {
    error = u"Invalid string quote type? JSON only allows '\"'";
    return false;
  }
  size_t i = 1;
  while (i < token.size()) {
    // Copy the run up to the next quotation mark or backslash in one go.
    size_t run = i;
    while (run < token.size() && token[run] != u'"' && token[run] != u'\\') ++run;
    out.append(token.data() + i, run - i);
    i = run;
    if (i == token.size()) break;
    if (token[i] == u'"') return true;
    if (i + 1 >= token.size()) break;
    const char16_t escaped = token[i + 1];
    i += 2;
    switch (escaped) {
      case u'b': out.push_back(u'\b'); break;
      case u'f': out.push_back(u'\f'); break;
      case u'n': out.push_back(u'\n'); break;
      case u'r': out.push_back(u'\r'); break;
      case u't': out.push_back(u'\t'); break;
      case u'"': case u'/': case u'\\': case u' ': case u'$':
      case u',': case u'[': case u']': case u'{': case u'}':
        out.push_back(escaped);
        break;
      case u'u':
        // The four units may reach the closing quotation mark, not beyond.
        if (i + 4 > token.size()) {
          error = u"Invalid escape sequence; unicode character requires 4 hexadecimal digits";
          return false;
        }
        out.push_back(ReadHex4(token.substr(i, 4)));
        i += 4;
        break;
      default:
        break;
    }
  }
  error = u"Invalid string, no terminating quote found before end of input";
  return false;
}

}  // namespace VendraJSON
