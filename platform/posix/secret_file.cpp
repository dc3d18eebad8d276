// POSIX layer only.
#include "platform/secret_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/posix/errno_map.h"
#include "platform/posix/posix_text.h"
#include "platform/posix/write_all.h"

namespace VendraPlatform {

uint32_t CreateSecretFile(std::u16string_view path, std::string_view bytes) {
  const std::string target = Posix::NativePath(path);
  // O_EXCL with O_CREAT never follows a link at the last component; the mode
  // is applied at creation, so the secret is never readable by others.
  const int fd = ::open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return Posix::SysErrorFromErrno(errno);
  // A umask cannot widen the mode, but a set-group-id folder or an odd ACL
  // default could: state it once more on the open file.
  int err = ::fchmod(fd, 0600) == 0 ? 0 : errno;
  if (err) {
    ::close(fd);
  } else {
    err = Posix::WriteSyncClose(fd, bytes);
  }
  if (err) {
    ::unlink(target.c_str());
    return Posix::SysErrorFromErrno(err);
  }
  return 0;
}

}  // namespace VendraPlatform
