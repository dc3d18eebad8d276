// Posting a report object to the service with the stored session.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include <nlohmann/json.hpp>

#include "client/v_client.h"
#include "common/text/utf.h"
#include "json/object.h"
#include "tests/support/environment.h"
#include "tests/support/service_process.h"
#include "tests/support/signed_in_session.h"
#include "tests/support/temp_folder.h"

namespace {

using VendraClient::eVClientResult;
using VendraTest::WriteServiceFile;

class SendCrashReportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    VendraTest::SetEnvironment("VENDRA_MACHINE_ROOT", machine_.path());
    WriteServiceFile(machine_.path(), "etc/machine-id", "0123456789abcdef0123456789abcdef\n");
    std::string failure;
    ASSERT_TRUE(VendraTest::StartSignedInService(serviceRoot_.path(), {}, service_, session_,
                                                failure))
        << failure;
    client_ = std::make_unique<VendraClient::VClient>();
    report_ = Vendra::RefPtr<VendraJSON::VSJObject>::Adopt(VendraJSON::VSJObject::Create());
    report_->SetStringA(u"project", "Tandory");
    report_->SetInteger(u"build", 12);
    report_->SetStringA(u"report", "line\none");
  }
  void TearDown() override {
    client_.reset();
    VendraTest::SetEnvironment("VENDRA_SERVICE_URL", "");
    VendraTest::SetEnvironment("VENDRA_CA_FILE", "");
    VendraTest::SetEnvironment("VENDRA_MACHINE_ROOT", "");
  }

  std::string SessionFile() {
    std::u16string path;
    client_->GetDataPath(u"localStorage.json", path);
    return VendraText::Utf16ToUtf8(path);
  }
  nlohmann::json StoredSession() {
    return nlohmann::json::parse(VendraTest::ReadTextFile(SessionFile()));
  }

  VendraTest::TempFolder machine_;
  VendraTest::TempFolder serviceRoot_;
  std::unique_ptr<VendraTest::ServiceProcess> service_;
  VendraTest::SignedInSession session_;
  std::unique_ptr<VendraClient::VClient> client_;
  Vendra::RefPtr<VendraJSON::VSJObject> report_;
};

TEST_F(SendCrashReportTest, SendsTheAuthFieldsThenTheCompactReportInOrder) {
  client_->LoadSession();
  std::u16string error;
  ASSERT_EQ(client_->SendCrashReport(report_.get(), error), eVClientResult::Success)
      << VendraText::Utf16ToUtf8(error);
  nlohmann::json line;
  for (const auto& l : service_->RequestLog())
    if (l["path"] == "vclient/crashreport") line = l;
  ASSERT_FALSE(line.is_null());
  EXPECT_EQ(line["field_order"],
            nlohmann::json::array({"access_token", "local_id", "local_token", "json"}));
  EXPECT_EQ(line["fields"]["local_id"], VendraClient::ComputeDeviceIdentity());
  EXPECT_EQ(line["fields"]["json"], "{\"project\":\"Tandory\",\"build\":12,\"report\":\"line\\none\"}");
  EXPECT_EQ(service_->CountRequests("vclient/crashreport"), 1);
}

TEST_F(SendCrashReportTest, WithoutAValidAccessTokenNothingIsSent) {
  // A client that has not loaded the stored session has no access token.
  std::u16string error;
  EXPECT_EQ(client_->SendCrashReport(report_.get(), error), eVClientResult::AccessTokenRequired);
  EXPECT_EQ(error, u"Access Token Required");
  EXPECT_EQ(service_->CountRequests("vclient/crashreport"), 0);
}

TEST_F(SendCrashReportTest, WithoutAValidLocalTokenNothingIsSent) {
  client_->LoadSession();
  nlohmann::json stored = StoredSession();
  stored.erase("local_token");
  VendraTest::WriteTextFile(SessionFile(), stored.dump());
  VendraClient::VClient fresh;
  fresh.LoadSession();
  // The stored session is read again under the lock: the one in memory
  // had a local token, the file no longer does.
  std::u16string error;
  EXPECT_EQ(fresh.SendCrashReport(report_.get(), error), eVClientResult::LocalTokenRequired);
  EXPECT_EQ(error, u"Local Token Required");
  EXPECT_EQ(service_->CountRequests("vclient/crashreport"), 0);
}

TEST_F(SendCrashReportTest, NoReportObjectIsRefused) {
  client_->LoadSession();
  std::u16string error;
  EXPECT_EQ(client_->SendCrashReport(nullptr, error), eVClientResult::Failed);
  EXPECT_EQ(error, u"CrashReport Required");
  EXPECT_EQ(service_->CountRequests("vclient/crashreport"), 0);
}

TEST_F(SendCrashReportTest, TokensFromTheReplyAreStored) {
  client_->LoadSession();
  ASSERT_TRUE(service_->Script(
      "vclient/crashreport",
      R"([{"status": 200, "body": "{\"local_token\": {\"access_token\": \"LOCAL-NEW\", \"expires_in\": 3600}, \"refresh_token\": {\"access_token\": \"REFRESH-NEW\", \"expires_in\": 7200}}"}])"));
  std::u16string error;
  ASSERT_EQ(client_->SendCrashReport(report_.get(), error), eVClientResult::Success)
      << VendraText::Utf16ToUtf8(error);
  const nlohmann::json stored = StoredSession();
  EXPECT_EQ(stored["local_token"]["access_token"], "LOCAL-NEW");
  EXPECT_EQ(stored["refresh_token"]["access_token"], "REFRESH-NEW");
}

TEST_F(SendCrashReportTest, AServiceRefusalComesBackWithItsText) {
  client_->LoadSession();
  ASSERT_TRUE(service_->Script(
      "vclient/crashreport", R"([{"status": 400, "body": "{\"error\": \"Field json must hold a JSON object\"}"}])"));
  std::u16string error;
  EXPECT_EQ(client_->SendCrashReport(report_.get(), error), eVClientResult::ServiceError);
  EXPECT_EQ(error, u"Field json must hold a JSON object");
}

}  // namespace
