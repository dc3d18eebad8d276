#ifndef _WIN32
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <atomic>
#include <chrono>
#include <filesystem>
#include <random>

#include "async/v_async_listener.h"
#include "client/curl_file_writer.h"
#include "client/file_download.h"
#include "client/md5.h"
#include "client/partial_record.h"
#include "client/transfer_stop.h"
#include "common/text/utf.h"
#include "tests/client/transport/transport_fixture.h"
#include "tests/support/environment.h"
#include "tests/support/notice_recorder.h"
#include "tests/support/sha256_hex.h"
#include "tests/support/unprivileged.h"

namespace VendraTest {
namespace {

using VendraClient::eVClientResult;

// Asks the download to stop once enough bytes are in, or once a retry is
// announced.
class Stopper final : public VendraClient::VAsyncListener,
                      public VendraClient::TransferStopSignal {
 public:
  int AddRef() override { return 1; }
  int Release() override { return 1; }
  void OnStarted(VendraClient::VAsync*) override {}
  void OnProgress(VendraClient::VAsync*, VendraJSON::VSJObject* progress) override {
    auto held = Vendra::RefPtr<VendraJSON::VSJObject>::Adopt(progress);
    int64_t total = 0;
    held->GetInteger(u"received_total", total);
    std::u16string note;
    stop = stop || (stopAt != 0 && total >= stopAt) || (atRetry && held->GetString(u"note", note));
  }
  void OnSucceeded(VendraClient::VAsync*, int32_t, const char16_t*) override {}
  void OnFailed(VendraClient::VAsync*, int32_t, const char16_t*) override {}
  bool StopRequested() const override { return stop; }

  int64_t stopAt = 0;
  bool atRetry = false;
  std::atomic<bool> stop{false};
};

class FileWriterTest : public TransportTest {
 protected:
  void SetUp() override {
    TransportTest::SetUp();
    ASSERT_TRUE(AddServiceUser(root_.path(), "ada", "pw"));
    // Temporary files go to a folder of this test, so leftovers are visible.
    SetEnvironment("TMPDIR", temp_.path());
    ASSERT_NO_FATAL_FAILURE(SignIn());
    std::string content(3 << 20, '\0');
    std::mt19937 random(11);
    for (auto& c : content) c = static_cast<char>(random());
    content_ = content;
    expected_ = {content_.size(), Sha256Hex(content_)};
    WriteServiceFile(root_.path(), "utilities/vb/manifest.json", R"({"filename":"vb.exe"})");
    WriteServiceFile(root_.path(), "utilities/vb/vb.exe.z", content_);
    target_ = downloads_.Sub("utils/vb.exe.z");
  }
  void TearDown() override {
    SetEnvironment("TMPDIR", "");
    TransportTest::TearDown();
  }

  // With the e-mailed code, which needs no clock and no authenticator.
  void SignIn() {
    const std::string iv = "vclient-1";
    const std::string key = VendraClient::Md5Text(iv + VendraClient::Md5Text("pw"));
    const HttpReply login = PostForm(service_->url() + "vclient/login", service_->caFile(),
                                     {{"username", "ada"}, {"iv", iv}, {"key", key},
                                      {"local_id", "dev"}, {"length", "600"}});
    access_ = nlohmann::json::parse(login.body)["access_token"]["access_token"];
    PostForm(service_->url() + "vclient/emaildevicecode", service_->caFile(),
             {{"access_token", access_}, {"local_id", "dev"}});
    const std::vector<std::string> codes = service_->OutboxCodes();
    ASSERT_FALSE(codes.empty());
    const HttpReply auth =
        PostForm(service_->url() + "vclient/deviceauth", service_->caFile(),
                 {{"access_token", access_}, {"local_id", "dev"}, {"code", codes.back()},
                  {"name", "t"}});
    local_ = nlohmann::json::parse(auth.body)["local_token"]["access_token"];
  }

