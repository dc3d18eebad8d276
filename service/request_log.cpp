#include "service/request_log.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <set>

#include "service/digest.h"

namespace VendraService {

namespace {

const std::set<std::string> kSecretFields = {"key", "access_token", "refresh_token",
                                             "local_token"};
constexpr size_t kLongestLoggedValue = 512;

std::string TimeText() {
  const auto now = std::chrono::system_clock::now();
  const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
  const auto millis =
      std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() %
      1000;
  std::tm utc{};
  gmtime_r(&seconds, &utc);
  char text[96];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", utc.tm_year + 1900,
                utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec,
                static_cast<int>(millis));
  return text;
}

}  // namespace

std::string ShortenSecret(const std::string& value) {
  const size_t shown = std::min<size_t>(6, value.size() / 4);
  return value.substr(0, shown) + "...(" + std::to_string(value.size()) + ")";
}

RequestLog::RequestLog(const std::filesystem::path& file)
    : out_(file, std::ios::binary | std::ios::app) {}

void RequestLog::Append(const ServiceRequest& request, const LoggedReply& reply,
                        const std::map<std::string, std::string>& passwordDigests) {
  nlohmann::ordered_json line;
  line["time"] = TimeText();
  line["path"] = request.path;
  line["remote"] = request.remoteAddress;
  line["remote_port"] = request.remotePort;
  nlohmann::ordered_json fields = nlohmann::ordered_json::object();
  bool passwordSeen = false;
  bool digestSeen = false;
  for (const auto& [name, value] : request.fields) {
    const std::string lower = ToLowerAscii(value);
    const std::string md5 = Md5Hex(value);
    bool isPassword = false;
    bool isDigest = false;
    for (const auto& [user, digest] : passwordDigests) {
      if (digest.empty()) continue;
      isPassword = isPassword || md5 == digest;
      isDigest = isDigest || lower == digest;
    }
    std::string logged;
    if (isPassword) {
      logged = "[password]";
      passwordSeen = true;
    } else if (isDigest) {
      logged = "[password digest]";
      digestSeen = true;
    } else if (kSecretFields.count(name) != 0) {
      logged = ShortenSecret(value);
    } else if (value.size() > kLongestLoggedValue) {
      logged = value.substr(0, kLongestLoggedValue) + "...(" + std::to_string(value.size()) + ")";
    } else {
      logged = value;
    }
    fields[name] = logged;
  }
  line["fields"] = fields;
  line["field_order"] = nlohmann::ordered_json::array();
  for (const auto& field : request.fields) line["field_order"].push_back(field.first);
  line["status"] = reply.status;
  if (!request.range.empty()) line["range"] = request.range;
  if (reply.scripted) line["scripted"] = true;
  if (reply.bodyBytes) line["body_bytes"] = *reply.bodyBytes;
  if (reply.gzipped) line["content_encoding"] = "gzip";
  if (passwordSeen) line["password_received"] = true;
  if (digestSeen) line["password_digest_received"] = true;
  const std::string text =
      line.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
  std::lock_guard lock(mutex_);
  out_ << text;
  out_.flush();
}

}  // namespace VendraService
