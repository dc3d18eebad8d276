#include "install/sha256.h"

#include <cstring>

#include "install/sha256_blocks.h"

namespace VendraClient {

namespace {

// The processor's answers, asked once.
bool HasShaExtensions() {
  static const bool has = Sha256Blocks::CpuHasShaExtensions();
  return has;
}

bool HasAvx2() {
  static const bool has = Sha256Blocks::CpuHasAvx2();
  return has;
}

Sha256BlockFunction RoutineOf(Sha256Path path) {
  switch (path) {
    case Sha256Path::ShaExtensions:
      return Sha256Blocks::ShaExtensions;
    case Sha256Path::Avx2:
      return Sha256Blocks::Avx2;
    case Sha256Path::Best:
    case Sha256Path::Portable:
      break;
  }
  return Sha256Blocks::Portable;
}

}  // namespace

bool Sha256PathAvailable(Sha256Path path) {
  switch (path) {
    case Sha256Path::ShaExtensions:
      return HasShaExtensions();
    case Sha256Path::Avx2:
      return HasAvx2();
    case Sha256Path::Best:
    case Sha256Path::Portable:
      break;
  }
  return true;
}

Sha256Path Sha256BestPath(bool shaExtensions) {
  if (shaExtensions && HasShaExtensions()) return Sha256Path::ShaExtensions;
  if (HasAvx2()) return Sha256Path::Avx2;
  return Sha256Path::Portable;
}

const char* Sha256PathName(Sha256Path path) {
  switch (path) {
    case Sha256Path::Best:
      return "best";
    case Sha256Path::Portable:
      return "portable";
    case Sha256Path::ShaExtensions:
      return "sha-extensions";
    case Sha256Path::Avx2:
      return "avx2";
  }
  return "unknown";
}

void Sha256Start(Sha256State& state, Sha256Path path) {
  static constexpr uint32_t kInitial[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                           0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
  std::memcpy(state.hash, kInitial, sizeof kInitial);
  state.fill = 0;
  state.bitsLow = 0;
  state.bitsHigh = 0;
  state.compress = RoutineOf(Sha256PathAvailable(path) && path != Sha256Path::Best
                                 ? path
                                 : Sha256BestPath());
}

namespace {

void AddBits(Sha256State& state, uint64_t bits) {
  const uint64_t total = (uint64_t(state.bitsHigh) << 32 | state.bitsLow) + bits;
  state.bitsLow = static_cast<uint32_t>(total);
  state.bitsHigh = static_cast<uint32_t>(total >> 32);
}

void PutBigEndian(uint8_t* out, uint32_t v) {
  out[0] = static_cast<uint8_t>(v >> 24);
  out[1] = static_cast<uint8_t>(v >> 16);
  out[2] = static_cast<uint8_t>(v >> 8);
  out[3] = static_cast<uint8_t>(v);
}

}  // namespace

void Sha256Add(Sha256State& state, const void* bytes, size_t count) {
  const uint8_t* in = static_cast<const uint8_t*>(bytes);
  if (state.fill != 0) {
    const size_t take = count < 64 - state.fill ? count : 64 - state.fill;
    std::memcpy(state.block + state.fill, in, take);
    state.fill += static_cast<uint32_t>(take);
    in += take;
    count -= take;
    if (state.fill < 64) return;
    state.compress(state.hash, state.block, 1);
    AddBits(state, 512);
    state.fill = 0;
  }
  if (const size_t blocks = count / 64) {
    state.compress(state.hash, in, blocks);
    AddBits(state, uint64_t(blocks) * 512);
    in += blocks * 64;
    count -= blocks * 64;
  }
  std::memcpy(state.block, in, count);
  state.fill = static_cast<uint32_t>(count);
}

void Sha256Finish(Sha256State& state, uint8_t digest[32]) {
  AddBits(state, uint64_t(state.fill) * 8);
  state.block[state.fill++] = 0x80;
  if (state.fill > 56) {
    std::memset(state.block + state.fill, 0, 64 - state.fill);
    state.compress(state.hash, state.block, 1);
    state.fill = 0;
  }
  std::memset(state.block + state.fill, 0, 56 - state.fill);
  PutBigEndian(state.block + 56, state.bitsHigh);
  PutBigEndian(state.block + 60, state.bitsLow);
  state.compress(state.hash, state.block, 1);
  state.fill = 0;
  for (int i = 0; i < 8; ++i) PutBigEndian(digest + 4 * i, state.hash[i]);
}

void Sha256Text(Sha256State& state, std::string& text) {
  static constexpr char kHex[] = "0123456789abcdef";
  uint8_t digest[32];
  Sha256Finish(state, digest);
  text.assign(64, '0');
  for (int i = 0; i < 32; ++i) {
    text[2 * i] = kHex[digest[i] >> 4];
    text[2 * i + 1] = kHex[digest[i] & 15];
  }
}

std::string Sha256Hex(const void* bytes, size_t count) {
  Sha256State state;
  Sha256Start(state);
  if (count != 0) Sha256Add(state, bytes, count);
  std::string text;
  Sha256Text(state, text);
  return text;
}

}  // namespace VendraClient
