// POSIX layer only.
#include "platform/named_mutex.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <thread>

#include "platform/posix/errno_map.h"
#include "platform/posix/named_objects.h"
#include "platform/posix/ownership.h"
#include "platform/posix/posix_text.h"
#include "platform/sys_error.h"

namespace VendraPlatform {
namespace {

using Posix::LockKind;
using Posix::LockObject;

// Any user's programs may take the mutex, as the Windows mutex grants every
// user full access, whoever made its file. The mutex guards no secret: a
// user who holds it only makes the others wait, which any user may do anyway.
constexpr mode_t kMutexMode = 0666;

// The first byte of the mutex file is 1 while an owner holds the mutex. An
// owner that dies leaves it at 1 while the system drops its lock: that is how
// the next owner learns that the mutex was abandoned.
constexpr char kHeld = 1;
constexpr char kFree = 0;

// The system does not say who holds such a lock: the owner writes its
// process id here, 0 when it gives the mutex up. Only shown in messages.
constexpr off_t kHolderOffset = 4;

// The system offers no timed wait for these locks: the waiter polls, quickly
// at first and then every few milliseconds.
constexpr auto kFirstPoll = std::chrono::milliseconds(1);
constexpr auto kLongestPoll = std::chrono::milliseconds(8);

int Descriptor(intptr_t handle) { return static_cast<int>(handle); }

// A mark that cannot be written only costs the abandoned report: a later
// owner either misses it or reports a released mutex as abandoned, and both
// count as taken.
void WriteMark(int fd, char mark) {
  while (::pwrite(fd, &mark, 1, 0) < 0 && errno == EINTR) {
  }
}

void WriteHolder(int fd, uint32_t processId) {
  while (::pwrite(fd, &processId, sizeof processId, kHolderOffset) < 0 && errno == EINTR) {
  }
}

}  // namespace

NamedMutex::~NamedMutex() { Close(); }

uint32_t NamedMutex::Create(std::u16string_view name) {
  Close();
  const std::string path = Posix::NamedObjectPath(name, "mutex");
  location_ = Posix::FromNative(path);
  int fd = -1;
  // Another process may create it between our two attempts; then it is opened.
  for (int attempt = 0; attempt < 4 && fd < 0; ++attempt) {
    fd = Posix::OpenNamedObject(path, Posix::ObjectOwners::Anyone);
    if (fd >= 0 || errno != ENOENT) break;
    fd = Posix::CreateNamedObject(path, kMutexMode, [](int) { return 0; });
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) return Posix::SysErrorFromErrno(errno);
  handle_ = fd;
  return SysError::kSuccess;
}

NamedMutex::WaitResult NamedMutex::Wait(uint32_t milliseconds) {
  if (!IsOpen()) return WaitResult::Failed;
  const int fd = Descriptor(handle_);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  auto poll = std::chrono::duration_cast<std::chrono::steady_clock::duration>(kFirstPoll);
  while (true) {
    const int err = LockObject(fd, LockKind::Exclusive, false);
    if (err == 0) break;
    if (err != EAGAIN) return WaitResult::Failed;
    if (milliseconds != kInfinite) {
      const auto now = std::chrono::steady_clock::now();
      if (now >= deadline) return WaitResult::TimedOut;
      poll = std::min(poll, deadline - now);
    }
    std::this_thread::sleep_for(poll);
    poll = std::min<std::chrono::steady_clock::duration>(poll * 2, kLongestPoll);
  }
  char mark = kFree;
  const bool abandoned = ::pread(fd, &mark, 1, 0) == 1 && mark == kHeld;
  WriteMark(fd, kHeld);
  WriteHolder(fd, static_cast<uint32_t>(::getpid()));
  return abandoned ? WaitResult::Abandoned : WaitResult::Acquired;
}

void NamedMutex::Release() {
  if (!IsOpen()) return;
  const int fd = Descriptor(handle_);
  WriteHolder(fd, 0);
  WriteMark(fd, kFree);
  LockObject(fd, LockKind::Unlock, false);
}

NamedMutex::Holder NamedMutex::CurrentHolder() const {
  uint32_t processId = 0;
  if (!IsOpen() || ::pread(Descriptor(handle_), &processId, sizeof processId, kHolderOffset) !=
                       static_cast<ssize_t>(sizeof processId))
    return {};
  // When the process named is gone, whoever holds the lock now did not write
  // its id.
  struct stat st;
  const std::string process = "/proc/" + std::to_string(processId);
  if (processId == 0 || ::stat(process.c_str(), &st) != 0) return {};
  return {processId, Posix::FromNative(Posix::UserName(st.st_uid))};
}

void NamedMutex::Close() {
  if (!IsOpen()) return;
  ::close(Descriptor(handle_));
  handle_ = kNone;
}

}  // namespace VendraPlatform
