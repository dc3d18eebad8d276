// The utility download's listener must stay usable for as long as the job
// holds it, which may be after the waiting procedure has returned. The job
// below hands out its outcome first and tells its listener afterwards, as a
// worker thread may; under AddressSanitizer (with stack-use-after-return
// detection, set for this test) a listener kept in the waiting procedure's
// frame is reported, and in any build the listener's count must come back.
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "async/v_async.h"
#include "async/v_async_listener.h"
#include "client/v_client.h"
#include "common/memory/ref_ptr.h"
#include "install/package_manager_installation.h"
#include "install/v_build_client.h"
#include "json/object.h"
#include "tests/support/fake_client.h"

namespace {

using VendraClient::eVClientResult;
using VendraClient::ToInt;

// A job whose outcome is known at once and whose notice to the listener
// comes only when the test lets it.
class LateNoticeJob final : public VendraClient::VAsync {
 public:
  int AddRef() override { return ++references_; }
  int Release() override {
    const int left = --references_;
    if (left == 0) delete this;
    return left;
  }
  int32_t Start(VendraClient::VAsyncListener* listener) override {
    listener_ = Vendra::RefPtr<VendraClient::VAsyncListener>::Share(listener);
    status_ = ToInt(eVClientResult::Success);
    AddRef();
    worker_ = std::thread([this] {
      {
        std::unique_lock<std::mutex> hold(lock_);
        wake_.wait(hold, [this] { return released_; });
      }
      listener_->OnSucceeded(this, 0, nullptr);
      countAfter = listener_->AddRef();
      listener_->Release();
      listener_.Reset();
      Release();
    });
    worker_.detach();
    return ToInt(eVClientResult::Running);
  }
  int32_t Abort() override { return ToInt(eVClientResult::NotSupported); }
  int32_t GetStatus() override { return status_; }
  int32_t GetResult(VendraJSON::VSJObject** result) override {
    if (result) *result = nullptr;
    return status_;
  }
  int32_t GetErrorText(std::u16string& text) override {
    text.clear();
    return status_;
  }
  void Let() {
    std::lock_guard<std::mutex> hold(lock_);
    released_ = true;
    wake_.notify_all();
  }

  std::atomic<int> countAfter{0};

 private:
  std::atomic<int> references_{1};
  std::atomic<int32_t> status_{ToInt(eVClientResult::Created)};
  Vendra::RefPtr<VendraClient::VAsyncListener> listener_;
  std::thread worker_;
  std::mutex lock_;
  std::condition_variable wake_;
  bool released_ = false;
};

class NothingDownloaded final : public VendraClient::VBuildClient {
 public:
  eVClientResult CheckUtilityDownload(VendraJSON::VSJObject*, std::u16string&) override {
    return eVClientResult::VerifyFailed;
  }
};

TEST(UtilityDownloadListener, OutlivesTheWaitingProcedure) {
  VendraTest::FakeClient client;
  LateNoticeJob* lastJob = nullptr;
  client.downloadUtilityAsync = [&](VendraJSON::VSJObject*, VendraClient::VAsync** job,
                                    std::u16string&) {
    lastJob = new LateNoticeJob();
    lastJob->AddRef();
    *job = lastJob;
    return eVClientResult::Success;
  };
  NothingDownloaded buildClient;
  auto manifest = Vendra::RefPtr<VendraJSON::VSJObject>::Adopt(VendraJSON::VSJObject::Create());
  // Only the download runs here: no manifest is checked.
  VendraClient::PackageManagerInstallation installation(client, buildClient, nullptr);
  std::u16string error;
  ASSERT_EQ(installation.DownloadUtility(manifest.get(), error), eVClientResult::Success);
  ASSERT_NE(lastJob, nullptr);
  // The waiting procedure has returned; only now does the job tell its
  // listener, and the listener must still be there, counting.
  LateNoticeJob* job = lastJob;
  job->Let();
  for (int i = 0; i < 2000 && job->countAfter.load() == 0; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  EXPECT_EQ(job->countAfter.load(), 2) << "the job's reference plus the one it just took";
  job->Release();
}

}  // namespace
