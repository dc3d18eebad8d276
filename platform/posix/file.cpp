// POSIX layer only.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <utility>

#include "platform/files.h"
#include "platform/posix/errno_map.h"
#include "platform/posix/ownership.h"
#include "platform/posix/posix_text.h"
#include "platform/posix/write_all.h"
#include "platform/sys_error.h"

namespace VendraPlatform {

using Posix::SysErrorFromErrno;

File::~File() { Close(); }

File::File(File&& other) noexcept : handle_(std::exchange(other.handle_, -1)) {}

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = std::exchange(other.handle_, -1);
  }
  return *this;
}

namespace {

// Opens without waiting for the other end of a pipe and refuses anything but
// a regular file (answering notPlain), then turns blocking back on for the
// reads and writes. With O_NOFOLLOW a link at the last part answers link.
uint32_t OpenRegular(const std::string& path, int flags, intptr_t& handle,
                     uint32_t notPlain = SysError::kAccessDenied,
                     uint32_t link = SysErrorFromErrno(ELOOP)) {
  // The file is emptied only once it is known to be a regular file.
  const int fd = ::open(path.c_str(), (flags & ~O_TRUNC) | O_NONBLOCK | O_CLOEXEC, 0644);
  if (fd < 0) {
    // A pipe without a reader answers ENXIO to a non-blocking writer.
    if (errno == ENXIO) return SysError::kAccessDenied;
    const int err = errno;
    if (err == ELOOP) return link;
    return (err == ENOENT && (flags & O_CREAT)) ? SysError::kPathNotFound : SysErrorFromErrno(err);
  }
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return notPlain;
  }
  if ((flags & O_TRUNC) && ::ftruncate(fd, 0) != 0) {
    const int err = errno;
    ::close(fd);
    return SysErrorFromErrno(err);
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  handle = fd;
  return SysError::kSuccess;
}

}  // namespace

uint32_t File::OpenForReading(std::u16string_view path) {
  Close();
  return OpenRegular(Posix::NativePath(path), O_RDONLY, handle_);
}

uint32_t File::OpenOwnForReading(std::u16string_view path) {
  Close();
  return OpenRegular(Posix::NativePath(path), O_RDONLY | O_NOFOLLOW, handle_,
                     SysError::kNotAPlainFile, SysError::kNotAPlainFile);
}

uint32_t File::OpenPrivateForReading(std::u16string_view path) {
  Close();
  // A link in the place of a secret, or a file this user may not even
  // read, was put there by someone else: the next save replaces it. A
  // folder or a device stays in the way, and is said.
  const uint32_t opened = OpenRegular(Posix::NativePath(path), O_RDONLY | O_NOFOLLOW, handle_,
                                      SysError::kNotAPlainFile, SysError::kFileNotFound);
  if (opened == SysError::kAccessDenied) return SysError::kFileNotFound;
  if (opened != SysError::kSuccess) return opened;
  const int fd = static_cast<int>(handle_);
  struct stat st;
  if (::fstat(fd, &st) != 0 || !Posix::TrustedOwner(st.st_uid)) {
    Close();
    return SysError::kFileNotFound;
  }
  // Written before secrets were kept private: it stops being readable by
  // everyone now, not only when it is next saved.
  if ((st.st_mode & 077) != 0 && st.st_uid == ::geteuid()) ::fchmod(fd, st.st_mode & 0700);
  return SysError::kSuccess;
}

uint32_t File::CreateForWriting(std::u16string_view path) {
  Close();
  return OpenRegular(Posix::NativePath(path), O_WRONLY | O_CREAT | O_TRUNC, handle_);
}

uint32_t File::OpenForAppending(std::u16string_view path) {
  Close();
  const int fd = ::open(Posix::NativePath(path).c_str(),
                        O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NOFOLLOW, 0644);
  if (fd < 0) {
    const int err = errno;
    return err == ENOENT ? SysError::kPathNotFound : SysErrorFromErrno(err);
  }
  handle_ = fd;
  return SysError::kSuccess;
}

bool File::IsOpen() const { return handle_ >= 0; }

uint32_t File::Read(void* data, size_t size, size_t& read) {
  read = 0;
  if (handle_ < 0) return SysError::kInvalidParameter;
  while (true) {
    const ssize_t got = ::read(static_cast<int>(handle_), data, size);
    if (got >= 0) {
      read = static_cast<size_t>(got);
      return SysError::kSuccess;
    }
    if (errno != EINTR) return SysErrorFromErrno(errno);
  }
}

uint32_t File::Write(const void* data, size_t size) {
  if (handle_ < 0) return SysError::kInvalidParameter;
  return SysErrorFromErrno(Posix::WriteAll(static_cast<int>(handle_), {static_cast<const char*>(data), size}));
}

uint32_t File::Size(uint64_t& size) const {
  struct stat st;
  if (handle_ < 0 || ::fstat(static_cast<int>(handle_), &st) != 0) return SysError::kInvalidParameter;
  size = static_cast<uint64_t>(st.st_size);
  return SysError::kSuccess;
}

uint32_t File::Seek(uint64_t offset) {
  if (handle_ < 0) return SysError::kInvalidParameter;
  return ::lseek(static_cast<int>(handle_), static_cast<off_t>(offset), SEEK_SET) >= 0
             ? SysError::kSuccess
             : SysErrorFromErrno(errno);
}

uint32_t File::Flush() {
  if (handle_ < 0) return SysError::kInvalidParameter;
  return ::fsync(static_cast<int>(handle_)) == 0 ? SysError::kSuccess : SysErrorFromErrno(errno);
}

uint32_t File::Close() {
  if (handle_ < 0) return SysError::kSuccess;
  const int fd = static_cast<int>(std::exchange(handle_, -1));
  // Delayed write errors (a full disk over NFS, say) surface here.
  return ::close(fd) == 0 ? SysError::kSuccess : SysErrorFromErrno(errno);
}

}  // namespace VendraPlatform
