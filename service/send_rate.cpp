#include "service/send_rate.h"

#include <algorithm>
#include <charconv>

namespace VendraService {
namespace {

constexpr uint64_t kLargestRate = 1000ULL * 1000 * 1000 * 1000;
constexpr size_t kSmallestStep = 1024;
constexpr size_t kLargestStep = 256 * 1024;

}  // namespace

std::optional<uint64_t> ParseRate(std::string_view text) {
  uint64_t factor = 1;
  if (!text.empty()) {
    switch (text.back()) {
      case 'K': factor = 1000; break;
      case 'M': factor = 1000 * 1000; break;
      case 'G': factor = 1000 * 1000 * 1000; break;
      default: break;
    }
    if (factor != 1) text.remove_suffix(1);
  }
  uint64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size() || value == 0 ||
      value > kLargestRate / factor)
    return std::nullopt;
  return value * factor;
}

SendRate::SendRate(uint64_t bitsPerSecond)
    : bytesPerSecond_(static_cast<double>(bitsPerSecond) / 8.0),
      burst_(std::clamp<size_t>(static_cast<size_t>(bytesPerSecond_ / 50.0), kSmallestStep,
                                kLargestStep)),
      tokens_(static_cast<double>(burst_)),
      refilled_(Clock::now()) {}

bool SendRate::Take(size_t bytes, StopSignal& stop) {
  if (!Limited()) return true;
  double wait = 0;
  {
    std::lock_guard lock(mutex_);
    const Clock::time_point now = Clock::now();
    const double elapsed = std::chrono::duration<double>(now - refilled_).count();
    refilled_ = now;
    tokens_ = std::min(static_cast<double>(burst_), tokens_ + elapsed * bytesPerSecond_);
    tokens_ -= static_cast<double>(bytes);
    if (tokens_ < 0) wait = -tokens_ / bytesPerSecond_;
  }
  if (wait <= 0) return true;
  return !stop.WaitFor(std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::duration<double>(wait)));
}

}  // namespace VendraService
