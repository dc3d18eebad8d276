#include "common/text/terminal_text.h"

#include "common/text/utf.h"

namespace VendraText {
namespace {

constexpr char16_t kReplacement = 0xFFFD;

bool IsControl(char16_t c) { return c < 0x20 || (c >= 0x7F && c <= 0x9F); }

}  // namespace

std::u16string ShownOnTerminal(std::u16string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    const bool lineEnd = c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n';
    out.push_back(c == u'\t' || c == u'\n' || lineEnd || !IsControl(c) ? c : kReplacement);
  }
  return out;
}

std::string ShownOnTerminal(std::string_view utf8) {
  // Through UTF-16, so that C1 controls written as two UTF-8 bytes are caught
  // and broken sequences cannot hide one.
  return Utf16ToUtf8(ShownOnTerminal(Utf8ToUtf16(utf8)));
}

std::string ShownOnTerminalUtf8(std::u16string_view text) {
  return Utf16ToUtf8(ShownOnTerminal(text));
}

}  // namespace VendraText
