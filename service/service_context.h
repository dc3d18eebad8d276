#pragma once

#include <atomic>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <utility>

#include "service/accounts.h"
#include "service/exchange.h"
#include "service/outbox.h"
#include "service/tokens.h"

// Everything the request handlers share.
namespace VendraService {

struct EmailedCode {
  std::string code;
  int64_t expiresAt = 0;
};

struct ServiceContext {
  explicit ServiceContext(const std::filesystem::path& serviceRoot, Lifetimes tokenLifetimes);

  std::filesystem::path root;
  Lifetimes lifetimes;
  AccountStore accounts;
  TokenStore tokens;
  Outbox outbox;
  std::atomic<unsigned> sequence{0};

  std::mutex mutex;  // guards the two members below
  std::set<std::string> seenChallenges;  // user + '\n' + iv
  std::map<std::pair<std::string, std::string>, EmailedCode> emailedCodes;  // (user, device)
};

// The session behind a valid "access_token" field.
struct Session {
  std::string username;
  std::string refreshToken;
};

// Checks the request's "access_token"; on failure fills the error reply.
std::optional<Session> RequireAccess(ServiceContext& context, const ServiceRequest& request,
                                     ServiceReply& failure);

// Checks that the request's device ("local_id" with its "local_token") is
// authorised for the account; on failure fills "device auth required".
bool RequireDevice(ServiceContext& context, const ServiceRequest& request,
                   const std::string& username, ServiceReply& failure);

// Both checks, for the requests that need a signed-in, authorised device.
std::optional<Session> RequireAuthorisedDevice(ServiceContext& context,
                                               const ServiceRequest& request,
                                               ServiceReply& failure);

// A local token for the request's device when that device is authorised for
// the account: the presented "local_token" when it is still good, else a new
// one. Nothing when the device is not authorised.
std::optional<std::pair<std::string, int64_t>> LocalTokenFor(ServiceContext& context,
                                                             const ServiceRequest& request,
                                                             const std::string& username);

// The reply members "local_token" and "refresh_token" of requests made by an
// authorised device.
void AddSessionTokens(ServiceContext& context, const ServiceRequest& request,
                      const Session& session, nlohmann::ordered_json& reply);

}  // namespace VendraService
