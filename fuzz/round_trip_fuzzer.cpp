// Whatever parses must write to a text that parses again, and after one
// pass the written text must be a fixed point: writing, parsing and writing
// again gives the same text (numbers settle after their first "%f" form).
// The UTF-8 writer's text must parse as well.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "json/parser.h"
#include "json/value.h"

namespace {

VendraJSON::VSJValue* ParseOrDie(const std::u16string& text) {
  VendraJSON::VSJValue* value = nullptr;
  std::u16string error;
  if (!VendraJSON::ParseValue(text.c_str(), &value, error)) std::abort();
  return value;
}

std::u16string Write(const VendraJSON::VSJValue& value, bool pretty) {
  std::u16string text;
  value.WriteJSON(text, pretty, 0, u"\n");
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  VendraJSON::VSJValue* first = nullptr;
  std::u16string error;
  if (!VendraJSON::ParseValueA(reinterpret_cast<const char*>(data), size, &first, error)) {
    if (first) first->Release();
    return 0;
  }
  VendraJSON::VSJValue* second = ParseOrDie(Write(*first, false));
  const std::u16string settled = Write(*second, false);
  VendraJSON::VSJValue* third = ParseOrDie(settled);
  if (Write(*third, false) != settled) std::abort();

  // Pretty text is the same tree.
  VendraJSON::VSJValue* pretty = ParseOrDie(Write(*third, true));
  if (Write(*pretty, false) != settled) std::abort();

  // A clone writes the same members, in ascending key order.
  VendraJSON::VSJValue* clone = nullptr;
  if (!third->Clone(&clone) || clone->GetType() != third->GetType()) std::abort();

  std::string narrow;
  third->WriteJSONA(narrow, false, 0, "\n");
  VendraJSON::VSJValue* fromNarrow = nullptr;
  if (!VendraJSON::ParseValueA(narrow.c_str(), narrow.size(), &fromNarrow, error)) std::abort();

  for (VendraJSON::VSJValue* v : {first, second, third, pretty, clone, fromNarrow}) v->Release();
  return 0;
}
