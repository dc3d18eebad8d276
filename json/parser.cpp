#include "json/parser.h"

#include <cstring>
#include <string_view>
#include <vector>

#include "common/text/format.h"
#include "common/text/utf.h"
#include "json/array.h"
#include "json/integer.h"
#include "json/literals.h"
#include "json/number.h"
#include "json/number_text.h"
#include "json/object.h"
#include "json/string_decoder.h"
#include "json/string_value.h"
#include "json/tokenizer.h"

namespace VendraJSON {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// Appends the UTF-16 form of text to out.
void AppendUtf16(std::u16string& out, std::u16string_view text, bool) { out.append(text); }
void AppendUtf16(std::u16string& out, std::string_view text, bool ascii) {
  if (!ascii) {
    VendraText::AppendUtf8AsUtf16(out, text);
    return;
  }
  const size_t base = out.size();
  out.resize(base + text.size());
  for (size_t i = 0; i < text.size(); ++i) out[base + i] = static_cast<unsigned char>(text[i]);
}

VSJString* MakeString(std::u16string_view text, bool) { return VSJString::Create(text); }
VSJString* MakeString(std::string_view text, bool ascii) {
  return ascii ? VSJString::CreateAscii(text) : VSJString::Create(VendraText::Utf8ToUtf16(text));
}

// Builds the tree in one pass over wide or UTF-8 text. The members and
// elements of the objects and arrays being parsed wait on shared stacks and
// each container is made once it is complete, with its storage sized
// exactly.
template <typename Char>
class Parser {
 public:
  Parser(const Char* text, size_t length, std::u16string& error)
      : tokens_(text, length), error_(error) {}

  ~Parser() {
    for (VSJValue* v : values_) v->Release();
  }

  // Steps of the top level: first token, value, then nothing but white space.
  bool Parse(VSJValue** out) {
    Token token;
    if (!tokens_.NextSignificant(token)) {
      error_ = tokens_.Error();
      if (error_.empty()) error_ = u"No initial non-whitespace token found.";
      return false;
    }
    VSJValue* value = nullptr;
    if (!MakeValue(token, value, 0)) return false;
    *out = value;
    if (!tokens_.NextOrEnd(token)) {
      error_ = tokens_.Error();
      if (error_.empty()) error_ = u"No terminating token found.";
      return false;
    }
    if (token.kind != TokenKind::kEnd) {
      error_ = u"Unexpected JSON terminator";
      return false;
    }
    return true;
  }

 private:
  using Text = std::basic_string_view<Char>;

  struct PendingKey {
    size_t offset;
    size_t length;
    bool escaped;  // only an escape can put a code unit 0 into a key
  };

  // Decodes a string token into out; the escapes are read on the UTF-16
  // form of the token, where their four-unit rule is defined.
  bool Decode(const Token& token, std::u16string& out) {
    const Text text = tokens_.TokenText(token);
    if (!token.hasEscape) {
      AppendUtf16(out, text.substr(1, text.size() - 2), token.ascii);
      return true;
    }
    if constexpr (sizeof(Char) == 2) {
      return DecodeStringToken(text, out, error_);
    } else {
      wideToken_.clear();
      AppendUtf16(wideToken_, text, token.ascii);
      return DecodeStringToken(wideToken_, out, error_);
    }
  }

  bool MakeValue(const Token& token, VSJValue*& out, unsigned depth) {
    switch (token.kind) {
      case TokenKind::kInteger:
        out = VSJInteger::Create(ReadInteger(tokens_.TokenText(token)));
        return true;
      case TokenKind::kReal:
        out = VSJNumber::Create(ReadDouble(tokens_.TokenText(token)));
        return true;
      case TokenKind::kString: {
        if (!token.hasEscape) {
          const Text text = tokens_.TokenText(token);
          out = MakeString(text.substr(1, text.size() - 2), token.ascii);
          return true;
        }
        scratch_.clear();
        if (!Decode(token, scratch_)) return false;
        out = VSJString::Create(scratch_);
        return true;
      }
      case TokenKind::kObjectOpen:
        return Deeper(token, depth) && ParseObject(out, depth + 1);
      case TokenKind::kArrayOpen:
        return Deeper(token, depth) && ParseArray(out, depth + 1);
      case TokenKind::kTrue:
        out = VSJTrue::Create();
        return true;
      case TokenKind::kFalse:
        out = VSJFalse::Create();
        return true;
      case TokenKind::kNull:
        out = VSJNull::Create();
        return true;
      default:
        error_ = u"Could not convert token to JSON value: ";
        AppendUtf16(error_, tokens_.TokenText(token), true);
        return false;
    }
  }

