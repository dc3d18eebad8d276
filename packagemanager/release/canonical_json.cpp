#include "packagemanager/release/canonical_json.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "common/memory/ref_ptr.h"
#include "common/text/utf.h"
#include "json/array.h"
#include "json/integer.h"
#include "json/object.h"
#include "json/string_value.h"
#include "json/value_container.h"

namespace VendraBuild {
namespace {

using VendraJSON::VSJValue;

// UTF-16 to UTF-8, refusing unpaired surrogates: a replacement character
// would let two different strings share one canonical text.
bool ToUtf8(std::u16string_view text, std::string& out, std::u16string& error) {
  out.clear();
  for (size_t i = 0; i < text.size(); ++i) {
    char32_t cp = text[i];
    if (cp >= 0xD800 && cp <= 0xDFFF) {
      if (cp > 0xDBFF || i + 1 == text.size() || text[i + 1] < 0xDC00 || text[i + 1] > 0xDFFF) {
        error = u"a string holds an unpaired surrogate";
        return false;
      }
      cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    }
    VendraText::AppendCodePointUtf8(out, cp);
  }
  return true;
}

void AppendQuoted(std::string& out, const std::string& utf8) {
  static constexpr char kHex[] = "0123456789abcdef";
  out.push_back('"');
  for (const char c : utf8) {
    const auto byte = static_cast<unsigned char>(c);
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\b': out += "\\b"; break;
      case '\t': out += "\\t"; break;
      case '\n': out += "\\n"; break;
      case '\f': out += "\\f"; break;
      case '\r': out += "\\r"; break;
      default:
        if (byte < 0x20) {
          out += "\\u00";
          out.push_back(kHex[byte >> 4]);
          out.push_back(kHex[byte & 0xF]);
        } else {
          out.push_back(c);
        }
    }
  }
  out.push_back('"');
}

bool Append(const VSJValue* value, std::string& out, std::u16string& error) {
  if (!value) {
    out += "null";
    return true;
  }
  switch (value->GetType()) {
    case VendraJSON::kTypeNull: out += "null"; return true;
    case VendraJSON::kTypeTrue: out += "true"; return true;
    case VendraJSON::kTypeFalse: out += "false"; return true;
    case VendraJSON::kTypeInteger:
      out += std::to_string(static_cast<const VendraJSON::VSJInteger*>(value)->Value());
      return true;
    case VendraJSON::kTypeString: {
      std::string utf8;
      if (!ToUtf8(static_cast<const VendraJSON::VSJString*>(value)->Text(), utf8, error))
        return false;
      AppendQuoted(out, utf8);
      return true;
    }
    case VendraJSON::kTypeArray: {
      const auto* array = static_cast<const VendraJSON::VSJArray*>(value);
      out.push_back('[');
      for (size_t i = 0; i < array->Count(); ++i) {
        if (i) out.push_back(',');
        Vendra::RefPtr<VSJValue> element;
        array->At(i)->GetValue(element.Receive());
        if (!Append(element.get(), out, error)) return false;
      }
      out.push_back(']');
      return true;
    }
    case VendraJSON::kTypeObject: {
      const auto* object = static_cast<const VendraJSON::VSJObject*>(value);
      std::vector<std::pair<std::string, size_t>> keys(object->Count());
      for (size_t i = 0; i < object->Count(); ++i) {
        if (!ToUtf8(object->KeyAt(i), keys[i].first, error)) return false;
        keys[i].second = i;
      }
      std::sort(keys.begin(), keys.end());
      out.push_back('{');
      for (size_t i = 0; i < keys.size(); ++i) {
        if (i) out.push_back(',');
        AppendQuoted(out, keys[i].first);
        out.push_back(':');
        Vendra::RefPtr<VSJValue> member;
        object->HolderAt(keys[i].second)->GetValue(member.Receive());
        if (!Append(member.get(), out, error)) return false;
      }
      out.push_back('}');
      return true;
    }
    default:
      error = u"a number has a fraction or an exponent";
      return false;
  }
}

}  // namespace

bool CanonicalJson(const VSJValue* value, std::string& out, std::u16string& error) {
  out.clear();
  return Append(value, out, error);
}

}  // namespace VendraBuild
