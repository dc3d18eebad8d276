#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

// One request as the handlers see it and the reply they produce.
namespace VendraService {

struct ServiceRequest {
  std::string path;  // without the leading slash: "vclient/login"
  std::vector<std::pair<std::string, std::string>> fields;  // in arrival order
  std::string remoteAddress;
  // The client's port: requests with the same one came over one connection.
  int remotePort = 0;
  std::string range;  // the "Range" header, as sent

  // The first field of that name, if the request has one.
  std::optional<std::string> Field(const std::string& name) const;
  // The field's value, or an empty text when it is missing.
  std::string FieldOr(const std::string& name) const;
};

struct ServiceReply {
  int status = 200;
  std::string contentType = "application/json";
  std::string body;
  // When set, the body is this file, streamed from disk.
  std::string filePath;
  uint64_t fileSize = 0;
  std::vector<std::pair<std::string, std::string>> headers;
};

ServiceReply JsonReply(const nlohmann::ordered_json& object, int status = 200);
ServiceReply ErrorReply(int status, const std::string& text);

}  // namespace VendraService
