#include <chrono>

#include "service/disk.h"
#include "service/handlers.h"

// "vclient/data" answers ROOT/data/P.json (an empty object when there is
// none) and "vclient/crashreport" stores ROOT/crashreports/TIME-SEQ.json;
// both hand the device its session tokens back.
namespace VendraService {

ServiceReply HandleData(ServiceContext& context, const ServiceRequest& request) {
  ServiceReply failure;
  auto session = RequireAuthorisedDevice(context, request, failure);
  if (!session) return failure;
  nlohmann::ordered_json reply = nlohmann::ordered_json::object();
  const std::string p = request.FieldOr("p");
  if (IsSafeName(p)) {
    if (auto stored = ReadJsonObject(context.root / "data" / (p + ".json"))) reply = *stored;
  }
  AddSessionTokens(context, request, *session, reply);
  return JsonReply(reply);
}

ServiceReply HandleCrashReport(ServiceContext& context, const ServiceRequest& request) {
  ServiceReply failure;
  auto session = RequireAuthorisedDevice(context, request, failure);
  if (!session) return failure;
  auto report = nlohmann::ordered_json::parse(request.FieldOr("json"), nullptr, false);
  if (report.is_discarded() || !report.is_object()) {
    return ErrorReply(400, "Field json must hold a JSON object");
  }
  nlohmann::ordered_json stored;
  stored["username"] = session->username;
  stored["local_id"] = request.FieldOr("local_id");
  stored["received_at"] = NowSeconds();
  stored["report"] = report;
  const auto folder = context.root / "crashreports";
  std::error_code ignored;
  std::filesystem::create_directories(folder, ignored);
  const auto millis = std::chrono::duration_cast<std::chrono::milliseconds>(
                          std::chrono::system_clock::now().time_since_epoch())
                          .count();
  const std::string name =
      std::to_string(millis) + "-" + std::to_string(context.sequence++) + ".json";
  if (!WriteFileReplacing(folder / name, stored.dump(2) + "\n")) {
    return ErrorReply(500, "The crash report could not be stored");
  }
  nlohmann::ordered_json reply = nlohmann::ordered_json::object();
  AddSessionTokens(context, request, *session, reply);
  return JsonReply(reply);
}

}  // namespace VendraService
