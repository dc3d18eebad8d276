// The Login window's logic, shown on a scripted backend with a fake client.
#include <gtest/gtest.h>

#include "tests/ui/fake_client.h"
#include "ui/dialog_ids.h"
#include "ui/vendor_site.h"

using namespace VendraUi;
using namespace VendraUiTest;
using VendraClient::eVClientResult;
namespace Ids = LoginIds;

namespace {

class LoginWindowTest : public ::testing::Test {
 protected:
  eVClientResult Show(std::u16string& error) {
    return ShowLoginWindow(client, {backend, launcher, state}, error);
  }

  ScriptedBackend backend;
  RecordingLauncher launcher;
  FakeClient client;
  WindowState state;
};

Script SignIn(std::u16string user, std::u16string password) {
  return TypeAndPress({{Ids::kUserName, std::move(user)}, {Ids::kPassword, std::move(password)}},
                      kIdOk);
}

}  // namespace

TEST_F(LoginWindowTest, OpensAtItsPlaceWithFocusOnTheUserNameAnd180DaysChosen) {
  backend.Then([](ScriptedHost& host, IDialogLogic& logic) {
    ASSERT_EQ(host.Entries(Ids::kSessionLength).size(), 3u);
    const auto& e = host.Entries(Ids::kSessionLength);
    EXPECT_EQ(e[0].text, u"1 day");
    EXPECT_EQ(e[0].data, 86400u);
    EXPECT_EQ(e[1].text, u"180 days");
    EXPECT_EQ(e[1].data, 15552000u);
    EXPECT_EQ(e[2].text, u"1 year");
    EXPECT_EQ(e[2].data, 31536000u);
    EXPECT_EQ(host.SelectedComboEntry(Ids::kSessionLength), 1);
    EXPECT_EQ(host.Text(Ids::kSessionLength), u"180 days");
    logic.OnCommand(host, kIdCancel);
  });
  std::u16string error;
  Show(error);
  ASSERT_EQ(backend.shown.size(), 1u);
  const ShownDialog& d = backend.shown[0];
  EXPECT_EQ(d.resourceId, 101);
  EXPECT_TRUE(d.initSetFocus);
  EXPECT_EQ(d.focus, Ids::kUserName);
  EXPECT_TRUE(d.placed);
  EXPECT_EQ(d.x, 320);
  EXPECT_EQ(d.y, 240);
}

TEST_F(LoginWindowTest, MissingTextsAreReportedOneAtATimeAndNothingIsSent) {
  backend.Then([this](ScriptedHost& host, IDialogLogic& logic) {
    logic.OnCommand(host, kIdOk);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].owner, MessageOwner::None);
    EXPECT_EQ(host.messages[0].caption, u"Error");
    EXPECT_EQ(host.messages[0].text, u"You must enter a username");
    EXPECT_FALSE(host.ended());

    host.Type(Ids::kUserName, u"alice");
    logic.OnCommand(host, kIdOk);
    ASSERT_EQ(host.messages.size(), 2u);
    EXPECT_EQ(host.messages[1].caption, u"Error");
    EXPECT_EQ(host.messages[1].text, u"You must enter a password");
    EXPECT_FALSE(host.ended());

    // Only the password given: the user name is still what is missing.
    host.Type(Ids::kUserName, u"");
    host.Type(Ids::kPassword, u"secret");
    logic.OnCommand(host, kIdOk);
    ASSERT_EQ(host.messages.size(), 3u);
    EXPECT_EQ(host.messages[2].text, u"You must enter a username");
    EXPECT_TRUE(client.logins.empty());

    host.Type(Ids::kUserName, u"alice");
    logic.OnCommand(host, kIdOk);
  });
  std::u16string error;
  EXPECT_EQ(Show(error), eVClientResult::Success);
  ASSERT_EQ(client.logins.size(), 1u);
  EXPECT_EQ(backend.shown[0].endCode, kEndOk);
}

TEST_F(LoginWindowTest, UntouchedListAsksFor180DaysWithThePlainPasswordAsTyped) {
  backend.Then(SignIn(u"  ", u" pass word "));
  std::u16string error;
  EXPECT_EQ(Show(error), eVClientResult::Success);
  ASSERT_EQ(client.logins.size(), 1u);
  // Blanks are text: nothing is trimmed.
  EXPECT_EQ(client.logins[0].user, u"  ");
  EXPECT_EQ(client.logins[0].password, u" pass word ");
  EXPECT_FALSE(client.logins[0].passwordIsDigest);
  EXPECT_EQ(client.logins[0].seconds, 15552000u);
  EXPECT_EQ(state.result, eVClientResult::Success);
}

TEST_F(LoginWindowTest, TheChosenEntrySendsItsSeconds) {
  struct Case {
    int index;
    uint32_t seconds;
  };
  for (const Case c : {Case{0, 86400}, Case{1, 15552000}, Case{2, 31536000}}) {
    backend.Then([c](ScriptedHost& host, IDialogLogic& logic) {
      host.SelectComboEntry(Ids::kSessionLength, c.index);
      host.Type(Ids::kUserName, u"alice");
      host.Type(Ids::kPassword, u"pw");
      logic.OnCommand(host, kIdOk);
    });
    std::u16string error;
    Show(error);
    ASSERT_FALSE(client.logins.empty());
    EXPECT_EQ(client.logins.back().seconds, c.seconds) << "entry " << c.index;
  }
}

