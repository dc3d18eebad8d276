#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "common/memory/ref_ptr.h"
#include "install/sha256.h"
#include "packagemanager/chunks/content_chunker.h"
#include "platform/files.h"

namespace VendraJSON {
class VSJArray;
}

namespace VendraCatalogue {

// A chunk as a build lists it: its bytes, their zlib stream, and where that
// stream lies (the store's pack number, resolved by ChunkStore::PackName).
struct StoredChunk {
  std::string sha256;
  uint32_t size = 0;
  uint32_t compressedSize = 0;
  size_t pack = 0;
  uint64_t offset = 0;
};

// The chunks of one product's builds, shared by all its versions:
//   ROOT/chunks/PRODUCT/NAME.pack  the chunks' zlib streams, one after another
//   ROOT/chunks/PRODUCT/NAME.json  the publisher's list of them
// NAME is the first 32 hexadecimal digits of the pack's SHA-256: a pack is
// written once under a new temporary name and renamed to its own, and never
// changes after that, so builds of other versions that point into it stay
// good. Its list is written after it; a pack without one (a publish cut
// short) is left out and written again by the rerun. A chunk the store holds
// is never stored again.
class ChunkStore {
 public:
  ChunkStore() = default;
  ~ChunkStore();
  ChunkStore(const ChunkStore&) = delete;
  ChunkStore& operator=(const ChunkStore&) = delete;

  // Reads the lists of the packs already in ROOT/chunks/PRODUCT.
  bool Open(const std::u16string& root, const std::string& product, std::u16string& error);
  // Cuts the file at path into chunks and stores those the store lacks;
  // chunks gets the file's list. The file must still be size bytes with
  // the digest sha256 (as its ".z" was made): a file that changed between
  // the two reads is refused.
  bool AddFile(const std::u16string& path, uint64_t size, const std::string& sha256,
               std::vector<StoredChunk>& chunks, std::u16string& error);
  // Puts the new pack in place under its name, then its list.
  bool Finish(std::u16string& error);
  // The name of pack number index; the new pack's only after Finish.
  const std::string& PackName(size_t index) const { return packs_[index]; }

  // The chunk list a build's file entry carries.
  Vendra::RefPtr<VendraJSON::VSJArray> ListOf(const std::vector<StoredChunk>& chunks) const;

 private:
  bool Store(const VendraChunks::Chunk& chunk, const uint8_t* bytes, StoredChunk& stored,
             std::u16string& error);
  bool ReadPackList(const std::u16string& listPath, const std::string& name);

  std::u16string folder_;
  std::vector<std::string> packs_;            // names; the last one is the new pack's
  std::map<std::string, StoredChunk> known_;  // by SHA-256 and size
  std::vector<StoredChunk> added_;            // in the new pack, in order
  std::u16string partial_;                    // the new pack being written
  VendraPlatform::File output_;
  VendraClient::Sha256State packDigest_{};
  uint64_t packSize_ = 0;
};

}  // namespace VendraCatalogue
