#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <cstring>
#include <string_view>
#include <type_traits>

#include "common/text/format.h"
#include "common/text/utf.h"

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

// Implementation, in the header so that the parser can inline it.

namespace TokenizerDetail {

template <typename Char>
inline unsigned Unit(Char c) {
  return static_cast<std::make_unsigned_t<Char>>(c);
}

inline bool IsNumberUnit(unsigned c) {
  return (c >= '0' && c <= '9') || c == '-' || c == '+' || c == '.' || c == 'e' || c == 'E';
}

// Whether any unit of the next eight bytes is '"' or '\\', and whether any
// is outside ASCII, tested on all of them at once.
template <typename Char>
inline bool PlainBlock(const Char* units, bool& ascii) {
  constexpr uint64_t kOnes = sizeof(Char) == 1 ? 0x0101010101010101ull : 0x0001000100010001ull;
  constexpr uint64_t kHighs = kOnes << (8 * sizeof(Char) - 1);
  constexpr uint64_t kNonAscii = sizeof(Char) == 1 ? 0x8080808080808080ull : 0xFF80FF80FF80FF80ull;
  uint64_t block;
  std::memcpy(&block, units, sizeof block);
  const uint64_t quote = block ^ (kOnes * '"');
  const uint64_t backslash = block ^ (kOnes * '\\');
  if ((((quote - kOnes) & ~quote) | ((backslash - kOnes) & ~backslash)) & kHighs) return false;
  if (block & kNonAscii) ascii = false;
  return true;
}

// The characters a backslash may escape inside a string.
inline bool IsEscapable(unsigned c) {
  switch (c) {
    case ' ': case '"': case '$': case ',': case '/': case '[': case '\\': case ']':
    case 'b': case 'f': case 'n': case 'r': case 't': case 'u': case '{': case '}':
      return true;
    default:
      return false;
  }
}

}  // namespace TokenizerDetail

// The UTF-8 forms convert as they go; they serve messages only.
template <typename Char>
char16_t Tokenizer<Char>::Utf16UnitAt(size_t i) const {
  if constexpr (sizeof(Char) == 2) {
    return text_[i];
  } else {
    const size_t n = length_ - i < 4 ? length_ - i : 4;
    return VendraText::Utf8ToUtf16(std::string_view(text_ + i, n))[0];
  }
}

template <typename Char>
size_t Tokenizer<Char>::Utf16Index(size_t i) const {
  if constexpr (sizeof(Char) == 2) {
    return i;
  } else {
    return VendraText::Utf8ToUtf16(std::string_view(text_, i)).size();
  }
}

template <typename Char>
bool Tokenizer<Char>::RawCharacter(size_t position) {
  error_ = VendraText::Format(
      u"Unexpected raw character %c in JSON at position %d. Should this be part of a string?",
      Utf16UnitAt(position), static_cast<int64_t>(Utf16Index(position)));
  return false;
}

template <typename Char>
bool Tokenizer<Char>::NextSignificant(Token& token) {
  SkipSpace();
  if (position_ == length_) return false;
  return Next(token);
}

template <typename Char>
bool Tokenizer<Char>::NextOrEnd(Token& token) {
  SkipSpace();
  return Next(token);
}

template <typename Char>
bool Tokenizer<Char>::Next(Token& token) {
  token.start = position_;
  token.hasEscape = false;
  token.ascii = true;
  if (position_ == length_) {
    token.kind = TokenKind::kEnd;
    token.length = 0;
    return true;
  }
  const unsigned c = TokenizerDetail::Unit(text_[position_]);
  TokenKind single;
  switch (c) {
    case ' ': case '\t': case '\n': case '\r':
      SkipSpace();
      token.kind = TokenKind::kSpace;
      token.length = position_ - token.start;
      return true;
    case '"':
      return StringToken(token);
    case '-': case '0': case '1': case '2': case '3': case '4':
    case '5': case '6': case '7': case '8': case '9': {
      bool real = false;
      size_t i = position_;
      for (; i < length_ && TokenizerDetail::IsNumberUnit(TokenizerDetail::Unit(text_[i])); ++i)
        real |= text_[i] == '.' || text_[i] == 'e' || text_[i] == 'E';
      token.kind = real ? TokenKind::kReal : TokenKind::kInteger;
      token.length = i - position_;
      position_ = i;
      return true;
    }
    case '{': single = TokenKind::kObjectOpen; break;
    case '}': single = TokenKind::kObjectClose; break;
    case '[': single = TokenKind::kArrayOpen; break;
    case ']': single = TokenKind::kArrayClose; break;
    case ':': single = TokenKind::kColon; break;
    case ',': single = TokenKind::kComma; break;
    case 'f': case 'F':
      return Literal(token, u"false", TokenKind::kFalse);
    case 't': case 'T':
      return Literal(token, u"true", TokenKind::kTrue);
    case 'n': case 'N':
      return Literal(token, u"null", TokenKind::kNull);
    default:
      return RawCharacter(position_);
  }
  token.kind = single;
  token.length = 1;
  ++position_;
  return true;
}

template <typename Char>
bool Tokenizer<Char>::Literal(Token& token, std::u16string_view word, TokenKind kind) {
  if (position_ == length_) {
    error_ = u"Unexpected end of JSON";
    return false;
  }
  // The word is ASCII: wherever fewer units remain in UTF-8 than in UTF-16,
  // the comparison fails all the same.
  if (length_ - position_ < word.size()) return RawCharacter(position_);
  for (size_t i = 0; i < word.size(); ++i) {
    const unsigned u = TokenizerDetail::Unit(text_[position_ + i]);
    if (VendraText::AsciiLower(static_cast<char16_t>(u < 0x80 ? u : 0xFFFF)) != word[i])
      return RawCharacter(position_);
  }
  token.kind = kind;
  token.length = word.size();
  position_ += word.size();
  return true;
}

template <typename Char>
bool Tokenizer<Char>::StringToken(Token& token) {
  constexpr size_t kBlock = 8 / sizeof(Char);
  size_t i = position_ + 1;
  while (i < length_) {
    while (i + kBlock <= length_ && TokenizerDetail::PlainBlock(text_ + i, token.ascii))
      i += kBlock;
    if (i == length_) break;
    const unsigned c = TokenizerDetail::Unit(text_[i]);
    if (c == '"') {
      token.kind = TokenKind::kString;
      token.length = i + 1 - position_;
      position_ = i + 1;
      return true;
    }
    if (c == '\\') {
      if (i + 1 >= length_) return false;
      if (!TokenizerDetail::IsEscapable(TokenizerDetail::Unit(text_[i + 1]))) return false;
      token.hasEscape = true;
      i += 2;
      continue;
    }
    if (c >= 0x80) token.ascii = false;
    ++i;
  }
  return false;
}

}  // namespace VendraJSON
