#pragma once

#include <string>
#include <string_view>

namespace VendraBuild {

// A file or folder name as people read it, on the terminal, in plain lines,
// in the log and in JSON alike: the build's names use backslashes, shown
// here with the system's own separator. UTF-8; a terminal still makes its
// control characters harmless.
std::string ShownName(std::u16string_view name);
std::string ShownName(std::string_view utf8Name);

}  // namespace VendraBuild
