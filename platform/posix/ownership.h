#pragma once

// POSIX layer only: whose secrets this process keeps. The session file, the
// shared-memory block and the mutexes that guard them live in folders every
// user may add files to, so each is trusted only for the owner checked here.

#include <sys/types.h>

#include <string>

namespace VendraPlatform::Posix {

// The user whose session this process keeps: the user it runs as or, when it
// runs as root through sudo, the user who invoked sudo.
uid_t SessionOwner();

// True when owner is root or the user this process runs as: the only owners
// of a folder this process runs or places programs from. The session owner
// sudo names is not among them: that user's files are never run as root.
bool OwnedByRootOrSelf(uid_t owner);

// True when a file or object owned by owner may hold or guard this process's
// session: root's (the administrator may read everything anyway), the
// process's own user's and the session owner's. Another user's object is
// treated as absent and never written through.
bool TrustedOwner(uid_t owner);

// A user for messages: "name (uid)", or "user uid" without a name.
std::string UserName(uid_t uid);

// Gives a file this process made for the session to the session owner, when
// that is another user than the one it runs as. 0 or an errno.
int GiveToSessionOwner(int fd);

}  // namespace VendraPlatform::Posix
