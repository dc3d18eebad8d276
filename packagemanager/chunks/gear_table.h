#pragma once

#include <array>
#include <cstdint>

namespace VendraChunks {

// The 256 random values the rolling hash adds per byte, from a fixed seed
// through SplitMix64, whose outputs are well mixed in every bit: the hash's
// top bits, which decide the cuts, depend evenly on each byte of the window.
// The values are part of the chunk format: other values cut other
// boundaries, and a machine could no longer reuse what it holds.
constexpr std::array<uint64_t, 256> MakeGearTable() {
  std::array<uint64_t, 256> table{};
  uint64_t state = 0x56454E4452414348ULL;
  for (uint64_t& value : table) {
    state += 0x9E3779B97F4A7C15ULL;
    uint64_t z = state;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    value = z ^ (z >> 31);
  }
  return table;
}

inline constexpr std::array<uint64_t, 256> kGearTable = MakeGearTable();

}  // namespace VendraChunks
