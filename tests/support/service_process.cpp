#include "tests/support/service_process.h"

#include <curl/curl.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "service/totp.h"
#include "tests/support/test_certificates.h"

namespace VendraTest {

namespace {

constexpr int kStartSeconds = 20;
constexpr int kStopSeconds = 20;

// Runs argv, waits, and answers the exit code (-1 when it did not exit).
int RunProgram(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  int status = 0;
  if (pid < 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

// Reads one line from fd, giving up after the time limit.
std::string ReadFirstLine(int fd) {
  std::string line;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(kStartSeconds);
  while (std::chrono::steady_clock::now() < deadline) {
    pollfd wait{fd, POLLIN, 0};
    if (::poll(&wait, 1, 100) <= 0) continue;
    char c = 0;
    if (::read(fd, &c, 1) != 1) break;
    if (c == '\n') return line;
    line.push_back(c);
  }
  return std::string();
}

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
  curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &reply.status);
  curl_mime_free(mime);
  curl_easy_cleanup(curl);
  curl_slist_free_all(headers);
  return reply;
}

}  // namespace

std::string ServiceProgram() { return VENDRA_SERVICE_PROGRAM; }

ServiceProcess::ServiceProcess(std::string root, ServiceOptions options)
    : root_(std::move(root)), options_(std::move(options)) {
  std::vector<std::string> args = {ServiceProgram(), "serve", "--root", root_, "--listen",
                                   "127.0.0.1:0"};
  if (options_.tls) {
    const auto& certificates = TestCertificates::Shared();
    if (!certificates.ok()) return;
    args.insert(args.end(), {"--tls-cert", certificates.certFile(), "--tls-key",
                             certificates.keyFile()});
  }
  if (options_.faults) args.push_back("--faults");
  args.insert(args.end(), options_.extraArgs.begin(), options_.extraArgs.end());

  int pipeFds[2];
  if (::pipe2(pipeFds, O_CLOEXEC) != 0) return;
  std::vector<char*> argv;
  for (auto& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(pipeFds[1], STDOUT_FILENO);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  ::close(pipeFds[1]);
  if (pid < 0) {
    ::close(pipeFds[0]);
    return;
  }
  pid_ = pid;
  const std::string line = ReadFirstLine(pipeFds[0]);
  ::close(pipeFds[0]);
  const std::string prefix = "listening ";
  if (line.rfind(prefix, 0) == 0 && line.back() == '/') url_ = line.substr(prefix.size());
}

ServiceProcess::~ServiceProcess() { Stop(); }

const std::string& ServiceProcess::caFile() const {
  static const std::string none;
  return options_.tls ? TestCertificates::Shared().caFile() : none;
}

int ServiceProcess::Stop() {
  if (pid_ <= 0) return -1;
  const pid_t pid = pid_;
  pid_ = -1;
  ::kill(pid, SIGTERM);
  int status = 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(kStopSeconds);
  while (std::chrono::steady_clock::now() < deadline) {
    const pid_t done = ::waitpid(pid, &status, WNOHANG);
    if (done == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (done < 0) return -1;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ::kill(pid, SIGKILL);
  ::waitpid(pid, &status, 0);
  return -1;
}

bool ServiceProcess::Script(const std::string& path, const std::string& replies) const {
  const std::string body = "{\"path\":" + nlohmann::json(path).dump() + ",\"replies\":" + replies + "}";
  const HttpReply reply = Post(url_ + "control/script", caFile(), nullptr, &body, nullptr, 30);
  return reply.curlCode == 0 && reply.status == 200;
}

bool ServiceProcess::ClearScript() const {
  const std::string body = "{}";
  const HttpReply reply = Post(url_ + "control/clear", caFile(), nullptr, &body, nullptr, 30);
  return reply.curlCode == 0 && reply.status == 200;
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

bool AddServiceUser(const std::string& root, const std::string& user,
                    const std::string& password, const std::string& totpSecret) {
  std::vector<std::string> args = {ServiceProgram(), "add-user", "--root",     root,
                                   "--user",         user,       "--password", password};
  if (!totpSecret.empty()) args.insert(args.end(), {"--totp-secret", totpSecret});
  return RunProgram(args) == 0;
}

std::string AuthenticatorCode(const std::string& base32Secret, long long unixTime) {
  auto key = VendraService::Base32Decode(base32Secret);
  return key ? VendraService::TotpCode(*key, unixTime) : std::string();
}

void WriteServiceFile(const std::string& root, const std::string& relative,
                      const std::string& content) {
  const std::filesystem::path path = std::filesystem::path(root) / relative;
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
