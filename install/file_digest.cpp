#include "install/file_digest.h"

#include <memory>

#include "common/text/utf.h"
#include "platform/files.h"

namespace VendraClient {
namespace {

// Files are hashed in pieces of this size: the result is that of hashing the
// whole file at once, without holding a large file in memory.
constexpr size_t kPieceSize = size_t(1) << 20;

// Hashes exactly size bytes from the file's current position. False when the
// file ends early or a read fails, and for size 0, which has nothing to read.
bool HashBytes(VendraPlatform::File& file, uint64_t size, Sha256Path path, std::string& text) {
  if (size == 0) return false;
  const size_t pieceSize = size < kPieceSize ? static_cast<size_t>(size) : kPieceSize;
  std::unique_ptr<uint8_t[]> piece(new (std::nothrow) uint8_t[pieceSize]);
  if (!piece) return false;
  Sha256State state;
  Sha256Start(state, path);
  for (uint64_t left = size; left != 0;) {
    const size_t want = left < pieceSize ? static_cast<size_t>(left) : pieceSize;
    size_t got = 0;
    if (file.Read(piece.get(), want, got) != 0 || got == 0) return false;
    Sha256Add(state, piece.get(), got);
    left -= got;
  }
  Sha256Text(state, text);
  return true;
}

}  // namespace

bool GetFileDigest(std::u16string_view path, std::string& digestText, Sha256Path sha256Path) {
  VendraPlatform::File file;
  if (file.OpenForReading(path) != 0) return false;
  uint64_t size = 0;
  if (file.Size(size) != 0) return false;
  std::string text;
  if (!HashBytes(file, size, sha256Path, text)) return false;
  digestText = std::move(text);
  return true;
}

int VerifyFile(std::u16string_view path, uint32_t expectedSize, uint32_t& sizeCache,
               std::string_view expectedDigest, std::string& digestCache) {
  if (expectedDigest.empty()) return kVerifyFileNoExpectedDigest;
  VendraPlatform::File file;
  if (file.OpenForReading(path) != 0) return kVerifyFileCannotOpen;
  if (sizeCache == 0) {
    uint64_t size = 0;
    if (file.Size(size) != 0) return kVerifyFileCannotRead;
    // A length beyond 32 bits cannot be recorded, nor can it match.
    if (size > UINT32_MAX) return kVerifyFileSizeDiffers;
    sizeCache = static_cast<uint32_t>(size);
  }
  if (sizeCache != expectedSize) return kVerifyFileSizeDiffers;
  // An empty file has nothing to read but a digest all the same; without it
  // a build holding an empty file could never be installed completely.
  if (digestCache.empty() && sizeCache == 0) {
    Sha256State state;
    Sha256Start(state);
    Sha256Text(state, digestCache);
  }
  if (digestCache.empty() && !HashBytes(file, sizeCache, Sha256Path::Best, digestCache))
    return kVerifyFileCannotRead;
  file.Close();
  return VendraText::EqualsIgnoreAsciiCase(digestCache, expectedDigest) ? kVerifyFileMatches
                                                                         : kVerifyFileDigestDiffers;
}

}  // namespace VendraClient
