// Any bytes as a UTF-8 JSON text: parsing and writing back must never crash,
// leak or read out of bounds, and a value is handed out only with success or
// with a bad terminator.
#include <cstddef>
#include <cstdint>
#include <string>

#include "json/parser.h"
#include "json/value.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  VendraJSON::VSJValue* value = nullptr;
  std::u16string error;
  VendraJSON::ParseValueA(reinterpret_cast<const char*>(data), size, &value, error);
  if (value) {
    std::u16string wide;
    std::string narrow;
    value->WriteJSON(wide, true, 0, u"\n");
    value->WriteJSONA(narrow, false, 0, "\n");
    value->ToStringA(narrow);
    value->Release();
  }
  return 0;
}
