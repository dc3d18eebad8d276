#include "client/named_mutex_lock.h"

#include <chrono>
#include <limits>
#include <string>

namespace VendraClient {

using VendraPlatform::NamedMutex;

NamedMutexLock::NamedMutexLock(std::u16string_view prefix, std::u16string_view baseName) {
  std::u16string name(prefix);
  name += baseName;
  mutex_.Create(name);
}

bool NamedMutexLock::Acquire(uint32_t milliseconds) {
  using Clock = std::chrono::steady_clock;
  const bool forever = milliseconds == NamedMutex::kInfinite;
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(milliseconds);
  std::unique_lock<std::timed_mutex> guard(guard_, std::defer_lock);
  if (forever) {
    guard.lock();
  } else if (!guard.try_lock_until(deadline)) {
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
  switch (mutex_.Wait(left)) {
    case NamedMutex::WaitResult::Acquired:
    case NamedMutex::WaitResult::Abandoned:
      depth_ = 1;
      return true;
    case NamedMutex::WaitResult::TimedOut:
    case NamedMutex::WaitResult::Failed:
      break;
  }
  return false;
}

void NamedMutexLock::Release() {
  std::lock_guard<std::timed_mutex> guard(guard_);
  if (depth_ <= 0) return;
  if (--depth_ == 0) mutex_.Release();
}

int32_t NamedMutexLock::Depth() {
  std::lock_guard<std::timed_mutex> guard(guard_);
  return depth_;
}

}  // namespace VendraClient