TEST_F(LoginWindowTest, TypedListTextCountsWhenItNamesAnEntryAndOtherwiseKeepsTheDefault) {
  const std::pair<std::u16string, uint32_t> cases[] = {
      {u"1 year", 31536000}, {u"1 DAY", 86400}, {u"forever", 15552000}, {u"", 15552000}};
  for (const auto& [typed, seconds] : cases) {
    backend.Then(TypeAndPress(
        {{Ids::kUserName, u"alice"}, {Ids::kPassword, u"pw"}, {Ids::kSessionLength, typed}},
        kIdOk));
    std::u16string error;
    Show(error);
    ASSERT_FALSE(client.logins.empty());
    EXPECT_EQ(client.logins.back().seconds, seconds);
  }
}

TEST_F(LoginWindowTest, AFailedEntryGetsNoDataAndNoSelection) {
  backend.prepare = [](ScriptedHost& host) { host.failEntry = u"180 days"; };
  backend.Then([](ScriptedHost& host, IDialogLogic& logic) {
    const auto& e = host.Entries(Ids::kSessionLength);
    ASSERT_EQ(e.size(), 2u);
    EXPECT_EQ(e[0].data, 86400u);
    EXPECT_EQ(e[1].data, 31536000u);
    EXPECT_EQ(host.SelectedComboEntry(Ids::kSessionLength), -1);
    logic.OnCommand(host, kIdCancel);
  });
  std::u16string error;
  Show(error);
}

TEST_F(LoginWindowTest, AWrongPasswordClosesAfterOneAttemptWithTheClientsAnswer) {
  client.loginAnswer = {eVClientResult::ServiceError, u"Invalid username or password"};
  backend.Then(SignIn(u"alice", u"wrong"));
  std::u16string error = u"left over";
  EXPECT_EQ(Show(error), eVClientResult::ServiceError);
  EXPECT_EQ(error, u"Invalid username or password");
  EXPECT_EQ(client.logins.size(), 1u);
  EXPECT_EQ(backend.shown[0].endCode, kEndOk);
  EXPECT_TRUE(backend.shown[0].messages.empty());
}

TEST_F(LoginWindowTest, TheRecordStartsAt2AndASecondShowingOverwritesIt) {
  EXPECT_EQ(state.result, eVClientResult::Running);
  EXPECT_TRUE(state.error.empty());
  backend.Then(SignIn(u"alice", u"pw"));
  std::u16string error;
  EXPECT_EQ(Show(error), eVClientResult::Success);
  backend.Then(Press(kIdCancel));
  EXPECT_EQ(Show(error), eVClientResult::LoginCancelled);
  EXPECT_EQ(error, u"User clicked Cancel in Login window");
  EXPECT_EQ(state.result, eVClientResult::LoginCancelled);
}

TEST_F(LoginWindowTest, CallerMayPassTheRecordsOwnText) {
  client.loginAnswer = {eVClientResult::HttpForbidden, u"HTTP Status 403"};
  backend.Then(SignIn(u"alice", u"pw"));
  EXPECT_EQ(ShowLoginWindow(client, {backend, launcher, state}, state.error),
            eVClientResult::HttpForbidden);
  EXPECT_EQ(state.error, u"HTTP Status 403");
}

TEST_F(LoginWindowTest, AccountManagementOpensThePageAndKeepsTheWindowAsTyped) {
  backend.Then([](ScriptedHost& host, IDialogLogic& logic) {
    host.Type(Ids::kUserName, u"alice");
    host.Type(Ids::kPassword, u"half");
    logic.OnCommand(host, Ids::kAccountManagement);
    EXPECT_FALSE(host.ended());
    EXPECT_EQ(host.Text(Ids::kUserName), u"alice");
    EXPECT_EQ(host.Text(Ids::kPassword), u"half");
    EXPECT_TRUE(host.messages.empty());
    logic.OnCommand(host, kIdCancel);
  });
  std::u16string error;
  Show(error);
  ASSERT_EQ(launcher.addresses.size(), 1u);
  EXPECT_EQ(launcher.addresses[0], kAccountPageAddress);
  EXPECT_EQ(launcher.addresses[0].rfind(u"https://", 0), 0u);
}

TEST_F(LoginWindowTest, TextsAreReadWholeThroughABufferTwoUnitsLonger) {
  backend.Then([](ScriptedHost& host, IDialogLogic& logic) {
    host.Type(Ids::kUserName, u"\u00e9l\u00e8ve");
    host.Type(Ids::kPassword, u"p\U0001F511ss");
    logic.OnCommand(host, kIdOk);
    ASSERT_GE(host.reads.size(), 2u);
    EXPECT_EQ(host.reads[0].id, Ids::kUserName);
    EXPECT_EQ(host.reads[0].capacity, 5u + 2u);
    EXPECT_EQ(host.reads[1].id, Ids::kPassword);
    EXPECT_EQ(host.reads[1].capacity, 5u + 2u);
  });
  std::u16string error;
  Show(error);
  ASSERT_EQ(client.logins.size(), 1u);
  EXPECT_EQ(client.logins[0].user, u"\u00e9l\u00e8ve");
  EXPECT_EQ(client.logins[0].password, u"p\U0001F511ss");
}