  // A utility download through the file writer, as the client makes it.
  eVClientResult Download(std::u16string& error, VendraClient::VAsyncListener* listener = nullptr) {
    VendraClient::VClient_CurlWriter_File writer(reinterpret_cast<VendraClient::VAsync*>(this),
                                                 listener);
    writer.ExpectSize(expected_.size);
    writer.ExpectDigest(expected_.sha256);
    const std::u16string target = VendraText::Utf8ToUtf16(target_);
    if (!writer.Open(target, u"", error)) return eVClientResult::FileOpenFailed;
    VendraClient::VClientTransfer transfer;
    if (Prepare(transfer, error) != eVClientResult::Success) return eVClientResult::Failed;
    if (writer.ResumeFrom() != 0) transfer.RequestFrom(writer.ResumeFrom());
    uint32_t status = 0;
    const eVClientResult code = transfer.PerformRequest(writer, status, error);
    return writer.Finish(code, status, error);
  }
  eVClientResult Prepare(VendraClient::VClientTransfer& transfer, std::u16string& error) {
    if (const auto code = transfer.CreateTransfer(error); code != eVClientResult::Success)
      return code;
    transfer.SetRequestPath("vclient/download");
    transfer.AddFormField("access_token", access_);
    transfer.AddFormField("local_id", "dev");
    transfer.AddFormField("local_token", local_);
    transfer.AddFormField("utility", "vb");
    return eVClientResult::Success;
  }
  // The same download with the client's retries and time limits.
  eVClientResult DownloadRetrying(std::u16string& error,
                                  const VendraClient::ExpectedDownload& expected = {},
                                  VendraClient::VAsyncListener* listener = nullptr) {
    const VendraClient::DownloadPreparation prepare =
        [this](std::optional<VendraClient::NamedMutexLockGuard>&,
               VendraClient::VClientTransfer& transfer,
               std::u16string& text) { return Prepare(transfer, text); };
    return VendraClient::DownloadWithRetries(prepare, VendraText::Utf8ToUtf16(target_), u"",
                                             expected, nullptr, listener, error);
  }
  std::string Partial() const { return target_ + ".partial"; }
  // A partial file an earlier run left, with its record of what it was for.
  void PlantPartial(const std::string& bytes, const VendraClient::ExpectedDownload& expected) {
    WriteServiceFile(downloads_.path(), "utils/vb.exe.z.partial", bytes);
    WriteServiceFile(downloads_.path(), "utils/vb.exe.z.partial.expected",
                     VendraClient::PartialRecordText(expected.size, expected.sha256));
  }
  // The ranges the downloads asked for, in order ("" for the whole file).
  std::vector<std::string> RangesAsked() const {
    std::vector<std::string> ranges;
    for (const auto& line : service_->RequestLog())
      if (line.value("path", "") == "vclient/download") ranges.push_back(line.value("range", ""));
    return ranges;
  }

  // Nothing in the target's folder (no target, no partial file or its
  // record beside it) and nothing in the system's temporary folder.
  bool NothingLeftBehind() const { return OnlyTheTargetHolds(""); }
  // The target with content alone in its folder (none for an empty content).
  bool OnlyTheTargetHolds(const std::string& content) const {
    const std::filesystem::path folder = std::filesystem::path(target_).parent_path();
    size_t entries = 0;
    if (std::filesystem::exists(folder))
      for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(folder)) ++entries;
    const bool target = content.empty() ? entries == 0
                                        : entries == 1 && ReadTextFile(target_) == content;
    return target && std::filesystem::is_empty(temp_.path());
  }

  TempFolder temp_;
  TempFolder downloads_;
  std::string content_;
  VendraClient::ExpectedDownload expected_;
  std::string target_;
  std::string access_;
  std::string local_;
};

TEST_F(FileWriterTest, DownloadLandsWholeWithProgress) {
  auto listener = Vendra::RefPtr<NoticeRecorder>::Adopt(NoticeRecorder::Create());
  std::u16string error;
  ASSERT_EQ(Download(error, listener.get()), eVClientResult::Success)
      << VendraText::Utf16ToUtf8(error);
  EXPECT_EQ(ReadTextFile(target_), content_);
  EXPECT_GT(listener->Count("progress"), 1u);
  EXPECT_EQ(listener->ChunksTotal(), static_cast<int64_t>(content_.size()));
  int64_t total = 0;
  for (const HeardNotice& notice : listener->Notices()) {
    total += notice.receivedChunk;
    EXPECT_EQ(notice.sender, reinterpret_cast<VendraClient::VAsync*>(this));
    EXPECT_EQ(notice.filename, target_);
    EXPECT_EQ(notice.receivedTotal, total);
    EXPECT_EQ(notice.keys,
              (std::vector<std::u16string>{u"filename", u"received_chunk", u"received_total"}));
  }
  EXPECT_TRUE(OnlyTheTargetHolds(content_));
}

TEST_F(FileWriterTest, ReplacesAnEarlierFile) {
  WriteServiceFile(downloads_.path(), "utils/vb.exe.z", "old");
  std::u16string error;
  ASSERT_EQ(Download(error), eVClientResult::Success);
  EXPECT_EQ(ReadTextFile(target_), content_);
}

TEST_F(FileWriterTest, RefusedDownloadLeavesNothingAndKeepsTheServiceText) {
  Script("vclient/download", R"([{"status":403,"body":"{\"error\":\"Not entitled to this file\"}"}])");
  std::u16string error;
  EXPECT_EQ(Download(error), eVClientResult::HttpForbidden);
  EXPECT_EQ(error, u"Not entitled to this file");
  EXPECT_TRUE(NothingLeftBehind());
}

