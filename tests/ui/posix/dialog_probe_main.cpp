// Shows one of the client's sign-in windows on the real terminal, with the
// service's requests replaced by a record of their arguments, so that tests
// can drive the windows through pipes and pseudo-terminals.
//   ui_dialog_probe login|login-twice|device|device-hostile RECORD_FILE
// "device-hostile" plays a service whose texts carry terminal escape
// sequences: the user name and the failed e-mail request's error.
// The outcome is printed last: "outcome <code> <text>".
#include <cstdio>
#include <string>
#include <utility>

#include "client/v_client.h"
#include "common/text/format.h"
#include "common/text/terminal_text.h"
#include "common/text/utf.h"
#include "ui/sign_in_windows.h"

namespace {

using VendraClient::eVClientResult;

class ProbeClient final : public VendraClient::VClient {
 public:
  ProbeClient(std::string record, bool hostile) : record_(std::move(record)), hostile_(hostile) {
    if (hostile_) user_ = kHostileUser;
  }

  eVClientResult GetDeviceName(std::u16string& name, std::u16string&) override {
    name = u"probe-host";
    return eVClientResult::Success;
  }
  eVClientResult GetUsername(std::u16string& user, std::u16string&) override {
    user = user_;
    return eVClientResult::Success;
  }
  eVClientResult LoginW(const std::u16string& user, const std::u16string& password,
                        bool passwordIsDigest, uint32_t seconds, std::u16string&) override {
    Record(VendraText::Format("LoginW [%ls] [%ls] %d %u", user, password, passwordIsDigest,
                              seconds));
    user_ = user;
    return eVClientResult::Success;
  }
  eVClientResult AuthorizeDevice(const std::u16string& code, const std::u16string& name,
                                 std::u16string&) override {
    Record(VendraText::Format("AuthorizeDevice [%ls] [%ls]", code, name));
    return eVClientResult::Success;
  }
  eVClientResult EmailDeviceCode(std::u16string& error) override {
    Record("EmailDeviceCode");
    if (!hostile_) return eVClientResult::Success;
    error = kHostileError;
    return eVClientResult::HttpForbidden;
  }
  eVClientResult Logout(std::u16string&) override {
    Record("Logout");
    return eVClientResult::Success;
  }

 private:
  // Opened for each line, so that no file takes the place of a closed
  // standard input before the window asks for it.
  void Record(const std::string& line) {
    if (std::FILE* f = std::fopen(record_.c_str(), "a")) {
      std::fprintf(f, "%s\n", line.c_str());
      std::fclose(f);
    }
  }

  static constexpr char16_t kHostileUser[] = u"mallory\x1b]0;owned\a";
  static constexpr char16_t kHostileError[] = u"\x1b[2J\x1b[Hdenied\r\x9b" u"1;1H";

  std::string record_;
  bool hostile_;
  std::u16string user_ = u"alice";
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s login|login-twice|device|device-hostile RECORD_FILE\n",
                 argv[0]);
    return 2;
  }
  const std::string which = argv[1];
  VendraUi::SystemSignInWindows windows;
  ProbeClient client(argv[2], which == "device-hostile");
  client.SetWindows(&windows);
  // "login-twice" shows the Login window two times in one run.
  const int showings = which == "login-twice" ? 2 : 1;
  for (int i = 0; i < showings; ++i) {
    std::u16string error;
    const eVClientResult result = which.rfind("device", 0) == 0
                                      ? client.ShowDeviceAuthorizationWindow(error)
                                      : client.ShowLoginWindow(error);
    std::printf("outcome %d %s\n", VendraClient::ToInt(result),
                VendraText::ShownOnTerminalUtf8(error).c_str());
    std::fflush(stdout);
  }
  return 0;
}
