// POSIX layer only.
#include "platform/thread.h"

#include <sched.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

namespace VendraPlatform {
namespace {

// Waits on cv until done() or the time is up; kWaitForever waits for good.
template <typename Predicate>
bool WaitUntil(std::condition_variable& cv, std::unique_lock<std::mutex>& lock,
               uint32_t milliseconds, Predicate done) {
  if (milliseconds == kWaitForever) {
    cv.wait(lock, done);
    return true;
  }
  return cv.wait_for(lock, std::chrono::milliseconds(milliseconds), done);
}

}  // namespace

struct Event::State {
  std::mutex mutex;
  std::condition_variable changed;
  bool signalled = false;
};

Event::Event() : state_(std::make_unique<State>()) {}
Event::~Event() = default;

void Event::Set() {
  {
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->signalled = true;
  }
  state_->changed.notify_all();
}

void Event::Reset() {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->signalled = false;
}

Event::WaitResult Event::Wait(uint32_t milliseconds) {
  std::unique_lock<std::mutex> lock(state_->mutex);
  const bool signalled =
      WaitUntil(state_->changed, lock, milliseconds, [this] { return state_->signalled; });
  return signalled ? WaitResult::Signalled : WaitResult::TimedOut;
}

// Shared by the holder and the running thread, so that either may go first.
// The system thread is detached as soon as it starts: its end is learnt from
// `ended`, and a holder that goes away never has to join it.
struct Thread::State {
  std::mutex mutex;
  std::condition_variable endedChanged;
  bool ended = false;
  std::thread::id id;
  uint32_t systemId = 0;
};

Thread::Thread() = default;
Thread::~Thread() = default;

bool Thread::Start(Routine routine, void* argument) {
  if (state_) return false;
  // Identifiers are never 0 and not reused within the process.
  static std::atomic<uint32_t> nextId{1};
  auto state = std::make_shared<State>();
  // The new thread waits until its identifiers are recorded, so that IsCurrent
  // answers correctly from its very first step.
  std::unique_lock<std::mutex> lock(state->mutex);
  try {
    std::thread worker([state, routine, argument] {
      { std::lock_guard<std::mutex> started(state->mutex); }
      routine(argument);
      {
        std::lock_guard<std::mutex> done(state->mutex);
        state->ended = true;
      }
      state->endedChanged.notify_all();
    });
    state->id = worker.get_id();
    state->systemId = nextId.fetch_add(1);
    worker.detach();
  } catch (const std::system_error&) {
    return false;
  }
  lock.unlock();
  state_ = std::move(state);
  return true;
}

bool Thread::IsHeld() const { return state_ != nullptr; }

uint32_t Thread::Id() const { return state_ ? state_->systemId : 0; }

bool Thread::IsCurrent() const {
  return state_ && state_->id == std::this_thread::get_id();
}

bool Thread::WaitForEnd(uint32_t milliseconds) {
  if (!state_) return true;
  std::unique_lock<std::mutex> lock(state_->mutex);
  return WaitUntil(state_->endedChanged, lock, milliseconds, [this] { return state_->ended; });
}

// Killing a thread that may hold locks or be inside the C library would leave
// the process in an unknown state, and POSIX offers no way to do it safely.
bool Thread::Terminate(uint32_t) { return false; }

void Thread::Forget() { state_.reset(); }

void YieldThread() { ::sched_yield(); }

void SleepMilliseconds(uint32_t milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

}  // namespace VendraPlatform
