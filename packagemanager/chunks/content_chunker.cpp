#include "packagemanager/chunks/content_chunker.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "install/sha256.h"
#include "packagemanager/chunks/gear_table.h"
#include "platform/files.h"

namespace VendraChunks {
namespace {

using VendraClient::Sha256Add;
using VendraClient::Sha256Start;
using VendraClient::Sha256State;

// Input is read in blocks of this size: large enough that the calls cost
// nothing next to the hashing.
constexpr size_t kReadBlock = size_t(1) << 20;

// A mask of the hash's top bits. The top bits are used because bit k of a
// gear hash depends on the last k + 1 bytes only: the top bits see a window
// of up to 64 bytes.
constexpr uint64_t TopBits(uint32_t count) {
  return count == 0 ? 0 : ~uint64_t(0) << (64 - count);
}

std::string Hex(Sha256State& state) {
  std::string text;
  VendraClient::Sha256Text(state, text);
  return text;
}

}  // namespace

size_t CutPoint(const uint8_t* data, size_t length, const ChunkLimits& limits) {
  if (length <= limits.minimum) return length;
  const size_t end = std::min<size_t>(length, limits.maximum);
  const size_t average = std::min<size_t>(end, size_t(1) << limits.averageBits);
  // Two more bits than the average asks for before it, two fewer after.
  const uint64_t strict = TopBits(limits.averageBits + 2);
  const uint64_t loose = TopBits(limits.averageBits - 2);
  uint64_t hash = 0;
  size_t at = limits.minimum;
  for (; at < average; ++at) {
    hash = (hash << 1) + kGearTable[data[at]];
    if ((hash & strict) == 0) return at + 1;
  }
  for (; at < end; ++at) {
    hash = (hash << 1) + kGearTable[data[at]];
    if ((hash & loose) == 0) return at + 1;
  }
  return end;
}

ChunkedInput ChunkStream(const ChunkReader& read, const ChunkLimits& limits,
                         const ChunkSink& sink) {
  ChunkedInput input;
  Sha256State whole;
  Sha256Start(whole);
  std::vector<uint8_t> buffer(limits.maximum + kReadBlock);
  size_t start = 0;  // of the next chunk in buffer
  size_t filled = 0;
  bool ended = false;
  for (;;) {
    // Keep at least a maximum chunk ahead, so that every cut is one a
    // reader of the whole file would make.
    if (!ended && filled - start < limits.maximum) {
      std::memmove(buffer.data(), buffer.data() + start, filled - start);
      filled -= start;
      start = 0;
      while (!ended && filled < buffer.size()) {
        size_t got = 0;
        input.readError = read(buffer.data() + filled, buffer.size() - filled, got);
        if (input.readError != 0) return input;
        Sha256Add(whole, buffer.data() + filled, got);
        filled += got;
        input.size += got;
        ended = got == 0;
      }
    }
    if (start == filled) break;
    Chunk chunk;
    chunk.offset = input.size - (filled - start);
    chunk.size = static_cast<uint32_t>(CutPoint(buffer.data() + start, filled - start, limits));
    Sha256State digest;
    Sha256Start(digest);
    Sha256Add(digest, buffer.data() + start, chunk.size);
    chunk.sha256 = Hex(digest);
    if (!sink(chunk, buffer.data() + start)) {
      input.stopped = true;
      return input;
    }
    start += chunk.size;
  }
  input.sha256 = Hex(whole);
  return input;
}

ChunkedInput ChunkFile(std::u16string_view path, const ChunkLimits& limits,
                       const ChunkSink& sink) {
  VendraPlatform::File file;
  if (const uint32_t openError = file.OpenForReading(path)) {
    ChunkedInput failed;
    failed.readError = openError;
    return failed;
  }
  return ChunkStream(
      [&](uint8_t* data, size_t size, size_t& read) { return file.Read(data, size, read); },
      limits, sink);
}

}  // namespace VendraChunks
