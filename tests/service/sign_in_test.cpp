#include <thread>

#include "tests/service/service_fixture.h"

namespace VendraTest {
namespace {

class SignInTest : public ServiceTest {};

TEST_F(SignInTest, ChallengeAnswerSignsIn) {
  const HttpReply reply = Login("vclient-100");
  ASSERT_EQ(reply.curlCode, 0);
  EXPECT_EQ(reply.status, 200);
  const auto json = Json(reply);
  EXPECT_FALSE(Token(json, "access_token").empty());
  EXPECT_FALSE(Token(json, "refresh_token").empty());
  const long long now = std::time(nullptr);
  EXPECT_GT(json["access_token"]["expires_at"].get<long long>(), now);
  // The session length asked for bounds the refresh token.
  EXPECT_LE(json["refresh_token"]["expires_at"].get<long long>(), now + 86400 + 5);
  // A device that was never authorised gets no local token.
  EXPECT_FALSE(json.contains("local_token"));
}

TEST_F(SignInTest, ReplayedChallengeIsRefused) {
  ASSERT_EQ(Login("vclient-7").status, 200);
  const HttpReply replay = Login("vclient-7");
  EXPECT_EQ(replay.status, 401);
  EXPECT_EQ(Json(replay).value("error", ""), "Challenge already used");
}

TEST_F(SignInTest, WrongPasswordAndUnknownUserAreRefused) {
  const HttpReply wrong = Login("vclient-1", "incorrect horse");
  EXPECT_EQ(wrong.status, 401);
  EXPECT_EQ(Json(wrong).value("error", ""), "Invalid username or password");
  const HttpReply unknown = Post("vclient/login", {{"username", "../accounts/ada"},
                                                   {"iv", "vclient-2"},
                                                   {"key", "x"},
                                                   {"local_id", kDevice},
                                                   {"length", "60"}});
  EXPECT_EQ(unknown.status, 401);
}

TEST_F(SignInTest, MissingFieldIsABadRequest) {
  const HttpReply reply = Post("vclient/login", {{"username", kUser}, {"iv", "vclient-3"}});
  EXPECT_EQ(reply.status, 400);
  EXPECT_EQ(Json(reply).value("error", ""), "Missing field key");
}

TEST_F(SignInTest, RefreshGivesANewAccessToken) {
  const auto login = Json(Login("vclient-5"));
  const HttpReply refresh = Post("vclient/refresh", {{"local_id", kDevice},
                                                     {"local_token", ""},
                                                     {"refresh_token", Token(login, "refresh_token")}});
  ASSERT_EQ(refresh.status, 200);
  const auto json = Json(refresh);
  EXPECT_FALSE(Token(json, "access_token").empty());
  EXPECT_NE(Token(json, "access_token"), Token(login, "access_token"));
  EXPECT_EQ(Token(json, "refresh_token"), Token(login, "refresh_token"));

  const HttpReply bad = Post("vclient/refresh", {{"local_id", kDevice},
                                                 {"local_token", ""},
                                                 {"refresh_token", "not-a-token"}});
  EXPECT_EQ(bad.status, 401);
  EXPECT_EQ(Json(bad).value("error", ""), "Refresh token invalid or expired");
}

TEST_F(SignInTest, LogoutEndsTheSession) {
  const auto login = Json(Login("vclient-6"));
  const std::string access = Token(login, "access_token");
  ASSERT_EQ(Post("vclient/logout", {{"access_token", access}}).status, 200);
  EXPECT_EQ(Post("vclient/builds", {{"p", "TDY"}, {"access_token", access}}).status, 401);
  EXPECT_EQ(Post("vclient/refresh", {{"local_id", kDevice},
                                     {"local_token", ""},
                                     {"refresh_token", Token(login, "refresh_token")}})
                .status,
            401);
}

TEST_F(SignInTest, RequestLogShortensCredentialsAndFlagsPasswords) {
  const auto login = Json(Login("vclient-9"));
  const std::string access = Token(login, "access_token");
  ASSERT_FALSE(access.empty());
  Post("vclient/builds", {{"p", "TDY"}, {"v", "x"}, {"n", "0"}, {"access_token", access}});
  // A client that wrongly sends the password itself, or its digest.
  Post("vclient/login", {{"username", kUser}, {"password", kPassword}});
  Post("vclient/login", {{"username", kUser}, {"pw", VendraService::Md5Hex(kPassword)}});

  const std::string log = ReadTextFile(root_.Sub("requests.log"));
  EXPECT_EQ(log.find(access), std::string::npos);
  EXPECT_EQ(log.find(Token(login, "refresh_token")), std::string::npos);
  EXPECT_EQ(log.find(kPassword), std::string::npos);
  EXPECT_EQ(log.find(VendraService::Md5Hex(kPassword)), std::string::npos);
  const std::string key = VendraService::Md5Hex(std::string("vclient-9") +
                                                VendraService::Md5Hex(kPassword));
  EXPECT_EQ(log.find(key), std::string::npos);

  const auto lines = service_->RequestLog();
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0]["path"], "vclient/login");
  EXPECT_EQ(lines[0]["fields"]["iv"], "vclient-9");
  EXPECT_EQ(lines[0]["fields"]["key"], key.substr(0, 6) + "...(32)");
  EXPECT_EQ(lines[0]["field_order"],
            nlohmann::json::array({"username", "iv", "key", "local_id", "length"}));
  EXPECT_FALSE(lines[0].contains("password_received"));
  EXPECT_EQ(lines[1]["fields"]["access_token"], access.substr(0, 6) + "...(64)");
  EXPECT_EQ(lines[1]["status"], 404);  // no catalogue for "TDY"
  EXPECT_EQ(lines[2]["fields"]["password"], "[password]");
  EXPECT_TRUE(lines[2].value("password_received", false));
  EXPECT_TRUE(lines[3].value("password_digest_received", false));
  EXPECT_EQ(service_->CountRequests("vclient/login"), 3);
}

class ShortLivedTokensTest : public ServiceTest {
 protected:
  void SetUp() override {
    StartService({true, true, {"--access-lifetime", "1", "--refresh-lifetime", "6"}});
  }
};

TEST_F(ShortLivedTokensTest, TokensExpire) {
  const auto login = Json(Login("vclient-11"));
  const std::string access = Token(login, "access_token");
  const long long now = std::time(nullptr);
  EXPECT_LE(login["access_token"]["expires_at"].get<long long>(), now + 2);
  EXPECT_LE(login["refresh_token"]["expires_at"].get<long long>(), now + 7);
  std::this_thread::sleep_for(std::chrono::milliseconds(2100));
  const HttpReply expired = Post("vclient/builds", {{"p", "TDY"}, {"access_token", access}});
  EXPECT_EQ(expired.status, 401);
  EXPECT_EQ(Json(expired).value("error", ""), "Access token invalid or expired");
  const std::vector<std::pair<std::string, std::string>> refresh = {
      {"local_id", kDevice}, {"local_token", ""}, {"refresh_token", Token(login, "refresh_token")}};
  // Margins of seconds either side: a loaded machine must not decide this.
  EXPECT_EQ(Post("vclient/refresh", refresh).status, 200);
  std::this_thread::sleep_for(std::chrono::milliseconds(5000));
  EXPECT_EQ(Post("vclient/refresh", refresh).status, 401);
}

}  // namespace
}  // namespace VendraTest
