#pragma once

// POSIX layer only: conversions between the program's UTF-16 text and the
// UTF-8 byte strings the POSIX calls take.

#include <string>
#include <string_view>

namespace VendraPlatform::Posix {

std::string Native(std::u16string_view text);
std::u16string FromNative(std::string_view text);
// A path for the POSIX calls: UTF-8, with the backslashes of the system's
// relative paths turned into '/'.
std::string NativePath(std::u16string_view path);

}  // namespace VendraPlatform::Posix
