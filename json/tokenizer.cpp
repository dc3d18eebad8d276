#include "json/tokenizer.h"

#include <cstring>

#include "common/text/format.h"
#include "common/text/utf.h"

namespace VendraJSON {
namespace {

template <typename Char>
unsigned Unit(Char c) {
  return static_cast<std::make_unsigned_t<Char>>(c);
}

bool IsNumberUnit(unsigned c) {
  return (c >= '0' && c <= '9') || c == '-' || c == '+' || c == '.' || c == 'e' || c == 'E';
}

// Whether any unit of the next eight bytes is '"' or '\\', and whether any
// is outside ASCII, tested on all of them at once.
template <typename Char>
bool PlainBlock(const Char* units, bool& ascii) {
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
bool IsEscapable(unsigned c) {
  switch (c) {
    case ' ': case '"': case '$': case ',': case '/': case '[': case '\\': case ']':
    case 'b': case 'f': case 'n': case 'r': case 't': case 'u': case '{': case '}':
      return true;
    default:
      return false;
  }
}

}  // namespace

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
  const unsigned c = Unit(text_[position_]);
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
      for (; i < length_ && IsNumberUnit(Unit(text_[i])); ++i)
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
    const unsigned u = Unit(text_[position_ + i]);
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
    while (i + kBlock <= length_ && PlainBlock(text_ + i, token.ascii)) i += kBlock;
    if (i == length_) break;
    const unsigned c = Unit(text_[i]);
    if (c == '"') {
      token.kind = TokenKind::kString;
      token.length = i + 1 - position_;
      position_ = i + 1;
      return true;
    }
    if (c == '\\') {
      if (i + 1 >= length_ || !IsEscapable(Unit(text_[i + 1]))) return false;
      token.hasEscape = true;
      i += 2;
      continue;
    }
    if (c >= 0x80) token.ascii = false;
    ++i;
  }
  return false;
}

template class Tokenizer<char>;
template class Tokenizer<char16_t>;

}  // namespace VendraJSON
