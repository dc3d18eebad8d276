#pragma once

#include <cstdint>

namespace VendraClient {

// Time and size limits of service requests, and how file downloads are
// retried. Every number the service could otherwise drive without bound is
// here.
//
// A request whose reply is a text (sign-in, build list, build, utility
// manifest, data, crash report) must be over within totalSeconds, and its
// reply may hold at most largestTextReply bytes: past that the request ends
// at once ("The reply to PATH passed the N bytes a reply may hold; the
// request was ended").
//
// A file download has no total limit, which would put a floor under the
// speed of the line for large files. It ends instead on either of two rules:
// a stall, fewer than stallBytesPerSecond arriving for stallSeconds in a row
// (a server that accepts and never answers is noticed after stallSeconds
// too), and a crawl, fewer than slowBytesPerSecond on average over the last
// slowSeconds. A download stops as soon as it passes the size it is meant to
// have; one whose size nobody stated in advance (a utility manifest or a
// build entry without the compressed size) stops past
// largestUnsizedDownload bytes.
//
// Transient failures of a download (refused or cut connection, a stall or a
// crawl, a 5xx reply) are tried again downloadAttempts times in all, after
// pauses of retryPauseMs, doubled each time, every attempt continuing from
// the bytes already received. The installer waits at most utilityWaitSeconds
// for the package manager's download, retries included, then stops it.
struct TransportLimits {
  long totalSeconds = 600;
  long connectSeconds = 60;
  long stallSeconds = 60;
  long stallBytesPerSecond = 1;
  int downloadAttempts = 4;
  long retryPauseMs = 1000;
  long slowSeconds = 300;
  long slowBytesPerSecond = 4096;
  uint64_t largestTextReply = uint64_t(64) << 20;
  uint64_t largestUnsizedDownload = uint64_t(256) << 20;
  long utilityWaitSeconds = 3600;
};

TransportLimits CurrentTransportLimits();

// Test-only seam: tests shorten the limits so that a time-out takes seconds.
// The program never calls it.
void SetTransportLimitsForTesting(TransportLimits limits);

}  // namespace VendraClient
