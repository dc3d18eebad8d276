#include "service/byte_range.h"

#include <algorithm>
#include <charconv>
#include <string_view>

namespace VendraService {

namespace {

std::optional<uint64_t> Number(std::string_view text) {
  if (text.empty()) return std::nullopt;
  uint64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

}  // namespace

std::string ByteRange::ContentRange(uint64_t size) const {
  if (kind != Kind::Part) return "bytes */" + std::to_string(size);
  return "bytes " + std::to_string(first) + "-" + std::to_string(first + length - 1) + "/" +
         std::to_string(size);
}

ByteRange ParseByteRange(const std::optional<std::string>& header, uint64_t size) {
  ByteRange whole;
  if (!header) return whole;
  std::string_view asked = *header;
  constexpr std::string_view kUnit = "bytes=";
  if (asked.substr(0, kUnit.size()) != kUnit) return whole;
  asked.remove_prefix(kUnit.size());
  const size_t dash = asked.find('-');
  if (dash == std::string_view::npos || asked.find(',') != std::string_view::npos) return whole;
  const std::string_view firstText = asked.substr(0, dash);
  const std::string_view lastText = asked.substr(dash + 1);

  ByteRange range;
  range.kind = ByteRange::Kind::Part;
  if (firstText.empty()) {
    // The last SUFFIX bytes; an empty body has none to give.
    const auto suffix = Number(lastText);
    if (!suffix) return whole;
    if (*suffix == 0 || size == 0) return ByteRange{ByteRange::Kind::Unsatisfiable};
    range.length = std::min(*suffix, size);
    range.first = size - range.length;
    return range;
  }
  const auto first = Number(firstText);
  if (!first) return whole;
  uint64_t last = size == 0 ? 0 : size - 1;
  if (!lastText.empty()) {
    const auto given = Number(lastText);
    if (!given || *given < *first) return whole;
    last = std::min(*given, last);
  }
  if (*first >= size) return ByteRange{ByteRange::Kind::Unsatisfiable};
  range.first = *first;
  range.length = last - *first + 1;
  return range;
}

}  // namespace VendraService
