#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string_view>

#include "service/stop_signal.h"

namespace VendraService {

// The "--rate" value: bits per second, as digits with an optional K, M or G
// (thousands, as line speeds are quoted). Nothing when malformed, zero or
// beyond 1000G.
std::optional<uint64_t> ParseRate(std::string_view text);

// Holds the reply bodies of the whole server to one sending rate: a single
// token bucket that every connection draws on, as the connections of one
// client share the one line of a user (several downloads at once on a slow
// line are no faster than one). A sender takes its bytes before it sends
// them and, when the bucket runs short, waits until the bucket has refilled
// what it took; waiters are served in the order they took, so no connection
// starves. A burst of 20 ms of sending is allowed after an idle time.
class SendRate {
 public:
  // 0: no limit.
  explicit SendRate(uint64_t bitsPerSecond);
  bool Limited() const { return bytesPerSecond_ != 0; }
  // How many bytes to send in one step, so that the sending stays smooth.
  size_t Step() const { return burst_; }
  // Waits until bytes may be sent; false when the service stops meanwhile.
  bool Take(size_t bytes, StopSignal& stop);

 private:
  using Clock = std::chrono::steady_clock;
  const double bytesPerSecond_;
  const size_t burst_;
  std::mutex mutex_;
  double tokens_;  // negative: taken ahead of the refill
  Clock::time_point refilled_;
};

}  // namespace VendraService
