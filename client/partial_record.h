#pragma once

#include <cstdint>
#include <string>

namespace VendraClient {

// A download's partial file is continued in a later run only when the file
// asked for then is the one its bytes were taken from. What the whole file
// was to be (its size and SHA-256, as far as the caller knew them) is
// written beside the partial file, under the partial file's name followed by
// ".expected", when the partial file is started, and goes with it.

// The record of a file of size bytes (0: unknown) and SHA-256 sha256 (empty:
// unknown; either letter case).
std::string PartialRecordText(uint64_t size, const std::string& sha256);

// True when the record at path says exactly text. A missing, unreadable or
// oversized record does not.
bool PartialRecordMatches(const std::u16string& path, const std::string& text);

}  // namespace VendraClient
