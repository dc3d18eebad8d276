// Sign-in, renewal, sign-out and device authorisation against the service
// stand-in over HTTPS on loopback, with the client in helper processes that
// share the session lock, the channel and localStorage.json; on Linux and
// under Wine.
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "client/md5.h"
#include "client/v_client.h"
#include "platform/machine_identity.h"
#include "tests/client/helper_process.h"
#include "tests/client/session_test_root.h"
#include "tests/support/environment.h"
#include "tests/support/service_process.h"
#include "tests/support/temp_folder.h"

namespace {

using VendraTest::HelperProcess;

constexpr char kUser[] = "ada";
constexpr char kPassword[] = "correct-horse-9";
constexpr char kTotpSecret[] = "JBSWY3DPEHPK3PXP";
constexpr char kMachineId[] = "test-machine-0001";

class SignInTest : public VendraTest::MachineRootTest {
 protected:
  void SetUp() override {
    MachineRootTest::SetUp();
    // Read from the machine root on POSIX; Windows keeps its own in the
    // registry.
    std::filesystem::create_directories(root_.Sub("etc"));
    VendraTest::WriteTextFile(root_.Sub("etc/machine-id"), std::string(kMachineId) + "\n");
    ASSERT_TRUE(VendraTest::AddServiceUser(serviceRoot_.path(), kUser, kPassword, kTotpSecret));
    service_ = std::make_unique<VendraTest::ServiceProcess>(serviceRoot_.path());
    ASSERT_TRUE(service_->ok()) << "the service did not start";
    VendraTest::SetEnvironment("VENDRA_SERVICE_URL", service_->url());
    VendraTest::SetEnvironment("VENDRA_CA_FILE", service_->caFile());
  }
  void TearDown() override {
    VendraTest::SetEnvironment("VENDRA_SERVICE_URL", "");
    VendraTest::SetEnvironment("VENDRA_CA_FILE", "");
    service_.reset();
    MachineRootTest::TearDown();
  }

  std::string SessionFile() const {
    return root_.Sub("ProgramData/Vendra Software/localStorage.json");
  }
  std::string ReadSession() const { return VendraTest::ReadTextFile(SessionFile()); }

  static std::string LoginCommand(const std::string& password = kPassword, int digest = 0) {
    return std::string("login ") + kUser + " " + password + " " + std::to_string(digest) + " 86400";
  }

  // Signs in and authorises this machine with an e-mailed code, in a helper
  // that then ends (taking the channel, and so the access token, with it).
  void SignInAuthorised() {
    HelperProcess setup;
    ASSERT_EQ(setup.Call(LoginCommand()), "result 0 ");
    ASSERT_EQ(setup.Call("email-code"), "result 0 ");
    const auto codes = service_->OutboxCodes();
    ASSERT_FALSE(codes.empty());
    ASSERT_EQ(setup.Call("authorize " + codes.back() + " test-machine"), "result 0 ");
    ASSERT_EQ(setup.Finish(), 0);
    const std::string stored = ReadSession();
    ASSERT_NE(stored.find("\"refresh_token\""), std::string::npos);
    ASSERT_NE(stored.find("\"local_token\""), std::string::npos);
  }

  std::vector<nlohmann::json> Requests(const std::string& path) const {
    std::vector<nlohmann::json> found;
    for (auto& line : service_->RequestLog())
      if (line.value("path", "") == path) found.push_back(line);
    return found;
  }

  static int64_t MonotonicMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
  }

  VendraTest::TempFolder serviceRoot_;
  std::unique_ptr<VendraTest::ServiceProcess> service_;
};

TEST_F(SignInTest, LoginSendsTheChallengeAndNeverThePassword) {
  HelperProcess client;
  EXPECT_EQ(client.Call(LoginCommand()), "result 0 ");
  const auto logins = Requests("vclient/login");
  ASSERT_EQ(logins.size(), 1u);
  const auto& login = logins[0];
  EXPECT_EQ(login["field_order"],
            nlohmann::json::array({"username", "iv", "key", "local_id", "length"}));
  EXPECT_EQ(login["fields"]["username"], kUser);
  EXPECT_EQ(login["fields"]["iv"].get<std::string>().rfind("vclient-", 0), 0u);
  std::string machine;
  ASSERT_TRUE(VendraPlatform::MachineIdentifier(machine));
#ifndef _WIN32
  EXPECT_EQ(machine, kMachineId);
#endif
  EXPECT_EQ(login["fields"]["local_id"], VendraClient::Md5Text(machine));
  EXPECT_EQ(login["fields"]["length"], "86400");
  EXPECT_FALSE(login.value("password_received", false));
  EXPECT_FALSE(login.value("password_digest_received", false));
  const std::string stored = ReadSession();
  EXPECT_EQ(stored.rfind("{\n  \"username\":\"ada\",\n  \"refresh_token\":{", 0), 0u) << stored;
  EXPECT_EQ(stored.find("local_token"), std::string::npos);
  EXPECT_EQ(stored.find(kPassword), std::string::npos);
  // The access token is in the channel for the other programs.
  EXPECT_NE(client.Call("read").find("\"access_token\":\""), std::string::npos);
  EXPECT_EQ(client.Call("username"), "result 0 ada");
}

