#pragma once

#include <cstdint>
#include <string>

#include "client/named_mutex_lock.h"
#include "client/result.h"

namespace VendraClient {

// The session lock: the one lock that orders every read and write of the
// stored session among the vendor's programs on this machine. The process
// has one, made at its first use (the installer makes it before its entry
// point runs, after its clients) and kept until the process ends.
NamedMutexLock& SessionLock();

// How long the service client's requests wait for the session lock.
constexpr uint32_t kSessionLockWaitMs = 60000;

// The answer of an operation that did not get the session lock: -4 with the
// time-out text and who holds the lock, or -1 with a text naming the lock
// when it cannot be opened at all.
eVClientResult SessionLockNotObtained(std::u16string& error);

}  // namespace VendraClient