  bool Deeper(const Token& token, unsigned depth) {
    if (depth < kMaxNestingDepth) return true;
    error_ = VendraText::Format(u"JSON nested deeper than %u levels at position %d", kMaxNestingDepth,
                                static_cast<int64_t>(tokens_.Utf16Index(token.start)));
    return false;
  }

  // Integer tokens are nearly always plain digits; anything else takes the
  // general reading (sign, prefix rule, saturation).
  static int64_t ReadInteger(Text text) {
    if (text.size() <= 18) {
      size_t i = text[0] == '-' ? 1 : 0;
      if (i < text.size()) {
        int64_t value = 0;
        for (; i < text.size(); ++i) {
          const unsigned d = static_cast<unsigned>(text[i]) - '0';
          if (d > 9) break;
          value = value * 10 + d;
        }
        if (i == text.size()) return text[0] == '-' ? -value : value;
      }
    }
    return ReadInt64(text);
  }

  // The message about the token's first character, at its UTF-16 position.
  std::u16string Unexpected(const char16_t* format, const Token& token) const {
    return VendraText::Format(format, tokens_.Utf16UnitAt(token.start),
                              static_cast<int64_t>(tokens_.Utf16Index(token.start)));
  }

  // Drops what an unfinished container had gathered above base.
  bool Fail(size_t valueBase) {
    for (size_t i = valueBase; i < values_.size(); ++i) values_[i]->Release();
    values_.resize(valueBase);
    return false;
  }

  bool FailObject(size_t valueBase, size_t keyBase, size_t charBase) {
    keys_.resize(keyBase);
    keyChars_.resize(charBase);
    return Fail(valueBase);
  }

  bool ParseObject(VSJValue*& out, unsigned depth) {
    const size_t valueBase = values_.size();
    const size_t keyBase = keys_.size();
    const size_t charBase = keyChars_.size();
    Token token;
    for (;;) {
      if (!tokens_.NextSignificant(token)) {
        error_ = tokens_.Error();
        if (error_.empty()) error_ = u"Unexpected end of JSON in object, expected \"key\":value or }";
        return FailObject(valueBase, keyBase, charBase);
      }
      if (token.kind == TokenKind::kObjectClose) break;
      if (token.kind == TokenKind::kComma) continue;
      if (token.kind != TokenKind::kString) {
        error_ = Unexpected(
            u"Unexpected character %c in JSON object at position %d; expected \"key\":value", token);
        return FailObject(valueBase, keyBase, charBase);
      }
      const size_t keyStart = keyChars_.size();
      if (!Decode(token, keyChars_)) return FailObject(valueBase, keyBase, charBase);
      keys_.push_back(PendingKey{keyStart, keyChars_.size() - keyStart, token.hasEscape});

      if (!tokens_.NextSignificant(token)) {
        error_ = tokens_.Error();
        if (error_.empty()) error_ = u"Unexpected end of JSON after object key; expected :value";
        return FailObject(valueBase, keyBase, charBase);
      }
      if (token.kind != TokenKind::kColon) {
        error_ = Unexpected(
            u"Unexpected character %c in JSON object at position %d after key; expected :value", token);
        return FailObject(valueBase, keyBase, charBase);
      }
      if (!tokens_.NextSignificant(token)) {
        error_ = tokens_.Error();
        if (error_.empty()) error_ = u"Unexpected end of JSON after object key; expected value";
        return FailObject(valueBase, keyBase, charBase);
      }
      VSJValue* value = nullptr;
      if (!MakeValue(token, value, depth)) return FailObject(valueBase, keyBase, charBase);
      values_.push_back(value);
    }

    VSJObject* object = VSJObject::Create();
    const size_t count = values_.size() - valueBase;
    object->Reserve(count, keyChars_.size() - charBase);
    for (size_t i = 0; i < count; ++i) {
      const PendingKey& key = keys_[keyBase + i];
      const std::u16string_view text = std::u16string_view(keyChars_).substr(key.offset, key.length);
      if (key.escaped)
        object->SetAdopted(text, values_[valueBase + i]);
      else
        object->AdoptMember(text, values_[valueBase + i]);
    }
    values_.resize(valueBase);
    keys_.resize(keyBase);
    keyChars_.resize(charBase);
    out = object;
    return true;
  }

