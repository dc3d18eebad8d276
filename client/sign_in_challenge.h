#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace VendraClient {

// What "vclient/login" receives instead of the password: a fresh text (iv)
// and key = MD5(iv followed by MD5(password)), both as sent.
struct SignInChallenge {
  std::string iv;
  std::string key;
};

// iv is "vclient-" with the tick count. With passwordIsDigest the password
// is already its MD5 text (at most 63 characters are used). Every buffer
// that held the password or its digest is wiped before the answer returns.
SignInChallenge MakeSignInChallenge(std::string_view password, bool passwordIsDigest,
                                    uint32_t tickCount);

}  // namespace VendraClient
