#include "service/faults.h"

namespace VendraService {

namespace {

// Raw bytes for bodies that JSON text cannot carry (invalid UTF-8).
bool DecodeHex(const std::string& hex, std::string& bytes) {
  if (hex.size() % 2 != 0) return false;
  bytes.clear();
  for (size_t i = 0; i < hex.size(); i += 2) {
    unsigned value = 0;
    for (size_t j = i; j < i + 2; ++j) {
      const char c = hex[j];
      value <<= 4;
      if (c >= '0' && c <= '9') value |= static_cast<unsigned>(c - '0');
      else if (c >= 'a' && c <= 'f') value |= static_cast<unsigned>(c - 'a' + 10);
      else if (c >= 'A' && c <= 'F') value |= static_cast<unsigned>(c - 'A' + 10);
      else return false;
    }
    bytes.push_back(static_cast<char>(value));
  }
  return true;
}

bool ParseEntry(const nlohmann::json& entry, ScriptedReply& reply, std::string& reason) {
  if (!entry.is_object()) {
    reason = "each reply must be an object";
    return false;
  }
  for (const auto& [name, value] : entry.items()) {
    if (name == "status" && value.is_number_integer()) {
      reply.status = value.get<int>();
    } else if (name == "body" && value.is_string()) {
      reply.body = value.get<std::string>();
    } else if (name == "body_hex" && value.is_string()) {
      if (!DecodeHex(value.get<std::string>(), reply.body)) {
        reason = "body_hex must be pairs of hexadecimal digits";
        return false;
      }
    } else if (name == "content_type" && value.is_string()) {
      reply.contentType = value.get<std::string>();
    } else if (name == "delay_ms" && value.is_number_integer()) {
      reply.delayMs = value.get<int64_t>();
    } else if (name == "close_after" && value.is_number_unsigned()) {
      reply.closeAfter = value.get<uint64_t>();
    } else if (name == "chunk_size" && value.is_number_unsigned()) {
      reply.chunkSize = value.get<uint64_t>();
    } else if (name == "chunk_delay_ms" && value.is_number_integer()) {
      reply.chunkDelayMs = value.get<int64_t>();
    } else if (name == "repeat_to" && value.is_number_unsigned()) {
      reply.repeatTo = value.get<uint64_t>();
    } else if (name == "filename" && value.is_string()) {
      reply.filename = value.get<std::string>();
    } else if (name == "headers" && value.is_object()) {
      for (const auto& [header, text] : value.items()) {
        if (!text.is_string()) {
          reason = "header values must be strings";
          return false;
        }
        reply.headers.emplace_back(header, text.get<std::string>());
      }
    } else {
      reason = "unknown or mistyped member \"" + name + "\"";
      return false;
    }
  }
  return true;
}

}  // namespace

bool FaultScript::Add(const nlohmann::json& script, std::string& reason) {
  if (!script.is_object() || !script.contains("path") || !script["path"].is_string() ||
      !script.contains("replies") || !script["replies"].is_array()) {
    reason = "expected {\"path\": text, \"replies\": [...]}";
    return false;
  }
  std::string path = script["path"].get<std::string>();
  if (!path.empty() && path[0] == '/') path.erase(0, 1);
  std::deque<ScriptedReply> parsed;
  for (const auto& entry : script["replies"]) {
    ScriptedReply reply;
    if (!ParseEntry(entry, reply, reason)) return false;
    parsed.push_back(std::move(reply));
  }
  std::lock_guard lock(mutex_);
  auto& queue = queues_[path];
  queue.insert(queue.end(), parsed.begin(), parsed.end());
  return true;
}

void FaultScript::Clear() {
  std::lock_guard lock(mutex_);
  queues_.clear();
}

std::optional<ScriptedReply> FaultScript::Next(const std::string& path,
                                               const std::string& filename) {
  std::lock_guard lock(mutex_);
  auto found = queues_.find(path);
  if (found == queues_.end()) return std::nullopt;
  auto& queue = found->second;
  for (auto entry = queue.begin(); entry != queue.end(); ++entry) {
    if (entry->filename && *entry->filename != filename) continue;
    ScriptedReply reply = std::move(*entry);
    queue.erase(entry);
    return reply;
  }
  return std::nullopt;
}

}  // namespace VendraService
