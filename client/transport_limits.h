#pragma once

namespace VendraClient {

// Time limits of every service request, in seconds.
struct TransportLimits {
  long totalSeconds = 600;
  long connectSeconds = 60;
};

TransportLimits CurrentTransportLimits();

// Test-only seam: tests shorten the limits so that a time-out takes seconds.
// The program never calls it.
void SetTransportLimitsForTesting(TransportLimits limits);

}  // namespace VendraClient
