#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

// The tokens the service has issued, kept in memory: a restart signs every
// session out. An access token belongs to the session of one refresh token; a
// local token belongs to one device of one account.
namespace VendraService {

enum class TokenKind { Access, Refresh, Local };

struct TokenInfo {
  TokenKind kind = TokenKind::Access;
  std::string username;
  std::string device;   // the device identity the token was issued to
  std::string refresh;  // access tokens: the refresh token of their session
  int64_t expiresAt = 0;
};

struct Lifetimes {
  int64_t access = 3600;
  int64_t refresh = 31536000;  // also the longest session a sign-in may ask for
  int64_t local = 31536000;
};

class TokenStore {
 public:
  std::string Issue(const TokenInfo& info);
  // The token's record when it is of that kind and has not expired.
  std::optional<TokenInfo> Find(const std::string& token, TokenKind kind) const;
  void Revoke(const std::string& token);

 private:
  mutable std::mutex mutex_;
  std::map<std::string, TokenInfo> tokens_;
};

int64_t NowSeconds();

// The exchange form of a token: {"access_token": text, "expires_at": time}.
nlohmann::ordered_json TokenObject(const std::string& token, int64_t expiresAt);

}  // namespace VendraService
