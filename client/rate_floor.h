#pragma once

#include <chrono>
#include <cstdint>
#include <deque>

namespace VendraClient {

// The slowest a download may be: on average at least bytesPerSecond over any
// window of the last `seconds`. libcurl's own speed limit measures only a
// few seconds back, which suits a stall but not a transfer that trickles
// along just above it; this one keeps about one sample a second of the
// whole window.
class RateFloor {
 public:
  using Clock = std::chrono::steady_clock;

  RateFloor(long bytesPerSecond, long seconds);
  // Told the bytes received so far at now (calls come in time order); true
  // once a full window has passed with fewer bytes than the floor asks.
  bool Broken(Clock::time_point now, uint64_t bytes);

 private:
  struct Sample {
    Clock::time_point at;
    uint64_t bytes;
  };
  long bytesPerSecond_;
  Clock::duration window_;
  std::deque<Sample> samples_;
};

}  // namespace VendraClient
