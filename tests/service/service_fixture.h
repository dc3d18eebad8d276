#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "service/digest.h"
#include "tests/support/service_process.h"
#include "tests/support/temp_folder.h"

namespace VendraTest {

inline constexpr char kUser[] = "ada";
inline constexpr char kPassword[] = "correct horse";
inline constexpr char kTotpSecret[] = "JBSWY3DPEHPK3PXP";
inline constexpr char kDevice[] = "0123456789abcdef0123456789abcdef";

// A fresh service root with one account, served over HTTPS on loopback.
class ServiceTest : public ::testing::Test {
 protected:
  void StartService(ServiceOptions options = {}) {
    ASSERT_TRUE(AddServiceUser(root_.path(), kUser, kPassword, kTotpSecret));
    service_ = std::make_unique<ServiceProcess>(root_.path(), std::move(options));
    ASSERT_TRUE(service_->ok()) << "the service did not start";
  }
  void SetUp() override { StartService(); }

  HttpReply Post(const std::string& path,
                 const std::vector<std::pair<std::string, std::string>>& fields) {
    return PostForm(service_->url() + path, service_->caFile(), fields);
  }

  // A sign-in with a fresh challenge; iv names it.
  HttpReply Login(const std::string& iv, const std::string& password = kPassword,
                  const std::string& device = kDevice, const std::string& localToken = "",
                  const std::string& user = kUser) {
    const std::string key = VendraService::Md5Hex(iv + VendraService::Md5Hex(password));
    std::vector<std::pair<std::string, std::string>> fields = {
        {"username", user}, {"iv", iv}, {"key", key}, {"local_id", device}, {"length", "86400"}};
    if (!localToken.empty()) fields.emplace_back("local_token", localToken);
    return Post("vclient/login", fields);
  }

  static nlohmann::json Json(const HttpReply& reply) {
    auto parsed = nlohmann::json::parse(reply.body, nullptr, false);
    return parsed.is_discarded() ? nlohmann::json() : parsed;
  }
  static std::string Token(const nlohmann::json& reply, const char* member) {
    if (!reply.contains(member)) return std::string();
    return reply[member].value("access_token", "");
  }

  // Signs in and authorises kDevice with the authenticator; answers the
  // access and local tokens.
  std::pair<std::string, std::string> SignInAuthorised() {
    const auto login = Json(Login("vclient-setup"));
    const std::string access = Token(login, "access_token");
    const auto auth = Json(Post("vclient/deviceauth",
                                {{"access_token", access},
                                 {"local_id", kDevice},
                                 {"code", AuthenticatorCode(kTotpSecret, std::time(nullptr))},
                                 {"name", "test machine"}}));
    return {access, Token(auth, "local_token")};
  }

  TempFolder root_;
  std::unique_ptr<ServiceProcess> service_;
};

}  // namespace VendraTest
