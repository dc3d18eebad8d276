#include "packagemanager/engine/shown_name.h"

#include "common/text/utf.h"
#include "platform/paths.h"

namespace VendraBuild {

std::string ShownName(std::u16string_view name) {
  return VendraText::Utf16ToUtf8(VendraPlatform::WithOwnSeparators(name));
}

std::string ShownName(std::string_view utf8Name) {
  return ShownName(VendraText::Utf8ToUtf16(utf8Name));
}

}  // namespace VendraBuild
