#pragma once

// POSIX layer only: machine-wide named objects (mutexes, shared memory).
// They are files in one folder of a memory file system, the counterpart of
// the kernel's object namespace on Windows: /dev/shm, or
// VENDRA_MACHINE_ROOT/Objects when the machine-wide places are relocated.
// Their locks are open-file-description locks: they belong to the open file,
// not to a thread, and go away with the last descriptor of it (also when the
// process dies).

#include <sys/types.h>

#include <functional>
#include <string>
#include <string_view>

namespace VendraPlatform::Posix {

// The file that stands for the object name of that kind ("mutex", "shm").
// Characters other than letters, digits, space, '.', '_' and '-' are written
// as %XX of their UTF-8 bytes, so that "Global\\A/B" stays one file name.
std::string NamedObjectPath(std::u16string_view name, std::string_view kind);

// Whose object files a process may use.
enum class ObjectOwners {
  // Any user's: the object carries nothing secret (a mutex). Every user may
  // make and hold such a file anyway, so refusing another user's would only
  // let the first run of any user lock everyone else out.
  Anyone,
  // Trusted owners' only (ownership.h): the object carries a secret.
  Trusted,
};

// Opens an existing object file for reading and writing, never through a
// symbolic link. Only a plain file is opened, and only one of the owners
// given; anything else answers EACCES. A descriptor, or -1 with errno set.
int OpenNamedObject(const std::string& path, ObjectOwners owners);

// Makes a new object file with mode: prepare(fd) gets it under a unique
// temporary name first (to size and lock it) and answers 0 or an errno; then
// it is linked into place, so that no process ever sees it half made. It
// belongs to the session owner (ownership.h). A
// descriptor, or -1 with errno set (EEXIST: another process made it first).
int CreateNamedObject(const std::string& path, mode_t mode, const std::function<int(int)>& prepare);

enum class LockKind { Shared, Exclusive, Unlock };
// Locks the whole file through the descriptor's open file description. Without
// wait, a lock held elsewhere answers EAGAIN. 0 or an errno.
int LockObject(int fd, LockKind kind, bool wait);

}  // namespace VendraPlatform::Posix
