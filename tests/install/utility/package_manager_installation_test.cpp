#include "install/package_manager_installation.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>

#include "client/v_client.h"
#include "common/text/utf.h"
#include "install/codec.h"
#include "install/file_digest.h"
#include "install/v_build_client.h"
#include "json/object.h"
#include "tests/support/service_process.h"
#include "tests/support/signed_in_session.h"
#include "tests/support/temp_folder.h"

namespace VendraTest {
namespace {

using VendraClient::eVClientResult;

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

bool Exists(const std::string& path) { return std::ifstream(path).good(); }

// The service with a "vendrabuild" utility whose manifest describes the
// bytes below, and the installer's two clients signed in through a stored
// session.
class PackageManagerInstallationTest : public ::testing::Test {
 protected:
  void SetUp() override { Start({}); }

  void Start(std::vector<std::string> serviceArgs) {
    ::setenv("VENDRA_MACHINE_ROOT", machine_.path().c_str(), 1);
    WriteServiceFile(machine_.path(), "etc/machine-id", "fedcba9876543210fedcba9876543210\n");
    ServiceOptions options;
    options.extraArgs = std::move(serviceArgs);
    service_ = std::make_unique<ServiceProcess>(serviceRoot_.path(), options);
    ASSERT_TRUE(service_->ok());
    ::setenv("VENDRA_SERVICE_URL", service_->url().c_str(), 1);
    ::setenv("VENDRA_CA_FILE", service_->caFile().c_str(), 1);
    std::string failure;
    ASSERT_TRUE(StoreSignedInSession(*service_, session_, failure)) << failure;
    PublishUtility("#!/bin/sh\necho package manager version 1\n", true);
    client_ = std::make_unique<VendraClient::VClient>();
    buildClient_ = std::make_unique<VendraClient::VBuildClient>();
    client_->LoadSession();
    installation_ = std::make_unique<VendraClient::PackageManagerInstallation>(*client_,
                                                                               *buildClient_);
  }

  void TearDown() override {
    ::unsetenv("VENDRA_SERVICE_URL");
    ::unsetenv("VENDRA_CA_FILE");
    ::unsetenv("VENDRA_MACHINE_ROOT");
  }

  // Puts a compressed program and its manifest into the service's root.
  void PublishUtility(const std::string& program, bool withDigest,
                      const std::string& fileName = "VendraBuild.exe") {
    programBytes_ = program;
    const std::string plain = scratch_.Sub("program");
    const std::string packed = scratch_.Sub("program.z");
    WriteFile(plain, program);
    int32_t inSize = 0, outSize = 0;
    std::u16string error;
    ASSERT_EQ(VendraClient::DeflateFile(7, VendraText::Utf8ToUtf16(plain), inSize,
                                        VendraText::Utf8ToUtf16(packed), outSize, error),
              eVClientResult::Success);
    std::string digest, packedDigest;
    ASSERT_TRUE(VendraClient::GetFileDigest(VendraText::Utf8ToUtf16(plain), digest));
    ASSERT_TRUE(VendraClient::GetFileDigest(VendraText::Utf8ToUtf16(packed), packedDigest));
    compressedBytes_ = ReadFile(packed);
    std::ostringstream manifest;
    manifest << R"({"name": "vendrabuild", "filename": ")" << fileName << R"(", "file_size": )"
             << program.size();
    if (withDigest) manifest << R"(, "file_sha256": ")" << digest << '"';
    manifest << R"(, "compressed_file_size": )" << compressedBytes_.size()
             << R"(, "compressed_file_sha256": ")" << packedDigest << R"("})";
    WriteServiceFile(serviceRoot_.path(), "utilities/vendrabuild/manifest.json", manifest.str());
    WriteServiceFile(serviceRoot_.path(), "utilities/vendrabuild/" + fileName + ".z",
                     compressedBytes_);
  }

  std::string Utils(const std::string& name) {
    std::u16string path;
    client_->GetDataPath(u"utils\\" + VendraText::Utf8ToUtf16(name), path);
    return VendraText::Utf16ToUtf8(path);
  }

  eVClientResult Ensure(std::u16string& error) {
    return installation_->EnsurePackageManager(error);
  }

