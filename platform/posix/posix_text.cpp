// POSIX layer only.
#include "platform/posix/posix_text.h"

#include "common/text/utf.h"

namespace VendraPlatform::Posix {

std::string Native(std::u16string_view text) { return VendraText::Utf16ToUtf8(text); }

std::u16string FromNative(std::string_view text) { return VendraText::Utf8ToUtf16(text); }

std::string NativePath(std::u16string_view path) {
  std::string out = Native(path);
  for (char& c : out)
    if (c == '\\') c = '/';
  return out;
}

}  // namespace VendraPlatform::Posix
