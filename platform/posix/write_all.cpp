// POSIX layer only.
#include "platform/posix/write_all.h"

#include <unistd.h>

#include <cerrno>

namespace VendraPlatform::Posix {

int WriteAll(int fd, std::string_view bytes) {
  for (size_t done = 0; done < bytes.size();) {
    const ssize_t put = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (put < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    // A write that takes nothing and names no error has no room left.
    if (put == 0) return ENOSPC;
    done += static_cast<size_t>(put);
  }
  return 0;
}

int WriteSyncClose(int fd, std::string_view bytes) {
  int err = WriteAll(fd, bytes);
  if (!err && ::fsync(fd) != 0) err = errno;
  // close reports a delayed write error on some file systems: it counts too.
  if (::close(fd) != 0 && !err) err = errno;
  return err;
}

}  // namespace VendraPlatform::Posix
