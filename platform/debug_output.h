#pragma once

#include <string_view>

namespace VendraPlatform {

// A line for a developer watching the program: the debugger's output on
// Windows, standard error on POSIX. Never shown to the user.
void DebugOutput(std::u16string_view text);

}  // namespace VendraPlatform
