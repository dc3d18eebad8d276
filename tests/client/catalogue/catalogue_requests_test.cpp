#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include "async/v_async.h"
#include "client/session_lock.h"
#include "common/memory/ref_ptr.h"
#include "json/parser.h"
#include "json/object.h"
#include "platform/files.h"
#include "tests/client/catalogue/catalogue_fixture.h"
#include "tests/support/notice_recorder.h"

namespace VendraTest {
namespace {

using VendraClient::eVClientResult;
using VendraJSON::VSJObject;
using Object = Vendra::RefPtr<VSJObject>;

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

bool Exists(const std::string& path) { return std::ifstream(path).good(); }

Object ParseObject(const char* text) {
  Object object;
  std::u16string error;
  EXPECT_TRUE(VendraJSON::ParseObjectA(text, object.Receive(), error));
  return object;
}

using Listener = Vendra::RefPtr<NoticeRecorder>;

TEST_F(CatalogueTest, GetBuildsSendsOnlyTheAccessTokenAndHandsBackTheList) {
  Object list;
  std::u16string error;
  ASSERT_EQ(client_->GetBuilds("TDY-UPLINK", "Tandory Installer 1.00", 0, list.Receive(), error),
            eVClientResult::Success)
      << VendraText::Utf16ToUtf8(error);
  Object live;
  ASSERT_TRUE(list->GetObject(u"live", live.Receive()));
  std::u16string version;
  EXPECT_TRUE(live->GetString(u"version", version));
  EXPECT_EQ(version, u"1.2.3");

  const auto log = service_->RequestLog();
  ASSERT_FALSE(log.empty());
  const auto& request = log.back();
  EXPECT_EQ(request["path"], "vclient/builds");
  EXPECT_EQ(request["field_order"],
            nlohmann::json::array({"p", "v", "n", "access_token"}));
  EXPECT_EQ(request["fields"]["n"], "0");
  EXPECT_EQ(request["fields"]["v"], "Tandory Installer 1.00");
}

TEST_F(CatalogueTest, EveryRequestWithoutAValidAccessTokenFailsWithoutTraffic) {
  VendraClient::VClient fresh;  // has not picked up the stored session
  const size_t fixtureRequests = service_->RequestLog().size();
  std::u16string error;
  Object out;
  EXPECT_EQ(fresh.GetBuilds("TDY-UPLINK", "x", 0, out.Receive(), error),
            eVClientResult::AccessTokenRequired);
  EXPECT_EQ(error, u"Accss Token Required");
  error.clear();
  EXPECT_EQ(fresh.GetBuild("tdy", "live", "1.2.3", u"", out.Receive(), error),
            eVClientResult::AccessTokenRequired);
  EXPECT_EQ(error, u"Access Token Required");
  EXPECT_EQ(fresh.GetUtilityManifest("vendrabuild", out.Receive(), error),
            eVClientResult::AccessTokenRequired);
  EXPECT_EQ(service_->RequestLog().size(), fixtureRequests) << "only the fixture's sign-in";
}

TEST_F(CatalogueTest, GetBuildKeepsACopyAsBuildJsonInTheFolder) {
  TempFolder folder;
  Object build;
  std::u16string error;
  ASSERT_EQ(client_->GetBuild("tdy", "live", "1.2.3", folder.WSub("downloads/tdy"),
                              build.Receive(), error),
            eVClientResult::Success)
      << VendraText::Utf16ToUtf8(error);
  std::u16string version;
  EXPECT_TRUE(build->GetString(u"version", version));
  EXPECT_EQ(version, u"1.2.3");
  const std::string stored = ReadFile(folder.Sub("downloads/tdy/build.json"));
  Object copy = ParseObject(stored.c_str());
  ASSERT_TRUE(copy);
  std::string replyText, copyText;
  build->WriteJSONA(replyText, false, 0, "\n");
  copy->WriteJSONA(copyText, false, 0, "\n");
  EXPECT_EQ(copyText, replyText);

  const auto request = service_->RequestLog().back();
  EXPECT_EQ(request["field_order"],
            nlohmann::json::array({"access_token", "local_id", "local_token", "p", "b", "v"}));
  EXPECT_EQ(request.value("content_encoding", ""), "gzip") << "the reply above was expanded";
  EXPECT_EQ(VendraClient::SessionLock().Depth(), 0);
}

TEST_F(CatalogueTest, GetBuildWithAnErrorReplyHandsBackNothingAndWritesNoCopy) {
  TempFolder folder;
  Object build;
  std::u16string error;
  const eVClientResult code =
      client_->GetBuild("tdy", "live", "9.9.9", folder.wpath(), build.Receive(), error);
  EXPECT_NE(code, eVClientResult::Success);
  EXPECT_FALSE(build);
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(Exists(folder.Sub("build.json")));
}

TEST_F(CatalogueTest, GetBuildWithAnEmptyArgumentSendsNothing) {
  Object build;
  std::u16string error = u"kept";
  EXPECT_EQ(client_->GetBuild("tdy", "", "1.2.3", u"", build.Receive(), error),
            eVClientResult::InvalidArgument);
  EXPECT_EQ(error, u"kept");
  EXPECT_EQ(client_->GetUtilityManifest("", build.Receive(), error),
            eVClientResult::InvalidArgument);
  EXPECT_EQ(service_->CountRequests("vclient/build"), 0);
  EXPECT_EQ(service_->CountRequests("vclient/utility"), 0);
}

TEST_F(CatalogueTest, AnExpiredLocalTokenFailsAfterTheLockAndSendsNothing) {
  // Another program rewrote the stored session with an expired local token.
  const std::string expired = R"({"username": "tester",
      "local_token": {"access_token": "old", "expires_at": 1000}})";
  ASSERT_EQ(VendraPlatform::WriteFileAtomically(
                VendraText::Utf8ToUtf16(DataPath(u"localStorage.json")), expired),
            0u);
  Object manifest;
  std::u16string error;
  EXPECT_EQ(client_->GetUtilityManifest("vendrabuild", manifest.Receive(), error),
            eVClientResult::LocalTokenRequired);
  EXPECT_EQ(error, u"Local Token Required");
  EXPECT_EQ(VendraClient::SessionLock().Depth(), 0) << "the lock is given back";
  EXPECT_EQ(service_->CountRequests("vclient/utility"), 0);
}

