#include "json/tokenizer.h"

#include "common/text/format.h"
#include "common/text/utf.h"

namespace VendraJSON {
namespace {

bool IsNumberUnit(char16_t c) {
  return (c >= u'0' && c <= u'9') || c == u'-' || c == u'+' || c == u'.' || c == u'e' || c == u'E';
}

// The characters a backslash may escape inside a string.
bool IsEscapable(char16_t c) {
  switch (c) {
    case u' ': case u'"': case u'$': case u',': case u'/': case u'[': case u'\\': case u']':
    case u'b': case u'f': case u'n': case u'r': case u't': case u'u': case u'{': case u'}':
      return true;
    default:
      return false;
  }
}

}  // namespace

bool Tokenizer::RawCharacter(size_t position) {
  error_ = VendraText::Format(
      u"Unexpected raw character %c in JSON at position %d. Should this be part of a string?",
      text_[position], static_cast<int64_t>(position));
  return false;
}

bool Tokenizer::NextSignificant(Token& token) {
  SkipSpace();
  if (position_ == length_) return false;
  return Next(token);
}

bool Tokenizer::NextOrEnd(Token& token) {
  SkipSpace();
  return Next(token);
}

bool Tokenizer::Next(Token& token) {
  token.start = position_;
  token.hasEscape = false;
  if (position_ == length_) {
    token.kind = TokenKind::kEnd;
    token.length = 0;
    return true;
  }
  const char16_t c = text_[position_];
  TokenKind single;
  switch (c) {
    case u' ': case u'\t': case u'\n': case u'\r':
      SkipSpace();
      token.kind = TokenKind::kSpace;
      token.length = position_ - token.start;
      return true;
    case u'"':
      return StringToken(token);
    case u'-': case u'0': case u'1': case u'2': case u'3': case u'4':
    case u'5': case u'6': case u'7': case u'8': case u'9': {
      bool real = false;
      size_t i = position_;
      for (; i < length_ && IsNumberUnit(text_[i]); ++i)
        real |= text_[i] == u'.' || text_[i] == u'e' || text_[i] == u'E';
      token.kind = real ? TokenKind::kReal : TokenKind::kInteger;
      token.length = i - position_;
      position_ = i;
      return true;
    }
    case u'{': single = TokenKind::kObjectOpen; break;
    case u'}': single = TokenKind::kObjectClose; break;
    case u'[': single = TokenKind::kArrayOpen; break;
    case u']': single = TokenKind::kArrayClose; break;
    case u':': single = TokenKind::kColon; break;
    case u',': single = TokenKind::kComma; break;
    case u'f': case u'F':
      return Literal(token, u"false", TokenKind::kFalse);
    case u't': case u'T':
      return Literal(token, u"true", TokenKind::kTrue);
    case u'n': case u'N':
      return Literal(token, u"null", TokenKind::kNull);
    default:
      return RawCharacter(position_);
  }
  token.kind = single;
  token.length = 1;
  ++position_;
  return true;
}

bool Tokenizer::Literal(Token& token, std::u16string_view word, TokenKind kind) {
  if (position_ == length_) {
    error_ = u"Unexpected end of JSON";
    return false;
  }
  if (length_ - position_ < word.size() ||
      !VendraText::EqualsIgnoreAsciiCase(std::u16string_view(text_ + position_, word.size()), word))
    return RawCharacter(position_);
  token.kind = kind;
  token.length = word.size();
  position_ += word.size();
  return true;
}

bool Tokenizer::StringToken(Token& token) {
  size_t i = position_ + 1;
  while (i < length_) {
    const char16_t c = text_[i];
    if (c == u'"') {
      token.kind = TokenKind::kString;
      token.length = i + 1 - position_;
      position_ = i + 1;
      return true;
    }
    if (c == u'\\') {
      if (i + 1 >= length_ || !IsEscapable(text_[i + 1])) return false;
      token.hasEscape = true;
      i += 2;
      continue;
    }
    ++i;
  }
  return false;
}

}  // namespace VendraJSON
