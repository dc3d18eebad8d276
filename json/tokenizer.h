#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace VendraJSON {

enum class TokenKind : uint8_t {
  kEnd = 0,
  kReal = 1,
  kInteger = 2,
  kString = 3,
  kObjectOpen = 4,
  kObjectClose = 5,
  kArrayOpen = 6,
  kArrayClose = 7,
  kColon = 8,
  kComma = 9,
  kTrue = 11,
  kFalse = 12,
  kNull = 13,
  kSpace = 14,
};

struct Token {
  TokenKind kind = TokenKind::kEnd;
  bool hasEscape = false;  // a string token with a backslash in it
  bool ascii = true;       // a string token with only ASCII units in it
  size_t start = 0;        // index of the first unit
  size_t length = 0;
};

// Splits JSON text into tokens: wide text (Char = char16_t) or UTF-8 text
// (Char = char) read as the UTF-16 text it converts to, without converting
// it as a whole. Every token starts with an ASCII character, so a token's
// bounds are the same in both forms; positions given out in messages are
// always indexes in UTF-16 code units.
//
// Failures leave a message in Error() only for a character that starts no
// token (or a literal that does not match); a bad string token fails with
// no message.
template <typename Char>
class Tokenizer {
 public:
  Tokenizer(const Char* text, size_t length) : text_(text), length_(length) {}

  // The token at the current position, white space included.
  bool Next(Token& token);
  // The next token that is not white space; false at the end of the input.
  bool NextSignificant(Token& token);
  // The next token that is not white space, the end of the input included.
  bool NextOrEnd(Token& token);

  const std::u16string& Error() const { return error_; }
  std::basic_string_view<Char> TokenText(const Token& token) const {
    return {text_ + token.start, token.length};
  }
  // The UTF-16 code unit at index i of the text, and the UTF-16 index of i.
  char16_t Utf16UnitAt(size_t i) const;
  size_t Utf16Index(size_t i) const;

 private:
  bool StringToken(Token& token);
  bool Literal(Token& token, std::u16string_view word, TokenKind kind);
  bool RawCharacter(size_t position);
  void SkipSpace() {
    while (position_ < length_ && IsSpace(text_[position_])) ++position_;
  }
  static bool IsSpace(Char c) { return c == ' ' || c == '\n' || c == '\r' || c == '\t'; }

  const Char* text_;
  size_t length_;
  size_t position_ = 0;
  std::u16string error_;
};

extern template class Tokenizer<char>;
extern template class Tokenizer<char16_t>;

}  // namespace VendraJSON