  TempFolder machine_;
  TempFolder serviceRoot_;
  TempFolder scratch_;
  std::unique_ptr<ServiceProcess> service_;
  SignedInSession session_;
  std::unique_ptr<VendraClient::VClient> client_;
  std::unique_ptr<VendraClient::VBuildClient> buildClient_;
  std::unique_ptr<VendraClient::PackageManagerInstallation> installation_;
  std::string programBytes_;
  std::string compressedBytes_;
};

TEST_F(PackageManagerInstallationTest, AMissingUtilityIsDownloadedExpandedAndMadeRunnable) {
  std::u16string error;
  ASSERT_EQ(Ensure(error), eVClientResult::Success) << VendraText::Utf16ToUtf8(error);
  EXPECT_EQ(ReadFile(Utils("VendraBuild.exe")), programBytes_);
  EXPECT_EQ(ReadFile(Utils("VendraBuild.exe.z")), compressedBytes_) << "the download stays";
  struct stat st {};
  ASSERT_EQ(::stat(Utils("VendraBuild.exe").c_str(), &st), 0);
  EXPECT_NE(st.st_mode & S_IXUSR, 0u);
  EXPECT_EQ(service_->CountRequests("vclient/utility"), 1);
  EXPECT_EQ(service_->CountRequests("vclient/download"), 1);

  // Once done, the same process asks nothing more.
  EXPECT_EQ(Ensure(error), eVClientResult::Success);
  EXPECT_EQ(service_->CountRequests("vclient/utility"), 1);
}

TEST_F(PackageManagerInstallationTest, ACurrentUtilityCostsOneManifestRequestAndNothingElse) {
  std::u16string error;
  ASSERT_EQ(Ensure(error), eVClientResult::Success);
  // A second run of the installer: a new process state.
  VendraClient::PackageManagerInstallation again(*client_, *buildClient_);
  ASSERT_EQ(again.EnsurePackageManager(error), eVClientResult::Success);
  EXPECT_EQ(service_->CountRequests("vclient/utility"), 2);
  EXPECT_EQ(service_->CountRequests("vclient/download"), 1);
}

TEST_F(PackageManagerInstallationTest, ACurrentDownloadIsExpandedWithoutBeingFetchedAgain) {
  std::u16string error;
  ASSERT_EQ(Ensure(error), eVClientResult::Success);
  for (const std::string& damage : {std::string(), std::string(programBytes_.size(), 'x')}) {
    SCOPED_TRACE(damage.empty() ? "missing" : "same size, other content");
    if (damage.empty()) std::remove(Utils("VendraBuild.exe").c_str());
    else WriteFile(Utils("VendraBuild.exe"), damage);
    VendraClient::PackageManagerInstallation again(*client_, *buildClient_);
    ASSERT_EQ(again.EnsurePackageManager(error), eVClientResult::Success);
    EXPECT_EQ(ReadFile(Utils("VendraBuild.exe")), programBytes_);
  }
  EXPECT_EQ(service_->CountRequests("vclient/download"), 1);
}

TEST_F(PackageManagerInstallationTest, AnEmptyInstalledFileIsNeverCurrent) {
  std::u16string error;
  ASSERT_EQ(Ensure(error), eVClientResult::Success);
  WriteFile(Utils("VendraBuild.exe"), "");
  VendraJSON::VSJObject* manifest = nullptr;
  ASSERT_EQ(client_->GetUtilityManifest("vendrabuild", &manifest, error), eVClientResult::Success);
  EXPECT_EQ(buildClient_->CheckUtilityFile(manifest, error), eVClientResult::VerifyFailed);
  EXPECT_EQ(buildClient_->CheckUtilityDownload(manifest, error), eVClientResult::Success);
  manifest->Release();
  EXPECT_EQ(buildClient_->CheckUtilityFile(nullptr, error), eVClientResult::InvalidArgument);
}

TEST_F(PackageManagerInstallationTest, AManifestWithoutADigestExpandsOnEveryRun) {
  PublishUtility("program without a published digest", false);
  std::u16string error;
  ASSERT_EQ(Ensure(error), eVClientResult::Success);
  WriteFile(Utils("VendraBuild.exe"), "stale");
  VendraClient::PackageManagerInstallation again(*client_, *buildClient_);
  ASSERT_EQ(again.EnsurePackageManager(error), eVClientResult::Success);
  EXPECT_EQ(ReadFile(Utils("VendraBuild.exe")), programBytes_);
  EXPECT_EQ(service_->CountRequests("vclient/download"), 1);
}

TEST_F(PackageManagerInstallationTest, ADamagedDownloadFailsTheExpansionAndReportsIt) {
  PublishUtility("the real program", true);
  // The service now serves other bytes than its manifest describes.
  WriteServiceFile(serviceRoot_.path(), "utilities/vendrabuild/VendraBuild.exe.z",
                   "not a zlib stream");
  std::u16string error;
  const eVClientResult code = Ensure(error);
  EXPECT_NE(code, eVClientResult::Success);
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(Exists(Utils("VendraBuild.exe")));
}

TEST_F(PackageManagerInstallationTest, AHostileUtilityFileNameWritesNothingOutsideUtils) {
  PublishUtility("payload", true, "../../escaped.exe");
  std::u16string error;
  EXPECT_EQ(Ensure(error), eVClientResult::Failed);
  EXPECT_NE(error.find(u"unsafe"), std::u16string::npos) << VendraText::Utf16ToUtf8(error);
  EXPECT_EQ(service_->CountRequests("vclient/download"), 0);
  std::u16string data;
  client_->GetDataPath(u"", data);
  EXPECT_FALSE(Exists(VendraText::Utf16ToUtf8(data) + "/../escaped.exe.z"));
  EXPECT_FALSE(Exists(VendraText::Utf16ToUtf8(data) + "/../escaped.exe"));
}

class ExpiringAccessTest : public PackageManagerInstallationTest {
 protected:
  void SetUp() override { Start({"--access-lifetime", "2"}); }
};

TEST_F(ExpiringAccessTest, AnAccessTokenThatExpiredBeforeTheDownloadIsRenewedAndTheDownloadRetried) {
  VendraJSON::VSJObject* manifest = nullptr;
  std::u16string error;
  ASSERT_EQ(client_->GetUtilityManifest("vendrabuild", &manifest, error), eVClientResult::Success);
  std::this_thread::sleep_for(std::chrono::milliseconds(3100));
  EXPECT_EQ(installation_->DownloadUtility(manifest, error), eVClientResult::Success)
      << VendraText::Utf16ToUtf8(error);
  manifest->Release();
  EXPECT_EQ(service_->CountRequests("vclient/refresh"), 1);
  EXPECT_EQ(service_->CountRequests("vclient/download"), 1);
  EXPECT_EQ(ReadFile(Utils("VendraBuild.exe.z")), compressedBytes_);
}

}  // namespace
}  // namespace VendraTest
