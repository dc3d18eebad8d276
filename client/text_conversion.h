#pragma once

#include <string>
#include <string_view>

namespace VendraClient {

// Wide (UTF-16) text to UTF-8 and back, for form fields, tokens and replies.
// Unpaired surrogates and invalid UTF-8 become U+FFFD, as the system's UTF-8
// code page does, so the conversions do not fail; the answer is true.
bool ToNarrow(std::u16string_view wide, std::string& narrow);
bool ToWide(std::string_view narrow, std::u16string& wide);

}  // namespace VendraClient
