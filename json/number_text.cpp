#include "json/number_text.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace VendraJSON {
namespace {

template <typename Char>
bool IsSpace(Char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
template <typename Char>
bool IsDigit(Char c) { return c >= '0' && c <= '9'; }

template <typename Char>
size_t SkipSpaceAndSign(std::basic_string_view<Char> text, bool& negative) {
  size_t i = 0;
  while (i < text.size() && IsSpace(text[i])) ++i;
  negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  return i;
}

}  // namespace

size_t FormatNumberText(double value, char* buffer) {
  char* end = std::to_chars(buffer, buffer + kNumberTextMax, value, std::chars_format::fixed, 6).ptr;
  size_t length = static_cast<size_t>(end - buffer);
  if (length >= 2 && buffer[length - 1] == '0') {
    // Each '0' left of the last character lets that last character go.
    size_t i = length - 2;
    while (buffer[i] == '0') {
      --length;
      if (i == 0) break;
      --i;
    }
  }
  return length;
}

size_t FormatIntegerText(int64_t value, char* buffer) {
  return static_cast<size_t>(std::to_chars(buffer, buffer + 24, value).ptr - buffer);
}

template <typename Char>
double ReadDoubleOf(std::basic_string_view<Char> text) {
  bool negative = false;
  size_t i = SkipSpaceAndSign(text, negative);
  // The prefix that can form a number: digits, one point, digits, and an
  // exponent only when digits follow it.
  const size_t start = i;
  size_t digits = 0;
  while (i < text.size() && IsDigit(text[i])) ++i, ++digits;
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() && IsDigit(text[i])) ++i, ++digits;
  }
  if (digits == 0) return 0.0;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    size_t j = i + 1;
    if (j < text.size() && (text[j] == '+' || text[j] == '-')) ++j;
    if (j < text.size() && IsDigit(text[j])) {
      while (j < text.size() && IsDigit(text[j])) ++j;
      i = j;
    }
  }
  // Zeroed although every byte used is written below: GCC at -O3 cannot see
  // that and warns, which breaks callers who build the library with -Werror.
  char small[64] = {};
  std::string large;
  char* narrow = small;
  const size_t length = i - start;
  if (length > sizeof small) {
    large.resize(length);
    narrow = large.data();
  }
  for (size_t k = 0; k < length; ++k) narrow[k] = static_cast<char>(text[start + k]);

  double value = 0.0;
  const auto [ptr, ec] = std::from_chars(narrow, narrow + length, value, std::chars_format::general);
  if (ec == std::errc::result_out_of_range) {
    // Decide between overflow and underflow from the decimal exponent of the
    // first significant digit.
    int64_t exponent = 0;
    size_t k = 0;
    int64_t leading = 0;  // digits before the point
    bool seenPoint = false, seenSignificant = false;
    for (; k < length && narrow[k] != 'e' && narrow[k] != 'E'; ++k) {
      if (narrow[k] == '.') {
        seenPoint = true;
      } else if (!seenSignificant && narrow[k] == '0') {
        if (seenPoint) --leading;
      } else {
        seenSignificant = true;
        if (!seenPoint) ++leading;
      }
    }
    if (k < length) {
      ++k;
      bool negativeExponent = false;
      if (narrow[k] == '+' || narrow[k] == '-') negativeExponent = narrow[k++] == '-';
      for (; k < length && exponent < 100000; ++k) exponent = exponent * 10 + (narrow[k] - '0');
      if (negativeExponent) exponent = -exponent;
    }
    value = (leading + exponent > 0) ? std::numeric_limits<double>::infinity() : 0.0;
  }
  return negative ? -value : value;
}

template <typename Char>
int64_t ReadInt64Of(std::basic_string_view<Char> text) {
  bool negative = false;
  size_t i = SkipSpaceAndSign(text, negative);
  // Accumulate as a negative number so that the minimum fits.
  constexpr int64_t kMin = std::numeric_limits<int64_t>::min();
  int64_t value = 0;
  bool saturated = false;
  for (; i < text.size() && IsDigit(text[i]); ++i) {
    const int digit = text[i] - '0';
    if (value < (kMin + digit) / 10) {
      saturated = true;
      break;
    }
    value = value * 10 - digit;
  }
  if (negative) return saturated ? kMin : value;
  if (saturated || value == kMin) return std::numeric_limits<int64_t>::max();
  return -value;
}

double ReadDouble(std::u16string_view text) { return ReadDoubleOf(text); }
double ReadDouble(std::string_view text) { return ReadDoubleOf(text); }
int64_t ReadInt64(std::u16string_view text) { return ReadInt64Of(text); }
int64_t ReadInt64(std::string_view text) { return ReadInt64Of(text); }

int64_t TruncateToInt64(double value) {
  if (std::isnan(value)) return 0;
  if (value >= 9223372036854775808.0) return std::numeric_limits<int64_t>::max();
  if (value < -9223372036854775808.0) return std::numeric_limits<int64_t>::min();
  return static_cast<int64_t>(value);
}

}  // namespace VendraJSON
