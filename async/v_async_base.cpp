#include "async/v_async_base.h"

#include <chrono>

namespace VendraClient {

int VAsyncBase::AddRef() { return references_.fetch_add(1) + 1; }

int VAsyncBase::Release() {
  int count = references_.load();
  // A count already at 0 stays there: a surplus Release must not free twice.
  while (count > 0 && !references_.compare_exchange_weak(count, count - 1)) {
  }
  if (count <= 0) return 0;
  if (count == 1) delete this;
  return count - 1;
}

int32_t VAsyncBase::Start(VAsyncListener* listener) {
  // The worker tells the listener everything; without one there is no job.
  if (!listener) return ToInt(eVClientResult::InvalidArgument);
  // A job runs once: a second Start must not disturb the worker that runs.
  int32_t created = ToInt(eVClientResult::Created);
  if (!status_.compare_exchange_strong(created, ToInt(eVClientResult::Running)))
    return ToInt(eVClientResult::Failed);
  listener_ = Vendra::RefPtr<VAsyncListener>::Share(listener);
  // The worker's reference is taken before its thread exists, so that an
  // owner who releases the job at once cannot free it under a starting
  // worker.
  AddRef();
  if (!Worker().Start()) {
    status_.store(ToInt(eVClientResult::Created));
    Release();
    return ToInt(eVClientResult::Failed);
  }
  return ToInt(eVClientResult::Running);
}

int32_t VAsyncBase::Abort() { return ToInt(eVClientResult::NotSupported); }

int32_t VAsyncBase::GetStatus() { return status_.load(); }

int32_t VAsyncBase::GetResult(VendraJSON::VSJObject** result) {
  const int32_t status = status_.load();
  if (result) {
    std::lock_guard<std::mutex> locked(outcomeLock_);
    *result = Vendra::RefPtr<VendraJSON::VSJObject>(result_).Detach();
  }
  return status;
}

int32_t VAsyncBase::GetErrorText(std::u16string& text) {
  const int32_t status = status_.load();
  std::lock_guard<std::mutex> locked(outcomeLock_);
  if (&text != &errorText_) text = errorText_;
  return status;
}

void VAsyncBase::AwaitEnd(uint32_t milliseconds) {
  std::unique_lock<std::mutex> locked(endLock_);
  ended_.wait_for(locked, std::chrono::milliseconds(milliseconds),
                  [&] { return status_.load() != ToInt(eVClientResult::Running); });
}

void VAsyncBase::SetFinalStatus(eVClientResult code) {
  {
    std::lock_guard<std::mutex> locked(endLock_);
    status_.store(ToInt(code));
  }
  ended_.notify_all();
}

int32_t VAsyncBase::RunOnWorker() {
  RunStep();
  Release();
  return 0;
}

void VAsyncBase::RunStep() {
  VAsyncListener* listener = listener_.get();
  listener->OnStarted(this);
  std::u16string error;
  const eVClientResult code = Perform(listener, error);
  if (code == eVClientResult::Success) {
    SetFinalStatus(eVClientResult::Success);
    listener->OnSucceeded(this, 0, nullptr);
    return;
  }
  {
    std::lock_guard<std::mutex> locked(outcomeLock_);
    errorText_ = error;
    result_ = Vendra::RefPtr<VendraJSON::VSJObject>::Adopt(MakeFailureResult());
  }
  SetFinalStatus(code);
  if (AnnouncesFailure()) listener->OnFailed(this, ToInt(code), error.c_str());
}

}  // namespace VendraClient