TEST_F(CatalogueTest, GetUtilityManifestAsksForTheNamedUtility) {
  Object manifest;
  std::u16string error;
  ASSERT_EQ(client_->GetUtilityManifest("vendrabuild", manifest.Receive(), error),
            eVClientResult::Success)
      << VendraText::Utf16ToUtf8(error);
  std::u16string name;
  EXPECT_TRUE(manifest->GetString(u"filename", name));
  EXPECT_EQ(name, u"VendraBuild.exe");
  EXPECT_EQ(service_->RequestLog().back()["fields"]["u"], "vendrabuild");

  EXPECT_NE(client_->GetUtilityManifest("nosuchtool", manifest.Receive(), error),
            eVClientResult::Success);
  EXPECT_FALSE(manifest);
}

TEST_F(CatalogueTest, TheUtilityDownloadLandsInTheDataFoldersUtilsFolder) {
  Object manifest = ParseObject(R"({"name": "vendrabuild", "filename": "VendraBuild.exe"})");
  auto listener = Listener::Adopt(NoticeRecorder::Create());
  std::u16string error;
  ASSERT_EQ(client_->DownloadUtilityFile(manifest.get(), nullptr, listener.get(), error),
            eVClientResult::Success)
      << VendraText::Utf16ToUtf8(error);
  EXPECT_EQ(ReadFile(DataPath(u"utils\\VendraBuild.exe.z")), kUtilityBytes);
  EXPECT_GE(listener->Count("progress"), 1u);
  EXPECT_EQ(listener->Last("progress").receivedTotal, static_cast<int64_t>(sizeof(kUtilityBytes) - 1));
  const auto request = service_->RequestLog().back();
  EXPECT_EQ(request["field_order"],
            nlohmann::json::array({"access_token", "local_id", "local_token", "utility"}));
}

TEST_F(CatalogueTest, HostileUtilityFileNamesAreRefusedBeforeAnythingIsSent) {
  for (const char* name : {"../escaped.exe", "/tmp/escaped.exe", "..\\..\\escaped.exe",
                           "C:\\Windows\\escaped.exe", ""}) {
    SCOPED_TRACE(name);
    Object manifest = Object::Adopt(VSJObject::Create());
    manifest->SetStringA(u"name", "vendrabuild");
    manifest->SetStringA(u"filename", name);
    auto listener = Listener::Adopt(NoticeRecorder::Create());
    std::u16string error;
    EXPECT_EQ(client_->DownloadUtilityFile(manifest.get(), nullptr, listener.get(), error),
              eVClientResult::Failed);
    EXPECT_NE(error.find(u"unsafe"), std::u16string::npos);
    EXPECT_EQ(VendraClient::SessionLock().Depth(), 0);
  }
  EXPECT_EQ(service_->CountRequests("vclient/download"), 0);
  EXPECT_FALSE(Exists(DataPath(u"escaped.exe.z")));
}

