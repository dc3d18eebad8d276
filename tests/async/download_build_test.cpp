#include <filesystem>
#include <string>
#include <vector>

#include "async/v_async_download_build.h"
#include "common/text/utf.h"
#include "json/parser.h"
#include "tests/async/build_jobs_fixture.h"

namespace VendraTest {
namespace {

using VendraClient::eVClientResult;

// Stops the build job it listens to from inside the first progress or
// failure notice it hears, and keeps what Stop answered.
class StoppingListener final : public VendraClient::VAsyncListenerCounted {
 public:
  explicit StoppingListener(bool onProgress) : onProgress_(onProgress) {}
  void OnStarted(VendraClient::VAsync*) override {}
  void OnProgress(VendraClient::VAsync* job, VendraJSON::VSJObject* progress) override {
    progress->Release();
    if (onProgress_) StopOnce(job);
  }
  void OnSucceeded(VendraClient::VAsync*, int32_t, const char16_t*) override {}
  void OnFailed(VendraClient::VAsync* job, int32_t, const char16_t*) override {
    if (!onProgress_) StopOnce(job);
  }
  std::atomic<int> stopAnswer{-1};

 private:
  void StopOnce(VendraClient::VAsync* job) {
    if (stopAnswer != -1) return;
    // Generous: the worker ends within milliseconds unless it waits for
    // this very notice to return.
    auto* build = static_cast<VendraClient::VAsync_DownloadBuild*>(job);
    stopAnswer = build->Worker().Stop(3000) ? 1 : 0;
  }
  bool onProgress_;
};

class DownloadBuildTest : public BuildJobsTest {
 protected:
  JobRef MakeJob(VendraJSON::VSJObject* build, VendraJSON::VSJArray* files) {
    JobRef job;
    std::u16string error;
    EXPECT_EQ(client_->DownloadBuildAsync(build, files, downloads_.wpath(), job.Receive(), error),
              eVClientResult::Success);
    return job;
  }
  std::string Downloaded(const std::string& name) {
    return ReadWholeFile(downloads_.Sub(name + ".z"));
  }
};

TEST_F(DownloadBuildTest, TheFactoryWantsABuildAListAnOutPlaceAndAFolder) {
  ObjectRef build = Build(nullptr);
  ArrayRef files = ParseArray("[]");
  JobRef job;
  std::u16string error = u"kept";
  const std::u16string folder = downloads_.wpath();
  EXPECT_EQ(client_->DownloadBuildAsync(nullptr, files.get(), folder, job.Receive(), error),
            eVClientResult::InvalidArgument);
  EXPECT_EQ(client_->DownloadBuildAsync(build.get(), nullptr, folder, job.Receive(), error),
            eVClientResult::InvalidArgument);
  EXPECT_EQ(client_->DownloadBuildAsync(build.get(), files.get(), folder, nullptr, error),
            eVClientResult::InvalidArgument);
  EXPECT_EQ(client_->DownloadBuildAsync(build.get(), files.get(), u"", job.Receive(), error),
            eVClientResult::InvalidArgument);
  EXPECT_EQ(job.get(), nullptr);
  EXPECT_EQ(error, u"kept");

  ASSERT_EQ(client_->DownloadBuildAsync(build.get(), files.get(), folder, job.Receive(), error),
            eVClientResult::Success);
  EXPECT_EQ(job->GetStatus(), 1) << "made, not started";
  EXPECT_EQ(OtherReferences(files.get()), 1) << "the job keeps the list";
  job.Reset();
  EXPECT_EQ(OtherReferences(files.get()), 0);
  EXPECT_EQ(OtherReferences(build.get()), 0);
}

TEST_F(DownloadBuildTest, ListsWithoutObjectsSucceedWithoutARequest) {
  ObjectRef build = Build(nullptr);
  for (const char* text : {"[]", R"([1, "bin/x", null, [], true])"}) {
    SCOPED_TRACE(text);
    ArrayRef files = ParseArray(text);
    JobRef job = MakeJob(build.get(), files.get());
    auto listener = Vendra::RefPtr<NoticeRecorder>::Adopt(NoticeRecorder::Create());
    ASSERT_EQ(job->Start(listener.get()), 2);
    EXPECT_EQ(AwaitEnd(job.get()), 0);
    ASSERT_TRUE(Eventually([&] { return listener->Notices().size() == 2; }));
    const auto heard = listener->Notices();
    EXPECT_EQ(heard[0].kind, "started");
    EXPECT_EQ(heard[1].kind, "succeeded");
    EXPECT_EQ(heard[1].code, 0);
    EXPECT_EQ(heard[1].text, u"") << "success comes without a text";
    EXPECT_EQ(heard[0].sender, job.get());
    EXPECT_EQ(heard[1].sender, job.get());
  }
  EXPECT_EQ(service_->CountRequests("vclient/download"), 0);
}

TEST_F(DownloadBuildTest, AJobItsOwnerLetsGoOfFinishesAndFreesItsListener) {
  const std::string content = NoiseBytes(20000, 7);
  ObjectRef entry = Publish("bin/Tandory.exe", content);
  ObjectRef build = Build(nullptr);
  ArrayRef files = ToDownload(build.get(), ListOf({entry.get()}).get());
  std::atomic<int> destroyed{0};
  auto* listener = NoticeRecorder::Create(&destroyed);
  JobRef job = MakeJob(build.get(), files.get());
  ASSERT_EQ(job->Start(listener), 2);
  listener->Release();
  job.Reset();
  ASSERT_TRUE(Eventually([&] { return destroyed == 1; }));
  EXPECT_EQ(Downloaded("bin/Tandory.exe"), Compress(content));
  ASSERT_TRUE(Eventually([&] { return OtherReferences(files.get()) == 0; }));
}

TEST_F(DownloadBuildTest, ProgressNamesTheBuildJobAndCarriesTheFilesCompressedSize) {
  const std::string sized = NoiseBytes(150000, 1);
  ObjectRef withSize = Publish("bin/Tandory.exe", sized);
  ObjectRef withoutSize = Publish("data/pack0.dat", NoiseBytes(3000, 2));
  withoutSize->Set(u"compressed_size", nullptr);
  ObjectRef textSize = Publish("data/pack1.dat", NoiseBytes(3000, 3));
  textSize->SetStringA(u"compressed_size", "3011");
  ObjectRef fractional = Publish("data/pack2.dat", NoiseBytes(3000, 4));
  auto fractionalSize = Vendra::RefPtr<VendraJSON::VSJValue>();
  std::u16string error;
  // The real size and a fraction: downloads of another size are refused.
  const std::string fractionalText =
      std::to_string(Compress(NoiseBytes(3000, 4)).size()) + ".75";
  ASSERT_TRUE(VendraJSON::ParseValueA(fractionalText.c_str(), fractionalSize.Receive(), error));
  fractional->Set(u"compressed_size", fractionalSize.get());

  ObjectRef build = Build(nullptr);
  ArrayRef files =
      ToDownload(build.get(), ListOf({withSize.get(), withoutSize.get(), textSize.get(),
                                      fractional.get()}).get());
  ASSERT_EQ(files->Count(), 4u);
  JobRef job = MakeJob(build.get(), files.get());
  auto listener = Vendra::RefPtr<NoticeRecorder>::Adopt(NoticeRecorder::Create());
  ASSERT_EQ(job->Start(listener.get()), 2);
  ASSERT_EQ(AwaitEnd(job.get()), 0);
  ASSERT_TRUE(Eventually([&] { return listener->Outline().back() == "succeeded"; }));

  EXPECT_EQ(listener->Outline(), (std::vector<std::string>{"started", "progress", "succeeded"}))
      << "one start and one success for the whole build";
  const int64_t sizedTotal = static_cast<int64_t>(Compress(sized).size());
  std::vector<std::string> filesHeard;
  for (const HeardNotice& notice : listener->Notices()) {
    EXPECT_EQ(notice.sender, job.get()) << notice.kind << " " << notice.filename;
    if (notice.kind != "progress") continue;
    if (filesHeard.empty() || filesHeard.back() != notice.filename)
      filesHeard.push_back(notice.filename);
    if (notice.filename == ClientPath(downloads_, "bin/Tandory.exe.z")) {
      EXPECT_EQ(notice.totalSize, sizedTotal);
    } else if (notice.filename == ClientPath(downloads_, "data/pack2.dat.z")) {
      EXPECT_EQ(notice.totalSize, static_cast<int64_t>(Compress(NoiseBytes(3000, 4)).size()))
          << "a fraction is cut off";
    } else {
      EXPECT_EQ(notice.totalSize, 0) << notice.filename << ": no number, no size";
    }
  }
  EXPECT_EQ(filesHeard,
            (std::vector<std::string>{ClientPath(downloads_, "bin/Tandory.exe.z"),
                                      ClientPath(downloads_, "data/pack0.dat.z"),
                                      ClientPath(downloads_, "data/pack1.dat.z"),
                                      ClientPath(downloads_, "data/pack2.dat.z")}))
      << "the files one after the other, in list order";
  EXPECT_EQ(Downloaded("bin/Tandory.exe"), Compress(sized));
  EXPECT_EQ(Downloaded("data/pack2.dat"), Compress(NoiseBytes(3000, 4)));
}

TEST_F(DownloadBuildTest, ASecondFileFailingKeepsTheFirstAndReportsItsOwnCodeAndText) {
  const std::string first = NoiseBytes(5000, 11);
  ObjectRef present = Publish("bin/Tandory.exe", first);
  ObjectRef missing = Publish("bin/missing.dll", "never served");
  std::filesystem::remove(serviceRoot_.Sub("catalogue/tdy/live/1.2.3/files/bin/missing.dll.z"));
  ObjectRef third = Publish("bin/third.dll", NoiseBytes(100, 12));
  ObjectRef build = Build(nullptr);
  ArrayRef files =
      ToDownload(build.get(), ListOf({present.get(), missing.get(), third.get()}).get());
  JobRef job = MakeJob(build.get(), files.get());
  auto listener = Vendra::RefPtr<NoticeRecorder>::Adopt(NoticeRecorder::Create());
  ASSERT_EQ(job->Start(listener.get()), 2);
  const int32_t status = AwaitEnd(job.get());
  // Heard before the job ends, not merely some time after.
  const std::vector<HeardNotice> heard = listener->Notices();

  ASSERT_FALSE(heard.empty());
  const HeardNotice& last = heard.back();
  ASSERT_EQ(last.kind, "failed");
  EXPECT_EQ(last.sender, job.get()) << "the build job in place of the file's job";
  EXPECT_EQ(status, last.code);
  EXPECT_EQ(status, -404);
  std::u16string text;
  EXPECT_EQ(job->GetErrorText(text), status);
  EXPECT_EQ(text, last.text);
  EXPECT_FALSE(text.empty());
  for (const HeardNotice& notice : heard) EXPECT_NE(notice.kind, "succeeded");

  EXPECT_EQ(Downloaded("bin/Tandory.exe"), Compress(first)) << "the first file stays";
  EXPECT_FALSE(FileExists(downloads_.Sub("bin/missing.dll.z")));
  EXPECT_FALSE(FileExists(downloads_.Sub("bin/third.dll.z")));
  EXPECT_EQ(service_->CountRequests("vclient/download"), 2) << "the third file is not touched";
  VendraJSON::VSJObject* result = nullptr;
  EXPECT_EQ(job->GetResult(&result), status);
  EXPECT_EQ(result, nullptr) << "a download keeps no result object";
}

// The owner's listener may stop its own build job from a notice: the job's
// worker ends without waiting for that notice, so Stop answers true.
TEST_F(DownloadBuildTest, AListenerStopsItsOwnJobFromAProgressOrFailureNotice) {
  for (const bool onProgress : {true, false}) {
    // Names of their own: the file job the first round gave up on may still
    // be writing its file.
    const std::string round = onProgress ? "1" : "2";
    ObjectRef first = Publish("bin/Tandory" + round + ".exe", NoiseBytes(64 * 1024, 31));
    ObjectRef missing = Publish("bin/missing" + round + ".dll", "never served");
    std::filesystem::remove(
        serviceRoot_.Sub("catalogue/tdy/live/1.2.3/files/bin/missing" + round + ".dll.z"));
    ObjectRef build = Build(nullptr);
    ArrayRef files = ToDownload(build.get(), ListOf({first.get(), missing.get()}).get());
    JobRef job = MakeJob(build.get(), files.get());
    auto listener = Vendra::RefPtr<StoppingListener>::Adopt(new StoppingListener(onProgress));
    ASSERT_EQ(job->Start(listener.get()), 2);
    ASSERT_TRUE(Eventually([&] { return listener->stopAnswer != -1; })) << onProgress;
    EXPECT_EQ(listener->stopAnswer, 1) << (onProgress ? "from OnProgress" : "from OnFailed");
    const int32_t status = AwaitEnd(job.get());
    if (onProgress) EXPECT_EQ(status, -5);
    else EXPECT_TRUE(status == -404 || status == -5) << status;
  }
}

TEST_F(DownloadBuildTest, AStopDuringAFileEndsTheJobWhileTheFileRunsToItsEnd) {
  const std::string slow = NoiseBytes(64 * 1024, 21);
  ObjectRef slowEntry = Publish("bin/Tandory.exe", slow);
  ObjectRef next = Publish("bin/next.dll", NoiseBytes(100, 22));
  ObjectRef build = Build(nullptr);
  ArrayRef files = ToDownload(build.get(), ListOf({slowEntry.get(), next.get()}).get());
  // About two seconds for the first file: 16 pieces, 120 ms apart.
  ASSERT_TRUE(service_->Script("vclient/download",
                               R"([{"chunk_size": 4096, "chunk_delay_ms": 120}])"));

  JobRef made = MakeJob(build.get(), files.get());
  auto* job = static_cast<VendraClient::VAsync_DownloadBuild*>(made.get());
  auto listener = Vendra::RefPtr<NoticeRecorder>::Adopt(NoticeRecorder::Create());
  ASSERT_EQ(job->Start(listener.get()), 2);
  ASSERT_TRUE(Eventually([&] { return listener->Outline().size() >= 2; }))
      << "the first file is under way";
  job->Worker().Stop(0);
  EXPECT_EQ(AwaitEnd(job), -5);
  std::u16string text;
  EXPECT_EQ(job->GetErrorText(text), -5);
  EXPECT_EQ(text, u"Aborted.");
  const size_t heardAtStop = listener->Notices().size();
  EXPECT_NE(Downloaded("bin/Tandory.exe"), Compress(slow))
      << "the job did not wait for the file";
  for (const HeardNotice& notice : listener->Notices()) {
    EXPECT_NE(notice.kind, "succeeded");
    EXPECT_NE(notice.kind, "failed") << "a stop is told by the status alone";
  }
  made.Reset();

  // The abandoned file job finishes on its own, its notices going nowhere;
  // then it and its listener let go of the entry.
  ObjectRef first = EntryAt(files.get(), 0);
  ASSERT_TRUE(Eventually([&] { return Downloaded("bin/Tandory.exe") == Compress(slow); }));
  ASSERT_TRUE(Eventually([&] { return OtherReferences(first.get()) == 1; }))
      << "only the list holds the entry once the file job is gone";
  EXPECT_EQ(listener->Notices().size(), heardAtStop);
  EXPECT_EQ(OtherReferences(files.get()), 0) << "the build job is gone";
  EXPECT_EQ(service_->CountRequests("vclient/download"), 1) << "no second file after a stop";
  EXPECT_FALSE(FileExists(downloads_.Sub("bin/next.dll.z")));
}

}  // namespace
}  // namespace VendraTest
