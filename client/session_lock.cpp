#include "client/session_lock.h"

namespace VendraClient {

NamedMutexLock& SessionLock() {
  static NamedMutexLock lock(u"", u"Global\\Vendra Software-Sync");
  return lock;
}

eVClientResult SessionLockTimedOut(std::u16string& error) {
  // Another user's object in the lock's place is refused at once; saying
  // "timed out" would send the user to wait for nothing.
  error = SessionLock().RefusedAsForeign()
              ? u"The machine-wide session lock cannot be used: an object of that name was made by "
                u"another user and is refused, so that it can neither guard nor watch the session. "
                u"End that user's programs or remove the object as an administrator, then run "
                u"again."
              : u"Timed out waiting for synchronization object";
  return eVClientResult::LockTimeout;
}

}  // namespace VendraClient
