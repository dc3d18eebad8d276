#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Authenticator codes: time-based one-time passwords over HMAC-SHA1 with
// 30-second steps, as authenticator apps compute them from a base32 secret.
namespace VendraService {

// Decodes base32 (A-Z, 2-7; letter case, blanks and '=' padding ignored).
std::optional<std::string> Base32Decode(std::string_view text);

// The code for the step that holds unixTime, zero-padded to digits.
std::string TotpCode(std::string_view key, int64_t unixTime, int digits = 6);

// True when code matches the step of unixTime or one step either side, which
// allows for clocks that disagree a little and for typing time.
bool TotpMatches(std::string_view key, std::string_view code, int64_t unixTime);

}  // namespace VendraService
