#include "client/session_lock.h"

namespace VendraClient {

NamedMutexLock& SessionLock() {
  static NamedMutexLock lock(u"", u"Global\\Vendra Software-Sync");
  return lock;
}

eVClientResult SessionLockTimedOut(std::u16string& error) {
  error = u"Timed out waiting for synchronization object";
  return eVClientResult::LockTimeout;
}

}  // namespace VendraClient
