// POSIX layer only.
#include "platform/shared_memory.h"

#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/posix/errno_map.h"
#include "platform/posix/named_objects.h"
#include "platform/sys_error.h"

namespace VendraPlatform {
namespace {

using Posix::LockKind;
using Posix::LockObject;

// Only the creating user (and the administrator) may open the block: it
// carries the access token of whoever signed in.
constexpr mode_t kBlockMode = 0600;
constexpr mode_t kOthersRights = 0077;

// A block can vanish between being opened and being locked, when its last
// user closes it just then; a few more attempts find the next state.
constexpr int kAttempts = 8;

constexpr char kKind[] = "shm";

int Descriptor(intptr_t handle) { return static_cast<int>(handle); }

// Zero-fills the block in place. False when the file cannot be cut, which
// only happens to a file this user may not change.
bool EmptyFile(int fd, off_t size) { return ::ftruncate(fd, 0) == 0 && ::ftruncate(fd, size) == 0; }

// Opens the block file and takes this process's shared lock on it. Answers
// the descriptor, -1 with errno, or -2 when the block was removed meanwhile.
int OpenAndJoin(const std::string& path, bool& refused) {
  refused = false;
  const int fd = Posix::OpenNamedObject(path, Posix::ObjectOwners::Trusted);
  if (fd < 0) return -1;
  struct stat st;
  if (::fstat(fd, &st) != 0 || (st.st_mode & kOthersRights) != 0) {
    // A block others may read or replace would hand the token to anyone: it
    // was not made by one of our programs.
    ::close(fd);
    refused = true;
    return -1;
  }
  if (LockObject(fd, LockKind::Exclusive, false) == 0) {
    // Nobody has it open: the processes that used it ended without closing
    // it, and its content is as gone as theirs.
    EmptyFile(fd, st.st_size);
    LockObject(fd, LockKind::Shared, false);
  } else if (const int err = LockObject(fd, LockKind::Shared, true)) {
    ::close(fd);
    errno = err;
    return -1;
  }
  if (::fstat(fd, &st) != 0 || st.st_nlink == 0) {
    ::close(fd);
    return -2;
  }
  return fd;
}

}  // namespace

SharedMemory::~SharedMemory() { Close(); }

uint32_t SharedMemory::OpenExisting(std::u16string_view name) {
  Close();
  const std::string path = Posix::NamedObjectPath(name, kKind);
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    bool refused = false;
    const int fd = OpenAndJoin(path, refused);
    if (refused) return SysError::kAccessDenied;
    if (fd == -2) continue;
    if (fd < 0) return Posix::SysErrorFromErrno(errno);
    handle_ = fd;
    name_ = name;
    return SysError::kSuccess;
  }
  return SysError::kFileNotFound;
}

uint32_t SharedMemory::Create(std::u16string_view name, uint32_t size) {
  const std::string path = Posix::NamedObjectPath(name, kKind);
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    const uint32_t opened = OpenExisting(name);
    if (opened != SysError::kFileNotFound) return opened;
    const int fd = Posix::CreateNamedObject(path, kBlockMode, [size](int newFd) {
      // A new file reads as zeros; the creator's shared lock is in place
      // before any other process can find it.
      if (::ftruncate(newFd, static_cast<off_t>(size)) != 0) return errno;
      return LockObject(newFd, LockKind::Shared, false);
    });
    if (fd >= 0) {
      handle_ = fd;
      name_ = name;
      return SysError::kSuccess;
    }
    if (errno != EEXIST) return Posix::SysErrorFromErrno(errno);
  }
  return SysError::kAlreadyExists;
}

uint32_t SharedMemory::Map(uint32_t size) {
  if (!IsOpen()) return SysError::kInvalidParameter;
  if (view_) return SysError::kSuccess;
  const int fd = Descriptor(handle_);
  struct stat st;
  if (::fstat(fd, &st) != 0) return Posix::SysErrorFromErrno(errno);
  // Touching a page beyond the end of the file would kill the process.
  if (st.st_size < static_cast<off_t>(size)) return SysError::kInvalidParameter;
  void* view = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  if (view == MAP_FAILED) return Posix::SysErrorFromErrno(errno);
  view_ = view;
  viewSize_ = size;
  return SysError::kSuccess;
}

void SharedMemory::Unmap() {
  if (!view_) return;
  ::munmap(view_, viewSize_);
  view_ = nullptr;
  viewSize_ = 0;
}

void SharedMemory::Close() {
  Unmap();
  if (!IsOpen()) return;
  const int fd = Descriptor(handle_);
  if (LockObject(fd, LockKind::Exclusive, false) == 0) {
    // The last user leaves: the block goes with it. Our lock keeps anyone
    // from joining until the name is gone; whoever opened it meanwhile sees
    // it removed and starts afresh.
    const std::string path = Posix::NamedObjectPath(name_, kKind);
    struct stat mine;
    struct stat named;
    const bool stillNamed = ::fstat(fd, &mine) == 0 && ::stat(path.c_str(), &named) == 0 &&
                            mine.st_dev == named.st_dev && mine.st_ino == named.st_ino;
    if (!stillNamed || ::unlink(path.c_str()) != 0) EmptyFile(fd, mine.st_size);
  }
  ::close(fd);
  handle_ = kNone;
  name_.clear();
}

}  // namespace VendraPlatform
