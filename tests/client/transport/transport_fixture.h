#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "client/reply_interpreter.h"
#include "client/transfer.h"
#include "client/transport_limits.h"
#include "common/memory/ref_ptr.h"
#include "json/json.h"
#include "tests/support/environment.h"
#include "tests/support/service_process.h"
#include "tests/support/temp_folder.h"

namespace VendraTest {

struct Outcome {
  VendraClient::eVClientResult code = VendraClient::eVClientResult::Success;
  uint32_t status = 0;
  std::u16string error;
  Vendra::RefPtr<VendraJSON::VSJObject> reply;
};

// The real service over HTTPS on loopback, reached the way the program
// reaches its service: through VENDRA_SERVICE_URL and VENDRA_CA_FILE.
class TransportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    service_ = std::make_unique<ServiceProcess>(root_.path());
    ASSERT_TRUE(service_->ok());
    SetEnvironment("VENDRA_SERVICE_URL", service_->url());
    SetEnvironment("VENDRA_CA_FILE", service_->caFile());
  }
  void TearDown() override {
    VendraClient::SetTransportLimitsForTesting({});
    SetEnvironment("VENDRA_SERVICE_URL", "");
    SetEnvironment("VENDRA_CA_FILE", "");
  }

  // One request the way every client operation makes it.
  static Outcome Request(const std::string& path,
                         const std::vector<std::pair<std::string, std::string>>& fields = {{"x", "1"}},
                         std::u16string error = u"") {
    Outcome outcome;
    outcome.error = std::move(error);
    VendraClient::VClientTransfer transfer;
    outcome.code = transfer.CreateTransfer(outcome.error);
    if (outcome.code != VendraClient::eVClientResult::Success) return outcome;
    transfer.SetRequestPath(path);
    for (const auto& [name, value] : fields) transfer.AddFormField(name, value);
    std::string text;
    VendraClient::VClient_CurlWriter_String writer(
        &text, VendraClient::CurrentTransportLimits().largestTextReply);
    outcome.code = transfer.PerformRequest(writer, outcome.status, outcome.error);
    outcome.code =
        VendraClient::InterpretReply(outcome.code, text, outcome.reply.Receive(), outcome.error);
    return outcome;
  }

  void Script(const std::string& path, const std::string& replies) {
    ASSERT_TRUE(service_->Script(path, replies));
  }

  TempFolder root_;
  std::unique_ptr<ServiceProcess> service_;
};

}  // namespace VendraTest
