#include "service/service_context.h"

namespace VendraService {

namespace {
const char kDeviceAuthRequired[] = "device auth required";
}

ServiceContext::ServiceContext(const std::filesystem::path& serviceRoot, Lifetimes tokenLifetimes)
    : root(serviceRoot), lifetimes(tokenLifetimes), accounts(serviceRoot), outbox(serviceRoot) {}

std::optional<Session> RequireAccess(ServiceContext& context, const ServiceRequest& request,
                                     ServiceReply& failure) {
  auto token = request.Field("access_token");
  if (!token || token->empty()) {
    failure = ErrorReply(401, "Access token required");
    return std::nullopt;
  }
  auto info = context.tokens.Find(*token, TokenKind::Access);
  if (!info) {
    failure = ErrorReply(401, "Access token invalid or expired");
    return std::nullopt;
  }
  return Session{info->username, info->refresh};
}

bool RequireDevice(ServiceContext& context, const ServiceRequest& request,
                   const std::string& username, ServiceReply& failure) {
  const std::string device = request.FieldOr("local_id");
  auto info = context.tokens.Find(request.FieldOr("local_token"), TokenKind::Local);
  const bool authorised = info && info->username == username && info->device == device &&
                          context.accounts.IsDeviceAuthorized(username, device);
  if (!authorised) failure = ErrorReply(401, kDeviceAuthRequired);
  return authorised;
}

std::optional<Session> RequireAuthorisedDevice(ServiceContext& context,
                                               const ServiceRequest& request,
                                               ServiceReply& failure) {
  auto session = RequireAccess(context, request, failure);
  if (session && !RequireDevice(context, request, session->username, failure)) return std::nullopt;
  return session;
}

std::optional<std::pair<std::string, int64_t>> LocalTokenFor(ServiceContext& context,
                                                             const ServiceRequest& request,
                                                             const std::string& username) {
  const std::string device = request.FieldOr("local_id");
  const std::string presented = request.FieldOr("local_token");
  if (auto info = context.tokens.Find(presented, TokenKind::Local);
      info && info->username == username &&
      context.accounts.IsDeviceAuthorized(username, info->device)) {
    return std::make_pair(presented, info->expiresAt);
  }
  if (device.empty() || !context.accounts.IsDeviceAuthorized(username, device)) {
    return std::nullopt;
  }
  TokenInfo fresh;
  fresh.kind = TokenKind::Local;
  fresh.username = username;
  fresh.device = device;
  fresh.expiresAt = NowSeconds() + context.lifetimes.local;
  return std::make_pair(context.tokens.Issue(fresh), fresh.expiresAt);
}

void AddSessionTokens(ServiceContext& context, const ServiceRequest& request,
                      const Session& session, nlohmann::ordered_json& reply) {
  if (auto local = LocalTokenFor(context, request, session.username)) {
    reply["local_token"] = TokenObject(local->first, local->second);
  }
  if (auto refresh = context.tokens.Find(session.refreshToken, TokenKind::Refresh)) {
    reply["refresh_token"] = TokenObject(session.refreshToken, refresh->expiresAt);
  }
}

}  // namespace VendraService