TEST_F(SignInTest, DigestFlagSignsInWithThePasswordsDigest) {
  HelperProcess client;
  EXPECT_EQ(client.Call(LoginCommand(VendraClient::Md5Text(kPassword), 1)), "result 0 ");
  const auto logins = Requests("vclient/login");
  ASSERT_EQ(logins.size(), 1u);
  EXPECT_FALSE(logins[0].value("password_received", false));
  EXPECT_FALSE(logins[0].value("password_digest_received", false));
}

TEST_F(SignInTest, RefusedLoginLeavesTheSessionUnchanged) {
  SignInAuthorised();
  const std::string before = ReadSession();
  HelperProcess client;
  const std::string answer = client.Call(LoginCommand("wrong-password"));
  EXPECT_EQ(answer.rfind("result -106 ", 0), 0u) << answer;
  EXPECT_EQ(ReadSession(), before);
  EXPECT_EQ(client.Call("read").rfind("read 0", 0), 0u);
  // The local token went along with the attempt.
  const auto logins = Requests("vclient/login");
  ASSERT_EQ(logins.size(), 2u);
  EXPECT_EQ(logins[1]["field_order"].back(), "local_token");
}

TEST_F(SignInTest, EnsureLoginUsesTheTokenAnotherProgramLeft) {
  SignInAuthorised();
  HelperProcess first;
  EXPECT_EQ(first.Call("ensure-login"), "result 0 ");
  const size_t requests = service_->RequestLog().size();
  HelperProcess second;
  EXPECT_EQ(second.Call("ensure-login"), "result 0 ");
  EXPECT_EQ(second.Call("username"), "result 0 ada");
  EXPECT_EQ(service_->RequestLog().size(), requests);
}

TEST_F(SignInTest, EightProcessesRenewTheSessionWithOneRefresh) {
  SignInAuthorised();
  std::vector<std::unique_ptr<HelperProcess>> clients;
  for (int i = 0; i < 8; ++i) clients.push_back(std::make_unique<HelperProcess>());
  const int64_t start = MonotonicMs() + 1500;
  for (auto& client : clients) ASSERT_TRUE(client->Send("at " + std::to_string(start) + " ensure-login"));
  for (auto& client : clients) EXPECT_EQ(client->ReadLine(), "result 0 ");
  // Every one of them holds a valid token now (no request needed for it).
  for (auto& client : clients) EXPECT_EQ(client->Call("username"), "result 0 ada");
  EXPECT_EQ(service_->CountRequests("vclient/refresh"), 1);
  EXPECT_EQ(service_->CountRequests("vclient/login"), 1);
  for (auto& client : clients) EXPECT_EQ(client->Finish(), 0);
}

TEST_F(SignInTest, ProcessesRefreshingTogetherSendOneRequest) {
  SignInAuthorised();
  std::vector<std::unique_ptr<HelperProcess>> clients;
  for (int i = 0; i < 8; ++i) clients.push_back(std::make_unique<HelperProcess>());
  const int64_t start = MonotonicMs() + 1500;
  for (auto& client : clients) ASSERT_TRUE(client->Send("at " + std::to_string(start) + " refresh"));
  for (auto& client : clients) EXPECT_EQ(client->ReadLine(), "result 0 ");
  EXPECT_EQ(service_->CountRequests("vclient/refresh"), 1);
}

