#include "service/totp.h"
#include "tests/support/service_process.h"

namespace VendraTest {

std::string AuthenticatorCode(const std::string& base32Secret, long long unixTime) {
  auto key = VendraService::Base32Decode(base32Secret);
  return key ? VendraService::TotpCode(*key, unixTime) : std::string();
}

}  // namespace VendraTest
