// Shows one of the client's sign-in windows on the real terminal, with the
// service's requests replaced by a record of their arguments, so that tests
// can drive the windows through pipes and pseudo-terminals.
//   ui_dialog_probe login|login-twice|device|device-hostile RECORD_FILE
// "device-hostile" plays a service whose texts carry terminal escape
// sequences: the user name and the failed e-mail request's error.
// The outcome is printed last: "outcome <code> <text>".
#include <cstdio>
#include <string>

#include "common/text/terminal_text.h"
#include "common/text/utf.h"
#include "tests/support/fake_client.h"
#include "ui/sign_in_windows.h"

namespace {

using VendraClient::eVClientResult;

constexpr char16_t kHostileUser[] = u"mallory\x1b]0;owned\a";
constexpr char16_t kHostileError[] = u"\x1b[2J\x1b[Hdenied\r\x9b" u"1;1H";

// Opened for each line, so that no file takes the place of a closed
// standard input before the window asks for it.
void Record(const std::string& file, const std::string& line) {
  if (std::FILE* f = std::fopen(file.c_str(), "a")) {
    std::fprintf(f, "%s\n", line.c_str());
    std::fclose(f);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s login|login-twice|device|device-hostile RECORD_FILE\n",
                 argv[0]);
    return 2;
  }
  const std::string which = argv[1];
  VendraUi::SystemSignInWindows windows;
  VendraTest::FakeClient client;
  client.SetWindows(&windows);
  client.deviceName = u"probe-host";
  client.heard = [record = std::string(argv[2])](const std::string& call) { Record(record, call); };
  if (which == "device-hostile") {
    client.userName = kHostileUser;
    client.emailAnswer = {eVClientResult::HttpForbidden, kHostileError};
  }
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
