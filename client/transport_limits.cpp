#include "client/transport_limits.h"

#include <atomic>

namespace VendraClient {

namespace {
std::atomic<long> totalSeconds{TransportLimits{}.totalSeconds};
std::atomic<long> connectSeconds{TransportLimits{}.connectSeconds};
}  // namespace

TransportLimits CurrentTransportLimits() {
  return TransportLimits{totalSeconds.load(), connectSeconds.load()};
}

void SetTransportLimitsForTesting(TransportLimits limits) {
  totalSeconds = limits.totalSeconds;
  connectSeconds = limits.connectSeconds;
}

}  // namespace VendraClient