// Whatever kept the renewal from working (the service refused it, or its
// reply was cut off on the way), the Login window opens.
TEST_F(SignInTest, RefreshThatFailsOpensTheLoginWindow) {
  SignInAuthorised();
  int refreshes = 0;
  for (const char* failure : {R"({"status":401,"body":"{\"error\":\"expired\"}"})",
                              R"({"status":200,"body":"{\"access_token\":{}}","close_after":2})"}) {
    SCOPED_TRACE(failure);
    ASSERT_TRUE(service_->Script("vclient/refresh", std::string("[") + failure + "]"));
    HelperProcess client;
    // The helper's window has no one to answer it: it ends as cancelled.
    EXPECT_EQ(client.Call("ensure-login"), "result -109 User clicked Cancel in Login window");
    EXPECT_EQ(service_->CountRequests("vclient/refresh"), ++refreshes);
  }
}

TEST_F(SignInTest, LogoutThenEnsureLoginOpensTheLoginWindow) {
  SignInAuthorised();
  HelperProcess client;
  EXPECT_EQ(client.Call("ensure-login"), "result 0 ");
  EXPECT_EQ(client.Call("logout"), "result 0 ");
  const std::string stored = ReadSession();
  EXPECT_NE(stored.find("\"username\":\"ada\""), std::string::npos);
  EXPECT_NE(stored.find("\"local_token\""), std::string::npos);
  EXPECT_EQ(stored.find("\"refresh_token\""), std::string::npos);
  EXPECT_NE(client.Call("read").find(" {\"access_token\":\"\",\"expires_at\":0}"),
            std::string::npos);
  const int refreshes = service_->CountRequests("vclient/refresh");
  EXPECT_EQ(client.Call("ensure-login"), "result -109 User clicked Cancel in Login window");
  EXPECT_EQ(service_->CountRequests("vclient/refresh"), refreshes);
}

// A program that signed in and keeps running must not undo another
// program's sign-out: its next stored session holds neither its refresh
// token nor its access token, and the next program is asked to sign in.
TEST_F(SignInTest, SignOutElsewhereStaysASignOut) {
  SignInAuthorised();
  HelperProcess running;
  EXPECT_EQ(running.Call("ensure-login"), "result 0 ");
  HelperProcess other;
  EXPECT_EQ(other.Call("logout"), "result 0 ");
  ASSERT_EQ(ReadSession().find("\"refresh_token\""), std::string::npos);
  // A request that stores the session afterwards.
  running.Call("get-data p v");
  const std::string stored = ReadSession();
  EXPECT_EQ(stored.find("\"refresh_token\""), std::string::npos) << stored;
  EXPECT_NE(stored.find("\"local_token\""), std::string::npos) << stored;
  const int refreshes = service_->CountRequests("vclient/refresh");
  HelperProcess next;
  EXPECT_EQ(next.Call("ensure-login"), "result -109 User clicked Cancel in Login window");
  EXPECT_EQ(service_->CountRequests("vclient/refresh"), refreshes);
  // A token this process receives after the sign-out is its own to store.
  EXPECT_EQ(running.Call(LoginCommand()), "result 0 ");
  EXPECT_NE(ReadSession().find("\"refresh_token\""), std::string::npos);
  EXPECT_EQ(next.Call("ensure-login"), "result 0 ");
}

TEST_F(SignInTest, HolderPastTheTimeLimitMakesOthersTimeOut) {
  SignInAuthorised();
  HelperProcess holder;
  HelperProcess client;
  ASSERT_EQ(holder.Call("lock 0"), "locked");
  ASSERT_EQ(client.Call("set-lock-wait 300"), "set");
  // The time-out says so, then which lock and who holds it.
  for (const char* command : {"ensure-login", "refresh", "logout"}) {
    const std::string answer = client.Call(command);
    EXPECT_EQ(answer.rfind("result -4 Timed out waiting for synchronization object. The lock ", 0),
              0u)
        << answer;
    EXPECT_NE(answer.find("Vendra Software-Sync"), std::string::npos) << answer;
    EXPECT_NE(answer.find(" is held by "), std::string::npos) << answer;
  }
  EXPECT_EQ(service_->CountRequests("vclient/refresh"), 0);
  ASSERT_EQ(holder.Call("unlock"), "unlocked");
  EXPECT_EQ(client.Call("ensure-login"), "result 0 ");
}

TEST_F(SignInTest, LockOfAKilledHolderIsTakenAtOnce) {
  SignInAuthorised();
  HelperProcess holder;
  HelperProcess client;
  ASSERT_EQ(holder.Call("lock 0"), "locked");
  ASSERT_TRUE(client.Send("ensure-login"));
  // Waiting behind the holder.
  EXPECT_EQ(client.ReadLine(300), "");
  holder.Kill();
  EXPECT_EQ(client.ReadLine(10000), "result 0 ");
}

