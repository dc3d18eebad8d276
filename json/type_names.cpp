#include "json/type_names.h"

namespace VendraJSON {
namespace {

constexpr const char* kNarrowNames[] = {"null", "object", "string", "number",
                                        "array", "true", "false", "integer"};
constexpr const char16_t* kWideNames[] = {u"null", u"object", u"string", u"number",
                                          u"array", u"true", u"false", u"integer"};

}  // namespace

const char* TypeNameA(int type) {
  return (type >= 0 && type <= kTypeInteger) ? kNarrowNames[type] : nullptr;
}

const char16_t* TypeName(int type) {
  return (type >= 0 && type <= kTypeInteger) ? kWideNames[type] : nullptr;
}

}  // namespace VendraJSON
