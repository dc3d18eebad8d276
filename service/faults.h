#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

// Scripted replies for tests (serve --faults, loopback only). Each request to
// a path takes the next scripted entry of that path meant for it, if any (an
// entry may be meant for the requests of one file only, so that a client
// with several requests in flight meets it on that file whatever their
// order). An entry with a
// "status" replaces the reply; one without only changes how the real reply is
// delivered (late, slowly, or cut off).
namespace VendraService {

struct ScriptedReply {
  std::optional<int> status;
  std::string body;
  std::string contentType = "application/json";
  std::vector<std::pair<std::string, std::string>> headers;
  int64_t delayMs = 0;                     // before the reply starts
  std::optional<uint64_t> closeAfter;      // body bytes sent before the connection is cut
  uint64_t chunkSize = 0;                  // slow body: bytes per step ...
  int64_t chunkDelayMs = 0;                // ... and the pause after each step
  std::optional<uint64_t> repeatTo;        // the body over and over, this many bytes in all
  std::optional<std::string> filename;     // only for requests with this "filename" field
};

class FaultScript {
 public:
  // Appends the entries of {"path": P, "replies": [...]}; false with a reason
  // when the script is malformed (nothing is appended then).
  bool Add(const nlohmann::json& script, std::string& reason);
  void Clear();
  // filename: the request's "filename" form field (without one, its "pack"
  // field; empty without either).
  std::optional<ScriptedReply> Next(const std::string& path, const std::string& filename);

 private:
  std::mutex mutex_;
  std::map<std::string, std::deque<ScriptedReply>> queues_;
};

}  // namespace VendraService
