#include "service/tokens.h"

#include <chrono>

#include "service/digest.h"

namespace VendraService {

int64_t NowSeconds() {
  return std::chrono::duration_cast<std::chrono::seconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

std::string TokenStore::Issue(const TokenInfo& info) {
  std::string token = RandomHex(32);
  std::lock_guard lock(mutex_);
  tokens_[token] = info;
  return token;
}

std::optional<TokenInfo> TokenStore::Find(const std::string& token, TokenKind kind) const {
  if (token.empty()) return std::nullopt;
  std::lock_guard lock(mutex_);
  auto found = tokens_.find(token);
  if (found == tokens_.end() || found->second.kind != kind) return std::nullopt;
  if (NowSeconds() >= found->second.expiresAt) return std::nullopt;
  return found->second;
}

void TokenStore::Revoke(const std::string& token) {
  std::lock_guard lock(mutex_);
  tokens_.erase(token);
}

nlohmann::ordered_json TokenObject(const std::string& token, int64_t expiresAt) {
  nlohmann::ordered_json object;
  object["access_token"] = token;
  object["expires_at"] = expiresAt;
  return object;
}

}  // namespace VendraService
