#pragma once

#include <cstdint>
#include <memory>

// Threads and events for worker threads. The waits answer whether the thing
// waited for happened within the time.
namespace VendraPlatform {

// Waits without a time limit.
constexpr uint32_t kWaitForever = 0xFFFFFFFFu;

// A manual-reset event: once set it stays set until reset, so one signal is
// seen by every later wait.
class Event {
 public:
  enum class WaitResult { Signalled, TimedOut, Failed };

  // Made unsignalled.
  Event();
  ~Event();
  Event(const Event&) = delete;
  Event& operator=(const Event&) = delete;

  void Set();
  void Reset();
  WaitResult Wait(uint32_t milliseconds);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// One operating-system thread. The holder may wait for its end, forget it
// (the thread runs on and frees what it needs itself), or, where the system
// allows it, end it forcibly.
class Thread {
 public:
  using Routine = uint32_t (*)(void* argument);

  Thread();
  // Forgets the thread; it is neither waited for nor stopped.
  ~Thread();
  Thread(const Thread&) = delete;
  Thread& operator=(const Thread&) = delete;

  // Starts routine(argument) on a new thread with the system's default stack.
  // False when the system could not make one, or one is held already.
  bool Start(Routine routine, void* argument);
  bool IsHeld() const;
  // The system's identifier of the held thread, 0 when none is held.
  uint32_t Id() const;
  // True when the held thread is the calling one.
  bool IsCurrent() const;
  // True when the held thread has returned within the time (at once when it
  // already has, or none is held).
  bool WaitForEnd(uint32_t milliseconds);
  // Ends the held thread at once with the exit code. Only some systems can do
  // that; the others answer false and the thread runs on.
  bool Terminate(uint32_t exitCode);
  // Lets go of the held thread without waiting.
  void Forget();

 private:
  struct State;
  std::shared_ptr<State> state_;
};

// Gives the rest of the calling thread's time slice to other threads.
void YieldThread();
void SleepMilliseconds(uint32_t milliseconds);

}  // namespace VendraPlatform
