#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "client/result.h"
#include "install/build_file_list.h"
#include "install/codec.h"
#include "packagemanager/engine/chunk_cache.h"
#include "platform/files.h"

namespace VendraBuild {

struct FileWork;

// Where one chunk of a file to rebuild comes from: the installed earlier
// version of the file, or the chunks the install fetched.
struct ChunkPiece {
  const VendraClient::BuildChunk* chunk = nullptr;
  bool fromOld = false;
  uint64_t oldOffset = 0;
};

// How a chunked file is put together instead of expanded from its ".z".
struct RebuildPlan {
  std::u16string chunkFolder;
  std::vector<ChunkPiece> pieces;  // in file order
  std::vector<ChunkRun> runs;      // what this file fetches
  // Other files of the work whose runs hold chunks this one takes.
  std::vector<size_t> waitsFor;
  uint64_t fetchSize = 0;  // the runs' bytes
};

// Gives each file of work from first on that changes, has chunks and whose
// ".z" is not in the cache yet a rebuild plan, when its missing chunks cost
// less than its ".z": the chunks its installed earlier version holds (cut
// again, as the publisher cut it) are reused, those kept in the cache are
// taken from there, and the rest are fetched once for the whole install, in
// runs of neighbouring chunks. Where an installed file is, by its digest,
// the file of one of earlier (the builds the folder held), that build's
// chunk list says where its chunks lie; otherwise it is cut again. Finishes
// what a killed run left in the chunk cache first.
void PlanRebuilds(std::vector<FileWork>& work, size_t first, const std::u16string& downloads,
                  const std::vector<VendraClient::BuildFileList>& earlier);

// The bytes to fetch for the file: its runs, or its ".z".
uint64_t FetchSize(const FileWork& work);

// Writes the file planned from its pieces into output, with their size and
// SHA-256 in written (the caller checks them against the build's).
VendraClient::eVClientResult WriteRebuilt(const RebuildPlan& plan, const std::u16string& oldPath,
                                          VendraPlatform::File& output,
                                          VendraClient::Expansion& written,
                                          std::u16string& error);

}  // namespace VendraBuild
