// Downloads on Windows against the service stand-in, which the Windows test
// script runs natively on loopback and names in the environment:
//   VENDRA_SERVICE_URL         the service's base address (HTTPS)
//   VENDRA_CA_FILE             the CA that makes its certificate trusted
//   VENDRA_TEST_SERVICE_ROOT   the service's root folder, as a Windows path
//   VENDRA_TEST_USER, VENDRA_TEST_PASSWORD   an account of that service
// The suite signs in with the password, authorises this machine with the
// code the service "e-mails" into its outbox, and then downloads through the
// client's file writer.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <curl/curl.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "async/v_async_listener.h"
#include "client/v_client.h"
#include "common/memory/ref_ptr.h"
#include "common/text/utf.h"
#include "json/object.h"
#include "tests/support/environment.h"
#include "tests/support/temp_folder.h"

namespace {

using VendraClient::eVClientResult;
namespace fs = std::filesystem;

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

std::string ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

fs::path ServiceRoot() { return fs::path(VendraText::Utf8ToUtf16(Env("VENDRA_TEST_SERVICE_ROOT"))); }

std::set<fs::path> OutboxFiles() {
  std::set<fs::path> files;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(ServiceRoot() / "outbox", ec))
    files.insert(entry.path());
  return files;
}

// The code of the one message that is in the outbox now and was not before.
std::string NewOutboxCode(const std::set<fs::path>& before) {
  for (const fs::path& file : OutboxFiles()) {
    if (before.count(file)) continue;
    std::istringstream lines(ReadBytes(file));
    for (std::string line; std::getline(lines, line);)
      if (line.rfind("code: ", 0) == 0) return line.substr(6, 6);
  }
  return "";
}

// Appends scripted replies for a path at the service (its fault injection).
bool Script(const std::string& path, const std::string& replies) {
  CURL* curl = curl_easy_init();
  if (!curl) return false;
  const std::string url = Env("VENDRA_SERVICE_URL") + "control/script";
  const std::string body = "{\"path\":\"" + path + "\",\"replies\":" + replies + "}";
  curl_slist* headers = curl_slist_append(nullptr, "Content-Type: application/json");
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
  curl_easy_setopt(curl, CURLOPT_POSTFIELDS, body.c_str());
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, +[](char*, size_t size, size_t count, void*) {
    return size * count;
  });
  const CURLcode code = curl_easy_perform(curl);
  long status = 0;
  curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
  curl_slist_free_all(headers);
  curl_easy_cleanup(curl);
  return code == CURLE_OK && status == 200;
}

// Adds up the progress objects of a download.
class ProgressTotal final : public VendraClient::VAsyncListener {
 public:
  int AddRef() override { return 1; }
  int Release() override { return 1; }
  void OnStarted(VendraClient::VAsync*) override {}
  void OnProgress(VendraClient::VAsync*, VendraJSON::VSJObject* progress) override {
    auto held = Vendra::RefPtr<VendraJSON::VSJObject>::Adopt(progress);
    int64_t chunk = 0;
    int64_t total = 0;
    held->GetInteger(u"received_chunk", chunk);
    held->GetInteger(u"received_total", total);
    chunks += chunk;
    consistent = consistent && total == chunks;
    ++calls;
  }
  void OnSucceeded(VendraClient::VAsync*, int32_t, const char16_t*) override {}
  void OnFailed(VendraClient::VAsync*, int32_t, const char16_t*) override {}

  int calls = 0;
  int64_t chunks = 0;
  bool consistent = true;
};

class DownloadWin32Test : public ::testing::Test {
 protected:
  // One sign-in and one device authorisation for the suite: each
  // authorisation costs an e-mailed code.
  static void SetUpTestSuite() {
    machineRoot_ = new VendraTest::TempFolder;
    VendraTest::SetEnvironment("VENDRA_MACHINE_ROOT", machineRoot_->path());
    client_ = new VendraClient::VClient;
    if (Env("VENDRA_SERVICE_URL").empty() || Env("VENDRA_TEST_SERVICE_ROOT").empty()) {
      setupFailure_ = "the service is named by scripts/windows-test.sh; run the suite from there";
      return;
    }
    std::u16string error;
    eVClientResult code =
        client_->LoginW(VendraText::Utf8ToUtf16(Env("VENDRA_TEST_USER")),
                        VendraText::Utf8ToUtf16(Env("VENDRA_TEST_PASSWORD")), false, 3600, error);
    if (code != eVClientResult::Success) {
      setupFailure_ = "sign-in: " + VendraText::Utf16ToUtf8(error);
      return;
    }
    const std::set<fs::path> before = OutboxFiles();
    code = client_->EmailDeviceCode(error);
    const std::string mailed = NewOutboxCode(before);
    if (code != eVClientResult::Success || mailed.size() != 6) {
      setupFailure_ = "e-mailed code: " + VendraText::Utf16ToUtf8(error);
      return;
    }
    code = client_->AuthorizeDevice(VendraText::Utf8ToUtf16(mailed), u"Wine download test", error);
    if (code != eVClientResult::Success)
      setupFailure_ = "device authorisation: " + VendraText::Utf16ToUtf8(error);
  }
  static void TearDownTestSuite() {
    delete client_;
    client_ = nullptr;
    delete machineRoot_;
    VendraTest::SetEnvironment("VENDRA_MACHINE_ROOT", "");
  }

