// Win32 layer only.
#include "platform/thread.h"

#include "platform/win32/windows_api.h"

namespace VendraPlatform {

struct Event::State {
  HANDLE handle = nullptr;
};

Event::Event() : state_(std::make_unique<State>()) {
  state_->handle = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
}

Event::~Event() {
  if (state_->handle) ::CloseHandle(state_->handle);
}

void Event::Set() {
  if (state_->handle) ::SetEvent(state_->handle);
}

void Event::Reset() {
  if (state_->handle) ::ResetEvent(state_->handle);
}

Event::WaitResult Event::Wait(uint32_t milliseconds) {
  if (!state_->handle) return WaitResult::Failed;
  switch (::WaitForSingleObject(state_->handle, milliseconds)) {
    case WAIT_OBJECT_0:
      return WaitResult::Signalled;
    case WAIT_TIMEOUT:
      return WaitResult::TimedOut;
    default:
      return WaitResult::Failed;
  }
}

struct Thread::State {
  HANDLE handle = nullptr;
  DWORD id = 0;
};

namespace {

// What the new thread needs, handed over on the heap: the thread frees it.
struct Launch {
  Thread::Routine routine;
  void* argument;
};

DWORD WINAPI ThreadEntry(LPVOID parameter) {
  auto* launch = static_cast<Launch*>(parameter);
  const Thread::Routine routine = launch->routine;
  void* argument = launch->argument;
  delete launch;
  return routine(argument);
}

}  // namespace

Thread::Thread() = default;

Thread::~Thread() { Forget(); }

bool Thread::Start(Routine routine, void* argument) {
  if (state_) return false;
  auto state = std::make_shared<State>();
  auto* launch = new Launch{routine, argument};
  state->handle = ::CreateThread(nullptr, 0, ThreadEntry, launch, 0, &state->id);
  if (!state->handle) {
    delete launch;
    return false;
  }
  state_ = std::move(state);
  return true;
}

bool Thread::IsHeld() const { return state_ != nullptr; }

uint32_t Thread::Id() const { return state_ ? state_->id : 0; }

bool Thread::IsCurrent() const { return state_ && state_->id == ::GetCurrentThreadId(); }

bool Thread::WaitForEnd(uint32_t milliseconds) {
  if (!state_) return true;
  return ::WaitForSingleObject(state_->handle, milliseconds) == WAIT_OBJECT_0;
}

bool Thread::Terminate(uint32_t exitCode) {
  if (!state_) return true;
  return ::TerminateThread(state_->handle, exitCode) != FALSE;
}

void Thread::Forget() {
  if (!state_) return;
  ::CloseHandle(state_->handle);
  state_.reset();
}

void YieldThread() { ::SleepEx(0, TRUE); }

void SleepMilliseconds(uint32_t milliseconds) { ::Sleep(milliseconds); }

}  // namespace VendraPlatform
