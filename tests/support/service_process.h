#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

namespace VendraTest {

struct ServiceOptions {
  bool tls = true;     // HTTPS with the shared test certificates
  bool faults = true;  // scripted replies (control/script)
  std::vector<std::string> extraArgs;  // e.g. {"--access-lifetime", "2"}
};

// vendra-service running as a child process on 127.0.0.1 and a free port,
// serving the root folder given; stopped with SIGTERM when the holder goes.
class ServiceProcess {
 public:
  explicit ServiceProcess(std::string root, ServiceOptions options = {});
  ~ServiceProcess();
  ServiceProcess(const ServiceProcess&) = delete;
  ServiceProcess& operator=(const ServiceProcess&) = delete;

  bool ok() const { return pid_ > 0 && !url_.empty(); }
  // The base address, ending with '/'.
  const std::string& url() const { return url_; }
  // The CA file that makes the service's certificate trusted.
  const std::string& caFile() const;
  const std::string& root() const { return root_; }
  int pid() const { return pid_; }

  // Sends SIGTERM and waits; the answer is the exit code (-1 when it had to
  // be killed or was not running).
  int Stop();

  // Appends scripted replies for path (a JSON array text, see the service's
  // README); false when the service refused them.
  bool Script(const std::string& path, const std::string& replies) const;
  bool ClearScript() const;
  // Waits until no other connection is open: every request of a killed
  // client is in the log then.
  bool WaitUntilQuiet() const;

  // The lines of ROOT/requests.log so far, and how many name the path.
  std::vector<nlohmann::json> RequestLog() const;
  int CountRequests(const std::string& path) const;
  // The codes of the messages in ROOT/outbox, oldest first.
  std::vector<std::string> OutboxCodes() const;

 private:
  std::string root_;
  ServiceOptions options_;
  int pid_ = -1;
  std::string url_;
};

// Runs "vendra-service add-user"; true on success.
bool AddServiceUser(const std::string& root, const std::string& user,
                    const std::string& password, const std::string& totpSecret = "");

// The authenticator code for the base32 secret at the given time.
std::string AuthenticatorCode(const std::string& base32Secret, long long unixTime);

// Writes a JSON object to root-relative path, creating folders.
void WriteServiceFile(const std::string& root, const std::string& relative,
                      const std::string& content);

// One POST of a multipart form with libcurl, for tests that talk to the
// service without the client under test.
struct HttpReply {
  int curlCode = 0;
  std::string curlError;  // what the transport said when curlCode is not 0
  long status = 0;
  std::string body;
  std::string contentRange;  // the reply's Content-Range header, if any
};
// range, when not empty, is sent as "Range: bytes=RANGE".
HttpReply PostForm(const std::string& url, const std::string& caFile,
                   const std::vector<std::pair<std::string, std::string>>& fields,
                   long timeoutSeconds = 30, const std::string& range = "");

// The path of the vendra-service program that the tests run.
std::string ServiceProgram();

}  // namespace VendraTest
