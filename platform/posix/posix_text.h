#pragma once

// POSIX layer only: conversions between the program's UTF-16 text and the
// UTF-8 byte strings the POSIX calls take.

#include <string>
#include <string_view>

namespace VendraPlatform::Posix {

std::string Native(std::u16string_view text);
std::u16string FromNative(std::string_view text);

}  // namespace VendraPlatform::Posix
