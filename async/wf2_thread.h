#pragma once

#include <cstdint>
#include <memory>

#include "async/wf2_critical_section.h"
#include "platform/thread.h"

namespace Wrenfield2 {

// A worker thread with a manual-reset stop event. Subclasses supply Run, the
// thread's body, which polls KeepRunning or SleepUnlessStopped between steps:
// stopping is cooperative.
//
// The object must outlive the body. Destruction asks the body to stop and
// waits up to 5000 ms, then ends the thread by force where the system allows
// it; where it does not (POSIX), it waits for the body to return, because
// freeing an object a running thread still uses would be worse than a wait.
// Destruction on the worker thread itself (the body dropped the last
// reference to what holds it) neither waits nor kills: the thread ends on
// its own once the body returns, and touches nothing of the object then.
class WF2Thread {
 public:
  WF2Thread();
  virtual ~WF2Thread();
  WF2Thread(const WF2Thread&) = delete;
  WF2Thread& operator=(const WF2Thread&) = delete;

  // False while a thread runs, or when the system could not start one.
  virtual bool Start();
  // Signals stop and ends the thread by force; true when no thread runs
  // afterwards. False where the system cannot end a thread by force.
  virtual bool Kill(uint32_t exitCode);
  // Signals stop and waits; true when the thread ended within the time.
  virtual bool Stop(uint32_t milliseconds);
  virtual bool IsRunning();
  virtual int32_t Run() = 0;
  // Waits for a stop request; true only when none came within the time.
  virtual bool SleepUnlessStopped(uint32_t milliseconds);
  // True while no stop is requested.
  virtual bool KeepRunning();

  // The running thread's identifier, 0 when none runs.
  uint32_t ThreadId();
  // True when called on this object's own running thread.
  bool IsCurrentThread();

 private:
  // Lets the entry routine learn, after the body returned, whether the object
  // is still there to be told; shared by the object and each thread.
  struct Presence;

  static uint32_t Entry(void* launch);

  WF2CriticalSection lock_;
  // Guarded by lock_.
  std::shared_ptr<VendraPlatform::Thread> thread_;
  uint32_t threadId_ = 0;
  VendraPlatform::Event stopEvent_;
  std::shared_ptr<Presence> presence_;
};

}  // namespace Wrenfield2
