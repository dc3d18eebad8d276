#include "service/totp.h"

#include <openssl/evp.h>
#include <openssl/hmac.h>

#include <cctype>

namespace VendraService {

namespace {
constexpr int64_t kStepSeconds = 30;
}

std::optional<std::string> Base32Decode(std::string_view text) {
  std::string bytes;
  uint32_t buffer = 0;
  int bits = 0;
  for (char raw : text) {
    if (raw == ' ' || raw == '=' || raw == '-') continue;
    const char c = static_cast<char>(std::toupper(static_cast<unsigned char>(raw)));
    uint32_t value = 0;
    if (c >= 'A' && c <= 'Z') {
      value = static_cast<uint32_t>(c - 'A');
    } else if (c >= '2' && c <= '7') {
      value = static_cast<uint32_t>(c - '2' + 26);
    } else {
      return std::nullopt;
    }
    buffer = (buffer << 5) | value;
    bits += 5;
    if (bits >= 8) {
      bits -= 8;
      bytes.push_back(static_cast<char>((buffer >> bits) & 0xFF));
    }
  }
  return bytes;
}

std::string TotpCode(std::string_view key, int64_t unixTime, int digits) {
  const uint64_t counter = static_cast<uint64_t>(unixTime / kStepSeconds);
  unsigned char message[8];
  for (int i = 0; i < 8; ++i) message[i] = static_cast<unsigned char>(counter >> (56 - 8 * i));
  unsigned char mac[EVP_MAX_MD_SIZE];
  unsigned int macSize = 0;
  HMAC(EVP_sha1(), key.data(), static_cast<int>(key.size()), message, sizeof message, mac,
       &macSize);
  const int offset = mac[macSize - 1] & 0x0F;
  const uint32_t binary = (static_cast<uint32_t>(mac[offset] & 0x7F) << 24) |
                          (static_cast<uint32_t>(mac[offset + 1]) << 16) |
                          (static_cast<uint32_t>(mac[offset + 2]) << 8) |
                          static_cast<uint32_t>(mac[offset + 3]);
  uint32_t modulus = 1;
  for (int i = 0; i < digits; ++i) modulus *= 10;
  std::string code = std::to_string(binary % modulus);
  return std::string(static_cast<size_t>(digits) - code.size(), '0') + code;
}

bool TotpMatches(std::string_view key, std::string_view code, int64_t unixTime) {
  for (int64_t step = -1; step <= 1; ++step) {
    if (TotpCode(key, unixTime + step * kStepSeconds) == code) return true;
  }
  return false;
}

}  // namespace VendraService
