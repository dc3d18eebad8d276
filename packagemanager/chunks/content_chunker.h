#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "install/build_file_list.h"

// Content-defined chunks: a file is cut where a rolling hash of its last
// bytes meets a condition, so that an edit moves only the cuts near it and
// every chunk elsewhere keeps its bytes, and its digest, from one version of
// the file to the next. The hash is a gear hash (shift left, add a random
// value per byte); the cut search is normalised: below the average size the
// condition is four times harder to meet than above it, which gathers chunk
// sizes near the average.
namespace VendraChunks {

struct ChunkLimits {
  uint32_t minimum = 0;     // no cut before this many bytes (a shorter tail excepted)
  uint32_t averageBits = 0; // the aimed-for size is 2^averageBits
  uint32_t maximum = 0;     // a chunk is cut here at the latest
};

// Limits for a chosen average of 2^averageBits: a quarter of it at least,
// four times it at most. averageBits is 8 to 24.
constexpr ChunkLimits LimitsForAverage(uint32_t averageBits) {
  const uint32_t average = uint32_t(1) << averageBits;
  return {average / 4, averageBits, average * 4};
}

// The limits of published builds: 32 KiB, 128 KiB on average, 512 KiB. They
// are part of the format, as the gear table is. chunk_bench gives the
// figures they were chosen by: for 1 GiB of large files and 50 edits, the
// chunk lists cost 1.2 MiB and the changed chunks 13 MiB (9% over what the
// changed chunks alone weigh); a 64 KiB average fetches 2.6 MiB less but
// spends 30% over them on lists, and 256 KiB fetches 10 MiB more.
inline constexpr ChunkLimits kBuildChunkLimits = LimitsForAverage(17);
static_assert(kBuildChunkLimits.minimum == VendraClient::kSmallestBuildChunk &&
                  kBuildChunkLimits.maximum == VendraClient::kLargestBuildChunk,
              "the chunker cuts within the limits a build's file list checks");

// The length of the first chunk of data[0, length): where the next chunk
// starts. length itself when no cut comes before it and length is at most
// the maximum, so a caller passes at least limits.maximum bytes unless the
// data ends.
size_t CutPoint(const uint8_t* data, size_t length, const ChunkLimits& limits);

struct Chunk {
  uint64_t offset = 0;
  uint32_t size = 0;
  std::string sha256;  // lower-case hexadecimal
};

// Gets each chunk with its bytes (valid during the call); false stops.
using ChunkSink = std::function<bool(const Chunk& chunk, const uint8_t* bytes)>;
// Reads up to size bytes into data, read 0 at the end; answers a system error.
using ChunkReader = std::function<uint32_t(uint8_t* data, size_t size, size_t& read)>;

struct ChunkedInput {
  uint64_t size = 0;
  std::string sha256;       // of the whole input
  uint32_t readError = 0;   // the system's error when a read failed
  bool stopped = false;     // the sink stopped it
};

// Cuts what read gives into chunks, in order, holding no more than the
// maximum chunk and one read block in memory. Empty input has no chunks.
ChunkedInput ChunkStream(const ChunkReader& read, const ChunkLimits& limits,
                         const ChunkSink& sink);

// ChunkStream over the file at path (readError when it cannot be opened).
ChunkedInput ChunkFile(std::u16string_view path, const ChunkLimits& limits,
                       const ChunkSink& sink);

}  // namespace VendraChunks
