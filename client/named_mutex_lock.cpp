#include "client/named_mutex_lock.h"

#include <chrono>
#include <limits>
#include <string>

namespace VendraClient {

using VendraPlatform::NamedMutex;

NamedMutexLock::NamedMutexLock(std::u16string_view prefix, std::u16string_view baseName) {
  std::u16string name(prefix);
  name += baseName;
  createError_ = mutex_.Create(name);
}

bool NamedMutexLock::Acquire(uint32_t milliseconds) {
  using Clock = std::chrono::steady_clock;
  const bool forever = milliseconds == NamedMutex::kInfinite;
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(milliseconds);
  std::unique_lock<std::mutex> guard(guard_);
  const auto ourTurn = [this] { return !waiting_; };
  if (forever) {
    turn_.wait(guard, ourTurn);
  } else if (!turn_.wait_until(guard, deadline, ourTurn)) {
    return false;
  }
  if (depth_ > 0) {
    if (depth_ == std::numeric_limits<int32_t>::max()) return false;
    ++depth_;
    return true;
  }
  uint32_t left = NamedMutex::kInfinite;
  if (!forever) {
    // Rounded up, so that the whole wait is never shorter than asked.
    const auto remaining = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    left = remaining.count() > 0 ? static_cast<uint32_t>(remaining.count()) : 0;
  }
  // The machine-wide wait happens without the guard, so Depth() answers
  // meanwhile; the other threads of the process wait for their turn.
  waiting_ = true;
  guard.unlock();
  const NamedMutex::WaitResult result = mutex_.Wait(left);
  guard.lock();
  waiting_ = false;
  const bool acquired = result == NamedMutex::WaitResult::Acquired ||
                        result == NamedMutex::WaitResult::Abandoned;
  if (acquired) depth_ = 1;
  turn_.notify_all();
  return acquired;
}

void NamedMutexLock::Release() {
  std::lock_guard<std::mutex> guard(guard_);
  if (depth_ <= 0) return;
  if (--depth_ == 0) mutex_.Release();
}

int32_t NamedMutexLock::Depth() {
  std::lock_guard<std::mutex> guard(guard_);
  return depth_;
}

}  // namespace VendraClient
