#include "client/partial_record.h"

#include "common/text/utf.h"
#include "platform/files.h"

namespace VendraClient {

namespace {
// Far more than a record holds: anything larger is not one.
constexpr size_t kLargestRecord = 256;
}  // namespace

std::string PartialRecordText(uint64_t size, const std::string& sha256) {
  std::string digest = sha256.empty() ? std::string("-") : sha256;
  for (char& c : digest) c = static_cast<char>(VendraText::AsciiLower(static_cast<char16_t>(c)));
  return "size " + std::to_string(size) + "\nsha256 " + digest + "\n";
}

bool PartialRecordMatches(const std::u16string& path, const std::string& text) {
  VendraPlatform::File record;
  if (record.OpenForReading(path) != 0) return false;
  std::string held(kLargestRecord + 1, '\0');
  size_t total = 0;
  size_t got = 0;
  while (total < held.size() &&
         record.Read(held.data() + total, held.size() - total, got) == 0 && got != 0)
    total += got;
  held.resize(total);
  return held == text;
}

}  // namespace VendraClient
