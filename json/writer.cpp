#include "json/writer.h"

#include <algorithm>

#include "json/array.h"
#include "json/integer.h"
#include "json/number.h"
#include "json/number_text.h"
#include "json/object.h"
#include "json/output_buffer.h"
#include "json/string_value.h"
#include "json/value_container.h"

namespace VendraJSON {
namespace {

// The escape letter of each ASCII unit that needs one, else 0. Unit 0 is
// written as \u0000 (only the wide writer meets it inside a value).
constexpr char kEscapeLetter[128] = {
    'u', 0, 0, 0, 0, 0, 0, 0, 'b', 't', 'n', 0, 'f', 'r', 0, 0,  //
    0,   0, 0, 0, 0, 0, 0, 0, 0,   0,   0,   0, 0,   0,   0, 0,  //
    0,   0, '"', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,          //
    0,   0, 0, 0, 0, 0, 0, 0, 0,   0,   0,   0, 0,   0,   0, 0,  //
    0,   0, 0, 0, 0, 0, 0, 0, 0,   0,   0,   0, 0,   0,   0, 0,  //
    0,   0, 0, 0, 0, 0, 0, 0, 0,   0,   0,   0, '\\', 0,  0, 0,  //
    0,   0, 0, 0, 0, 0, 0, 0, 0,   0,   0,   0, 0,   0,   0, 0,  //
    0,   0, 0, 0, 0, 0, 0, 0, 0,   0,   0,   0, 0,   0,   0, 0,
};

// Long texts are escaped in slices, so the space reserved ahead stays small.
constexpr size_t kSlice = 4096;

template <typename Char>
Char* PutEscape(Char* p, char16_t unit) {
  *p++ = '\\';
  if (unit == 0) {
    for (char c : {'u', '0', '0', '0', '0'}) *p++ = static_cast<Char>(c);
    return p;
  }
  *p++ = static_cast<Char>(kEscapeLetter[unit]);
  return p;
}

// Wide: every unit of text, a unit 0 as \u0000, or for a key the text up
// to its first unit 0.
void PutEscapedWide(OutputBuffer<char16_t>& out, std::u16string_view text, bool stopAtZero) {
  for (size_t start = 0; start < text.size(); start += kSlice) {
    const size_t n = std::min(kSlice, text.size() - start);
    char16_t* p = out.Reserve(6 * n);
    for (size_t i = start; i < start + n; ++i) {
      const char16_t u = text[i];
      if (u >= 128 || !kEscapeLetter[u]) {
        *p++ = u;
      } else if (u == 0 && stopAtZero) {
        out.Commit(p);
        return;
      } else {
        p = PutEscape(p, u);
      }
    }
    out.Commit(p);
  }
}

// UTF-8: the text up to its first code unit 0, converted (unpaired
// surrogates become U+FFFD) and every byte escaped by the same table.
void PutEscapedUtf8(OutputBuffer<char>& out, std::u16string_view text) {
  size_t i = 0;
  while (i < text.size()) {
    const size_t end = std::min(text.size(), i + kSlice);
    char* p = out.Reserve(3 * (end - i) + 4);
    for (; i < end; ++i) {
      char32_t u = text[i];
      if (u < 0x80) {
        if (!kEscapeLetter[u]) {
          *p++ = static_cast<char>(u);
        } else if (u == 0) {
          out.Commit(p);
          return;
        } else {
          p = PutEscape(p, static_cast<char16_t>(u));
        }
      } else if (u < 0x800) {
        *p++ = static_cast<char>(0xC0 | (u >> 6));
        *p++ = static_cast<char>(0x80 | (u & 0x3F));
      } else {
        if (u >= 0xD800 && u <= 0xDFFF) {
          if (u <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            u = 0x10000 + ((u - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
            *p++ = static_cast<char>(0xF0 | (u >> 18));
            *p++ = static_cast<char>(0x80 | ((u >> 12) & 0x3F));
            *p++ = static_cast<char>(0x80 | ((u >> 6) & 0x3F));
            *p++ = static_cast<char>(0x80 | (u & 0x3F));
            continue;
          }
          u = 0xFFFD;
        }
        *p++ = static_cast<char>(0xE0 | (u >> 12));
        *p++ = static_cast<char>(0x80 | ((u >> 6) & 0x3F));
        *p++ = static_cast<char>(0x80 | (u & 0x3F));
      }
    }
    out.Commit(p);
  }
}

template <typename Char>
class TreeWriter {
 public:
  TreeWriter(std::basic_string<Char>& out, bool pretty, std::basic_string_view<Char> newline)
      : out_(out), pretty_(pretty), newline_(newline) {}

  void Value(const VSJValue& value, unsigned level) {
    switch (value.Kind()) {
      case kTypeNull:
        out_.Append("null", 4);
        break;
      case kTypeTrue:
        out_.Append("true", 4);
        break;
      case kTypeFalse:
        out_.Append("false", 5);
        break;
      case kTypeInteger: {
        char text[24];
        out_.Append(text, FormatIntegerText(static_cast<const VSJInteger&>(value).Value(), text));
        break;
      }
      case kTypeNumber:
        Number(static_cast<const VSJNumber&>(value).Value());
        break;
      case kTypeString:
        String(static_cast<const VSJString&>(value).Text(), false);
        break;
      case kTypeObject:
        Object(static_cast<const VSJObject&>(value), level);
        break;
      case kTypeArray:
        Array(static_cast<const VSJArray&>(value), level);
        break;
    }
  }

 private:
  void Number(double value) {
    // A text that reads back as the same value; "%f" has none for these.
    if (value != value) {
      out_.Append("null", 4);
    } else if (value - value != 0) {
      if (value < 0) out_.Put('-');
      out_.Append("1e999", 5);
    } else {
      char text[kNumberTextMax];
      out_.Append(text, FormatNumberText(value, text));
    }
  }

  void String(std::u16string_view text, bool key) {
    out_.Put('"');
    if constexpr (sizeof(Char) == 1) {
      PutEscapedUtf8(out_, text);
    } else {
      PutEscapedWide(out_, text, key);
    }
    out_.Put('"');
  }

  void LineBreak(unsigned level) {
    if (!pretty_) return;
    const size_t spaces = 2 * size_t{level};
    Char* p = out_.Reserve(newline_.size() + spaces);
    p = std::copy(newline_.begin(), newline_.end(), p);
    p = std::fill_n(p, spaces, static_cast<Char>(' '));
    out_.Commit(p);
  }

  void Object(const VSJObject& object, unsigned level) {
    out_.Put('{');
    LineBreak(level + 1);
    bool first = true;
    for (size_t i = 0; i < object.Count(); ++i) {
      const VSJValue* member = object.HolderAt(i)->Value();
      if (!member) continue;
      if (!first) {
        out_.Put(',');
        LineBreak(level + 1);
      }
      first = false;
      String(object.KeyAt(i), true);
      out_.Put(':');
      Value(*member, level + 1);
    }
    LineBreak(level);
    out_.Put('}');
  }

  void Array(const VSJArray& array, unsigned level) {
    out_.Put('[');
    LineBreak(level + 1);
    for (size_t i = 0; i < array.Count(); ++i) {
      if (i > 0) {
        out_.Put(',');
        LineBreak(level + 1);
      }
      if (const VSJValue* element = array.At(i)->Value()) Value(*element, level + 1);
    }
    LineBreak(level);
    out_.Put(']');
  }

  OutputBuffer<Char> out_;
  bool pretty_;
  std::basic_string_view<Char> newline_;
};

}  // namespace

void AppendJSON(std::u16string& out, const VSJValue& value, bool pretty, unsigned level,
                std::u16string_view newline) {
  TreeWriter<char16_t>(out, pretty, newline).Value(value, level);
}

void AppendJSON(std::string& out, const VSJValue& value, bool pretty, unsigned level,
                std::string_view newline) {
  TreeWriter<char>(out, pretty, newline).Value(value, level);
}

}  // namespace VendraJSON