  void SetUp() override {
    ASSERT_TRUE(setupFailure_.empty()) << setupFailure_;
    std::u16string error;
    ASSERT_EQ(client_->GetUtilityManifest("vendrabuild", manifest_.Receive(), error),
              eVClientResult::Success)
        << VendraText::Utf16ToUtf8(error);
    std::u16string path;
    ASSERT_TRUE(client_->GetDataPath(u"utils\\VendraBuild.exe.z", path));
    target_ = fs::path(path);
    std::error_code ec;
    fs::remove(target_, ec);
  }

  // A download arrives as a partial file beside its target, with a record
  // of what it is to be: neither may stay once the download has ended.
  bool NothingLeftBesideTarget() const {
    const std::wstring prefix = target_.filename().wstring() + L".";
    if (!fs::exists(target_.parent_path())) return true;
    for (const auto& entry : fs::directory_iterator(target_.parent_path())) {
      if (entry.path().filename().wstring().rfind(prefix, 0) == 0) return false;
    }
    return true;
  }

  static VendraTest::TempFolder* machineRoot_;
  static VendraClient::VClient* client_;
  static std::string setupFailure_;
  Vendra::RefPtr<VendraJSON::VSJObject> manifest_;
  fs::path target_;
};

VendraTest::TempFolder* DownloadWin32Test::machineRoot_ = nullptr;
VendraClient::VClient* DownloadWin32Test::client_ = nullptr;
std::string DownloadWin32Test::setupFailure_;

TEST_F(DownloadWin32Test, UtilityArrivesWholeWithProgressAndNothingElseLeft) {
  ProgressTotal progress;
  std::u16string error;
  ASSERT_EQ(client_->DownloadUtilityFile(manifest_.get(), nullptr, &progress, error),
            eVClientResult::Success)
      << VendraText::Utf16ToUtf8(error);
  const std::string served = ReadBytes(ServiceRoot() / "utilities" / "vendrabuild" / "VendraBuild.exe.z");
  ASSERT_FALSE(served.empty());
  EXPECT_EQ(ReadBytes(target_), served);
  EXPECT_GT(progress.calls, 1);
  EXPECT_EQ(progress.chunks, static_cast<int64_t>(served.size()));
  EXPECT_TRUE(progress.consistent);
  EXPECT_TRUE(NothingLeftBesideTarget());
}

TEST_F(DownloadWin32Test, ASecondDownloadReplacesTheFirst) {
  {
    std::ofstream stale(target_, std::ios::binary);
    stale << "an older copy";
  }
  std::u16string error;
  ASSERT_EQ(client_->DownloadUtilityFile(manifest_.get(), nullptr, nullptr, error),
            eVClientResult::Success)
      << VendraText::Utf16ToUtf8(error);
  EXPECT_EQ(ReadBytes(target_),
            ReadBytes(ServiceRoot() / "utilities" / "vendrabuild" / "VendraBuild.exe.z"));
}

TEST_F(DownloadWin32Test, RefusedDownloadLeavesNothingAndKeepsTheServiceText) {
  ASSERT_TRUE(Script("vclient/download",
                     R"([{"status":403,"body":"{\"error\":\"Not entitled to this file\"}"}])"));
  std::u16string error;
  EXPECT_EQ(client_->DownloadUtilityFile(manifest_.get(), nullptr, nullptr, error),
            eVClientResult::HttpForbidden);
  EXPECT_EQ(error, u"Not entitled to this file");
  EXPECT_FALSE(fs::exists(target_));
  EXPECT_TRUE(NothingLeftBesideTarget());
}

// A cut connection is tried again from the bytes already received, so the
// file arrives whole, with nothing left beside it.
TEST_F(DownloadWin32Test, DownloadCutOffInTheMiddleIsContinuedToTheEnd) {
  ASSERT_TRUE(Script("vclient/download", R"([{"close_after":65536}])"));
  ProgressTotal progress;
  std::u16string error;
  ASSERT_EQ(client_->DownloadUtilityFile(manifest_.get(), nullptr, &progress, error),
            eVClientResult::Success)
      << VendraText::Utf16ToUtf8(error);
  const std::string served = ReadBytes(ServiceRoot() / "utilities" / "vendrabuild" / "VendraBuild.exe.z");
  EXPECT_EQ(ReadBytes(target_), served);
  EXPECT_GT(progress.chunks, 0);
  EXPECT_TRUE(NothingLeftBesideTarget());
}

TEST_F(DownloadWin32Test, ServiceThatIsNotThereIsATransferFailure) {
  const std::string url = Env("VENDRA_SERVICE_URL");
  // Port 1 on loopback: nothing listens there.
  VendraTest::SetEnvironment("VENDRA_SERVICE_URL", "http://127.0.0.1:1/");
  std::u16string error;
  const eVClientResult code = client_->DownloadUtilityFile(manifest_.get(), nullptr, nullptr, error);
  VendraTest::SetEnvironment("VENDRA_SERVICE_URL", url);
  EXPECT_EQ(code, eVClientResult::TransferFailed);
  // Every attempt is told, each with the transport's own reason.
  EXPECT_NE(error.find(u"curl error 7: "), std::u16string::npos) << VendraText::Utf16ToUtf8(error);
  EXPECT_FALSE(fs::exists(target_));
  EXPECT_TRUE(NothingLeftBesideTarget());
}

}  // namespace
