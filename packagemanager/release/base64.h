#pragma once

#include <string>
#include <string_view>

namespace VendraBuild {

// Standard base64 with padding (RFC 4648, section 4).
std::string Base64Encode(std::string_view bytes);
// Only the exact encoding of some bytes is accepted: no white space, padding
// where it belongs, unused bits zero; anything else is false.
bool Base64Decode(std::string_view text, std::string& bytes);

std::string HexEncode(std::string_view bytes);

}  // namespace VendraBuild
