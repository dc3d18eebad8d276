#pragma once

#include <cstdint>
#include <string_view>

namespace VendraPlatform {

// A machine-wide mutex found by name, which every user's copy of the
// vendor's programs may open and take. When its owner ends without giving it
// up, the next waiter gets it and is told so (Abandoned).
//
// On both systems the lock belongs to the process rather than to a thread,
// so any thread of the owner may give it up. Windows: a named mutex, taken and
// given up by a thread of the object's own. POSIX: a lock that belongs to the
// open object. A mutex file another user
// owns is refused (access denied): it is not ours to wait on.
class NamedMutex {
 public:
  enum class WaitResult { Acquired, Abandoned, TimedOut, Failed };

  // Waits without a time limit.
  static constexpr uint32_t kInfinite = 0xFFFFFFFFu;

  NamedMutex() = default;
  ~NamedMutex();
  NamedMutex(const NamedMutex&) = delete;
  NamedMutex& operator=(const NamedMutex&) = delete;

  // Opens the mutex of that name, creating it when it does not exist yet.
  // Answers a system error number, 0 on success.
  uint32_t Create(std::u16string_view name);
  bool IsOpen() const { return handle_ != kNone; }

  WaitResult Wait(uint32_t milliseconds);
  void Release();
  void Close();

 private:
  static constexpr intptr_t kNone = -1;
  intptr_t handle_ = kNone;
};

}  // namespace VendraPlatform
