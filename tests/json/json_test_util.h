#pragma once

#include <string>

#include "common/memory/ref_ptr.h"
#include "json/array.h"
#include "json/object.h"
#include "json/parser.h"
#include "json/value.h"

namespace VendraJSONTest {

using ValueRef = Vendra::RefPtr<VendraJSON::VSJValue>;
using ObjectRef = Vendra::RefPtr<VendraJSON::VSJObject>;
using ArrayRef = Vendra::RefPtr<VendraJSON::VSJArray>;

// Parses text that must be valid; an empty reference otherwise.
inline ValueRef Parse(const char16_t* text) {
  ValueRef value;
  std::u16string error;
  if (!VendraJSON::ParseValue(text, value.Receive(), error)) value.Reset();
  return value;
}

inline std::u16string Compact(const VendraJSON::VSJValue& value) {
  std::u16string out;
  value.WriteJSON(out, false, 0, u"\n");
  return out;
}

inline std::string CompactA(const VendraJSON::VSJValue& value) {
  std::string out;
  value.WriteJSONA(out, false, 0, "\n");
  return out;
}

inline std::string PrettyA(const VendraJSON::VSJValue& value) {
  std::string out;
  value.WriteJSONA(out, true, 0, "\n");
  return out;
}

}  // namespace VendraJSONTest
