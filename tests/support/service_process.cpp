#include "tests/support/service_process.h"

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

bool AddServiceUser(const std::string& root, const std::string& user,
                    const std::string& password, const std::string& totpSecret) {
  std::vector<std::string> args = {ServiceProgram(), "add-user", "--root",     root,
                                   "--user",         user,       "--password", password};
  if (!totpSecret.empty()) args.insert(args.end(), {"--totp-secret", totpSecret});
  return RunProgram(args) == 0;
}

}  // namespace VendraTest