TEST_F(SignInTest, NewDeviceIsAuthorisedWithAnEmailedCode) {
  HelperProcess client;
  ASSERT_EQ(client.Call(LoginCommand()), "result 0 ");
  // No local token yet: the requests go without one.
  EXPECT_EQ(client.Call("email-code"), "result 0 ");
  const auto codes = service_->OutboxCodes();
  ASSERT_EQ(codes.size(), 1u);
  EXPECT_EQ(client.Call("authorize " + codes[0] + " my-laptop"), "result 0 ");
  const auto auth = Requests("vclient/deviceauth");
  ASSERT_EQ(auth.size(), 1u);
  EXPECT_EQ(auth[0]["field_order"], nlohmann::json::array({"access_token", "local_id", "code", "name"}));
  EXPECT_EQ(auth[0]["fields"]["name"], "my-laptop");
  EXPECT_NE(ReadSession().find("\"local_token\""), std::string::npos);
  // Authorised: data requests work, with the local token along.
  const std::string data = client.Call("get-data tandory 1.0");
  EXPECT_EQ(data.rfind("result 0 {", 0), 0u) << data;
  const auto requests = Requests("vclient/data");
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0]["field_order"],
            nlohmann::json::array({"p", "v", "access_token", "local_id", "local_token"}));
}

TEST_F(SignInTest, WrongDeviceCodeChangesNothing) {
  HelperProcess client;
  ASSERT_EQ(client.Call(LoginCommand()), "result 0 ");
  const std::string before = ReadSession();
  const std::string answer = client.Call("authorize 000000 my-laptop");
  EXPECT_EQ(answer.rfind("result -106 ", 0), 0u) << answer;
  EXPECT_EQ(ReadSession(), before);
}

TEST_F(SignInTest, RequestsWithoutTheirTokensFailAtOnce) {
  HelperProcess client;
  EXPECT_EQ(client.Call("refresh"), "result -105 Refresh Token Required");
  EXPECT_EQ(client.Call("email-code"), "result -100 Access Token Required");
  EXPECT_EQ(client.Call("get-data p v"), "result -100 Access Token Required");
  EXPECT_EQ(client.Call("authorize 123456 name"), "result -100 Access Token Required");
  EXPECT_EQ(client.Call("username"), "result -100 Refresh Token Required");
  ASSERT_EQ(client.Call(LoginCommand()), "result 0 ");
  // Signed in on a device that is not authorised yet.
  EXPECT_EQ(client.Call("get-data p v"), "result -104 Local Token Required");
  EXPECT_EQ(service_->RequestLog().size(), 1u);
}

TEST_F(SignInTest, RefreshWithoutALocalTokenIsRefused) {
  {
    HelperProcess setup;
    ASSERT_EQ(setup.Call(LoginCommand()), "result 0 ");
  }
  HelperProcess client;
  EXPECT_EQ(client.Call("refresh"), "result -104 Local Token Required");
  EXPECT_EQ(service_->CountRequests("vclient/refresh"), 0);
}

// Refused before any request: arguments the service would refuse, and the
// windows of a program that gave its client none.
TEST(RefusedAtOnceTest, EmptyDeviceCodeOrNameOrAMissingWindow) {
  using VendraClient::eVClientResult;
  using Call = std::function<eVClientResult(VendraClient::VClient&, std::u16string&)>;
  const struct {
    Call call;
    eVClientResult result;
    std::u16string error;
  } cases[] = {
      {[](auto& c, auto& e) { return c.AuthorizeDevice(u"123456", u"", e); },
       eVClientResult::InvalidArgument, u""},
      {[](auto& c, auto& e) { return c.AuthorizeDevice(u"", u"name", e); },
       eVClientResult::InvalidArgument, u""},
      {[](auto& c, auto& e) { return c.ShowLoginWindow(e); }, eVClientResult::NotSupported,
       u"This program cannot show the Login window"},
      {[](auto& c, auto& e) { return c.ShowDeviceAuthorizationWindow(e); },
       eVClientResult::NotSupported, u"This program cannot show the Device Authorization window"},
      {[](auto& c, auto& e) {
         return c.ReportCrashA("p", "1", 1, "a.exe", 0, "a.dll", 0, 0, "", e);
       },
       eVClientResult::NotSupported, u"This program cannot show the Crash Report window"},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    VendraClient::VClient client;
    std::u16string error;
    EXPECT_EQ(cases[i].call(client, error), cases[i].result) << "case " << i;
    EXPECT_EQ(error, cases[i].error) << "case " << i;
  }
}

}  // namespace
