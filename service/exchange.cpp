#include "service/exchange.h"

namespace VendraService {

std::optional<std::string> ServiceRequest::Field(const std::string& name) const {
  for (const auto& [key, value] : fields) {
    if (key == name) return value;
  }
  return std::nullopt;
}

std::string ServiceRequest::FieldOr(const std::string& name) const {
  return Field(name).value_or(std::string());
}

ServiceReply JsonReply(const nlohmann::ordered_json& object, int status) {
  ServiceReply reply;
  reply.status = status;
  reply.body = object.dump();
  return reply;
}

ServiceReply ErrorReply(int status, const std::string& text) {
  nlohmann::ordered_json object;
  object["error"] = text;
  return JsonReply(object, status);
}

}  // namespace VendraService
