// Any bytes as a service reply: ParseObjectA hands out an object or nothing.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "json/object.h"
#include "json/parser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  VendraJSON::VSJObject* object = nullptr;
  std::u16string error;
  const bool ok = VendraJSON::ParseObjectA(reinterpret_cast<const char*>(data), size, &object, error);
  if (ok != (object != nullptr)) std::abort();
  if (object) {
    if (object->GetType() != VendraJSON::kTypeObject) std::abort();
    std::u16string text;
    object->GetString(u"message", text);
    int64_t code = 0;
    object->GetInteger(u"code", code);
    VendraJSON::VSJObject* inner = nullptr;
    if (object->GetObject(u"data", &inner)) inner->Release();
    object->Release();
  }
  return 0;
}
