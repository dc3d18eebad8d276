// POSIX layer only.
#include "platform/posix/named_objects.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "platform/files.h"
#include "platform/posix/ownership.h"
#include "platform/posix/posix_text.h"

namespace VendraPlatform::Posix {
namespace {

constexpr char kSystemObjectFolder[] = "/dev/shm";

// Every user's programs create objects here, as in the system's /dev/shm:
// anyone may add a file, only its owner may remove it.
std::string ObjectFolder() {
  const char* root = std::getenv("VENDRA_MACHINE_ROOT");
  if (!root || !*root) return kSystemObjectFolder;
  // The relocated root may not exist yet when the first object is made,
  // before anything else of the program has run.
  CreateFolderTree(FromNative(root));
  const std::string folder = std::string(root) + "/Objects";
  if (::mkdir(folder.c_str(), 01777) == 0) ::chmod(folder.c_str(), 01777);
  return folder;
}

bool KeptInFileName(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == ' ' ||
         c == '.' || c == '_' || c == '-';
}

}  // namespace

std::string NamedObjectPath(std::u16string_view name, std::string_view kind) {
  std::string file;
  for (const char c : Native(name)) {
    const auto byte = static_cast<unsigned char>(c);
    if (KeptInFileName(byte)) {
      file += c;
    } else {
      char escaped[4];
      std::snprintf(escaped, sizeof escaped, "%%%02X", byte);
      file += escaped;
    }
  }
  return ObjectFolder() + "/vendra." + file + "." + std::string(kind);
}

int OpenNamedObject(const std::string& path, ObjectOwners owners) {
  const int fd = ::open(path.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return errno == ELOOP ? (errno = EACCES, -1) : -1;
  struct stat st;
  // A link or a folder in the object's place is nobody's object. A secret's
  // file made by someone else would hand them what it carries: another user
  // could make such a file only to catch ours.
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
      (owners == ObjectOwners::Trusted && !TrustedOwner(st.st_uid))) {
    ::close(fd);
    errno = EACCES;
    return -1;
  }
  return fd;
}

int CreateNamedObject(const std::string& path, mode_t mode, const std::function<int(int)>& prepare) {
  static std::atomic<unsigned> counter{0};
  const std::string temp = path + ".new-" + std::to_string(::getpid()) + "-" +
                           std::to_string(counter.fetch_add(1));
  const int fd = ::open(temp.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
  if (fd < 0) return -1;
  // The creation mode went through the umask; the object's rights must be exact.
  int err = ::fchmod(fd, mode) == 0 ? 0 : errno;
  // Made by root on behalf of the user who ran it through sudo: that user's
  // own programs share it.
  if (!err) err = GiveToSessionOwner(fd);
  if (!err) err = prepare(fd);
  if (!err && ::link(temp.c_str(), path.c_str()) != 0) err = errno;
  ::unlink(temp.c_str());
  if (err) {
    ::close(fd);
    errno = err;
    return -1;
  }
  return fd;
}

int LockObject(int fd, LockKind kind, bool wait) {
  struct flock lock = {};
  lock.l_type = kind == LockKind::Shared ? F_RDLCK : kind == LockKind::Exclusive ? F_WRLCK : F_UNLCK;
  lock.l_whence = SEEK_SET;
  lock.l_start = 0;
  lock.l_len = 0;
  while (::fcntl(fd, wait ? F_OFD_SETLKW : F_OFD_SETLK, &lock) != 0) {
    if (errno == EINTR) continue;
    return errno == EACCES ? EAGAIN : errno;
  }
  return 0;
}

}  // namespace VendraPlatform::Posix