// A cut transfer keeps its bytes beside the target, never under its name,
// and the earlier file stays; the next attempt asks only for the rest, and
// the pieces make the file.
TEST_F(FileWriterTest, DownloadCutOffInTheMiddleIsContinuedWhereItStopped) {
  WriteServiceFile(downloads_.path(), "utils/vb.exe.z", "earlier");
  Script("vclient/download", R"([{"close_after":1048576}])");
  auto listener = Vendra::RefPtr<NoticeRecorder>::Adopt(NoticeRecorder::Create());
  std::u16string error;
  EXPECT_EQ(Download(error, listener.get()), eVClientResult::TransferFailed);
  EXPECT_EQ(error.rfind(u"curl error ", 0), 0u);
  EXPECT_EQ(listener->ChunksTotal(), 1 << 20);
  EXPECT_EQ(ReadTextFile(target_), "earlier");
  EXPECT_EQ(ReadTextFile(Partial()), content_.substr(0, 1 << 20));

  ASSERT_EQ(Download(error), eVClientResult::Success) << VendraText::Utf16ToUtf8(error);
  EXPECT_EQ(ReadTextFile(target_), content_);
  EXPECT_FALSE(std::filesystem::exists(Partial()));
  EXPECT_EQ(RangesAsked(), (std::vector<std::string>{"", "bytes=1048576-"}));
  EXPECT_TRUE(OnlyTheTargetHolds(content_)) << "no partial file or record left beside it";
}

// Transient failures are tried again, each attempt continuing from the bytes
// already there: no byte is fetched twice. A partial file longer than the
// file (416) and a server that ignores the range (200) start over.
TEST_F(FileWriterTest, RetriesContinueFromTheBytesAlreadyThere) {
  VendraClient::SetTransportLimitsForTesting({600, 60, 60, 1, 4, 10});
  Script("vclient/download",
         R"([{"close_after":1000000},{"status":503,"body":"{\"error\":\"busy\"}"},
             {"close_after":1000000}])");
  std::u16string error;
  // The digest taken as the pieces arrive is the whole file's.
  ASSERT_EQ(DownloadRetrying(error, {content_.size(), Sha256Hex(content_)}),
            eVClientResult::Success)
      << VendraText::Utf16ToUtf8(error);
  EXPECT_EQ(ReadTextFile(target_), content_);
  EXPECT_EQ(RangesAsked(), (std::vector<std::string>{"", "bytes=1000000-", "bytes=1000000-",
                                                      "bytes=2000000-"}));

  std::filesystem::remove(target_);
  PlantPartial(content_ + "surplus", expected_);
  ASSERT_EQ(DownloadRetrying(error, expected_), eVClientResult::Success)
      << VendraText::Utf16ToUtf8(error);
  EXPECT_EQ(ReadTextFile(target_), content_) << "a 416 discards the partial file";

  std::filesystem::remove(target_);
  PlantPartial("not a prefix", {5, Sha256Hex("whole")});
  Script("vclient/download", R"([{"status":200,"body":"whole","content_type":"text/plain"}])");
  ASSERT_EQ(DownloadRetrying(error, {5, Sha256Hex("whole")}), eVClientResult::Success)
      << VendraText::Utf16ToUtf8(error);
  EXPECT_EQ(ReadTextFile(target_), "whole") << "a 200 to a range starts the file over";
  EXPECT_EQ(RangesAsked().size(), 7u) << "both partial files were continued";
}

