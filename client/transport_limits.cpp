#include "client/transport_limits.h"

#include <mutex>

namespace VendraClient {

namespace {

std::mutex& LimitsLock() {
  static std::mutex lock;
  return lock;
}

TransportLimits& Limits() {
  static TransportLimits limits;
  return limits;
}

}  // namespace

TransportLimits CurrentTransportLimits() {
  std::lock_guard<std::mutex> locked(LimitsLock());
  return Limits();
}

void SetTransportLimitsForTesting(TransportLimits limits) {
  std::lock_guard<std::mutex> locked(LimitsLock());
  Limits() = limits;
}

}  // namespace VendraClient
