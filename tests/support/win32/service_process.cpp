// The service stand-in, a Linux program, started from a Windows test program
// under Wine through the Linux shell (see win32/shell.cpp). The shell script
// keeps the service's process id and, once it has ended, its exit code in
// files beside the service's root; stopping sends it SIGTERM by that id. A
// service whose test program died ends by itself after a time limit longer
// than any test's.
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "common/text/utf.h"
#include "tests/support/service_process.h"
#include "tests/support/shell.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_certificates.h"

namespace VendraTest {
namespace {

constexpr int kStartSeconds = 20;
constexpr int kStopSeconds = 20;
constexpr int kLongestLifeSeconds = 900;

std::string ControlFolder(const std::string& root) { return root + ".service"; }

// Waits for the file's first complete line.
std::string FirstLine(const std::string& path, int seconds) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (std::chrono::steady_clock::now() < deadline) {
    const std::string text = ReadTextFile(path);
    const size_t end = text.find('\n');
    if (end != std::string::npos) return text.substr(0, end);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return std::string();
}

std::string Command(const std::vector<std::string>& words) {
  std::string line;
  for (const auto& word : words) line += (line.empty() ? "" : " ") + word;
  return line;
}

}  // namespace

std::string ServiceProgram() { return VENDRA_SERVICE_PROGRAM; }

ServiceProcess::ServiceProcess(std::string root, ServiceOptions options)
    : root_(std::move(root)), options_(std::move(options)) {
  std::vector<std::string> args = {ShellQuoted(ServiceProgram()), "serve", "--root",
                                   ShellPath(root_), "--listen", "127.0.0.1:0"};
  if (options_.tls) {
    const auto& certificates = TestCertificates::Shared();
    if (!certificates.ok()) return;
    args.insert(args.end(), {"--tls-cert", ShellPath(certificates.certFile()), "--tls-key",
                             ShellPath(certificates.keyFile())});
  }
  if (options_.faults) args.push_back("--faults");
  for (const auto& extra : options_.extraArgs) args.push_back(ShellQuoted(extra));

  const std::string control = ControlFolder(root_);
  std::error_code error;
  std::filesystem::create_directories(std::filesystem::path(VendraText::Utf8ToUtf16(control)),
                                      error);
  const std::string c = ShellPath(control);
  const std::string script =
      "( " + Command(args) + " >" + c + "/out 2>" + c + "/err & service=$!\n" +
      "  ( sleep " + std::to_string(kLongestLifeSeconds) + "; kill $service ) >/dev/null 2>&1 &\n" +
      "  guard=$!\n" +
      "  echo $service >" + c + "/pid.tmp; mv " + c + "/pid.tmp " + c + "/pid\n" +
      "  wait $service; code=$?; kill $guard 2>/dev/null\n" +
      "  echo $code >" + c + "/code.tmp; mv " + c + "/code.tmp " + c + "/code ) " +
      "</dev/null >/dev/null 2>&1 &";
  if (RunShell(script) != 0) return;
  const std::string pid = FirstLine(control + "/pid", kStartSeconds);
  if (pid.empty()) return;
  pid_ = std::stoi(pid);
  const std::string line = FirstLine(control + "/out", kStartSeconds);
  const std::string prefix = "listening ";
  if (line.rfind(prefix, 0) != 0 || line.back() != '/') return;
  url_ = line.substr(prefix.size());
  // The Windows TLS layer matches the certificate by host name only, and the
  // certificate names "localhost" for the loopback address.
  const std::string address = "127.0.0.1";
  if (const size_t at = url_.find(address); at != std::string::npos)
    url_.replace(at, address.size(), "localhost");
}

ServiceProcess::~ServiceProcess() {
  Stop();
  std::error_code error;
  std::filesystem::remove_all(std::filesystem::path(VendraText::Utf8ToUtf16(ControlFolder(root_))),
                              error);
}

const std::string& ServiceProcess::caFile() const {
  static const std::string none;
  return options_.tls ? TestCertificates::Shared().caFile() : none;
}

int ServiceProcess::Stop() {
  if (pid_ <= 0) return -1;
  const std::string pid = std::to_string(pid_);
  pid_ = -1;
  RunShell("kill -TERM " + pid);
  const std::string code = FirstLine(ControlFolder(root_) + "/code", kStopSeconds);
  if (!code.empty()) return std::stoi(code);
  RunShell("kill -KILL " + pid);
  return -1;
}

bool AddServiceUser(const std::string& root, const std::string& user,
                    const std::string& password, const std::string& totpSecret) {
  std::vector<std::string> args = {ShellQuoted(ServiceProgram()), "add-user", "--root",
                                   ShellPath(root), "--user", ShellQuoted(user), "--password",
                                   ShellQuoted(password)};
  if (!totpSecret.empty()) args.insert(args.end(), {"--totp-secret", ShellQuoted(totpSecret)});
  return RunShell(Command(args) + " >/dev/null 2>&1") == 0;
}

}  // namespace VendraTest
