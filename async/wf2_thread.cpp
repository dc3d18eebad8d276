#include "async/wf2_thread.h"

#include <mutex>
#include <utility>

namespace Wrenfield2 {

// How long destruction lets a body finish before it ends the thread by force.
constexpr uint32_t kDestructionStopMs = 5000;

struct WF2Thread::Presence {
  std::mutex mutex;
  WF2Thread* owner = nullptr;
};

namespace {

struct Launch {
  WF2Thread* thread;
  std::shared_ptr<void> presence;
};

}  // namespace

WF2Thread::WF2Thread() : presence_(std::make_shared<Presence>()) { presence_->owner = this; }

WF2Thread::~WF2Thread() {
  std::shared_ptr<VendraPlatform::Thread> thread;
  {
    WF2Locked locked(lock_);
    thread = thread_;
  }
  if (thread && thread->IsCurrent()) {
    // The body dropped the last reference to what holds this object: the
    // thread cannot wait for itself, so it is only told to stop.
    stopEvent_.Set();
  } else if (!Stop(kDestructionStopMs) && !Kill(0)) {
    thread->WaitForEnd(VendraPlatform::kWaitForever);
  }
  std::lock_guard<std::mutex> gone(presence_->mutex);
  presence_->owner = nullptr;
}

uint32_t WF2Thread::Entry(void* argument) {
  auto* launch = static_cast<Launch*>(argument);
  WF2Thread* self = launch->thread;
  auto presence = std::static_pointer_cast<Presence>(std::move(launch->presence));
  delete launch;

  const int32_t code = self->Run();

  // The body may have destroyed the object; only the presence record says.
  std::lock_guard<std::mutex> still(presence->mutex);
  if (WF2Thread* owner = presence->owner) {
    WF2Locked locked(owner->lock_);
    owner->thread_.reset();
    owner->threadId_ = 0;
  }
  return static_cast<uint32_t>(code);
}

bool WF2Thread::Start() {
  WF2Locked locked(lock_);
  if (thread_) return false;
  stopEvent_.Reset();
  auto thread = std::make_shared<VendraPlatform::Thread>();
  auto* launch = new Launch{this, presence_};
  if (!thread->Start(&WF2Thread::Entry, launch)) {
    delete launch;
    return false;
  }
  thread_ = std::move(thread);
  threadId_ = thread_->Id();
  return true;
}

bool WF2Thread::Kill(uint32_t exitCode) {
  stopEvent_.Set();
  std::shared_ptr<VendraPlatform::Thread> thread;
  {
    WF2Locked locked(lock_);
    if (!thread_) return true;
    thread = thread_;
  }
  // Only a Start in between can have cleared the stop request.
  if (SleepUnlessStopped(0)) return true;
  if (!thread->Terminate(exitCode)) return false;
  // A thread ended by force never reaches the entry routine's bookkeeping.
  WF2Locked locked(lock_);
  if (thread_ == thread) {
    thread_.reset();
    threadId_ = 0;
  }
  return true;
}

bool WF2Thread::Stop(uint32_t milliseconds) {
  stopEvent_.Set();
  std::shared_ptr<VendraPlatform::Thread> thread;
  {
    WF2Locked locked(lock_);
    if (!thread_) return true;
    thread = thread_;
  }
  return thread->WaitForEnd(milliseconds);
}

bool WF2Thread::IsRunning() {
  WF2Locked locked(lock_);
  return thread_ && !thread_->WaitForEnd(0);
}

bool WF2Thread::SleepUnlessStopped(uint32_t milliseconds) {
  const auto answer = stopEvent_.Wait(milliseconds);
  if (answer != VendraPlatform::Event::WaitResult::TimedOut) return false;
  if (milliseconds == 0) VendraPlatform::YieldThread();
  return true;
}

bool WF2Thread::KeepRunning() {
  return stopEvent_.Wait(0) == VendraPlatform::Event::WaitResult::TimedOut;
}

uint32_t WF2Thread::ThreadId() {
  WF2Locked locked(lock_);
  return threadId_;
}

bool WF2Thread::IsCurrentThread() {
  WF2Locked locked(lock_);
  return thread_ && thread_->IsCurrent();
}

}  // namespace Wrenfield2
