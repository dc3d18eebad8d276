// The Device Authorisation window's logic, shown on a scripted backend with
// a fake client whose Login window is the real one.
#include <gtest/gtest.h>

#include "tests/ui/fake_client.h"
#include "ui/dialog_ids.h"
#include "ui/vendor_site.h"

using namespace VendraUi;
using namespace VendraUiTest;
using VendraClient::eVClientResult;
namespace Ids = DeviceIds;

namespace {

constexpr char16_t kNeedName[] =
    u"Your device cannot be authorized without a name for you to recognize the device. Any name "
    u"will do!";
constexpr char16_t kNeedCode[] =
    u"Your device cannot be authorized without a valid code provided by Authenticator or via "
    u"e-mail!";

class DeviceWindowTest : public ::testing::Test {
 protected:
  DeviceWindowTest() { ShowLoginOn(client, backend, launcher); }
  eVClientResult Show(std::u16string& error) {
    return ShowDeviceAuthorizationWindow(client, {backend, launcher, state}, error);
  }

  ScriptedBackend backend;
  RecordingLauncher launcher;
  FakeClient client;
  WindowState state;
};

}  // namespace

TEST_F(DeviceWindowTest, OpensWithTheUserAndTheComputersName) {
  client.deviceNameAnswer = {eVClientResult::Failed, u"not shown"};
  client.deviceName = u"UNKNOWN";
  backend.Then([](ScriptedHost& host, IDialogLogic& logic) {
    EXPECT_EQ(host.Text(Ids::kDeviceName), u"UNKNOWN");
    EXPECT_EQ(host.Text(Ids::kUserName), u"alice");
    EXPECT_EQ(host.Text(Ids::kCode), u"");
    EXPECT_TRUE(host.messages.empty());
    logic.OnCommand(host, kIdCancel);
  });
  std::u16string error;
  Show(error);
  const ShownDialog& d = backend.shown.at(0);
  EXPECT_EQ(d.resourceId, 105);
  EXPECT_FALSE(d.initSetFocus);
  EXPECT_TRUE(d.placed);
  EXPECT_EQ(d.x, 320);
  EXPECT_EQ(d.y, 240);
}

TEST_F(DeviceWindowTest, BothEmptyComplainsAboutTheNameFirstAndFocusesIt) {
  backend.Then([this](ScriptedHost& host, IDialogLogic& logic) {
    host.Type(Ids::kDeviceName, u"");
    logic.OnCommand(host, kIdOk);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].owner, MessageOwner::Dialog);
    EXPECT_EQ(host.messages[0].caption, u"Please enter a Device Name");
    EXPECT_EQ(host.messages[0].text, kNeedName);
    EXPECT_EQ(host.focus(), Ids::kDeviceName);
    EXPECT_FALSE(host.ended());

    host.Type(Ids::kDeviceName, u"laptop");
    logic.OnCommand(host, kIdOk);
    ASSERT_EQ(host.messages.size(), 2u);
    EXPECT_EQ(host.messages[1].owner, MessageOwner::Dialog);
    EXPECT_EQ(host.messages[1].caption, u"Please enter an Auth code");
    EXPECT_EQ(host.messages[1].text, kNeedCode);
    EXPECT_EQ(host.focus(), Ids::kCode);
    EXPECT_FALSE(host.ended());
    EXPECT_TRUE(client.authorizations.empty());
    logic.OnCommand(host, kIdCancel);
  });
  std::u16string error;
  Show(error);
}

TEST_F(DeviceWindowTest, OnlyACodeSubmitsThePrefilledNameOnce) {
  client.authorizeAnswer = {eVClientResult::ServiceError, u"Invalid code"};
  backend.Then(TypeAndPress({{Ids::kCode, u"123456"}}, kIdOk));
  std::u16string error;
  EXPECT_EQ(Show(error), eVClientResult::ServiceError);
  EXPECT_EQ(error, u"Invalid code");
  ASSERT_EQ(client.authorizations.size(), 1u);
  EXPECT_EQ(client.authorizations[0].code, u"123456");
  EXPECT_EQ(client.authorizations[0].deviceName, u"WORKSTATION-7");
  EXPECT_EQ(backend.shown[0].endCode, kEndOk);
  EXPECT_EQ(state.result, eVClientResult::ServiceError);
}

TEST_F(DeviceWindowTest, ASuccessfulAuthorisationIsTheOutcome) {
  backend.Then(TypeAndPress({{Ids::kDeviceName, u" my box "}, {Ids::kCode, u"000111"}}, kIdOk));
  std::u16string error;
  EXPECT_EQ(Show(error), eVClientResult::Success);
  EXPECT_EQ(client.authorizations.at(0).deviceName, u" my box ");
}

