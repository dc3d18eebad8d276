// How the chunk sizes were chosen. For candidate averages of 2^15 to 2^18
// bytes (minimum a quarter, maximum four times the average) it measures:
// - throughput: cutting alone, and cutting with the SHA-256 of every chunk
//   and of the whole input, as the publisher and the engine run it;
// - delta granularity: a random file of SIZE MiB (default 256) gets 50 edits
//   of 4-64 KiB (insertions, overwrites, deletions in turn, at random
//   places); the chunks of the new file that the old one lacks are what a
//   client must fetch;
// - metadata: the bytes of the file's chunk list as a build object carries
//   it, each chunk entry written by the JSON writer the publisher uses.
// The last columns add both for 1 GiB of large files with the same 50
// edits, the update of a product of large files, and set that sum against
// the changed chunks alone (the bound the update aims at is 1.15): the
// smallest average within that bound is the one to publish with.
//   chunk_bench [SIZE_MIB]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "common/memory/ref_ptr.h"
#include "json/object.h"
#include "packagemanager/chunks/content_chunker.h"

namespace {

using VendraChunks::Chunk;
using VendraChunks::ChunkLimits;

constexpr int kEdits = 50;

struct Random {
  uint64_t state = 0x2545F4914F6CDD1DULL;
  uint64_t Next() {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    return state;
  }
  uint64_t Below(uint64_t bound) { return Next() % bound; }
};

std::vector<uint8_t> RandomBytes(Random& random, size_t size) {
  std::vector<uint8_t> bytes(size);
  for (size_t i = 0; i + 8 <= size; i += 8) {
    const uint64_t value = random.Next();
    std::memcpy(bytes.data() + i, &value, 8);
  }
  return bytes;
}

// The file after kEdits edits; edited gets the number of bytes they touched.
std::vector<uint8_t> Edited(const std::vector<uint8_t>& original, Random& random,
                            uint64_t& edited) {
  std::vector<uint8_t> bytes = original;
  edited = 0;
  for (int i = 0; i < kEdits; ++i) {
    const size_t length = 4096 + random.Below(60 * 1024 + 1);
    const size_t at = random.Below(bytes.size() - length);
    const std::vector<uint8_t> fresh = RandomBytes(random, length);
    switch (i % 3) {
      case 0: bytes.insert(bytes.begin() + at, fresh.begin(), fresh.end()); break;
      case 1: std::copy(fresh.begin(), fresh.end(), bytes.begin() + at); break;
      default: bytes.erase(bytes.begin() + at, bytes.begin() + at + length); break;
    }
    edited += length;
  }
  return bytes;
}

VendraChunks::ChunkedInput ChunkMemory(const std::vector<uint8_t>& bytes,
                                       const ChunkLimits& limits,
                                       const VendraChunks::ChunkSink& sink) {
  size_t at = 0;
  return VendraChunks::ChunkStream(
      [&](uint8_t* data, size_t size, size_t& read) {
        read = std::min(size, bytes.size() - at);
        std::memcpy(data, bytes.data() + at, read);
        at += read;
        return uint32_t(0);
      },
      limits, sink);
}

std::vector<Chunk> Chunks(const std::vector<uint8_t>& bytes, const ChunkLimits& limits) {
  std::vector<Chunk> chunks;
  ChunkMemory(bytes, limits, [&](const Chunk& chunk, const uint8_t*) {
    chunks.push_back(chunk);
    return true;
  });
  return chunks;
}

// The chunk list's bytes in a build object: each entry as the publisher
// writes it (random data does not compress, so compressed_size is the size
// and a few bytes), with a pack name of 32 hex digits.
uint64_t MetadataBytes(const std::vector<Chunk>& chunks) {
  uint64_t total = 2;
  for (const Chunk& chunk : chunks) {
    auto entry = Vendra::RefPtr<VendraJSON::VSJObject>::Adopt(VendraJSON::VSJObject::Create());
    entry->SetStringA(u"sha256", chunk.sha256);
    entry->SetInteger(u"size", chunk.size);
    entry->SetInteger(u"compressed_size", chunk.size + 11);
    entry->SetStringA(u"pack", std::string(32, 'f'));
    entry->SetInteger(u"offset", static_cast<int64_t>(chunk.offset) * 3);
    std::string text;
    entry->WriteJSONA(text, false, 0, "\n");
    total += text.size() + 1;
  }
  return total;
}

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

double MiB(uint64_t bytes) { return static_cast<double>(bytes) / (1024.0 * 1024.0); }

}  // namespace

int main(int argc, char** argv) {
  const size_t sizeMiB = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 256;
  if (sizeMiB < 16) {
    std::fprintf(stderr, "usage: chunk_bench [SIZE_MIB, at least 16]\n");
    return 2;
  }
  Random random;
  const std::vector<uint8_t> original = RandomBytes(random, sizeMiB << 20);
  uint64_t edited = 0;
  const std::vector<uint8_t> changed = Edited(original, random, edited);
  std::printf("file %zu MiB of random bytes, %d edits touching %.2f MiB (%.2f%%)\n", sizeMiB,
              kEdits, MiB(edited), 100.0 * static_cast<double>(edited) / original.size());
  std::printf("%-8s %10s %10s %10s %8s %8s %10s %12s %10s %14s %11s\n", "average", "cut MB/s",
              "+sha MB/s", "mean KiB", "chunks", "changed", "fetch MiB", "metadata MiB",
              "B/chunk", "1 GiB sum MiB", "vs changed");
  const double scale = 1024.0 / static_cast<double>(sizeMiB);
  for (uint32_t bits = 15; bits <= 18; ++bits) {
    const ChunkLimits limits = VendraChunks::LimitsForAverage(bits);
    auto start = std::chrono::steady_clock::now();
    size_t cuts = 0;
    for (size_t at = 0; at < original.size(); ++cuts)
      at += VendraChunks::CutPoint(original.data() + at, original.size() - at, limits);
    const double cutRate = static_cast<double>(original.size()) / 1e6 / Seconds(start);
    start = std::chrono::steady_clock::now();
    const std::vector<Chunk> before = Chunks(original, limits);
    const double hashRate = static_cast<double>(original.size()) / 1e6 / Seconds(start);
    const std::vector<Chunk> after = Chunks(changed, limits);
    std::set<std::string> held;
    for (const Chunk& chunk : before) held.insert(chunk.sha256);
    size_t fetched = 0;
    uint64_t fetchedBytes = 0;
    for (const Chunk& chunk : after) {
      if (held.insert(chunk.sha256).second) {
        ++fetched;
        fetchedBytes += chunk.size;
      }
    }
    const uint64_t metadata = MetadataBytes(after);
    const double sum = MiB(fetchedBytes) + MiB(metadata) * scale;
    std::printf("%-8u %10.0f %10.0f %10.1f %8zu %8zu %10.2f %12.2f %10.1f %14.2f %11.2f\n",
                1u << bits,
                cutRate, hashRate, MiB(changed.size()) * 1024.0 / static_cast<double>(cuts),
                after.size(), fetched, MiB(fetchedBytes), MiB(metadata),
                static_cast<double>(metadata) / static_cast<double>(after.size()),
                sum, sum / MiB(fetchedBytes));
  }
  const ChunkLimits chosen = VendraChunks::kBuildChunkLimits;
  std::printf("published with: minimum %u, average %u, maximum %u bytes\n", chosen.minimum,
              1u << chosen.averageBits, chosen.maximum);
  return 0;
}
