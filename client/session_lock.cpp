#include "client/session_lock.h"

namespace VendraClient {

NamedMutexLock& SessionLock() {
  static NamedMutexLock lock(u"", u"Global\\Vendra Software-Sync");
  return lock;
}

eVClientResult SessionLockNotObtained(std::u16string& error) {
  const NamedMutexLock& lock = SessionLock();
  // A lock that cannot be opened is no busy lock: saying "timed out" would
  // send the user to wait for nothing.
  if (!lock.Opened()) {
    error = lock.UnopenedText();
    return eVClientResult::Failed;
  }
  error = u"Timed out waiting for synchronization object. " + lock.HeldText();
  return eVClientResult::LockTimeout;
}

}  // namespace VendraClient
