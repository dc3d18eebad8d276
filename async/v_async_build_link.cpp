#include "async/v_async_build_link.h"

#include <chrono>

#include "async/v_async_listener.h"
#include "async/wf2_thread.h"
#include "json/object.h"

namespace VendraClient {

// How often a wait for the last notice looks for a stop request.
constexpr std::chrono::milliseconds kStopCheckPeriod{10};
// The last notice follows the final status at once; a file job that never
// gives one must not hold the walk for ever.
constexpr std::chrono::milliseconds kLastNoticeWait{5000};

void VAsyncBuildLink::ForwardProgress(VendraJSON::VSJObject* progress) {
  {
    std::lock_guard<std::mutex> locked(mutex_);
    if (job_) {
      listener_->OnProgress(job_, progress);
      return;
    }
  }
  if (progress) progress->Release();
}

void VAsyncBuildLink::ForwardFailure(int32_t code, const char16_t* text) {
  std::lock_guard<std::mutex> locked(mutex_);
  if (job_) listener_->OnFailed(job_, code, text);
  ended_ = true;
  lastNoticeHeard_.notify_all();
}

void VAsyncBuildLink::NoteSuccess() {
  std::lock_guard<std::mutex> locked(mutex_);
  ended_ = true;
  lastNoticeHeard_.notify_all();
}

void VAsyncBuildLink::Close(bool awaitLastNotice, Wrenfield2::WF2Thread& worker) {
  const auto giveUp = std::chrono::steady_clock::now() + kLastNoticeWait;
  std::unique_lock<std::mutex> locked(mutex_);
  while (awaitLastNotice && !ended_ && worker.KeepRunning() &&
         std::chrono::steady_clock::now() < giveUp)
    lastNoticeHeard_.wait_for(locked, kStopCheckPeriod);
  job_ = nullptr;
  listener_ = nullptr;
}

}  // namespace VendraClient
