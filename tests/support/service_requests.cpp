// The service stand-in's requests and files, the same whichever way it was
// started: scripted replies, the request log, the outbox, plain form posts.
#include <curl/curl.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>

#include "common/text/utf.h"
#include "tests/support/service_process.h"

namespace VendraTest {

namespace {

size_t AppendBody(char* data, size_t size, size_t count, void* body) {
  static_cast<std::string*>(body)->append(data, size * count);
  return size * count;
}

size_t KeepContentRange(char* data, size_t size, size_t count, void* reply) {
  const std::string line(data, size * count);
  constexpr char kName[] = "content-range:";
  std::string lower = line.substr(0, sizeof(kName) - 1);
  for (auto& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (lower == kName) {
    std::string value = line.substr(sizeof(kName) - 1);
    while (!value.empty() && std::isspace(static_cast<unsigned char>(value.front())))
      value.erase(0, 1);
    while (!value.empty() && std::isspace(static_cast<unsigned char>(value.back())))
      value.pop_back();
    static_cast<HttpReply*>(reply)->contentRange = value;
  }
  return size * count;
}

HttpReply Post(const std::string& url, const std::string& caFile, std::nullptr_t,
               const std::string* rawBody,
               const std::vector<std::pair<std::string, std::string>>* fields,
               long timeoutSeconds, const std::string& range = "") {
  HttpReply reply;
  CURL* curl = curl_easy_init();
  // libcurl's own range option turns into Content-Range on a POST.
  curl_slist* headers = nullptr;
  if (!range.empty()) {
    headers = curl_slist_append(headers, ("Range: bytes=" + range).c_str());
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
  }
  curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, KeepContentRange);
  curl_easy_setopt(curl, CURLOPT_HEADERDATA, &reply);
  curl_mime* mime = nullptr;
  char errorText[CURL_ERROR_SIZE] = {};
  curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errorText);
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  if (!caFile.empty()) curl_easy_setopt(curl, CURLOPT_CAINFO, caFile.c_str());
  curl_easy_setopt(curl, CURLOPT_TIMEOUT, timeoutSeconds);
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, AppendBody);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &reply.body);
  if (rawBody) {
    curl_easy_setopt(curl, CURLOPT_POSTFIELDS, rawBody->c_str());
    curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE, static_cast<long>(rawBody->size()));
  } else {
    mime = curl_mime_init(curl);
    for (const auto& [name, value] : *fields) {
      curl_mimepart* part = curl_mime_addpart(mime);
      curl_mime_name(part, name.c_str());
      curl_mime_data(part, value.data(), value.size());
    }
    curl_easy_setopt(curl, CURLOPT_MIMEPOST, mime);
  }
  reply.curlCode = curl_easy_perform(curl);
  if (reply.curlCode != 0)
    reply.curlError = errorText[0] != 0
                          ? errorText
                          : curl_easy_strerror(static_cast<CURLcode>(reply.curlCode));
  curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &reply.status);
  curl_mime_free(mime);
  curl_easy_cleanup(curl);
  curl_slist_free_all(headers);
  return reply;
}

// A control request with a JSON body; true when the service took it.
bool Control(const std::string& url, const std::string& caFile, const std::string& body) {
  const HttpReply reply = Post(url, caFile, nullptr, &body, nullptr, 30);
  return reply.curlCode == 0 && reply.status == 200;
}

}  // namespace

bool ServiceProcess::Script(const std::string& path, const std::string& replies) const {
  return Control(url_ + "control/script", caFile(),
                 "{\"path\":" + nlohmann::json(path).dump() + ",\"replies\":" + replies + "}");
}

bool ServiceProcess::ClearScript() const { return Control(url_ + "control/clear", caFile(), "{}"); }

bool ServiceProcess::WaitUntilQuiet() const {
  return Control(url_ + "control/quiet", caFile(), "{}");
}

std::vector<nlohmann::json> ServiceProcess::RequestLog() const {
  std::vector<nlohmann::json> lines;
  std::ifstream in(root_ + "/requests.log");
  std::string line;
  while (std::getline(in, line)) {
    auto parsed = nlohmann::json::parse(line, nullptr, false);
    if (!parsed.is_discarded()) lines.push_back(std::move(parsed));
  }
  return lines;
}

int ServiceProcess::CountRequests(const std::string& path) const {
  int count = 0;
  for (const auto& line : RequestLog()) count += line.value("path", "") == path ? 1 : 0;
  return count;
}

std::vector<std::string> ServiceProcess::OutboxCodes() const {
  std::vector<std::filesystem::path> files;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(root_ + "/outbox", error)) {
    if (entry.path().extension() == ".txt") files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  std::vector<std::string> codes;
  for (const auto& file : files) {
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line)) {
      if (line.rfind("code: ", 0) == 0) codes.push_back(line.substr(6));
    }
  }
  return codes;
}

void WriteServiceFile(const std::string& root, const std::string& relative,
                      const std::string& content) {
  // UTF-8 names reach Windows' file system only as wide text.
  const std::filesystem::path path = std::filesystem::path(VendraText::Utf8ToUtf16(root)) /
                                     std::filesystem::path(VendraText::Utf8ToUtf16(relative));
  std::filesystem::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << content;
}

HttpReply PostForm(const std::string& url, const std::string& caFile,
                   const std::vector<std::pair<std::string, std::string>>& fields,
                   long timeoutSeconds, const std::string& range) {
  return Post(url, caFile, nullptr, nullptr, &fields, timeoutSeconds, range);
}

}  // namespace VendraTest
