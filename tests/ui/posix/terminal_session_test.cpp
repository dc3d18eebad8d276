// The client's sign-in windows on the real terminal of a child process: fed
// through a pipe the way a script does, and typed at a pseudo-terminal the
// way a person does, where the password must not be echoed.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <functional>

#include <gtest/gtest.h>

#include "tests/support/temp_folder.h"
#include "tests/ui/posix/child_session.h"

using namespace VendraUiTest;
using VendraTest::ReadTextFile;
using VendraTest::TempFolder;

namespace {

using Mode = ChildSession::Mode;

std::vector<std::string> Probe(const std::string& which, const std::string& record) {
  return {UI_DIALOG_PROBE, which, record};
}

// Runs the probe with standard input from /dev/null or closed.
std::string RunWithoutInput(const std::string& which, const std::string& record, bool closed) {
  int out[2];
  if (::pipe(out) != 0) return {};
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::close(out[0]);
    ::dup2(out[1], STDOUT_FILENO);
    ::dup2(out[1], STDERR_FILENO);
    if (closed) {
      ::close(STDIN_FILENO);
    } else {
      const int null = ::open("/dev/null", O_RDONLY);
      ::dup2(null, STDIN_FILENO);
    }
    ::execl(UI_DIALOG_PROBE, UI_DIALOG_PROBE, which.c_str(), record.c_str(),
            static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::close(out[1]);
  std::string text;
  char buffer[4096];
  ssize_t got;
  while ((got = ::read(out[0], buffer, sizeof buffer)) > 0) text.append(buffer, got);
  ::close(out[0]);
  ::waitpid(pid, nullptr, 0);
  return text;
}

}  // namespace

TEST(TerminalSession, PipedLinesSignIn) {
  TempFolder dir;
  ChildSession s(Mode::Pipes, Probe("login", dir.Sub("record")));
  ASSERT_TRUE(s.started());
  s.Send("alice\nhunter2\n1 year\nOK\n");
  EXPECT_EQ(s.Finish(), 0);
  EXPECT_NE(s.output().find("outcome 0 \n"), std::string::npos) << s.output();
  EXPECT_EQ(ReadTextFile(dir.Sub("record")), "LoginW [alice] [hunter2] 0 31536000\n");
}

TEST(TerminalSession, EndOfInputIsCancel) {
  TempFolder dir;
  const std::string out = RunWithoutInput("login", dir.Sub("record"), false);
  EXPECT_NE(out.find("outcome -109 User clicked Cancel in Login window\n"), std::string::npos)
      << out;
  const std::string device = RunWithoutInput("device", dir.Sub("record"), false);
  EXPECT_NE(device.find("outcome -5 User clicked Cancel in Device Authorization window\n"),
            std::string::npos)
      << device;
  EXPECT_EQ(ReadTextFile(dir.Sub("record")), "");
}

TEST(TerminalSession, ClosedInputIsAWindowThatCannotBeMade) {
  TempFolder dir;
  const std::string out = RunWithoutInput("login", dir.Sub("record"), true);
  EXPECT_NE(out.find("outcome -1 Failed to create Vendra Login window: GetLastError=6\n"),
            std::string::npos)
      << out;
  const std::string device = RunWithoutInput("device", dir.Sub("record"), true);
  EXPECT_NE(device.find("outcome -1 Failed to create Device Auth window: GetLastError=6\n"),
            std::string::npos)
      << device;
}

TEST(TerminalSession, PipedDeviceWindowSwitchesAccountThroughTheClientsLoginWindow) {
  TempFolder dir;
  ChildSession s(Mode::Pipes, Probe("device", dir.Sub("record")));
  ASSERT_TRUE(s.started());
  ASSERT_TRUE(s.WaitFor("Vendra Software username: alice\n")) << s.output();
  s.Send("\n\nNot you?\n");
  ASSERT_TRUE(s.WaitFor("Username: ")) << s.output();
  s.Send("bob\npw\n\n\n");
  ASSERT_TRUE(s.WaitFor("Vendra Software username: bob\n")) << s.output();
  s.Send("\n123456\nOK\n");
  EXPECT_EQ(s.Finish(), 0);
  EXPECT_NE(s.output().find("outcome 0 \n"), std::string::npos) << s.output();
  EXPECT_EQ(ReadTextFile(dir.Sub("record")),
            "Logout\nLoginW [bob] [pw] 0 15552000\nAuthorizeDevice [123456] [probe-host]\n");
}

// A service that puts escape sequences into its texts (a user name shown in a
// field, an error shown in a message box) must not reach the terminal: the
// texts are shown with their control characters replaced.
TEST(TerminalSession, EscapeSequencesFromTheServiceAreShownNotObeyed) {
  TempFolder dir;
  ChildSession s(Mode::Pipes, Probe("device-hostile", dir.Sub("record")));
  ASSERT_TRUE(s.started());
  ASSERT_TRUE(s.WaitFor("[probe-host]: ")) << s.output();
  s.Send("\n\nSend me a code via E-mail\n");
  ASSERT_TRUE(s.WaitFor("denied")) << s.output();
  s.CloseInput();
  EXPECT_EQ(s.Finish(), 0);
  const std::string& out = s.output();
  EXPECT_NE(out.find("Vendra Software username: mallory\xEF\xBF\xBD]0;owned\xEF\xBF\xBD\n"),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("\xEF\xBF\xBD[2J\xEF\xBF\xBD[Hdenied\xEF\xBF\xBD\xEF\xBF\xBD" "1;1H"),
            std::string::npos)
      << out;
  for (const char* control : {"\x1b", "\a", "\r", "\xC2\x9B"})
    EXPECT_EQ(out.find(control), std::string::npos) << out;
}

TEST(TerminalSession, AtATerminalThePasswordIsNotEchoedAndEchoComesBack) {
  TempFolder dir;
  ChildSession s(Mode::PseudoTerminal, Probe("login", dir.Sub("record")));
  ASSERT_TRUE(s.started());
  ASSERT_TRUE(s.WaitFor("Username: ")) << s.output();
  s.Send("alice\n");
  ASSERT_TRUE(s.WaitFor("Password: ")) << s.output();
  s.Send("Tr0ub4dor\n");
  ASSERT_TRUE(s.WaitFor("[180 days]: ")) << s.output();
  s.Send("1 day\n");
  ASSERT_TRUE(s.WaitFor("[OK]: ")) << s.output();
  s.Send("OK\n");
  EXPECT_EQ(s.Finish(), 0);
  const std::string& out = s.output();
  EXPECT_NE(out.find("outcome 0 "), std::string::npos) << out;
  EXPECT_EQ(out.find("Tr0ub4dor"), std::string::npos) << out;
  // What is typed elsewhere is echoed as usual.
  EXPECT_NE(out.find("Username: alice\r\n"), std::string::npos) << out;
  EXPECT_NE(out.find("[180 days]: 1 day\r\n"), std::string::npos) << out;
  EXPECT_EQ(ReadTextFile(dir.Sub("record")), "LoginW [alice] [Tr0ub4dor] 0 86400\n");
}

// However the program ends at the password prompt (Ctrl-C, SIGTERM, end of
// input), the person's terminal echoes again afterwards.
TEST(TerminalSession, EndingAtThePasswordPromptLeavesEchoOn) {
  const struct {
    const char* how;
    std::function<void(ChildSession&)> end;
  } endings[] = {
      {"Ctrl-C", [](ChildSession& s) { s.Send("\x03"); }},
      {"SIGTERM", [](ChildSession& s) { s.Signal(SIGTERM); }},
      {"end of input", [](ChildSession& s) { s.CloseInput(); }},
  };
  for (const auto& ending : endings) {
    SCOPED_TRACE(ending.how);
    TempFolder dir;
    ChildSession s(Mode::PseudoTerminal, Probe("login", dir.Sub("record")));
    ASSERT_TRUE(s.started());
    ASSERT_TRUE(s.WaitFor("Username: ")) << s.output();
    s.Send("alice\n");
    ASSERT_TRUE(s.WaitFor("Password: ")) << s.output();
    EXPECT_FALSE(s.TerminalEchoes()) << "echo is off while the password is typed";
    ending.end(s);
    s.Finish();
    EXPECT_TRUE(s.TerminalEchoes());
    EXPECT_EQ(ReadTextFile(dir.Sub("record")), "");
  }
}

TEST(TerminalSession, AtATerminalAMessageBoxWaitsForEnter) {
  TempFolder dir;
  ChildSession s(Mode::PseudoTerminal, Probe("device", dir.Sub("record")));
  ASSERT_TRUE(s.started());
  ASSERT_TRUE(s.WaitFor("[probe-host]: ")) << s.output();
  s.Send("\n");
  ASSERT_TRUE(s.WaitFor("code: ")) << s.output();
  s.Send("\n");
  ASSERT_TRUE(s.WaitFor("[OK]: ")) << s.output();
  s.Send("Send me a code via E-mail\n");
  ASSERT_TRUE(s.WaitFor("Success: New Device Authorization e-mail sent!")) << s.output();
  ASSERT_TRUE(s.WaitFor("[OK]\r\n")) << s.output();
  s.Send("\n");
  ASSERT_TRUE(s.WaitFor("[probe-host]: ")) << s.output();
  s.Send("\n");
  ASSERT_TRUE(s.WaitFor("code: ")) << s.output();
  s.Send("314159\n");
  ASSERT_TRUE(s.WaitFor("[OK]: ")) << s.output();
  s.CloseInput();
  EXPECT_EQ(s.Finish(), 0);
  EXPECT_NE(s.output().find("outcome -5 "), std::string::npos) << s.output();
  EXPECT_EQ(ReadTextFile(dir.Sub("record")), "EmailDeviceCode\n");
}

TEST(TerminalSession, ASecondShowingCancelledGives109AfterAFirstSuccess) {
  TempFolder dir;
  ChildSession s(Mode::Pipes, Probe("login-twice", dir.Sub("record")));
  ASSERT_TRUE(s.started());
  s.Send("alice\npw\n\nOK\n");
  ASSERT_TRUE(s.WaitFor("outcome 0 \n")) << s.output();
  s.CloseInput();
  EXPECT_EQ(s.Finish(), 0);
  EXPECT_NE(s.output().find("outcome -109 User clicked Cancel in Login window\n"),
            std::string::npos)
      << s.output();
}
