#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace VendraPlatform {

// Splits a command-line string into arguments by the Windows rules: spaces
// and tabs separate, double quotes group, 2n backslashes before a quote give n
// backslashes and a quote toggles grouping, 2n+1 give n and a literal quote,
// "" inside a quoted group gives a literal quote, other backslashes are kept.
std::vector<std::u16string> SplitCommandLine(std::u16string_view commandLine);

}  // namespace VendraPlatform
