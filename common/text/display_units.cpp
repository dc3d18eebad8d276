#include "common/text/display_units.h"

#include <cmath>
#include <cstdio>

namespace VendraText {

std::string FormatBytes(uint64_t bytes) {
  static const char* const kUnits[] = {"kB", "MB", "GB", "TB"};
  if (bytes < 1000) return std::to_string(bytes) + " B";
  double value = static_cast<double>(bytes) / 1000.0;
  size_t unit = 0;
  while (value >= 1000.0 && unit + 1 < sizeof kUnits / sizeof kUnits[0]) {
    value /= 1000.0;
    ++unit;
  }
  char text[32];
  std::snprintf(text, sizeof text, unit >= 2 ? "%.2f %s" : "%.1f %s", value, kUnits[unit]);
  return text;
}

std::string FormatRate(double bytesPerSecond) {
  if (!(bytesPerSecond > 0) || !std::isfinite(bytesPerSecond)) return "-";
  return FormatBytes(static_cast<uint64_t>(bytesPerSecond)) + "/s";
}

std::string FormatDuration(double seconds) {
  if (!(seconds >= 0) || !std::isfinite(seconds) || seconds > 100.0 * 24 * 3600) return "-";
  const auto whole = static_cast<uint64_t>(std::llround(seconds));
  char text[32];
  if (whole < 60) {
    std::snprintf(text, sizeof text, "%llu s", static_cast<unsigned long long>(whole));
  } else if (whole < 3600) {
    std::snprintf(text, sizeof text, "%llu min %02llu s",
                  static_cast<unsigned long long>(whole / 60),
                  static_cast<unsigned long long>(whole % 60));
  } else {
    std::snprintf(text, sizeof text, "%llu h %02llu min",
                  static_cast<unsigned long long>(whole / 3600),
                  static_cast<unsigned long long>(whole / 60 % 60));
  }
  return text;
}

}  // namespace VendraText