TEST_F(DeviceWindowTest, EachEmailPressSendsOneRequestAndShowsOneBox) {
  backend.Then([this](ScriptedHost& host, IDialogLogic& logic) {
    logic.OnCommand(host, Ids::kSendEmail);
    logic.OnCommand(host, Ids::kSendEmail);
    EXPECT_EQ(client.emails, 2);
    ASSERT_EQ(host.messages.size(), 2u);
    for (const MessageRecord& m : host.messages) {
      EXPECT_EQ(m.owner, MessageOwner::Dialog);
      EXPECT_EQ(m.caption, u"Success: New Device Authorization e-mail sent!");
      EXPECT_EQ(m.text,
                u"Please check the e-mail address on your Vendra Software account. You should "
                u"receive an e-mail within a few minutes, containing a code to enter here.");
    }
    client.emailAnswer = {eVClientResult::LocalTokenRequired, u"Local Token Required"};
    logic.OnCommand(host, Ids::kSendEmail);
    ASSERT_EQ(host.messages.size(), 3u);
    EXPECT_EQ(host.messages[2].caption,
              u"Failed: New Device Authorization e-mail could not be sent.");
    EXPECT_EQ(host.messages[2].text, u"Local Token Required");
    EXPECT_FALSE(host.ended());
    logic.OnCommand(host, kIdCancel);
  });
  std::u16string error;
  state.result = eVClientResult::Running;
  Show(error);
  EXPECT_EQ(client.emails, 3);
}

TEST_F(DeviceWindowTest, EmailLeavesTheRecordAlone) {
  state.result = eVClientResult::DeviceAuthRequired;
  state.error = u"device auth required";
  client.emailAnswer = {eVClientResult::TransferFailed, u"curl error 7: refused"};
  backend.Then([this](ScriptedHost& host, IDialogLogic& logic) {
    logic.OnCommand(host, Ids::kSendEmail);
    EXPECT_EQ(state.result, eVClientResult::DeviceAuthRequired);
    EXPECT_EQ(state.error, u"device auth required");
    logic.OnCommand(host, kIdCancel);
  });
  std::u16string error;
  Show(error);
}

TEST_F(DeviceWindowTest, AccountSettingsOpensThePageAndStaysOpen) {
  backend.Then([](ScriptedHost& host, IDialogLogic& logic) {
    logic.OnCommand(host, Ids::kAccountSettings);
    EXPECT_FALSE(host.ended());
    logic.OnCommand(host, kIdCancel);
  });
  std::u16string error;
  Show(error);
  ASSERT_EQ(launcher.addresses.size(), 1u);
  EXPECT_EQ(launcher.addresses[0], kAccountPageAddress);
}

TEST_F(DeviceWindowTest, NotYouWithAFailedLogoutEndsWithItsResult) {
  client.logoutAnswer = {eVClientResult::LockTimeout, u"Timed out waiting for synchronization object"};
  backend.Then(Press(Ids::kNotYou));
  std::u16string error;
  EXPECT_EQ(Show(error), eVClientResult::LockTimeout);
  EXPECT_EQ(error, u"Logout failed (-4): Timed out waiting for synchronization object");
  EXPECT_EQ(backend.shown.size(), 1u);
  EXPECT_EQ(backend.shown[0].endCode, kEndOk);
}

TEST_F(DeviceWindowTest, NotYouThenCancelledLoginEndsWith109) {
  backend.Then(Press(Ids::kNotYou));
  backend.Then(Press(kIdCancel));  // the Login window on top
  std::u16string error;
  EXPECT_EQ(Show(error), eVClientResult::LoginCancelled);
  EXPECT_EQ(error, u"Login failed (-109): User clicked Cancel in Login window");
  EXPECT_EQ(client.logouts, 1);
  ASSERT_EQ(backend.shown.size(), 2u);
  EXPECT_EQ(backend.shown[0].resourceId, 105);
  EXPECT_EQ(backend.shown[0].endCode, kEndOk);
  EXPECT_EQ(backend.shown[1].resourceId, 101);
}

TEST_F(DeviceWindowTest, NotYouThenAFailedSignInEndsWithItsResult) {
  client.loginAnswer = {eVClientResult::ServiceError, u"Invalid username or password"};
  backend.Then(Press(Ids::kNotYou));
  backend.Then(TypeAndPress({{LoginIds::kUserName, u"bob"}, {LoginIds::kPassword, u"x"}}, kIdOk));
  std::u16string error;
  EXPECT_EQ(Show(error), eVClientResult::ServiceError);
  EXPECT_EQ(error, u"Login failed (-106): Invalid username or password");
}

TEST_F(DeviceWindowTest, NotYouThenASuccessfulSignInKeepsTheWindowWithTheNewName) {
  backend.Then([this](ScriptedHost& host, IDialogLogic& logic) {
    logic.OnCommand(host, Ids::kNotYou);
    EXPECT_FALSE(host.ended());
    EXPECT_EQ(host.Text(Ids::kUserName), u"bob");
    EXPECT_EQ(client.logins.size(), 1u);
    host.Type(Ids::kCode, u"424242");
    logic.OnCommand(host, kIdOk);
  });
  backend.Then(TypeAndPress({{LoginIds::kUserName, u"bob"}, {LoginIds::kPassword, u"pw"}}, kIdOk));
  std::u16string error;
  EXPECT_EQ(Show(error), eVClientResult::Success);
  ASSERT_EQ(client.authorizations.size(), 1u);
  EXPECT_EQ(client.authorizations[0].code, u"424242");
  EXPECT_EQ(backend.shown.size(), 2u);
}

