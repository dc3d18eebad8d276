#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>

#include "async/v_async.h"
#include "async/v_async_listener.h"
#include "async/wf2_thread.h"
#include "client/result.h"
#include "common/memory/ref_ptr.h"
#include "json/object.h"

namespace VendraClient {

// What every job kind shares: the counted reference, the status, the error
// text, the result object and the listener, and the way its worker runs one
// step. A kind supplies its worker and the operation the step performs.
//
// The status is 1 until Start, 2 while the worker runs, then 0 or the
// operation's failure code. The worker stores the error text and the result
// before the final status, so an owner that sees the status may read them.
class VAsyncBase : public VAsync {
 public:
  int AddRef() override;
  int Release() override;
  int32_t Start(VAsyncListener* listener) override;
  // A running job cannot be cancelled: it runs on and ends normally.
  int32_t Abort() override;
  int32_t GetStatus() override;
  int32_t GetResult(VendraJSON::VSJObject** result) override;
  int32_t GetErrorText(std::u16string& text) override;

  // The worker's body: runs the step, then drops the reference Start took
  // for the worker, which may destroy the job.
  int32_t RunOnWorker();
  // Waits up to milliseconds while the job runs; answers at once when it
  // ends, so that an owner who waits in steps loses no time per job.
  void AwaitEnd(uint32_t milliseconds);

 protected:
  VAsyncBase() = default;
  ~VAsyncBase() override = default;

  virtual Wrenfield2::WF2Thread& Worker() = 0;
  // The kind's operation, given the job itself and its listener.
  virtual eVClientResult Perform(VAsyncListener* listener, std::u16string& error) = 0;
  // The result object a failed step leaves for the owner, or none.
  virtual VendraJSON::VSJObject* MakeFailureResult() { return nullptr; }
  // Whether the listener hears OnFailed when the step fails. Kinds that walk
  // a list leave their failures to the status, or to the per-file listeners.
  virtual bool AnnouncesFailure() const { return true; }

 private:
  void RunStep();
  // Stores the status the step ended with and wakes AwaitEnd.
  void SetFinalStatus(eVClientResult code);

  std::atomic<int> references_{1};
  std::atomic<int32_t> status_{ToInt(eVClientResult::Created)};
  // Told when the status leaves Running.
  std::mutex endLock_;
  std::condition_variable ended_;
  Vendra::RefPtr<VAsyncListener> listener_;
  // Guards the error text and the result object, which the owner may read
  // while the worker writes them.
  std::mutex outcomeLock_;
  std::u16string errorText_;
  Vendra::RefPtr<VendraJSON::VSJObject> result_;
};

// The worker thread of every one-operation job: its body runs the job's step.
class WF2JobThread : public Wrenfield2::WF2Thread {
 public:
  explicit WF2JobThread(VAsyncBase* job) : job_(job) {}
  int32_t Run() override { return job_->RunOnWorker(); }

 private:
  VAsyncBase* job_;
};

}  // namespace VendraClient
