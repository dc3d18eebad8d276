#pragma once

#include <string>
#include <string_view>

namespace VendraJSON {

// Decodes a string token (quotation marks included) and appends its text to
// out. On failure error holds the message and out may hold part of the text.
bool DecodeStringToken(std::u16string_view token, std::u16string& out, std::u16string& error);

}  // namespace VendraJSON