  bool ParseArray(VSJValue*& out, unsigned depth) {
    const size_t valueBase = values_.size();
    Token token;
    for (;;) {
      if (!tokens_.NextSignificant(token)) {
        error_ = tokens_.Error();
        return Fail(valueBase);
      }
      if (token.kind == TokenKind::kArrayClose) break;
      if (token.kind == TokenKind::kColon) {
        error_ = u"Unexpected token : in JSON array";
        return Fail(valueBase);
      }
      if (token.kind == TokenKind::kComma) continue;
      VSJValue* value = nullptr;
      if (!MakeValue(token, value, depth)) return Fail(valueBase);
      values_.push_back(value);
    }
    VSJArray* array = VSJArray::Create();
    array->Reserve(values_.size() - valueBase);
    for (size_t i = valueBase; i < values_.size(); ++i) array->AppendAdopted(values_[i]);
    values_.resize(valueBase);
    out = array;
    return true;
  }

  Tokenizer<Char> tokens_;
  std::u16string& error_;
  std::vector<VSJValue*> values_;
  std::vector<PendingKey> keys_;
  std::u16string keyChars_;
  std::u16string scratch_;
  std::u16string wideToken_;
};

std::string_view SkipByteOrderMark(std::string_view text) {
  if (text.substr(0, 3) == kByteOrderMark) text.remove_prefix(3);
  return text;
}

std::string_view UpToZero(const char* text, size_t length) {
  const void* zero = std::memchr(text, 0, length);
  return {text, zero ? static_cast<size_t>(static_cast<const char*>(zero) - text) : length};
}

// The value must be an object; nothing is handed out on any failure.
template <typename Char>
bool ParseObjectText(const Char* text, size_t length, VSJObject** out, std::u16string& error) {
  VSJValue* value = nullptr;
  Parser<Char> parser(text, length, error);
  if (!parser.Parse(&value)) {
    if (value) value->Release();
    return false;
  }
  if (value->Kind() != kTypeObject) {
    error = VendraText::Format(u"Expected object, got %hs", value->GetTypeNameA());
    value->Release();
    return false;
  }
  *out = static_cast<VSJObject*>(value);
  return true;
}

void ExpectedBrace(std::u16string& error, char16_t got) {
  error = u"Expected '{', got '";
  error.push_back(got);
  error.push_back(u'\'');
}

}  // namespace

bool ParseValue(const char16_t* text, size_t length, VSJValue** out, std::u16string& error) {
  const std::u16string_view all(text, length);
  const size_t zero = all.find(u'\0');
  Parser<char16_t> parser(text, zero == std::u16string_view::npos ? length : zero, error);
  return parser.Parse(out);
}

bool ParseValue(const char16_t* text, VSJValue** out, std::u16string& error) {
  return ParseValue(text, std::char_traits<char16_t>::length(text), out, error);
}

bool ParseValueA(const char* text, size_t length, VSJValue** out, std::u16string& error) {
  // An empty text (or only a byte-order mark) fails like one of white space
  // only, with the message, so that every caller can say why.
  const std::string_view utf8 = SkipByteOrderMark(UpToZero(text, length));
  Parser<char> parser(utf8.data(), utf8.size(), error);
  return parser.Parse(out);
}

bool ParseValueA(const char* text, VSJValue** out, std::u16string& error) {
  return ParseValueA(text, std::strlen(text), out, error);
}

bool ParseObject(const char16_t* text, VSJObject** out, std::u16string& error) {
  if (text[0] != u'{') {
    ExpectedBrace(error, text[0]);
    return false;
  }
  return ParseObjectText(text, std::char_traits<char16_t>::length(text), out, error);
}

bool ParseObjectA(const char* text, size_t length, VSJObject** out, std::u16string& error) {
  const std::string_view utf8 = SkipByteOrderMark(UpToZero(text, length));
  const char first = utf8.empty() ? '\0' : utf8[0];
  if (first != '{') {
    // The byte as a signed char widened: 0x80 and above show as 0xFF00 + byte.
    ExpectedBrace(error, static_cast<char16_t>(static_cast<int16_t>(static_cast<signed char>(first))));
    return false;
  }
  return ParseObjectText(utf8.data(), utf8.size(), out, error);
}

bool ParseObjectA(const char* text, VSJObject** out, std::u16string& error) {
  return ParseObjectA(text, std::strlen(text), out, error);
}

}  // namespace VendraJSON
