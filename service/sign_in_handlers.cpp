#include <algorithm>
#include <charconv>

#include "service/digest.h"
#include "service/handlers.h"
#include "service/totp.h"

namespace VendraService {

namespace {

constexpr int64_t kEmailedCodeSeconds = 600;

std::string NewSixDigitCode() {
  char code[8];
  std::snprintf(code, sizeof code, "%06u", RandomBelow(1000000));
  return code;
}

// The session length a sign-in asked for, within the service's longest.
int64_t SessionSeconds(const ServiceContext& context, const std::string& length) {
  uint64_t seconds = 0;
  const auto [end, error] = std::from_chars(length.data(), length.data() + length.size(), seconds);
  if (error != std::errc() || end != length.data() + length.size() || seconds == 0) {
    return context.lifetimes.refresh;
  }
  return std::min<int64_t>(static_cast<int64_t>(std::min<uint64_t>(seconds, INT64_MAX)),
                           context.lifetimes.refresh);
}

// The reply of a sign-in or refresh: a new access token for the session, the
// session's refresh token and, for an authorised device, a local token.
ServiceReply SessionReply(ServiceContext& context, const ServiceRequest& request,
                          const std::string& username, const std::string& refreshToken,
                          int64_t refreshExpiry) {
  TokenInfo access;
  access.kind = TokenKind::Access;
  access.username = username;
  access.device = request.FieldOr("local_id");
  access.refresh = refreshToken;
  // An access token never outlives the session it belongs to.
  access.expiresAt = std::min(NowSeconds() + context.lifetimes.access, refreshExpiry);
  nlohmann::ordered_json reply;
  reply["access_token"] = TokenObject(context.tokens.Issue(access), access.expiresAt);
  reply["refresh_token"] = TokenObject(refreshToken, refreshExpiry);
  if (auto local = LocalTokenFor(context, request, username)) {
    reply["local_token"] = TokenObject(local->first, local->second);
  }
  return JsonReply(reply);
}

}  // namespace

ServiceReply HandleLogin(ServiceContext& context, const ServiceRequest& request) {
  for (const char* name : {"username", "iv", "key", "local_id", "length"}) {
    if (!request.Field(name)) return ErrorReply(400, std::string("Missing field ") + name);
  }
  const std::string username = request.FieldOr("username");
  const std::string iv = request.FieldOr("iv");
  if (iv.empty()) return ErrorReply(400, "Missing field iv");
  {
    std::lock_guard lock(context.mutex);
    if (!context.seenChallenges.insert(username + "\n" + iv).second) {
      return ErrorReply(401, "Challenge already used");
    }
  }
  auto account = context.accounts.Find(username);
  if (!account ||
      ToLowerAscii(request.FieldOr("key")) != Md5Hex(iv + account->passwordMd5)) {
    return ErrorReply(401, "Invalid username or password");
  }
  TokenInfo refresh;
  refresh.kind = TokenKind::Refresh;
  refresh.username = username;
  refresh.device = request.FieldOr("local_id");
  refresh.expiresAt = NowSeconds() + SessionSeconds(context, request.FieldOr("length"));
  const std::string refreshToken = context.tokens.Issue(refresh);
  return SessionReply(context, request, username, refreshToken, refresh.expiresAt);
}

ServiceReply HandleRefresh(ServiceContext& context, const ServiceRequest& request) {
  const std::string refreshToken = request.FieldOr("refresh_token");
  auto refresh = context.tokens.Find(refreshToken, TokenKind::Refresh);
  if (!refresh) return ErrorReply(401, "Refresh token invalid or expired");
  return SessionReply(context, request, refresh->username, refreshToken, refresh->expiresAt);
}

ServiceReply HandleLogout(ServiceContext& context, const ServiceRequest& request) {
  if (auto access = context.tokens.Find(request.FieldOr("access_token"), TokenKind::Access)) {
    context.tokens.Revoke(access->refresh);
  }
  context.tokens.Revoke(request.FieldOr("access_token"));
  context.tokens.Revoke(request.FieldOr("refresh_token"));
  return JsonReply(nlohmann::ordered_json::object());
}

ServiceReply HandleEmailDeviceCode(ServiceContext& context, const ServiceRequest& request) {
  ServiceReply failure;
  auto session = RequireAccess(context, request, failure);
  if (!session) return failure;
  const std::string device = request.FieldOr("local_id");
  const std::string code = NewSixDigitCode();
  if (!context.outbox.SendDeviceCode(session->username, device, code)) {
    return ErrorReply(500, "The code could not be sent");
  }
  std::lock_guard lock(context.mutex);
  context.emailedCodes[{session->username, device}] =
      EmailedCode{code, NowSeconds() + kEmailedCodeSeconds};
  return JsonReply(nlohmann::ordered_json::object());
}

ServiceReply HandleDeviceAuth(ServiceContext& context, const ServiceRequest& request) {
  ServiceReply failure;
  auto session = RequireAccess(context, request, failure);
  if (!session) return failure;
  const std::string device = request.FieldOr("local_id");
  const std::string code = request.FieldOr("code");
  const std::string name = request.FieldOr("name");
  // Without the device's identifier no local token could be issued, and the
  // client would only fail later for want of one.
  if (device.empty()) {
    return ErrorReply(400, "Missing field local_id: the device to authorize must be named");
  }
  if (code.empty()) return ErrorReply(400, "Missing field code");
  if (name.empty()) return ErrorReply(400, "Missing field name");
  auto account = context.accounts.Find(session->username);
  if (!account) return ErrorReply(401, "Unknown account");

  bool accepted = false;
  if (!account->totpSecret.empty()) {
    if (auto key = Base32Decode(account->totpSecret)) {
      accepted = TotpMatches(*key, code, NowSeconds());
    }
  }
  {
    std::lock_guard lock(context.mutex);
    auto sent = context.emailedCodes.find({session->username, device});
    if (!accepted && sent != context.emailedCodes.end() && sent->second.code == code &&
        NowSeconds() < sent->second.expiresAt) {
      accepted = true;
    }
    // A code works once, and a successful authorisation ends any code in flight.
    if (accepted && sent != context.emailedCodes.end()) context.emailedCodes.erase(sent);
  }
  if (!accepted) return ErrorReply(403, "Invalid device authorization code");
  if (!context.accounts.AuthorizeDevice(session->username, device, name)) {
    return ErrorReply(500, "The device could not be stored");
  }
  nlohmann::ordered_json reply = nlohmann::ordered_json::object();
  AddSessionTokens(context, request, *session, reply);
  return JsonReply(reply);
}

}  // namespace VendraService