// What is not transient is not tried again; what is, a limited number of
// times, with a text that says what happened and what was kept.
TEST_F(FileWriterTest, FailuresSayWhatWasTriedAndKeepTheBytes) {
  VendraClient::SetTransportLimitsForTesting({600, 60, 60, 1, 3, 10});
  Script("vclient/download", R"([{"status":403,"body":"{\"error\":\"Not entitled\"}"}])");
  std::u16string error;
  EXPECT_EQ(DownloadRetrying(error), eVClientResult::HttpForbidden);
  EXPECT_EQ(error, u"Not entitled");
  EXPECT_EQ(RangesAsked().size(), 1u);
  EXPECT_TRUE(NothingLeftBehind());

  Script("vclient/download",
         R"([{"close_after":100000},{"close_after":100000},{"close_after":100000}])");
  EXPECT_EQ(DownloadRetrying(error, expected_), eVClientResult::TransferFailed);
  const std::string text = VendraText::Utf16ToUtf8(error);
  EXPECT_NE(text.find("failed 3 times"), std::string::npos) << text;
  EXPECT_NE(text.find("attempt 2 from byte 100000"), std::string::npos) << text;
  EXPECT_NE(text.find("300000 bytes are kept in " + Partial()), std::string::npos) << text;
  EXPECT_FALSE(std::filesystem::exists(target_));
  EXPECT_EQ(ReadTextFile(Partial()), content_.substr(0, 300000));

  // A file of the wrong size or digest is refused, and its bytes do not stay
  // to be continued.
  const std::string digest = Sha256Hex(content_);
  const struct {
    const char* what;
    VendraClient::ExpectedDownload expected;
    std::string text;
  } wrong[] = {
      {"size", {content_.size() + 1, ""},
       "expected " + std::to_string(content_.size() + 1) + " bytes, received " +
           std::to_string(content_.size()) + " bytes with SHA-256 " + digest},
      {"digest", {content_.size(), std::string(64, 'a')},
       "expected " + std::to_string(content_.size()) + " bytes with SHA-256 " +
           std::string(64, 'a') + ", received " + std::to_string(content_.size()) +
           " bytes with SHA-256 " + digest},
  };
  for (const auto& item : wrong) {
    SCOPED_TRACE(item.what);
    std::filesystem::remove(Partial());
    EXPECT_EQ(DownloadRetrying(error, item.expected), eVClientResult::VerifyFailed);
    EXPECT_EQ(VendraText::Utf16ToUtf8(error),
              "Wrong download of " + target_ + ": " + item.text + "; it was discarded");
    EXPECT_TRUE(NothingLeftBehind());
  }
}

// A listener can end a download: a transfer under way ends within about a
// second, and so does a pause before the next attempt (30 s here); what
// arrived stays for the next run.
TEST_F(FileWriterTest, AListenerStopsATransferAndAPause) {
  VendraClient::SetTransportLimitsForTesting({600, 60, 60, 1, 4, 30000});
  // The whole body at this pace would take about 14 s.
  Script("vclient/download", R"([{"chunk_size":65536,"chunk_delay_ms":300}])");
  Stopper midway;
  midway.stopAt = 200000;
  std::u16string error;
  auto started = std::chrono::steady_clock::now();
  EXPECT_EQ(DownloadRetrying(error, {}, &midway), eVClientResult::Cancelled);
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(8));
  EXPECT_GE(std::filesystem::file_size(Partial()), 200000u);
  EXPECT_FALSE(std::filesystem::exists(target_));

  std::filesystem::remove(Partial());
  Script("vclient/download", R"([{"close_after":100000}])");
  Stopper atRetry;
  atRetry.atRetry = true;
  started = std::chrono::steady_clock::now();
  EXPECT_EQ(DownloadRetrying(error, {}, &atRetry), eVClientResult::Cancelled);
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(8));
  EXPECT_EQ(ReadTextFile(Partial()), content_.substr(0, 100000));
  EXPECT_EQ(RangesAsked().size(), 2u) << "no attempt after the stop";
}

// A download ends when it stalls, not after a fixed total: a server that
// never answers is given up after the stall limit, and a slow one that keeps
// moving finishes however long it takes.
TEST_F(FileWriterTest, StallsEndADownloadButSlownessDoesNot) {
  VendraClient::SetTransportLimitsForTesting({1, 60, 1, 1, 1, 10});
  Script("vclient/download", R"([{"delay_ms":30000}])");
  const auto started = std::chrono::steady_clock::now();
  std::u16string error;
  EXPECT_EQ(DownloadRetrying(error), eVClientResult::TransferTimedOut);
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(20));
  EXPECT_EQ(error.rfind(u"curl error 28: ", 0), 0u) << VendraText::Utf16ToUtf8(error);

  // About 2.4 s at a steady pace, over twice the 1 s total of a text request.
  Script("vclient/download", R"([{"chunk_size":262144,"chunk_delay_ms":200}])");
  ASSERT_EQ(DownloadRetrying(error), eVClientResult::Success) << VendraText::Utf16ToUtf8(error);
  EXPECT_EQ(ReadTextFile(target_), content_);
}

