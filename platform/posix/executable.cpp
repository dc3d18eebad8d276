// POSIX layer only.
#include "platform/executable.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/posix/errno_map.h"
#include "platform/posix/folder_inside.h"
#include "platform/sys_error.h"

namespace VendraPlatform {

uint32_t MarkExecutable(std::u16string_view within, std::u16string_view path) {
  int folder = -1;
  std::string name;
  if (const uint32_t err = Posix::OpenFolderOfFile(within, path, folder, name)) return err;
  // The mode is changed on the descriptor of what was opened by name in the
  // checked folder, never through a path: a link swapped in at the name
  // fails the open, and a second name (a hard link to another file) or a
  // special file is refused before anything changes.
  const int fd = ::openat(folder, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  const int openError = errno;
  ::close(folder);
  if (fd < 0) return openError == ELOOP ? SysError::kAccessDenied : Posix::SysErrorFromErrno(openError);
  struct stat st;
  uint32_t err = SysError::kSuccess;
  if (::fstat(fd, &st) != 0)
    err = Posix::SysErrorFromErrno(errno);
  else if (!S_ISREG(st.st_mode) || st.st_nlink != 1)
    err = SysError::kAccessDenied;
  else if (::fchmod(fd, 0755) != 0)
    err = Posix::SysErrorFromErrno(errno);
  ::close(fd);
  return err;
}

}  // namespace VendraPlatform
