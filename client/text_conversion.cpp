#include "client/text_conversion.h"

#include "common/text/utf.h"

namespace VendraClient {

bool ToNarrow(std::u16string_view wide, std::string& narrow) {
  narrow = VendraText::Utf16ToUtf8(wide);
  return true;
}

bool ToWide(std::string_view narrow, std::u16string& wide) {
  wide = VendraText::Utf8ToUtf16(narrow);
  return true;
}

}  // namespace VendraClient
