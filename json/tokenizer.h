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
  size_t start = 0;        // index of the first code unit
  size_t length = 0;
};

// Splits wide JSON text into tokens. Positions are indexes in code units.
// Failures leave a message in Error() only for a character that starts no
// token (or a literal that does not match); a bad string token fails with
// no message.
class Tokenizer {
 public:
  Tokenizer(const char16_t* text, size_t length) : text_(text), length_(length) {}

  // The token at the current position, white space included.
  bool Next(Token& token);
  // The next token that is not white space; false at the end of the input.
  bool NextSignificant(Token& token);
  // The next token that is not white space, the end of the input included.
  bool NextOrEnd(Token& token);

  const std::u16string& Error() const { return error_; }
  std::u16string_view TokenText(const Token& token) const {
    return {text_ + token.start, token.length};
  }
  char16_t UnitAt(size_t i) const { return text_[i]; }

 private:
  bool StringToken(Token& token);
  bool Literal(Token& token, std::u16string_view word, TokenKind kind);
  bool RawCharacter(size_t position);
  void SkipSpace() {
    while (position_ < length_ && IsSpace(text_[position_])) ++position_;
  }
  static bool IsSpace(char16_t c) { return c == u' ' || c == u'\n' || c == u'\r' || c == u'\t'; }

  const char16_t* text_;
  size_t length_;
  size_t position_ = 0;
  std::u16string error_;
};

}  // namespace VendraJSON
