#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/named_mutex.h"

namespace VendraBuild {

// The machine-wide lock that lets one install, repair or uninstall run at a
// time. Its holder writes its process id into a file beside the data, so a
// program that has to wait can say for whom.
class InstallLock {
 public:
  enum class Result { Acquired, TimedOut, Failed };

  explicit InstallLock(std::u16string holderFile) : holderFile_(std::move(holderFile)) {}
  ~InstallLock();
  InstallLock(const InstallLock&) = delete;
  InstallLock& operator=(const InstallLock&) = delete;

  // Takes the lock. When another process holds it and seconds is not 0,
  // waiting is told that process's id (0 when unknown) once, and the lock
  // is waited for up to seconds; with 0 the answer is TimedOut at once.
  // error holds the system error number after Failed.
  Result Acquire(uint32_t seconds, const std::function<void(uint32_t holder)>& waiting,
                 uint32_t& error);

  // The holder's process id, 0 when unknown.
  uint32_t Holder() const;

  // For messages after TimedOut and Failed: the lock and its holder, or the
  // lock that cannot be opened.
  std::u16string HeldText() const { return mutex_.HeldText(Holder()); }
  std::u16string UnopenedText(uint32_t error) const { return mutex_.UnopenedText(error); }

 private:
  std::u16string holderFile_;
  VendraPlatform::NamedMutex mutex_;
  bool held_ = false;
};

}  // namespace VendraBuild
