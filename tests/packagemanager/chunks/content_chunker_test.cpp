#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "packagemanager/chunks/content_chunker.h"
#include "tests/support/sha256_hex.h"

namespace VendraTest {
namespace {

using VendraChunks::Chunk;
using VendraChunks::ChunkLimits;

std::vector<uint8_t> RandomBytes(size_t size, uint64_t seed) {
  std::vector<uint8_t> bytes(size);
  for (uint8_t& byte : bytes) {
    seed ^= seed << 13;
    seed ^= seed >> 7;
    seed ^= seed << 17;
    byte = static_cast<uint8_t>(seed >> 24);
  }
  return bytes;
}

struct Chunked {
  std::vector<Chunk> chunks;
  VendraChunks::ChunkedInput input;
};

// Chunks bytes handed over at most step bytes per read, as a file or a
// socket may give them.
Chunked ChunkBytes(const std::vector<uint8_t>& bytes, const ChunkLimits& limits,
                   size_t step = 1 << 20) {
  Chunked result;
  size_t at = 0;
  result.input = VendraChunks::ChunkStream(
      [&](uint8_t* data, size_t size, size_t& read) {
        read = std::min({size, step, bytes.size() - at});
        if (read != 0) std::memcpy(data, bytes.data() + at, read);
        at += read;
        return uint32_t(0);
      },
      limits, [&](const Chunk& chunk, const uint8_t* data) {
        // What the sink is shown is the chunk's own bytes.
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(data), chunk.size),
                  std::string(reinterpret_cast<const char*>(bytes.data() + chunk.offset),
                              chunk.size));
        result.chunks.push_back(chunk);
        return true;
      });
  return result;
}

std::vector<uint64_t> Ends(const std::vector<Chunk>& chunks) {
  std::vector<uint64_t> ends;
  for (const Chunk& chunk : chunks) ends.push_back(chunk.offset + chunk.size);
  return ends;
}

// Every input is cut the same whatever the reads, into contiguous chunks
// within the limits whose digests are of their bytes.
TEST(ContentChunkerTest, ChunksTileTheInputWithinTheLimitsWhateverTheReads) {
  const ChunkLimits small = VendraChunks::LimitsForAverage(12);
  const struct {
    const char* what;
    std::vector<uint8_t> bytes;
    ChunkLimits limits;
    size_t chunks;  // expected count; 0: many, near the average in size
  } cases[] = {
      {"empty", {}, small, 0},
      {"one byte", {7}, small, 1},
      {"just under the minimum", RandomBytes(small.minimum - 1, 1), small, 1},
      {"the minimum", RandomBytes(small.minimum, 2), small, 1},
      {"random", RandomBytes(3 << 20, 3), small, 0},
      {"zeros: cut at the maximum", std::vector<uint8_t>(1 << 20, 0), small, 64},
      {"random at the build limits", RandomBytes(6 << 20, 4), VendraChunks::kBuildChunkLimits, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const Chunked whole = ChunkBytes(c.bytes, c.limits);
    EXPECT_EQ(whole.input.size, c.bytes.size());
    EXPECT_EQ(whole.input.sha256, Sha256Hex(std::string(c.bytes.begin(), c.bytes.end())));
    if (c.bytes.empty()) {
      EXPECT_TRUE(whole.chunks.empty());
    }
    if (c.chunks != 0) {
      EXPECT_EQ(whole.chunks.size(), c.chunks);
    }
    uint64_t next = 0;
    for (size_t i = 0; i < whole.chunks.size(); ++i) {
      const Chunk& chunk = whole.chunks[i];
      EXPECT_EQ(chunk.offset, next);
      EXPECT_LE(chunk.size, c.limits.maximum);
      if (i + 1 < whole.chunks.size()) {
        EXPECT_GE(chunk.size, c.limits.minimum);
      }
      EXPECT_EQ(chunk.sha256,
                Sha256Hex(std::string(c.bytes.begin() + chunk.offset,
                                      c.bytes.begin() + chunk.offset + chunk.size)));
      next += chunk.size;
    }
    EXPECT_EQ(next, c.bytes.size());
    if (c.chunks == 0 && c.bytes.size() > c.limits.maximum) {
      const double mean = static_cast<double>(c.bytes.size()) / whole.chunks.size();
      const double average = static_cast<double>(1u << c.limits.averageBits);
      EXPECT_GT(mean, average / 2);
      EXPECT_LT(mean, average * 4);
    }
    // Reads of odd sizes, and a second run, cut in the very same places.
    for (size_t step : {size_t(1), size_t(4093), size_t(65537)}) {
      if (step == 1 && c.bytes.size() > (1u << 20)) continue;
      EXPECT_EQ(Ends(ChunkBytes(c.bytes, c.limits, step).chunks), Ends(whole.chunks)) << step;
    }
  }
}

// An edit moves only the cuts near it: the chunks before it are the same,
// and those some way after it are the same bytes at a shifted place.
TEST(ContentChunkerTest, AnEditChangesOnlyTheChunksNearIt) {
  const ChunkLimits limits = VendraChunks::LimitsForAverage(12);
  const std::vector<uint8_t> original = RandomBytes(2 << 20, 5);
  const size_t at = 1 << 20;
  const struct {
    const char* what;
    size_t removed;
    std::vector<uint8_t> inserted;
  } edits[] = {{"one byte inserted", 0, {0x42}},
               {"a run inserted", 0, RandomBytes(10000, 6)},
               {"a run deleted", 10000, {}},
               {"a run overwritten", 3000, RandomBytes(3000, 7)}};
  const Chunked before = ChunkBytes(original, limits);
  for (const auto& edit : edits) {
    SCOPED_TRACE(edit.what);
    std::vector<uint8_t> bytes = original;
    bytes.erase(bytes.begin() + at, bytes.begin() + at + edit.removed);
    bytes.insert(bytes.begin() + at, edit.inserted.begin(), edit.inserted.end());
    const Chunked after = ChunkBytes(bytes, limits);
    size_t same = 0;
    for (const Chunk& chunk : after.chunks)
      same += std::any_of(before.chunks.begin(), before.chunks.end(),
                          [&](const Chunk& old) { return old.sha256 == chunk.sha256; });
    // The chunks holding the edit, and at most one after it until the
    // cuts meet again.
    const size_t touched = (edit.inserted.size() + limits.maximum - 1) / limits.maximum;
    EXPECT_GE(same + touched + 3, after.chunks.size());
    for (const Chunk& chunk : after.chunks) {
      if (chunk.offset + chunk.size + limits.maximum >= at) continue;
      EXPECT_TRUE(std::any_of(before.chunks.begin(), before.chunks.end(), [&](const Chunk& old) {
        return old.offset == chunk.offset && old.sha256 == chunk.sha256;
      }));
    }
  }
}

}  // namespace
}  // namespace VendraTest
