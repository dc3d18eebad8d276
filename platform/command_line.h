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

// One argument written for a command line so that the rules above give it
// back exactly, whatever it holds: always in double quotes, each quote
// written \", and the backslashes before a quote or before the closing
// quote doubled. A path without quotes or a trailing backslash comes out as
// "path".
std::u16string QuoteCommandLineArgument(std::u16string_view argument);

// word as a person pastes it at this system's command prompt (the POSIX
// shell; on Windows cmd, by the rules above): unchanged when nothing in it
// is special there, else quoted so that the prompt gives it back whole.
std::u16string CommandPromptWord(std::u16string_view word);

}  // namespace VendraPlatform
