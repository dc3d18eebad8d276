// The terminal backend, fed from a terminal in memory, running the real
// dialog logic against a fake client.
#include <deque>

#include <gtest/gtest.h>

#include "common/text/utf.h"
#include "tests/ui/fake_client.h"
#include "tests/ui/window_outcomes.h"
#include "json/object.h"
#include "ui/crash_report_window.h"
#include "ui/dialog_ids.h"
#include "ui/terminal_dialog_backend.h"
#include "ui/vendor_site.h"

using namespace VendraUi;
using namespace VendraUiTest;
using VendraClient::eVClientResult;

namespace {

class MemoryTerminal final : public VendraPlatform::ITerminal {
 public:
  bool Available(uint32_t& error) override {
    if (!available) error = 6;
    return available;
  }
  void Write(std::u16string_view text) override {
    output += VendraText::Utf16ToUtf8(text);
  }
  bool ReadLine(std::u16string_view prompt, std::u16string& line, bool hidden) override {
    Write(prompt);
    if (lines.empty()) return false;
    line = VendraText::Utf8ToUtf16(lines.front());
    lines.pop_front();
    hiddenReads.push_back(hidden);
    return true;
  }

  bool available = true;
  std::deque<std::string> lines;
  std::string output;
  std::vector<bool> hiddenReads;
};

class RecordingMessageBox final : public VendraPlatform::IMessageBox {
 public:
  void Show(std::u16string_view caption, std::u16string_view text) override {
    shown.push_back(VendraText::Utf16ToUtf8(caption) + "|" + VendraText::Utf16ToUtf8(text));
  }
  std::vector<std::string> shown;
};

class TerminalDialogTest : public ::testing::Test {
 protected:
  TerminalDialogTest() { ShowLoginOn(fake, backend, launcher); }
  eVClientResult ShowLogin(std::u16string& error) {
    return ShowLoginWindow(client, {backend, launcher, state}, error);
  }
  eVClientResult ShowDevice(std::u16string& error) {
    return ShowDeviceAuthorizationWindow(client, {backend, launcher, state}, error);
  }
  void Feed(std::initializer_list<const char*> lines) {
    for (const char* l : lines) terminal.lines.push_back(l);
  }

  MemoryTerminal terminal;
  RecordingMessageBox messages;
  TerminalDialogBackend backend{terminal, messages};
  RecordingLauncher launcher;
  FakeClient fake;
  VendraClient::IVClient& client = fake;
  WindowState state;
};

size_t Count(const std::string& haystack, const std::string& needle) {
  size_t n = 0;
  for (size_t at = haystack.find(needle); at != std::string::npos;
       at = haystack.find(needle, at + 1))
    ++n;
  return n;
}

}  // namespace

TEST_F(TerminalDialogTest, LoginShowsTheWindowAndAsksEachBoxThenAButton) {
  Feed({"alice", "s3cret", "", ""});
  std::u16string error;
  EXPECT_EQ(ShowLogin(error), eVClientResult::Success);
  ASSERT_EQ(fake.logins.size(), 1u);
  EXPECT_EQ(fake.logins[0].user, u"alice");
  EXPECT_EQ(fake.logins[0].password, u"s3cret");
  EXPECT_EQ(fake.logins[0].seconds, 15552000u);
  EXPECT_EQ(terminal.hiddenReads, (std::vector<bool>{false, true, false, false}));
  const std::string& out = terminal.output;
  EXPECT_NE(out.find("Vendra Software\n===============\n"), std::string::npos) << out;
  EXPECT_NE(out.find("\"My Account\" section at vendrasoftware.example\n"), std::string::npos);
  EXPECT_NE(out.find("Username: "), std::string::npos);
  EXPECT_NE(out.find("Password: "), std::string::npos);
  EXPECT_NE(out.find("Keep me logged in for (1: 1 day, 2: 180 days, 3: 1 year) [180 days]: "),
            std::string::npos);
  EXPECT_NE(out.find("Press a button (1: OK, 2: Cancel, 3: Account Management) [OK]: "), std::string::npos);
  // Labels are prompts, not printed texts of their own.
  EXPECT_EQ(out.find("Username\n"), std::string::npos);
  EXPECT_TRUE(messages.shown.empty());
}

TEST_F(TerminalDialogTest, TheListTakesANumberOrAnEntrysTextAndAsksAgainOtherwise) {
  Feed({"alice", "pw", "3", "ok"});
  std::u16string error;
  ShowLogin(error);
  Feed({"alice", "pw", " 1 DAY ", "OK"});
  ShowLogin(error);
  Feed({"alice", "pw", "9", "forever", "2", "OK"});
  ShowLogin(error);
  ASSERT_EQ(fake.logins.size(), 3u);
  EXPECT_EQ(fake.logins[0].seconds, 31536000u);
  EXPECT_EQ(fake.logins[1].seconds, 86400u);
  EXPECT_EQ(fake.logins[2].seconds, 15552000u);
  EXPECT_EQ(Count(terminal.output, "Choose one of the entries by its number or its text.\n"), 2u);
}

