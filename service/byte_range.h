#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace VendraService {

// What a "Range" request header asks of a body of a known size.
struct ByteRange {
  enum class Kind {
    Whole,          // no header, or one this server does not take: the whole body, 200
    Part,           // one satisfiable range: 206 with Content-Range
    Unsatisfiable,  // starts at or past the end: 416 with "bytes */SIZE"
  };
  Kind kind = Kind::Whole;
  uint64_t first = 0;   // of Part: first byte sent
  uint64_t length = 0;  // of Part: bytes sent

  // The Content-Range value of a Part or an Unsatisfiable reply.
  std::string ContentRange(uint64_t size) const;
};

// Reads "bytes=FIRST-", "bytes=FIRST-LAST" or "bytes=-SUFFIX". Several
// ranges, other units and malformed values give Whole: a server may always
// ignore a range it does not serve.
ByteRange ParseByteRange(const std::optional<std::string>& header, uint64_t size);

}  // namespace VendraService
