#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "async/v_async_download_file.h"
#include "async/v_async_download_utility.h"
#include "async/v_async_listeners.h"
#include "client/v_client.h"
#include "install/v_build_client.h"
#include "common/memory/ref_ptr.h"
#include "json/object.h"
#include "tests/support/fake_client.h"
#include "tests/support/notice_recorder.h"

namespace {

using namespace std::chrono_literals;
using VendraClient::eVClientResult;
using VendraJSON::VSJObject;
using VendraTest::NoticeRecorder;

// The shared fake with its downloads held: each waits for the test to let it
// go, reports one piece of progress and answers the scripted code.
struct GatedDownloads {
  GatedDownloads() {
    client.download = [this](VSJObject* input, VendraClient::VAsync* job,
                             VendraClient::VAsyncListener* listener, std::u16string& error) {
      entered = true;
      while (!open) std::this_thread::sleep_for(1ms);
      if (!input) return eVClientResult::InvalidArgument;
      VSJObject* progress = VSJObject::Create();
      progress->SetInteger(u"received_total", 1);
      listener->OnProgress(job, progress);
      if (answer != eVClientResult::Success) error = answerText;
      return answer;
    };
  }

  VendraTest::FakeClient client;
  std::atomic<bool> open{true};
  std::atomic<bool> entered{false};
  eVClientResult answer = eVClientResult::Success;
  std::u16string answerText;
};

bool WaitFor(const std::function<bool()>& done) {
  for (int i = 0; i < 5000; ++i) {
    if (done()) return true;
    std::this_thread::sleep_for(1ms);
  }
  return done();
}

int32_t WaitWhileRunning(VendraClient::VAsync* job) {
  int32_t status = job->GetStatus();
  for (int i = 0; i < 5000 && status == 2; ++i) {
    std::this_thread::sleep_for(1ms);
    status = job->GetStatus();
  }
  return status;
}

// The references held on obj besides the caller's own.
int ExtraReferences(VSJObject* obj) {
  obj->AddRef();
  return obj->Release() - 1;
}

TEST(AsyncJobTest, ASucceedingDownloadRunsOnItsWorkerAndReportsInOrder) {
  GatedDownloads gated;
  auto manifest = Vendra::RefPtr<VSJObject>::Adopt(VSJObject::Create());
  auto* job = new VendraClient::VAsync_DownloadUtility(&gated.client, manifest.get());
  EXPECT_EQ(job->GetStatus(), 1);
  auto listener = Vendra::RefPtr<NoticeRecorder>::Adopt(NoticeRecorder::Create());
  ASSERT_EQ(job->Start(listener.get()), 2);
  EXPECT_EQ(WaitWhileRunning(job), 0);
  ASSERT_TRUE(WaitFor([&] { return listener->Lines().size() == 3; }));
  EXPECT_EQ(listener->Lines(),
            (std::vector<std::string>{"started", "progress", "succeeded 0"}));
  std::u16string text = u"untouched";
  EXPECT_EQ(job->GetErrorText(text), 0);
  EXPECT_EQ(text, u"");
  EXPECT_EQ(job->Release(), 0);
  // The job gave back its reference to the manifest.
  ASSERT_TRUE(WaitFor([&] { return ExtraReferences(manifest.get()) == 0; }));
}

TEST(AsyncJobTest, StartWithoutAListenerIsRefusedAndTheJobCanStillStart) {
  GatedDownloads gated;
  auto manifest = Vendra::RefPtr<VSJObject>::Adopt(VSJObject::Create());
  auto job = Vendra::RefPtr<VendraClient::VAsync>::Adopt(
      new VendraClient::VAsync_DownloadUtility(&gated.client, manifest.get()));
  EXPECT_EQ(job->Start(nullptr), -2);
  EXPECT_EQ(job->GetStatus(), 1) << "nothing ran";
  EXPECT_FALSE(gated.entered);
  auto listener = Vendra::RefPtr<NoticeRecorder>::Adopt(NoticeRecorder::Create());
  ASSERT_EQ(job->Start(listener.get()), 2);
  EXPECT_EQ(WaitWhileRunning(job.get()), 0);
}

TEST(AsyncJobTest, AFailingOperationBecomesTheStatusAndTheErrorText) {
  GatedDownloads gated;
  gated.answer = eVClientResult::HttpForbidden;
  gated.answerText = u"no such utility";
  auto file = Vendra::RefPtr<VSJObject>::Adopt(VSJObject::Create());
  auto build = Vendra::RefPtr<VSJObject>::Adopt(VSJObject::Create());
  auto job = Vendra::RefPtr<VendraClient::VAsync>::Adopt(
      new VendraClient::VAsync_DownloadFile(&gated.client, build.get(), file.get()));
  auto listener = Vendra::RefPtr<NoticeRecorder>::Adopt(NoticeRecorder::Create());
  ASSERT_EQ(job->Start(listener.get()), 2);
  EXPECT_EQ(WaitWhileRunning(job.get()), -403);
  std::u16string text;
  EXPECT_EQ(job->GetErrorText(text), -403);
  EXPECT_EQ(text, u"no such utility");
  ASSERT_TRUE(WaitFor([&] { return listener->Lines().size() == 3; }));
  EXPECT_EQ(listener->Lines(),
            (std::vector<std::string>{"started", "progress", "failed -403 no such utility"}));
  // A download job has no result object, failed or not.
  auto sentinel = Vendra::RefPtr<VSJObject>::Adopt(VSJObject::Create());
  VSJObject* result = sentinel.get();
  EXPECT_EQ(job->GetResult(&result), -403);
  EXPECT_EQ(result, nullptr);
  EXPECT_EQ(job->GetResult(nullptr), -403);
}

TEST(AsyncJobTest, AnOperationThatFailsAtOnceStillReportsStartedFirst) {
  GatedDownloads gated;
  auto job = Vendra::RefPtr<VendraClient::VAsync>::Adopt(
      new VendraClient::VAsync_DownloadUtility(&gated.client, nullptr));
  auto listener = Vendra::RefPtr<NoticeRecorder>::Adopt(NoticeRecorder::Create());
  ASSERT_EQ(job->Start(listener.get()), 2);
  EXPECT_EQ(WaitWhileRunning(job.get()), -2);
  ASSERT_TRUE(WaitFor([&] { return listener->Lines().size() == 2; }));
  EXPECT_EQ(listener->Lines(), (std::vector<std::string>{"started", "failed -2"}));
}

TEST(AsyncJobTest, AJobReleasedWhileRunningFinishesAndIsDestroyedByItsWorker) {
  GatedDownloads gated;
  gated.open = false;
  auto manifest = Vendra::RefPtr<VSJObject>::Adopt(VSJObject::Create());
  std::atomic<int> listenersDestroyed{0};
  auto* listener = NoticeRecorder::Create(&listenersDestroyed);
  auto* job = new VendraClient::VAsync_DownloadUtility(&gated.client, manifest.get());
  ASSERT_EQ(job->Start(listener), 2);
  EXPECT_EQ(listener->Release(), 1) << "the job holds the listener";
  ASSERT_TRUE(WaitFor([&] { return gated.entered.load(); }));
  EXPECT_EQ(job->Abort(), -3);
  // The owner lets go while the worker is inside the operation.
  EXPECT_EQ(job->Release(), 1);
  EXPECT_EQ(ExtraReferences(manifest.get()), 1);
  gated.open = true;
  // The worker finished the step, told the listener and dropped the job,
  // which dropped the listener and the manifest.
  ASSERT_TRUE(WaitFor([&] { return listenersDestroyed == 1; }));
  ASSERT_TRUE(WaitFor([&] { return ExtraReferences(manifest.get()) == 0; }));
}

TEST(AsyncJobTest, AbortLeavesARunningJobToEndNormally) {
  GatedDownloads gated;
  gated.open = false;
  auto manifest = Vendra::RefPtr<VSJObject>::Adopt(VSJObject::Create());
  auto job = Vendra::RefPtr<VendraClient::VAsync>::Adopt(
      new VendraClient::VAsync_DownloadUtility(&gated.client, manifest.get()));
  auto listener = Vendra::RefPtr<NoticeRecorder>::Adopt(NoticeRecorder::Create());
  ASSERT_EQ(job->Start(listener.get()), 2);
  EXPECT_EQ(job->Abort(), -3);
  EXPECT_EQ(job->GetStatus(), 2);
  EXPECT_EQ(job->Start(listener.get()), -1) << "a job runs once";
  EXPECT_EQ(job->GetStatus(), 2);
  gated.open = true;
  EXPECT_EQ(WaitWhileRunning(job.get()), 0);
}

// The real build client with its file installation failing.
class FailingBuildClient final : public VendraClient::VBuildClient {
 public:
  eVClientResult InstallFile(VSJObject*, VSJObject*, const std::u16string&,
                             const std::u16string&, VendraClient::VAsync*,
                             VendraClient::VAsyncListener*, std::u16string& error) override {
    error = u"Failed to create folder for x (3)";
    return eVClientResult::Failed;
  }
};

TEST(AsyncInstallJobTest, AFailedInstallHandsOutWhatItWasGiven) {
  FailingBuildClient buildClient;
  auto build = Vendra::RefPtr<VSJObject>::Adopt(VSJObject::Create());
  auto file = Vendra::RefPtr<VSJObject>::Adopt(VSJObject::Create());
  file->SetStringA(u"filename", "bin/x");
  Vendra::RefPtr<VendraClient::VAsync> job;
  EXPECT_EQ(buildClient.InstallFileAsync(build.get(), nullptr, u"d", u"i", job.Receive()),
            eVClientResult::InvalidArgument);
  ASSERT_EQ(buildClient.InstallFileAsync(build.get(), file.get(), u"downloads", u"install",
                                         job.Receive()),
            eVClientResult::Success);
  auto listener = Vendra::RefPtr<NoticeRecorder>::Adopt(NoticeRecorder::Create());
  ASSERT_EQ(job->Start(listener.get()), 2);
  EXPECT_EQ(WaitWhileRunning(job.get()), -1);
  VSJObject* result = nullptr;
  EXPECT_EQ(job->GetResult(&result), -1);
  ASSERT_NE(result, nullptr);
  auto held = Vendra::RefPtr<VSJObject>::Adopt(result);
  ASSERT_EQ(held->Count(), 4u);
  EXPECT_TRUE(held->Has(u"build"));
  EXPECT_TRUE(held->Has(u"file"));
  std::u16string path;
  EXPECT_TRUE(held->GetString(u"download_path", path));
  EXPECT_EQ(path, u"downloads");
  EXPECT_TRUE(held->GetString(u"install_path", path));
  EXPECT_EQ(path, u"install");
  Vendra::RefPtr<VSJObject> sameFile;
  ASSERT_TRUE(held->GetObject(u"file", sameFile.Receive()));
  EXPECT_EQ(sameFile.get(), file.get()) << "the entry itself, shared";
}

TEST(AsyncJobTest, ReleaseOnACountOfZeroFreesNothing) {
  std::atomic<int> destroyed{0};
  auto* listener = NoticeRecorder::Create(&destroyed);
  EXPECT_EQ(listener->AddRef(), 2);
  EXPECT_EQ(listener->Release(), 1);
  EXPECT_EQ(destroyed, 0);
  EXPECT_EQ(listener->Release(), 0);
  EXPECT_EQ(destroyed, 1);
}

TEST(AsyncJobTest, AValueSharedWithWorkersKeepsAnExactCount) {
  // Jobs keep references to the owner's objects and drop them on their
  // workers while the owner goes on taking and dropping its own.
  auto shared = Vendra::RefPtr<VSJObject>::Adopt(VSJObject::Create());
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&] {
      for (int round = 0; round < 20; ++round) {
        for (int i = 0; i < 50000; ++i) shared->AddRef();
        for (int i = 0; i < 50000; ++i) shared->Release();
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(shared->RefCount(), 1);
}

TEST(AsyncJobTest, ManyJobsReleasedAtOnceAreEachDestroyedOnce) {
  GatedDownloads gated;
  auto manifest = Vendra::RefPtr<VSJObject>::Adopt(VSJObject::Create());
  std::atomic<int> destroyed{0};
  for (int i = 0; i < 50; ++i) {
    auto* listener = NoticeRecorder::Create(&destroyed);
    auto* job = new VendraClient::VAsync_DownloadUtility(&gated.client, manifest.get());
    ASSERT_EQ(job->Start(listener), 2);
    listener->Release();
    job->Release();
  }
  ASSERT_TRUE(WaitFor([&] { return destroyed == 50; }));
  ASSERT_TRUE(WaitFor([&] { return ExtraReferences(manifest.get()) == 0; }));
}

}  // namespace