TEST_F(CatalogueTest, DownloadFileWritesTheEntrysLocalCompressedFile) {
  TempFolder folder;
  Object build = ParseObject(R"({"software": "tdy", "branch": "live", "version": "1.2.3"})");
  Object file = Object::Adopt(VSJObject::Create());
  file->SetStringA(u"filename", "bin/Tandory.exe");
  file->SetString(u"local_compressed_filename", folder.WSub("dl/bin/Tandory.exe.z"));
  auto listener = Listener::Adopt(NoticeRecorder::Create());
  std::u16string error;
  ASSERT_EQ(client_->DownloadFile(build.get(), file.get(), nullptr, listener.get(), error),
            eVClientResult::Success)
      << VendraText::Utf16ToUtf8(error);
  EXPECT_EQ(ReadFile(folder.Sub("dl/bin/Tandory.exe.z")), kFileBytes);
  const auto request = service_->RequestLog().back();
  EXPECT_EQ(request["field_order"],
            nlohmann::json::array({"access_token", "local_id", "local_token", "software",
                                   "branch", "version", "filename"}));

  // Without a destination nothing can be opened.
  Object bare = Object::Adopt(VSJObject::Create());
  bare->SetStringA(u"filename", "bin/Tandory.exe");
  EXPECT_EQ(client_->DownloadFile(build.get(), bare.get(), nullptr, listener.get(), error),
            eVClientResult::FileOpenFailed);
}

TEST_F(CatalogueTest, DownloadFileRefusesANameThatClimbsOutOfTheBuild) {
  TempFolder folder;
  Object build = ParseObject(R"({"software": "tdy", "branch": "live", "version": "1.2.3"})");
  Object file = Object::Adopt(VSJObject::Create());
  file->SetStringA(u"filename", "../../accounts/tester.json");
  file->SetString(u"local_compressed_filename", folder.WSub("out.z"));
  auto listener = Listener::Adopt(NoticeRecorder::Create());
  std::u16string error;
  EXPECT_EQ(client_->DownloadFile(build.get(), file.get(), nullptr, listener.get(), error),
            eVClientResult::Failed);
  EXPECT_FALSE(Exists(folder.Sub("out.z")));
  EXPECT_EQ(service_->CountRequests("vclient/download"), 0);
}

TEST_F(CatalogueTest, TheFactoriesCheckTheirArgumentsAndTheJobsDownloadOnAWorker) {
  Object manifest = ParseObject(R"({"name": "vendrabuild", "filename": "VendraBuild.exe"})");
  std::u16string error = u"kept";
  Vendra::RefPtr<VendraClient::VAsync> job;
  EXPECT_EQ(client_->DownloadUtilityAsync(nullptr, job.Receive(), error),
            eVClientResult::InvalidArgument);
  EXPECT_EQ(client_->DownloadUtilityAsync(manifest.get(), nullptr, error),
            eVClientResult::InvalidArgument);
  EXPECT_EQ(client_->DownloadFileAsync(manifest.get(), nullptr, job.Receive(), error),
            eVClientResult::InvalidArgument);
  EXPECT_EQ(error, u"kept");

  ASSERT_EQ(client_->DownloadUtilityAsync(manifest.get(), job.Receive(), error),
            eVClientResult::Success);
  EXPECT_EQ(job->GetStatus(), 1);
  auto listener = Listener::Adopt(NoticeRecorder::Create());
  ASSERT_EQ(job->Start(listener.get()), 2);
  int32_t status = job->GetStatus();
  for (int i = 0; i < 3000 && status == 2; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    status = job->GetStatus();
  }
  EXPECT_EQ(status, 0);
  EXPECT_EQ(listener->Last("progress").sender, job.get()) << "progress names the job as its sender";
  EXPECT_EQ(ReadFile(DataPath(u"utils\\VendraBuild.exe.z")), kUtilityBytes);
}

}  // namespace
}  // namespace VendraTest
