#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "client/result.h"
#include "install/build_file_list.h"
#include "common/memory/ref_ptr.h"
#include "install/vbuffer.h"

// The chunks an install fetched, kept in the version's download cache (and
// so cleaned with it) until the install is complete:
//   chunks/SHA256.z      one chunk's zlib stream, checked when it was kept
//   chunks/run-KEY.z     neighbouring chunks of one pack, as one range
//                        request fetches them (".partial" while they arrive)
//   chunks/run-KEY.list  what the run holds, written before it is fetched
// A run is split into its chunks once whole, each checked as it is split,
// and then removed with its list; a run whose split a kill cut short is
// split by the next run from its list, so no fetched byte is fetched again.
namespace VendraBuild {

inline constexpr char16_t kChunkFolderName[] = u"chunks";

// Neighbouring chunks of one pack, fetched by one range request.
struct ChunkRun {
  std::string pack;
  uint64_t offset = 0;
  uint64_t size = 0;  // compressed bytes
  std::vector<VendraClient::BuildChunk> chunks;  // in pack order
  std::u16string path;                           // run-KEY.z
};

std::u16string ChunkPath(const std::u16string& folder, const std::string& sha256);

// Gives run its path, from the digest of what it holds.
void NameRun(const std::u16string& folder, ChunkRun& run);

// Writes the run's list beside where it is fetched to.
uint32_t WriteRunList(const ChunkRun& run);

// Splits the whole run file into checked chunk files, then removes it and
// its list. A chunk that does not inflate to its size and SHA-256 discards
// the run (VerifyFailed, with a text naming the chunk and fileName).
VendraClient::eVClientResult SplitRun(const ChunkRun& run, const std::u16string& fileName,
                                      std::u16string& error);

// Splits the whole runs a run before this one left with their lists; lists
// without a whole run go, and so do runs that fail their check.
void FinishCutShortSplits(const std::u16string& folder);

// The bytes of the kept chunk, checked against its size and SHA-256; a
// kept chunk that fails the check is removed. False with the reason.
bool ReadKeptChunk(const std::u16string& folder, const VendraClient::BuildChunk& chunk,
                   Vendra::RefPtr<VendraClient::VBuffer>& bytes, std::u16string& error);

}  // namespace VendraBuild
