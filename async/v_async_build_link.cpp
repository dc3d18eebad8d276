#include "async/v_async_build_link.h"

#include <chrono>

#include "async/v_async.h"

#include "async/v_async_listener.h"
#include "async/wf2_thread.h"
#include "json/object.h"

namespace VendraClient {

// How often a wait for the last notice looks for a stop request.
constexpr std::chrono::milliseconds kStopCheckPeriod{10};
// The last notice follows the final status at once; a file job that never
// gives one must not hold the walk for ever.
constexpr std::chrono::milliseconds kLastNoticeWait{5000};

bool VAsyncBuildLink::BeginNotice(Vendra::RefPtr<VAsync>& job,
                                  Vendra::RefPtr<VAsyncListener>& listener) {
  std::lock_guard<std::mutex> locked(mutex_);
  if (!job_) return false;
  // The build job's worker is inside its walk while the link is open, so
  // the job is alive to be referenced here.
  job = Vendra::RefPtr<VAsync>::Share(job_);
  listener = Vendra::RefPtr<VAsyncListener>::Share(listener_);
  ++noticesUnderWay_;
  return true;
}

void VAsyncBuildLink::EndNotice(bool began, bool last) {
  std::lock_guard<std::mutex> locked(mutex_);
  if (began) --noticesUnderWay_;
  if (last) ended_ = true;
  changed_.notify_all();
}

void VAsyncBuildLink::ForwardProgress(VendraJSON::VSJObject* progress) {
  Vendra::RefPtr<VAsync> job;
  Vendra::RefPtr<VAsyncListener> listener;
  if (!BeginNotice(job, listener)) {
    if (progress) progress->Release();
    return;
  }
  listener->OnProgress(job.get(), progress);
  EndNotice(true, false);
}

void VAsyncBuildLink::ForwardFailure(int32_t code, const char16_t* text) {
  Vendra::RefPtr<VAsync> job;
  Vendra::RefPtr<VAsyncListener> listener;
  const bool began = BeginNotice(job, listener);
  if (began) listener->OnFailed(job.get(), code, text);
  EndNotice(began, true);
}

void VAsyncBuildLink::NoteSuccess() { EndNotice(false, true); }

void VAsyncBuildLink::Close(bool awaitLastNotice, Wrenfield2::WF2Thread& worker) {
  const auto giveUp = std::chrono::steady_clock::now() + kLastNoticeWait;
  std::unique_lock<std::mutex> locked(mutex_);
  while (awaitLastNotice && !ended_ && worker.KeepRunning() &&
         std::chrono::steady_clock::now() < giveUp)
    changed_.wait_for(locked, kStopCheckPeriod);
  job_ = nullptr;
  listener_ = nullptr;
  // A listener that stops the build job from inside a notice waits for this
  // worker to end: under a stop, the notice is left to finish on its own.
  while (noticesUnderWay_ > 0 && worker.KeepRunning()) changed_.wait_for(locked, kStopCheckPeriod);
}

}  // namespace VendraClient
