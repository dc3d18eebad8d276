#include "tests/support/sha256_hex.h"

#include "install/sha256.h"

namespace VendraTest {

std::string Sha256Hex(const void* data, size_t size) {
  VendraClient::Sha256State state;
  VendraClient::Sha256Start(state);
  VendraClient::Sha256Add(state, data, size);
  std::string text;
  VendraClient::Sha256Text(state, text);
  return text;
}

std::string Sha256Hex(const std::string& bytes) { return Sha256Hex(bytes.data(), bytes.size()); }

}  // namespace VendraTest
