// The installer program signing in and authorising its device against the
// service stand-in, its windows answered on the terminal: once through
// pipes (a script), once at a pseudo-terminal (a person, password hidden).
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "tests/support/service_process.h"
#include "tests/support/temp_folder.h"
#include "tests/ui/posix/child_session.h"

using namespace VendraUiTest;
using namespace VendraTest;

namespace {

constexpr char kUser[] = "alice";
constexpr char kPassword[] = "correct horse battery";

struct InstallerRun {
  TempFolder serviceRoot, machine, install;
  std::unique_ptr<ServiceProcess> service;
  std::string program;

  bool Prepare() {
    if (!AddServiceUser(serviceRoot.path(), kUser, kPassword)) return false;
    // The service authorises only a named device.
    WriteServiceFile(machine.path(), "etc/machine-id", "0123456789abcdef0123456789abcdef\n");
    service = std::make_unique<ServiceProcess>(serviceRoot.path());
    if (!service->ok()) return false;
    program = install.Sub("TandoryInstaller");
    std::filesystem::copy_file(TANDORY_INSTALLER_PATH, program);
    return true;
  }

  std::unique_ptr<ChildSession> Start(ChildSession::Mode mode) {
    return std::make_unique<ChildSession>(
        mode, std::vector<std::string>{program},
        std::vector<std::pair<std::string, std::string>>{
            {"VENDRA_MACHINE_ROOT", machine.path()},
            {"VENDRA_SERVICE_URL", service->url()},
            {"VENDRA_CA_FILE", service->caFile()}});
  }

  std::string LastMailedCode() const {
    const auto codes = service->OutboxCodes();
    return codes.empty() ? std::string() : codes.back();
  }
};

// Answers both windows the way the walk-through does: user,
// password, session length, OK; then an e-mailed code, OK. The line end is
// what the terminal sends for Enter; at a terminal a message box waits for it.
void SignInAndAuthorise(ChildSession& s, InstallerRun& run, const std::string& enter,
                        bool boxesWaitForEnter) {
  ASSERT_TRUE(s.WaitFor("Username: ")) << s.output();
  s.Send(std::string(kUser) + enter);
  ASSERT_TRUE(s.WaitFor("Password: ")) << s.output();
  s.Send(kPassword + enter);
  ASSERT_TRUE(s.WaitFor("[180 days]: ")) << s.output();
  s.Send("1 year" + enter);
  ASSERT_TRUE(s.WaitFor("[OK]: ")) << s.output();
  s.Send("OK" + enter);

  ASSERT_TRUE(s.WaitFor("Vendra Software username: alice")) << s.output();
  ASSERT_TRUE(s.WaitFor("A name to remember this device by [")) << s.output();
  s.Send(enter);
  ASSERT_TRUE(s.WaitFor("Authenticator/E-mail code: ")) << s.output();
  s.Send(enter);
  ASSERT_TRUE(s.WaitFor("[OK]: ")) << s.output();
  s.Send("Send me a code via E-mail" + enter);
  ASSERT_TRUE(s.WaitFor("Success: New Device Authorization e-mail sent!")) << s.output();
  ASSERT_TRUE(s.WaitFor("[OK]")) << s.output();
  if (boxesWaitForEnter) s.Send(enter);
  const std::string code = run.LastMailedCode();
  ASSERT_FALSE(code.empty());
  ASSERT_TRUE(s.WaitFor("A name to remember this device by [")) << s.output();
  s.Send(enter);
  ASSERT_TRUE(s.WaitFor("Authenticator/E-mail code: ")) << s.output();
  s.Send(code + enter);
  ASSERT_TRUE(s.WaitFor("[OK]: ")) << s.output();
  s.Send("OK" + enter);
}

void ExpectSignedInAndAuthorised(const InstallerRun& run, const std::string& output) {
  EXPECT_EQ(output.find("Vendra Software Login failed"), std::string::npos) << output;
  EXPECT_EQ(output.find("Vendra Software Device authorization failed"), std::string::npos)
      << output;
  EXPECT_EQ(run.service->CountRequests("vclient/login"), 1);
  EXPECT_EQ(run.service->CountRequests("vclient/emaildevicecode"), 1);
  EXPECT_EQ(run.service->CountRequests("vclient/deviceauth"), 1);
  for (const auto& line : run.service->RequestLog()) {
    EXPECT_FALSE(line.contains("password_received")) << line.dump();
    if (line.value("path", "") == "vclient/login") {
      EXPECT_EQ(line["fields"].value("username", ""), kUser);
      EXPECT_EQ(line["fields"].value("length", ""), "31536000");
      EXPECT_EQ(line.value("status", 0), 200);
    }
    if (line.value("path", "") == "vclient/deviceauth") {
      EXPECT_EQ(line.value("status", 0), 200) << line.dump();
    }
  }
  EXPECT_TRUE(std::filesystem::exists(run.machine.Sub("ProgramData/Vendra Software/localStorage.json")));
}

}  // namespace

TEST(InstallerSignIn, PipedAnswersSignInAndAuthoriseTheDevice) {
  InstallerRun run;
  ASSERT_TRUE(run.Prepare());
  auto s = run.Start(ChildSession::Mode::Pipes);
  ASSERT_TRUE(s->started());
  SignInAndAuthorise(*s, run, "\n", false);
  // What follows the two steps needs no more answers.
  s->CloseInput();
  EXPECT_EQ(s->Finish(), 0) << s->output();
  ExpectSignedInAndAuthorised(run, s->output());
}

TEST(InstallerSignIn, AtATerminalThePasswordIsNeverShown) {
  InstallerRun run;
  ASSERT_TRUE(run.Prepare());
  auto s = run.Start(ChildSession::Mode::PseudoTerminal);
  ASSERT_TRUE(s->started());
  SignInAndAuthorise(*s, run, "\r", true);
  // A failure box of a later step waits for Enter at a terminal.
  for (int i = 0; i < 5 && s->WaitFor("[OK]\r\n", 10); ++i) s->Send("\r");
  EXPECT_EQ(s->Finish(), 0) << s->output();
  EXPECT_EQ(s->output().find(kPassword), std::string::npos) << s->output();
  EXPECT_NE(s->output().find("Username: alice\r\n"), std::string::npos) << s->output();
  ExpectSignedInAndAuthorised(run, s->output());
}
