#pragma once

#include <string>
#include <string_view>

// Text that reaches a terminal is shown, never obeyed: texts from the service
// or from files (error messages, file names) could otherwise carry escape
// sequences that retitle the window, clear the screen or rewrite what was
// printed before.
namespace VendraText {

// Replaces every control character (C0, DEL and C1) other than tab and line
// feed with U+FFFD. A carriage return directly before a line feed stays:
// that Windows line end only ends the line.
std::u16string ShownOnTerminal(std::u16string_view text);
// The same for UTF-8 text; invalid sequences become U+FFFD as well.
std::string ShownOnTerminal(std::string_view utf8);
// Wide text made safe and converted to UTF-8 in one step.
std::string ShownOnTerminalUtf8(std::u16string_view text);

}  // namespace VendraText
