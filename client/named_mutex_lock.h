#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

#include "platform/named_mutex.h"
#include "platform/sys_error.h"

namespace VendraClient {

// A machine-wide named mutex held by the process as a whole: the first
// Acquire waits for the mutex, nested ones (from any thread of the process)
// only count, and the mutex is given up when the count returns to 0. A
// mutex whose owner died counts as acquired.
class NamedMutexLock {
 public:
  // The mutex's name is prefix followed by baseName; it is made (or opened)
  // here, once. When that fails every Acquire fails.
  NamedMutexLock(std::u16string_view prefix, std::u16string_view baseName);
  NamedMutexLock(const NamedMutexLock&) = delete;
  NamedMutexLock& operator=(const NamedMutexLock&) = delete;

  // False when the mutex was not obtained within the time.
  bool Acquire(uint32_t milliseconds);
  // Gives back one level; the mutex goes at the last one.
  void Release();

  // How many levels the process holds.
  int32_t Depth();

  // False when the mutex could not be made or opened: waiting never helps.
  bool Opened() const { return createError_ == VendraPlatform::SysError::kSuccess; }
  // For the message of a failed Acquire: the mutex that could not be opened.
  std::u16string UnopenedText() const { return mutex_.UnopenedText(createError_); }
  // For the message of a timed-out Acquire: the mutex held elsewhere and,
  // where the system tells, by whom.
  std::u16string HeldText() const { return mutex_.HeldText(); }

 private:
  // Orders the threads of this process around the count and the mutex, so
  // that two of them never both wait for the mutex or both give it up.
  // (A plain mutex and a condition rather than a timed mutex: thread
  // checkers follow these.)
  std::mutex guard_;
  std::condition_variable turn_;
  bool waiting_ = false;
  int32_t depth_ = 0;
  VendraPlatform::NamedMutex mutex_;
  uint32_t createError_ = 0;
};

// Holds one level of a lock for a scope when its Acquire succeeded.
class NamedMutexLockGuard {
 public:
  // Acquires one level of lock, waiting up to milliseconds.
  NamedMutexLockGuard(NamedMutexLock& lock, uint32_t milliseconds)
      : lock_(lock), acquired_(lock.Acquire(milliseconds)) {}
  ~NamedMutexLockGuard() {
    if (acquired_) lock_.Release();
  }
  NamedMutexLockGuard(const NamedMutexLockGuard&) = delete;
  NamedMutexLockGuard& operator=(const NamedMutexLockGuard&) = delete;

  // Whether the level was obtained: false after the wait ran out or when the
  // mutex could not be opened (the lock's texts say which).
  bool acquired() const { return acquired_; }

 private:
  NamedMutexLock& lock_;
  const bool acquired_;
};

}  // namespace VendraClient