TEST_F(TerminalDialogTest, AMissingTextShowsTheBoxAndAsksAgainKeepingWhatWasTyped) {
  Feed({"", "pw", "", "", "bob", "", "", ""});
  std::u16string error;
  EXPECT_EQ(ShowLogin(error), eVClientResult::Success);
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0], "Error|You must enter a username");
  ASSERT_EQ(fake.logins.size(), 1u);
  EXPECT_EQ(fake.logins[0].user, u"bob");
  EXPECT_EQ(fake.logins[0].password, u"pw");
  // The second round shows the window again and hints that a password is held.
  EXPECT_EQ(Count(terminal.output, "===============\n"), 2u);
  EXPECT_NE(terminal.output.find("Password [****]: "), std::string::npos);
  EXPECT_EQ(terminal.output.find("pw"), std::string::npos);
}

TEST_F(TerminalDialogTest, BlanksAreTextAndUnknownButtonsAreAskedAgain) {
  Feed({"  ", " ", "", "Sign in", "  cancel  "});
  std::u16string error;
  EXPECT_EQ(ShowLogin(error), eVClientResult::LoginCancelled);
  EXPECT_NE(terminal.output.find("There is no button \"Sign in\".\n"), std::string::npos);
  Feed({"  ", " ", "", ""});
  EXPECT_EQ(ShowLogin(error), eVClientResult::Success);
  EXPECT_EQ(fake.logins.at(0).user, u"  ");
}

// End of input anywhere is Cancel, and so are the Cancel buttons; without a
// terminal no window can be made.
TEST_F(TerminalDialogTest, CancelAndNoWindowOfEachWindow) {
  WindowsOnBackend windows(backend);
  const auto lines = [this](std::deque<std::string> given) {
    return [this, given] {
      terminal.available = true;
      terminal.lines = given;
    };
  };
  const auto noTerminal = [this] { terminal.available = false; };
  const char16_t loginCancel[] = u"User clicked Cancel in Login window";
  const char16_t crashCancel[] = u"User clicked Cancel in Crash Report window";
  ExpectOutcomes(
      windows,
      {
          {"login, no line", Window::Login, lines({}), eVClientResult::LoginCancelled,
           loginCancel},
          {"login, one line", Window::Login, lines({"alice"}), eVClientResult::LoginCancelled,
           loginCancel},
          {"login, two lines", Window::Login, lines({"alice", "pw"}),
           eVClientResult::LoginCancelled, loginCancel},
          {"login, three lines", Window::Login, lines({"alice", "pw", "2"}),
           eVClientResult::LoginCancelled, loginCancel},
          {"login, no terminal", Window::Login, noTerminal, eVClientResult::Failed,
           u"Failed to create Vendra Login window: GetLastError=6"},
          {"device, Cancel", Window::Device, lines({"", "123456", "Cancel"}),
           eVClientResult::Cancelled, u"User clicked Cancel in Device Authorization window"},
          {"device, not you, then end of input", Window::Device, lines({"", "", "Not you?"}),
           eVClientResult::LoginCancelled,
           u"Login failed (-109): User clicked Cancel in Login window"},
          {"device, no terminal", Window::Device, noTerminal, eVClientResult::Failed,
           u"Failed to create Device Auth window: GetLastError=6"},
          {"crash, Heck No!", Window::Crash, lines({"", "heck no!"}), eVClientResult::Cancelled,
           crashCancel},
          {"crash, end of input", Window::Crash, lines({"typed"}), eVClientResult::Cancelled,
           crashCancel},
          {"crash, no terminal", Window::Crash, noTerminal, eVClientResult::Failed,
           u"Failed to create Vendra Crash window: GetLastError=6"},
      },
      [this](const WindowOutcome&) { EXPECT_TRUE(terminal.lines.empty()); });
}

TEST_F(TerminalDialogTest, AccountManagementKeepsTheWindowOpen) {
  Feed({"alice", "pw", "", "account management", "", "", "", "OK"});
  std::u16string error;
  EXPECT_EQ(ShowLogin(error), eVClientResult::Success);
  EXPECT_EQ(launcher.addresses.size(), 1u);
  EXPECT_NE(terminal.output.find("Username [alice]: "), std::string::npos);
}

// Without a browser the page's address is shown, so it can be opened
// elsewhere.
TEST_F(TerminalDialogTest, AnAccountPageThatCannotBeOpenedIsShownByItsAddress) {
  launcher.answer = 2;
  Feed({"", "", "Account Settings", "", "", "Cancel"});
  std::u16string error;
  EXPECT_EQ(ShowDevice(error), eVClientResult::Cancelled);
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_NE(messages.shown[0].find(VendraText::Utf16ToUtf8(kAccountPageAddress)),
            std::string::npos)
      << messages.shown[0];
}

