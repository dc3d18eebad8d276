#include "install/sha256_blocks.h"

// The compression function in plain C++. The 64 rounds are written out with
// the eight working variables renamed from round to round instead of moved,
// and the message schedule lives in a 16-word ring, which keeps everything in
// registers on common 64-bit processors.
namespace VendraClient::Sha256Blocks {

const uint32_t kRoundConstants[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4,
    0xab1c5ed5, 0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe,
    0x9bdc06a7, 0xc19bf174, 0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f,
    0x4a7484aa, 0x5cb0a9dc, 0x76f988da, 0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7,
    0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967, 0x27b70a85, 0x2e1b2138, 0x4d2c6dfc,
    0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85, 0xa2bfe8a1, 0xa81a664b,
    0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070, 0x19a4c116,
    0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7,
    0xc67178f2};

namespace {

inline uint32_t Rotr(uint32_t x, int n) { return (x >> n) | (x << (32 - n)); }
inline uint32_t BigSigma0(uint32_t x) { return Rotr(x, 2) ^ Rotr(x, 13) ^ Rotr(x, 22); }
inline uint32_t BigSigma1(uint32_t x) { return Rotr(x, 6) ^ Rotr(x, 11) ^ Rotr(x, 25); }
inline uint32_t SmallSigma0(uint32_t x) { return Rotr(x, 7) ^ Rotr(x, 18) ^ (x >> 3); }
inline uint32_t SmallSigma1(uint32_t x) { return Rotr(x, 17) ^ Rotr(x, 19) ^ (x >> 10); }
inline uint32_t Choose(uint32_t e, uint32_t f, uint32_t g) { return ((f ^ g) & e) ^ g; }
inline uint32_t Majority(uint32_t a, uint32_t b, uint32_t c) { return (a & b) | (c & (a | b)); }

inline uint32_t LoadBigEndian(const uint8_t* p) {
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}

// Word i of the schedule, for i >= 16, computed into the ring in place.
inline uint32_t Expand(uint32_t w[16], int i) {
  w[i & 15] += SmallSigma1(w[(i - 2) & 15]) + w[(i - 7) & 15] + SmallSigma0(w[(i - 15) & 15]);
  return w[i & 15];
}

inline void Round(uint32_t a, uint32_t b, uint32_t c, uint32_t& d, uint32_t e, uint32_t f,
                  uint32_t g, uint32_t& h, uint32_t k, uint32_t w) {
  const uint32_t t1 = h + BigSigma1(e) + Choose(e, f, g) + k + w;
  d += t1;
  h = t1 + BigSigma0(a) + Majority(a, b, c);
}

// Eight rounds starting at round i; the variables rotate back to their places.
#define VENDRA_SHA256_EIGHT(W)                                                 \
  Round(a, b, c, d, e, f, g, h, kRoundConstants[i + 0], W(i + 0));             \
  Round(h, a, b, c, d, e, f, g, kRoundConstants[i + 1], W(i + 1));             \
  Round(g, h, a, b, c, d, e, f, kRoundConstants[i + 2], W(i + 2));             \
  Round(f, g, h, a, b, c, d, e, kRoundConstants[i + 3], W(i + 3));             \
  Round(e, f, g, h, a, b, c, d, kRoundConstants[i + 4], W(i + 4));             \
  Round(d, e, f, g, h, a, b, c, kRoundConstants[i + 5], W(i + 5));             \
  Round(c, d, e, f, g, h, a, b, kRoundConstants[i + 6], W(i + 6));             \
  Round(b, c, d, e, f, g, h, a, kRoundConstants[i + 7], W(i + 7))

}  // namespace

void Portable(uint32_t hash[8], const uint8_t* blocks, size_t count) {
  for (; count != 0; --count, blocks += 64) {
    uint32_t w[16];
    uint32_t a = hash[0], b = hash[1], c = hash[2], d = hash[3];
    uint32_t e = hash[4], f = hash[5], g = hash[6], h = hash[7];
#define VENDRA_SHA256_LOAD(n) (w[n] = LoadBigEndian(blocks + 4 * (n)))
#define VENDRA_SHA256_EXPAND(n) Expand(w, n)
#pragma GCC unroll 2
    for (int i = 0; i < 16; i += 8) {
      VENDRA_SHA256_EIGHT(VENDRA_SHA256_LOAD);
    }
#pragma GCC unroll 6
    for (int i = 16; i < 64; i += 8) {
      VENDRA_SHA256_EIGHT(VENDRA_SHA256_EXPAND);
    }
#undef VENDRA_SHA256_LOAD
#undef VENDRA_SHA256_EXPAND
    hash[0] += a;
    hash[1] += b;
    hash[2] += c;
    hash[3] += d;
    hash[4] += e;
    hash[5] += f;
    hash[6] += g;
    hash[7] += h;
  }
}

}  // namespace VendraClient::Sha256Blocks
