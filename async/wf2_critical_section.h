#pragma once

#include <mutex>

namespace Wrenfield2 {

// A lock for the short sections that guard a worker thread's handle.
class WF2CriticalSection {
 public:
  WF2CriticalSection() = default;
  virtual ~WF2CriticalSection() = default;
  WF2CriticalSection(const WF2CriticalSection&) = delete;
  WF2CriticalSection& operator=(const WF2CriticalSection&) = delete;

  void Lock() { mutex_.lock(); }
  void Unlock() { mutex_.unlock(); }

 private:
  std::mutex mutex_;
};

// Holds a critical section for a scope.
class WF2Locked {
 public:
  explicit WF2Locked(WF2CriticalSection& section) : section_(section) { section_.Lock(); }
  ~WF2Locked() { section_.Unlock(); }
  WF2Locked(const WF2Locked&) = delete;
  WF2Locked& operator=(const WF2Locked&) = delete;

 private:
  WF2CriticalSection& section_;
};

}  // namespace Wrenfield2