// Buttons by number, by unique prefix (any letter case) or by full text; a
// text no button has is asked again. The window's texts are printed once
// however many rounds it takes; its boxes every round.
TEST_F(TerminalDialogTest, ButtonsByNumberOrUniquePrefixAndTheWindowPrintedOnce) {
  Feed({"", "", "2", "", "", "se", "", "", "Acc", "", "", "xyz", "ACCOUNT SETTINGS", "",
        "222222", "4"});
  std::u16string error;
  EXPECT_EQ(ShowDevice(error), eVClientResult::Success);
  EXPECT_EQ(fake.emails, 2) << "by number and by prefix";
  EXPECT_EQ(launcher.addresses.size(), 2u) << "by prefix and by full text";
  ASSERT_EQ(fake.authorizations.size(), 1u);
  EXPECT_EQ(fake.authorizations[0].code, u"222222");
  const std::string& out = terminal.output;
  EXPECT_NE(out.find("There is no button \"xyz\"."), std::string::npos) << out;
  EXPECT_EQ(Count(out, "A code is required to authorize your device."), 1u) << out;
  EXPECT_EQ(Count(out, "Vendra Software username: alice\n"), 5u) << out;
}

TEST_F(TerminalDialogTest, DeviceWindowShowsTheUserKeepsThePrefilledNameAndSubmits) {
  Feed({"", "123456", ""});
  std::u16string error;
  EXPECT_EQ(ShowDevice(error), eVClientResult::Success);
  ASSERT_EQ(fake.authorizations.size(), 1u);
  EXPECT_EQ(fake.authorizations[0].deviceName, u"WORKSTATION-7");
  EXPECT_EQ(fake.authorizations[0].code, u"123456");
  const std::string& out = terminal.output;
  EXPECT_NE(out.find("Vendra Software - New Device Authorization\n"), std::string::npos);
  EXPECT_NE(out.find("Vendra Software username: alice\n"), std::string::npos);
  EXPECT_NE(out.find("A code is required to authorize your device.\n\nIf you have"),
            std::string::npos);
  EXPECT_NE(out.find("A name to remember this device by [WORKSTATION-7]: "), std::string::npos);
  EXPECT_NE(out.find("Authenticator/E-mail code: "), std::string::npos);
  EXPECT_NE(out.find("Press a button (1: Not you?, 2: Send me a code via E-mail, 3: Account "
                     "Settings, 4: OK, 5: Cancel) [OK]: "),
            std::string::npos);
  // The read-only box is shown, never asked.
  EXPECT_EQ(terminal.hiddenReads.size(), 3u);
}

TEST_F(TerminalDialogTest, EmailThenCodeInASecondRound) {
  Feed({"", "", "Send me a code via E-mail", "", "654321", "OK"});
  std::u16string error;
  EXPECT_EQ(ShowDevice(error), eVClientResult::Success);
  EXPECT_EQ(fake.emails, 1);
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].rfind("Success: New Device Authorization e-mail sent!|", 0), 0u);
  EXPECT_EQ(fake.authorizations.at(0).code, u"654321");
}

TEST_F(TerminalDialogTest, NotYouOpensTheLoginOnTheSameTerminalAndShowsTheNewName) {
  Feed({"", "", "Not you?", "bob", "pw", "1", "OK", "", "777777", "OK"});
  std::u16string error;
  EXPECT_EQ(ShowDevice(error), eVClientResult::Success);
  EXPECT_EQ(fake.logouts, 1);
  ASSERT_EQ(fake.logins.size(), 1u);
  EXPECT_EQ(fake.logins[0].seconds, 86400u);
  EXPECT_NE(terminal.output.find("Vendra Software username: bob\n"), std::string::npos);
  EXPECT_EQ(fake.authorizations.at(0).code, u"777777");
}

namespace {

class TerminalCrashWindowTest : public ::testing::Test {
 protected:
  TerminalCrashWindowTest() {
    report = Vendra::RefPtr<VendraJSON::VSJObject>::Adopt(VendraJSON::VSJObject::Create());
    report->SetStringA(u"report", "Access violation at 0x1234");
  }
  eVClientResult Show(std::u16string& error) {
    return ShowCrashReportWindow(backend, nullptr, state, report.get(), error);
  }

  MemoryTerminal terminal;
  RecordingMessageBox messages;
  TerminalDialogBackend backend{terminal, messages};
  CrashWindowState state;
  Vendra::RefPtr<VendraJSON::VSJObject> report;
};

TEST_F(TerminalCrashWindowTest, ShowsTheReportAndTakesOneLineOfNotesUnderItsQuestion) {
  terminal.lines = {"It crashed on save", ""};
  std::u16string error;
  EXPECT_EQ(Show(error), eVClientResult::Success);
  EXPECT_NE(terminal.output.find("Vendra Software Crash Reporter\n"), std::string::npos);
  EXPECT_NE(terminal.output.find("Access violation at 0x1234"), std::string::npos);
  EXPECT_NE(terminal.output.find("exactly how do we reproduce it?): "), std::string::npos);
  EXPECT_NE(terminal.output.find("Press a button (1: Heck No!, 2: Report Error) [Report Error]: "),
            std::string::npos);
  std::u16string notes;
  ASSERT_TRUE(report->GetString(u"user_notes", notes));
  EXPECT_EQ(notes, u"It crashed on save");
}

}  // namespace
