#pragma once

namespace VendraClient {

// Time limits of service requests, and how file downloads are retried.
//
// A request whose reply is a text (sign-in, build, catalogue) must be over
// within totalSeconds. A file download has no total limit, which would put
// a floor under the speed of the line for large files; it ends instead when
// fewer than stallBytesPerSecond arrive for stallSeconds in a row (a server
// that accepts and never answers is noticed after stallSeconds too).
// Transient failures of a download (refused or cut connection, a stall,
// a 5xx reply) are tried again downloadAttempts times in all, after pauses
// of retryPauseMs, doubled each time, every attempt continuing from the
// bytes already received.
struct TransportLimits {
  long totalSeconds = 600;
  long connectSeconds = 60;
  long stallSeconds = 60;
  long stallBytesPerSecond = 1;
  int downloadAttempts = 4;
  long retryPauseMs = 1000;
};

TransportLimits CurrentTransportLimits();

// Test-only seam: tests shorten the limits so that a time-out takes seconds.
// The program never calls it.
void SetTransportLimitsForTesting(TransportLimits limits);

}  // namespace VendraClient
