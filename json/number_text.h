#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

// Number texts, independent of the process locale.
namespace VendraJSON {

// Longest number text written: a double's "%f" form is at most 309 digits,
// the sign, the point and six decimals.
constexpr size_t kNumberTextMax = 330;

// "%f" (six decimals), then a trailing run of zeros shortened to one zero:
// 1.500000 -> 1.50, 2.000000 -> 2.0, -0.250000 -> -0.250. Returns the length.
size_t FormatNumberText(double value, char* buffer);
// Decimal, '-' for negatives. buffer holds at least 24 characters.
size_t FormatIntegerText(int64_t value, char* buffer);

// The standard text-to-double reading: leading white space, optional sign,
// digits, optional fraction and exponent; the longest valid prefix counts;
// 0 when there is none. Overflow gives an infinity, underflow 0.
double ReadDouble(std::u16string_view text);
double ReadDouble(std::string_view text);
// Decimal signed 64-bit integer with the same prefix rule, saturating at the
// 64-bit bounds.
int64_t ReadInt64(std::u16string_view text);
int64_t ReadInt64(std::string_view text);

// A double truncated toward zero to a 64-bit integer, saturating at the
// bounds; NaN gives 0.
int64_t TruncateToInt64(double value);

}  // namespace VendraJSON
