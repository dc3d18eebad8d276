#include <cstdio>
#include <ctime>
#include <filesystem>

#include "tests/service/service_fixture.h"

namespace VendraTest {
namespace {

class DeviceAuthTest : public ServiceTest {
 protected:
  HttpReply Authorize(const std::string& access, const std::string& code,
                      const std::string& device = kDevice) {
    return Post("vclient/deviceauth", {{"access_token", access},
                                       {"local_id", device},
                                       {"code", code},
                                       {"name", "test machine"}});
  }
  HttpReply Utility(const std::string& access, const std::string& localToken,
                    const std::string& device = kDevice) {
    std::vector<std::pair<std::string, std::string>> fields = {{"access_token", access},
                                                               {"local_id", device}};
    if (!localToken.empty()) fields.emplace_back("local_token", localToken);
    fields.emplace_back("u", "vendrabuild");
    return Post("vclient/utility", fields);
  }
  // A six-digit code the authenticator accepts at no moment near now.
  static std::string WrongCode() {
    const long long now = std::time(nullptr);
    for (int candidate = 0;; ++candidate) {
      char code[16];
      std::snprintf(code, sizeof code, "%06d", candidate);
      bool current = false;
      for (long long step = -2; step <= 2; ++step) {
        current = current || AuthenticatorCode(kTotpSecret, now + 30 * step) == code;
      }
      if (!current) return code;
    }
  }
  void SetUp() override {
    ServiceTest::SetUp();
    WriteServiceFile(root_.path(), "utilities/vendrabuild/manifest.json",
                     R"({"name":"vendrabuild","filename":"VendraBuild.exe"})");
  }
};

TEST_F(DeviceAuthTest, UnauthorisedDeviceIsAskedToAuthorise) {
  const std::string access = Token(Json(Login("vclient-1")), "access_token");
  const HttpReply reply = Utility(access, "");
  EXPECT_EQ(reply.status, 401);
  EXPECT_EQ(Json(reply).value("error", ""), "device auth required");
  EXPECT_EQ(Utility(access, "made-up-token").status, 401);
}

TEST_F(DeviceAuthTest, AuthenticatorCodeAuthorisesTheDevice) {
  const auto login = Json(Login("vclient-2"));
  const std::string access = Token(login, "access_token");
  EXPECT_EQ(Authorize(access, WrongCode()).status, 403);
  EXPECT_EQ(Utility(access, "").status, 401);
  const HttpReply reply = Authorize(access, AuthenticatorCode(kTotpSecret, std::time(nullptr)));
  ASSERT_EQ(reply.status, 200) << reply.body;
  const auto json = Json(reply);
  const std::string local = Token(json, "local_token");
  ASSERT_FALSE(local.empty());
  EXPECT_EQ(Token(json, "refresh_token"), Token(login, "refresh_token"));

  const HttpReply utility = Utility(access, local);
  EXPECT_EQ(utility.status, 200);
  EXPECT_EQ(Json(utility).value("filename", ""), "VendraBuild.exe");
  // The local token belongs to this device only.
  EXPECT_EQ(Utility(access, local, "another-device").status, 401);
  // The account remembers the device.
  const std::string account = ReadTextFile(root_.Sub("accounts/ada.json"));
  EXPECT_NE(account.find(kDevice), std::string::npos);
  EXPECT_NE(account.find("test machine"), std::string::npos);
}

TEST_F(DeviceAuthTest, EmailedCodeAuthorisesOnce) {
  // An account without an authenticator, so only the e-mailed code can match.
  ASSERT_TRUE(AddServiceUser(root_.path(), "bea", "pw"));
  const std::string access =
      Token(Json(Login("vclient-3", "pw", kDevice, "", "bea")), "access_token");
  ASSERT_FALSE(access.empty());
  ASSERT_EQ(Post("vclient/emaildevicecode", {{"access_token", access}, {"local_id", kDevice}}).status,
            200);
  const auto codes = service_->OutboxCodes();
  ASSERT_EQ(codes.size(), 1u);
  ASSERT_EQ(codes[0].size(), 6u);
  const auto message = ReadTextFile(
      std::filesystem::directory_iterator(root_.Sub("outbox"))->path().string());
  EXPECT_NE(message.find("to: bea\n"), std::string::npos);
  EXPECT_NE(message.find("code: " + codes[0] + "\n"), std::string::npos);

  // The code is bound to the device it was sent for.
  EXPECT_EQ(Authorize(access, codes[0], "another-device").status, 403);
  const HttpReply reply = Authorize(access, codes[0]);
  ASSERT_EQ(reply.status, 200) << reply.body;
  EXPECT_FALSE(Token(Json(reply), "local_token").empty());
  // Used once, it is gone.
  EXPECT_EQ(Authorize(access, codes[0]).status, 403);
}

TEST_F(DeviceAuthTest, DeviceRequestsNeedAnAccessTokenAndADevice) {
  EXPECT_EQ(Post("vclient/emaildevicecode", {{"local_id", kDevice}}).status, 401);
  EXPECT_EQ(Authorize("bogus", "123456").status, 401);
  EXPECT_TRUE(service_->OutboxCodes().empty());

  // A valid code for no device is refused, with a reason, and authorises nothing.
  const std::string access = Token(Json(Login("vclient-5")), "access_token");
  const std::string code = AuthenticatorCode(kTotpSecret, std::time(nullptr));
  const HttpReply empty = Authorize(access, code, "");
  EXPECT_EQ(empty.status, 400);
  EXPECT_NE(Json(empty).value("error", "").find("local_id"), std::string::npos) << empty.body;
  EXPECT_EQ(ReadTextFile(root_.Sub("accounts/ada.json")).find("test machine"), std::string::npos);
}

TEST_F(DeviceAuthTest, AuthorisedDeviceGetsLocalTokenAtSignInAndRefresh) {
  const auto [access, local] = SignInAuthorised();
  ASSERT_FALSE(local.empty());
  // By its device identity alone.
  const auto again = Json(Login("vclient-4"));
  EXPECT_FALSE(Token(again, "local_token").empty());
  // By the local token it presents, whatever identity it sends.
  const auto presented = Json(Login("vclient-5", kPassword, "", local));
  EXPECT_EQ(Token(presented, "local_token"), local);
  // Not for another device of the same account.
  EXPECT_FALSE(Json(Login("vclient-6", kPassword, "another-device")).contains("local_token"));

  const auto refreshed = Json(Post("vclient/refresh", {{"local_id", kDevice},
                                                        {"local_token", local},
                                                        {"refresh_token", Token(again, "refresh_token")}}));
  EXPECT_EQ(Token(refreshed, "local_token"), local);
  const auto other = Json(Post("vclient/refresh", {{"local_id", "another-device"},
                                                    {"local_token", ""},
                                                    {"refresh_token", Token(again, "refresh_token")}}));
  EXPECT_FALSE(Token(other, "access_token").empty());
  EXPECT_FALSE(other.contains("local_token"));
}

TEST_F(DeviceAuthTest, AuthorisationOutlivesARestart) {
  const auto [access, local] = SignInAuthorised();
  ASSERT_FALSE(local.empty());
  ASSERT_EQ(service_->Stop(), 0);
  service_ = std::make_unique<ServiceProcess>(root_.path());
  ASSERT_TRUE(service_->ok());
  EXPECT_FALSE(Token(Json(Login("vclient-8")), "local_token").empty());
}

}  // namespace
}  // namespace VendraTest
