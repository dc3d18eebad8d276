#include "client/rate_floor.h"

namespace VendraClient {

namespace {
constexpr auto kSampleSpacing = std::chrono::seconds(1);
}

RateFloor::RateFloor(long bytesPerSecond, long seconds)
    : bytesPerSecond_(bytesPerSecond), window_(std::chrono::seconds(seconds)) {}

bool RateFloor::Broken(Clock::time_point now, uint64_t bytes) {
  if (bytesPerSecond_ <= 0 || window_ <= Clock::duration::zero()) return false;
  if (samples_.empty() || now - samples_.back().at >= kSampleSpacing)
    samples_.push_back({now, bytes});
  // The oldest sample kept is the latest one at least a window old, so the
  // rate is taken over a window or a little more, never less.
  while (samples_.size() >= 2 && now - samples_[1].at >= window_) samples_.pop_front();
  const Sample& first = samples_.front();
  const auto elapsed = now - first.at;
  if (elapsed < window_) return false;
  const auto elapsedMs = std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count();
  // bytes / seconds < floor, without a division.
  return (bytes - first.bytes) * 1000 < static_cast<uint64_t>(bytesPerSecond_) *
                                            static_cast<uint64_t>(elapsedMs);
}

}  // namespace VendraClient
