#include "service/digest.h"

#include <openssl/evp.h>
#include <openssl/rand.h>

#include <cctype>
#include <stdexcept>
#include <vector>

namespace VendraService {

namespace {

std::string HexOf(const unsigned char* data, size_t size) {
  static const char kDigits[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(size * 2);
  for (size_t i = 0; i < size; ++i) {
    hex.push_back(kDigits[data[i] >> 4]);
    hex.push_back(kDigits[data[i] & 15]);
  }
  return hex;
}

}  // namespace

std::string Md5Hex(std::string_view bytes) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int size = 0;
  if (EVP_Digest(bytes.data(), bytes.size(), digest, &size, EVP_md5(), nullptr) != 1) {
    throw std::runtime_error("MD5 is not available");
  }
  return HexOf(digest, size);
}

std::string RandomHex(size_t count) {
  std::vector<unsigned char> bytes(count);
  if (RAND_bytes(bytes.data(), static_cast<int>(count)) != 1) {
    throw std::runtime_error("the random generator failed");
  }
  return HexOf(bytes.data(), bytes.size());
}

uint32_t RandomBelow(uint32_t bound) {
  // Rejection keeps every value equally likely.
  const uint32_t limit = UINT32_MAX - UINT32_MAX % bound;
  for (;;) {
    uint32_t value = 0;
    if (RAND_bytes(reinterpret_cast<unsigned char*>(&value), sizeof value) != 1) {
      throw std::runtime_error("the random generator failed");
    }
    if (value < limit) return value % bound;
  }
}

std::string ToLowerAscii(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower;
}

}  // namespace VendraService
