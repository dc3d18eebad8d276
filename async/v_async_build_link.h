#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "common/memory/ref_ptr.h"

namespace Wrenfield2 {
class WF2Thread;
}

namespace VendraJSON {
class VSJObject;
}

namespace VendraClient {

class VAsync;
class VAsyncListener;

// How a per-file listener reaches the build-wide job that made it. The job
// closes the link when it is done with the file; from then on nothing is
// passed on, so a sub-job the walk gave up on, which may run and report for
// a while yet, can never reach a job that is gone.
//
// A notice is passed on without holding the link's lock, with references on
// the build job and its listener for the call: the listener may stop the
// build job from inside a notice, and the build job's worker, closing the
// link on its way out, does not wait for that notice to return. Close waits
// for notices under way unless the worker was asked to stop; after a stop, a
// notice that had already started may still finish after Close, on objects
// its references keep alive.
class VAsyncBuildLink {
 public:
  // job and listener stay valid until Close.
  VAsyncBuildLink(VAsync* job, VAsyncListener* listener) : job_(job), listener_(listener) {}
  VAsyncBuildLink(const VAsyncBuildLink&) = delete;
  VAsyncBuildLink& operator=(const VAsyncBuildLink&) = delete;

  // Passes progress on with the build job as its sender; takes over the
  // progress object's reference either way.
  void ForwardProgress(VendraJSON::VSJObject* progress);
  // Passes a failure on; the sub-job has nothing more to say after it.
  void ForwardFailure(int32_t code, const char16_t* text);
  // The sub-job succeeded: nothing to pass on, but nothing more will come.
  void NoteSuccess();

  // Ends the link. With awaitLastNotice, first waits for the sub-job's last
  // notice (its success or failure), which follows the sub-job's final
  // status closely, so that the build job's listener has heard a failure
  // before the build job reports it. The wait gives way to a stop request
  // on worker, and ends after a few seconds without the notice.
  void Close(bool awaitLastNotice, Wrenfield2::WF2Thread& worker);

 private:
  // The build job and its listener with a reference each, or nothing once
  // the link is closed; counts the notice as under way.
  bool BeginNotice(Vendra::RefPtr<VAsync>& job, Vendra::RefPtr<VAsyncListener>& listener);
  // A notice is over: began when BeginNotice counted it, last when it was
  // the sub-job's last.
  void EndNotice(bool began, bool last);

  std::mutex mutex_;
  std::condition_variable changed_;
  // Both cleared by Close; guarded by mutex_.
  VAsync* job_;
  VAsyncListener* listener_;
  int noticesUnderWay_ = 0;
  bool ended_ = false;
};

}  // namespace VendraClient