TEST_F(FileWriterTest, ServiceThatIsNotThereIsATransferFailure) {
  VendraClient::SetTransportLimitsForTesting({600, 60, 60, 1, 2, 10});
  // Port 1 on loopback: nothing listens there.
  SetEnvironment("VENDRA_SERVICE_URL", "http://127.0.0.1:1/");
  std::u16string error;
  EXPECT_EQ(DownloadRetrying(error), eVClientResult::TransferFailed);
  // Every attempt is told, each with the transport's own reason.
  EXPECT_NE(error.find(u"curl error 7: "), std::u16string::npos) << VendraText::Utf16ToUtf8(error);
  EXPECT_TRUE(NothingLeftBehind());
}

TEST_F(FileWriterTest, DeviceAuthErrorOfADownload) {
  local_ = "stale";
  std::u16string error;
  EXPECT_EQ(Download(error), eVClientResult::HttpUnauthorized);
  EXPECT_EQ(error, u"device auth required");
  EXPECT_TRUE(NothingLeftBehind());
}

TEST_F(FileWriterTest, TargetThatCannotBeOpened) {
  WriteServiceFile(downloads_.path(), "blocker", "a file where a folder should be");
  target_ = downloads_.Sub("blocker/vb.exe.z");
  std::u16string error;
  EXPECT_EQ(Download(error), eVClientResult::FileOpenFailed);
  EXPECT_EQ(error.rfind(u"Failed to open file " + VendraText::Utf8ToUtf16(target_) +
                            u" for writing (err=",
                        0),
            0u);
  EXPECT_EQ(service_->CountRequests("vclient/download"), 0);

  // A folder in the target's place: the whole file arrives but cannot be
  // moved there, and stays where it is.
  target_ = downloads_.Sub("taken/vb.exe.z");
  std::filesystem::create_directories(target_ + "/inside");
  EXPECT_EQ(Download(error), eVClientResult::Failed);
  EXPECT_EQ(error, u"Failed to move temporary file to " + VendraText::Utf8ToUtf16(target_) +
                       u". GetLastError=5");
  EXPECT_EQ(ReadTextFile(Partial()), content_);
}

// A user without root, with the system's temporary folder closed to it:
// the download's temporary file goes beside the target, in the user's own
// folder, and nowhere else.
TEST_F(FileWriterTest, AUserWithoutRootDownloadsIntoItsOwnFolder) {
#ifdef _WIN32
  GTEST_SKIP() << "file owners and modes are POSIX's";
#else
  if (!CanDropPrivileges()) GTEST_SKIP() << "needs root to drop to another user";
  ::chmod(temp_.path().c_str(), 0700);
  ::chmod(downloads_.path().c_str(), 0755);
  std::filesystem::create_directories(downloads_.Sub("utils"));
  ::chown(downloads_.Sub("utils").c_str(), UnprivilegedUid(), UnprivilegedUid());
  const std::string ca = downloads_.Sub("ca.pem");
  std::filesystem::copy_file(service_->caFile(), ca);
  ::chmod(ca.c_str(), 0644);
  ::setenv("VENDRA_CA_FILE", ca.c_str(), 1);
  const int code = RunUnprivileged([&] {
    std::u16string error;
    const eVClientResult result = Download(error);
    if (result != eVClientResult::Success) {
      std::fprintf(stderr, "%s\n", VendraText::Utf16ToUtf8(error).c_str());
      return 1;
    }
    return ReadTextFile(target_) == content_ ? 0 : 2;
  });
  EXPECT_EQ(code, 0);
  EXPECT_TRUE(OnlyTheTargetHolds(content_));
#endif
}

// A disk that fills up mid-download: writes beyond a file-size limit fail
// for real. The download must fail with a text about the write, not end as a
// short file reported as success; what reached the disk is a true prefix.
TEST_F(FileWriterTest, ShortWriteStopsTheDownload) {
#ifdef _WIN32
  GTEST_SKIP() << "a full disk is made with a POSIX file size limit";
#else
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{1 << 20, 1 << 20};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    std::u16string error;
    const eVClientResult code = Download(error);
    const bool clear = error.rfind(u"Failed to write file ", 0) == 0;
    ::_exit(code == eVClientResult::FileOpenFailed && clear ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_FALSE(std::filesystem::exists(target_));
  const std::string kept = ReadTextFile(Partial());
  EXPECT_EQ(kept, content_.substr(0, kept.size()));
#endif
}

}  // namespace
}  // namespace VendraTest
