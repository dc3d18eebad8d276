#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace VendraService {

// Set once when the service is asked to stop; scripted delays and slow
// bodies wait on it so that a stop is never held up by them.
class StopSignal {
 public:
  void Raise() {
    std::lock_guard lock(mutex_);
    raised_ = true;
    changed_.notify_all();
  }
  bool Raised() {
    std::lock_guard lock(mutex_);
    return raised_;
  }
  // Waits for the time or the stop, whichever comes first; true when stopped.
  bool WaitFor(std::chrono::milliseconds time) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, time, [this] { return raised_; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool raised_ = false;
};

}  // namespace VendraService
