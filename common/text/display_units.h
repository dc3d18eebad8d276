#pragma once

#include <cstdint>
#include <string>

// Quantities as people read them in progress lines and listings.
namespace VendraText {

// "512 B", "3.4 kB", "12.0 MB", "1.25 GB" (powers of 1000).
std::string FormatBytes(uint64_t bytes);

// "12.0 MB/s"; "-" when the rate is not known yet.
std::string FormatRate(double bytesPerSecond);

// "7 s", "3 min 05 s", "2 h 04 min"; "-" for a negative or unknown time.
std::string FormatDuration(double seconds);

}  // namespace VendraText
