#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The operating-system layer: the only code that talks to the system.
namespace VendraPlatform {

// A machine-wide mutex found by name, which every user's copy of the
// vendor's programs may open and take. When its owner ends without giving it
// up, the next waiter gets it and is told so (Abandoned).
//
// On both systems the lock belongs to the process rather than to a thread,
// so any thread of the owner may give it up. Windows: a named mutex, taken and
// given up by a thread of the object's own. POSIX: a lock that belongs to the
// open object, on a file that any user may have made; its holder writes its
// process id into it, so that a waiter can say whom it waits for.
class NamedMutex {
 public:
  // What a Wait ended with: the mutex taken, taken from an owner that ended
  // without giving it up, not taken within the time, or not waited for.
  enum class WaitResult { Acquired, Abandoned, TimedOut, Failed };

  // Who holds the mutex, as far as the system tells: process id 0 and no
  // user when it does not.
  struct Holder {
    uint32_t processId = 0;  // 0 when not known
    std::u16string user;     // empty when not known
  };

  // Waits without a time limit.
  static constexpr uint32_t kInfinite = 0xFFFFFFFFu;

  NamedMutex() = default;
  ~NamedMutex();
  NamedMutex(const NamedMutex&) = delete;
  NamedMutex& operator=(const NamedMutex&) = delete;

  // Opens the mutex of that name, creating it when it does not exist yet.
  // Answers a system error number, 0 on success.
  uint32_t Create(std::u16string_view name);
  // Whether a Create succeeded and the mutex is still open.
  bool IsOpen() const { return handle_ != kNone; }

  // Waits up to milliseconds (kInfinite: without limit) to take the mutex.
  WaitResult Wait(uint32_t milliseconds);
  // Gives the mutex up; the process must hold it.
  void Release();
  // Closes the mutex, giving it up if held.
  void Close();

  // Where the mutex of the last Create lives (POSIX: its file; Windows: its
  // name), also when Create failed.
  const std::u16string& Location() const { return location_; }
  // Who holds the mutex now, as far as the system tells.
  Holder CurrentHolder() const;

  // For messages: the mutex held by someone else, with the holder where the
  // system tells (else the process id the caller learned otherwise, 0 for
  // none); the mutex that Create could not open, with its error.
  std::u16string HeldText(uint32_t claimedHolder = 0) const;
  // The mutex that Create could not open, with error's text.
  std::u16string UnopenedText(uint32_t error) const;

 private:
  static constexpr intptr_t kNone = -1;
  intptr_t handle_ = kNone;
  std::u16string location_;
};

}  // namespace VendraPlatform
