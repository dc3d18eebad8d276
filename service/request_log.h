#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <optional>
#include <string>

#include "service/exchange.h"

// ROOT/requests.log: one JSON line per request, so tests can count requests
// and check what arrived. Credentials are shortened so that the log never
// holds a usable token; a field whose value is an account's password (or its
// stored digest) is not written but flagged, so a test can prove that a
// password never arrives.
namespace VendraService {

// What the log notes of a reply.
struct LoggedReply {
  int status = 0;
  bool scripted = false;
  bool gzipped = false;
  // The body's bytes as sent (encoded), for a body held in memory.
  std::optional<uint64_t> bodyBytes;
};

class RequestLog {
 public:
  explicit RequestLog(const std::filesystem::path& file);

  void Append(const ServiceRequest& request, const LoggedReply& reply,
              const std::map<std::string, std::string>& passwordDigests);

 private:
  std::mutex mutex_;
  std::ofstream out_;
};

// The shortened form of a credential: at most its first six characters and
// never more than a quarter of it, followed by "..." and its length.
std::string ShortenSecret(const std::string& value);

}  // namespace VendraService
