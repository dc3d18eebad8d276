#include "service/handlers.h"

namespace VendraService {

ServiceReply Dispatch(ServiceContext& context, const ServiceRequest& request) {
  using Handler = ServiceReply (*)(ServiceContext&, const ServiceRequest&);
  static const std::pair<const char*, Handler> kHandlers[] = {
      {"vclient/login", HandleLogin},
      {"vclient/refresh", HandleRefresh},
      {"vclient/logout", HandleLogout},
      {"vclient/emaildevicecode", HandleEmailDeviceCode},
      {"vclient/deviceauth", HandleDeviceAuth},
      {"vclient/data", HandleData},
      {"vclient/builds", HandleBuilds},
      {"vclient/build", HandleBuild},
      {"vclient/utility", HandleUtility},
      {"vclient/download", HandleDownload},
      {"vclient/crashreport", HandleCrashReport},
  };
  for (const auto& [path, handler] : kHandlers) {
    if (request.path == path) return handler(context, request);
  }
  return ErrorReply(404, "Unknown request path");
}

}  // namespace VendraService
