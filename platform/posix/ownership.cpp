// POSIX layer only.
#include "platform/posix/ownership.h"

#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace VendraPlatform::Posix {
namespace {

constexpr uid_t kRoot = 0;

// sudo names the invoking user in the environment it gives root. Only root's
// own environment is read, and only a plain decimal user number counts.
uid_t InvokingUser() {
  const char* text = std::getenv("SUDO_UID");
  if (!text || *text < '0' || *text > '9') return kRoot;
  char* end = nullptr;
  errno = 0;
  const unsigned long value = std::strtoul(text, &end, 10);
  if (errno != 0 || *end != '\0' || value != static_cast<uid_t>(value)) return kRoot;
  return static_cast<uid_t>(value);
}

}  // namespace

uid_t SessionOwner() {
  const uid_t self = ::geteuid();
  // A program made set-user-id would read a caller's choice here; only a
  // process that root really started believes sudo's word.
  return self == kRoot && ::getuid() == kRoot ? InvokingUser() : self;
}

bool OwnedByRootOrSelf(uid_t owner) { return owner == kRoot || owner == ::geteuid(); }

bool TrustedOwner(uid_t owner) { return OwnedByRootOrSelf(owner) || owner == SessionOwner(); }

std::string UserName(uid_t uid) {
  struct passwd entry;
  struct passwd* found = nullptr;
  char buffer[1024];
  if (::getpwuid_r(uid, &entry, buffer, sizeof buffer, &found) == 0 && found)
    return std::string(found->pw_name) + " (" + std::to_string(uid) + ")";
  return "user " + std::to_string(uid);
}

int GiveToSessionOwner(int fd) {
  const uid_t owner = SessionOwner();
  if (owner == ::geteuid()) return 0;
  // The group stays as it is: the mode gives it nothing.
  return ::fchown(fd, owner, static_cast<gid_t>(-1)) == 0 ? 0 : errno;
}

}  // namespace VendraPlatform::Posix
