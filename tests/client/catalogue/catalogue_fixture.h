#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "client/v_client.h"
#include "common/text/utf.h"
#include "tests/support/environment.h"
#include "tests/support/service_process.h"
#include "tests/support/signed_in_session.h"
#include "tests/support/temp_folder.h"

namespace VendraTest {

// A machine root of its own, the service on loopback with a small catalogue,
// and a client that has picked up a stored, authorised session.
class CatalogueTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetEnvironment("VENDRA_MACHINE_ROOT", machine_.path());
    WriteServiceFile(machine_.path(), "etc/machine-id", "0123456789abcdef0123456789abcdef\n");
    std::string failure;
    ASSERT_TRUE(VendraTest::StartSignedInService(serviceRoot_.path(), {}, service_, session_,
                                                failure))
        << failure;
    WriteServiceFile(serviceRoot_.path(), "catalogue/TDY-UPLINK/builds.json",
                     R"({"live": {"version": "1.2.3"}, "beta": {"version": "1.3.0"}})");
    WriteServiceFile(serviceRoot_.path(), "catalogue/tdy/live/1.2.3/build.json",
                     R"({"software": "tdy", "branch": "live", "version": "1.2.3",
                         "data": {"files": []}})");
    WriteServiceFile(serviceRoot_.path(), "catalogue/tdy/live/1.2.3/files/bin/Tandory.exe.z",
                     kFileBytes);
    WriteServiceFile(serviceRoot_.path(), "utilities/vendrabuild/manifest.json",
                     R"({"name": "vendrabuild", "filename": "VendraBuild.exe",
                         "file_size": 1, "file_sha256": "00",
                         "compressed_file_size": 1, "compressed_file_sha256": "00"})");
    WriteServiceFile(serviceRoot_.path(), "utilities/vendrabuild/VendraBuild.exe.z", kUtilityBytes);
    client_ = std::make_unique<VendraClient::VClient>();
    // What signing in does first: the stored session comes into memory.
    client_->LoadSession();
  }
  void TearDown() override {
    client_.reset();
    SetEnvironment("VENDRA_SERVICE_URL", "");
    SetEnvironment("VENDRA_CA_FILE", "");
    SetEnvironment("VENDRA_MACHINE_ROOT", "");
  }

  std::string DataPath(const std::u16string& relative) {
    std::u16string path;
    client_->GetDataPath(relative, path);
    return VendraText::Utf16ToUtf8(path);
  }

  static constexpr char kFileBytes[] = "compressed product file";
  static constexpr char kUtilityBytes[] = "compressed package manager";

  TempFolder machine_;
  TempFolder serviceRoot_;
  std::unique_ptr<ServiceProcess> service_;
  SignedInSession session_;
  std::unique_ptr<VendraClient::VClient> client_;
};

}  // namespace VendraTest
