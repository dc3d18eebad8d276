#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>

namespace VendraService {

// How many accepted connections are being served. A killed client's last
// request may still wait in the queue of connections, or be read by a worker
// that has not run yet; a test that counts requests waits until only its own
// connection is open before it reads the log.
class OpenConnections {
 public:
  void Opened() {
    std::lock_guard lock(mutex_);
    ++open_;
  }
  void Closed() {
    std::lock_guard lock(mutex_);
    --open_;
    changed_.notify_all();
  }
  // True once at most count connections are open, false after limit.
  bool WaitUntilAtMost(size_t count, std::chrono::milliseconds limit) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, limit, [&] { return open_ <= count; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  size_t open_ = 0;
};

}  // namespace VendraService
