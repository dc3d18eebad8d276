#include "install/sha256_blocks.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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
// The sums of three rotations as nested rotations: one copy of the input
// instead of three, which matters with a destructive rotate instruction.
inline uint32_t BigSigma0(uint32_t x) { return Rotr(Rotr(Rotr(x, 9) ^ x, 11) ^ x, 2); }
inline uint32_t BigSigma1(uint32_t x) { return Rotr(Rotr(Rotr(x, 14) ^ x, 5) ^ x, 6); }
inline uint32_t Choose(uint32_t e, uint32_t f, uint32_t g) { return ((f ^ g) & e) ^ g; }

inline uint32_t LoadBigEndian(const uint8_t* p) {
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}

// Four schedule words at a time in vector registers, so that the schedule
// runs beside the rounds instead of in their instruction stream. SSE2 is part
// of every x86-64 processor; elsewhere the compiler's generic vectors serve.
#if defined(__SSE2__)
using Words = __m128i;
inline Words Add(Words x, Words y) { return _mm_add_epi32(x, y); }
inline Words Xor(Words x, Words y) { return _mm_xor_si128(x, y); }
inline Words Shr(Words x, int n) { return _mm_srli_epi32(x, n); }
inline Words Rotr(Words x, int n) {
  return _mm_or_si128(_mm_srli_epi32(x, n), _mm_slli_epi32(x, 32 - n));
}
// Words 1..4 of the eight in low:high.
inline Words Middle(Words low, Words high) {
  return _mm_or_si128(_mm_srli_si128(low, 4), _mm_slli_si128(high, 12));
}
// The upper two words moved down, zeros above; and the other way round.
inline Words UpperDown(Words x) { return _mm_srli_si128(x, 8); }
inline Words LowerUp(Words x) { return _mm_slli_si128(x, 8); }
inline Words Load(const uint32_t* p) { return _mm_loadu_si128(reinterpret_cast<const Words*>(p)); }
inline void Store(uint32_t* p, Words x) { _mm_storeu_si128(reinterpret_cast<Words*>(p), x); }
#else
using Words = uint32_t __attribute__((vector_size(16)));
inline Words Add(Words x, Words y) { return x + y; }
inline Words Xor(Words x, Words y) { return x ^ y; }
inline Words Shr(Words x, int n) { return x >> n; }
inline Words Rotr(Words x, int n) { return (x >> n) | (x << (32 - n)); }
inline Words Middle(Words low, Words high) { return __builtin_shufflevector(low, high, 1, 2, 3, 4); }
inline Words UpperDown(Words x) { return __builtin_shufflevector(x, Words{}, 2, 3, 4, 5); }
inline Words LowerUp(Words x) { return __builtin_shufflevector(Words{}, x, 0, 1, 4, 5); }
inline Words Load(const uint32_t* p) {
  Words x;
  __builtin_memcpy(&x, p, sizeof x);
  return x;
}
inline void Store(uint32_t* p, Words x) { __builtin_memcpy(p, &x, sizeof x); }
#endif

inline Words SmallSigma0(Words x) { return Xor(Xor(Rotr(x, 7), Rotr(x, 18)), Shr(x, 3)); }
inline Words SmallSigma1(Words x) { return Xor(Xor(Rotr(x, 17), Rotr(x, 19)), Shr(x, 10)); }

// Words t..t+3 from the sixteen before them (w0 holds t-16..t-13, w3 holds
// t-4..t-1). The last two need the first two, so sigma1 goes in two halves;
// the zero lanes of each half stay zero through it.
inline Words NextWords(Words w0, Words w1, Words w2, Words w3) {
  Words next = Add(Add(w0, SmallSigma0(Middle(w0, w1))), Middle(w2, w3));
  next = Add(next, SmallSigma1(UpperDown(w3)));
  return Add(next, SmallSigma1(LowerUp(next)));
}

// Majority(a, b, c) is b ^ ((a ^ b) & (b ^ c)), and b ^ c is the previous
// round's a ^ b: ab carries it from round to round.
inline void Round(uint32_t a, uint32_t b, uint32_t, uint32_t& d, uint32_t e, uint32_t f,
                  uint32_t g, uint32_t& h, uint32_t wk, uint32_t& bc) {
  const uint32_t t1 = h + BigSigma1(e) + Choose(e, f, g) + wk;
  d += t1;
  const uint32_t ab = a ^ b;
  h = t1 + BigSigma0(a) + (b ^ (ab & bc));
  bc = ab;
}

// Eight rounds starting at round i; the variables rotate back to their places.
#define VENDRA_SHA256_EIGHT(i)                         \
  Round(a, b, c, d, e, f, g, h, wk[(i) + 0], bc);          \
  Round(h, a, b, c, d, e, f, g, wk[(i) + 1], bc);          \
  Round(g, h, a, b, c, d, e, f, wk[(i) + 2], bc);          \
  Round(f, g, h, a, b, c, d, e, wk[(i) + 3], bc);          \
  Round(e, f, g, h, a, b, c, d, wk[(i) + 4], bc);          \
  Round(d, e, f, g, h, a, b, c, wk[(i) + 5], bc);          \
  Round(c, d, e, f, g, h, a, b, wk[(i) + 6], bc);          \
  Round(b, c, d, e, f, g, h, a, wk[(i) + 7], bc)

}  // namespace

void Portable(uint32_t hash[8], const uint8_t* blocks, size_t count) {
  alignas(16) uint32_t wk[64];
  alignas(16) uint32_t first[16];
  for (; count != 0; --count, blocks += 64) {
    for (int i = 0; i < 16; ++i) first[i] = LoadBigEndian(blocks + 4 * i);
    Words w0 = Load(first), w1 = Load(first + 4), w2 = Load(first + 8), w3 = Load(first + 12);
    Store(wk, Add(w0, Load(kRoundConstants)));
    Store(wk + 4, Add(w1, Load(kRoundConstants + 4)));
    Store(wk + 8, Add(w2, Load(kRoundConstants + 8)));
    Store(wk + 12, Add(w3, Load(kRoundConstants + 12)));
    for (int t = 16; t < 64; t += 16) {
      w0 = NextWords(w0, w1, w2, w3);
      Store(wk + t, Add(w0, Load(kRoundConstants + t)));
      w1 = NextWords(w1, w2, w3, w0);
      Store(wk + t + 4, Add(w1, Load(kRoundConstants + t + 4)));
      w2 = NextWords(w2, w3, w0, w1);
      Store(wk + t + 8, Add(w2, Load(kRoundConstants + t + 8)));
      w3 = NextWords(w3, w0, w1, w2);
      Store(wk + t + 12, Add(w3, Load(kRoundConstants + t + 12)));
    }
    uint32_t a = hash[0], b = hash[1], c = hash[2], d = hash[3];
    uint32_t e = hash[4], f = hash[5], g = hash[6], h = hash[7];
    uint32_t bc = b ^ c;
#pragma GCC unroll 8
    for (int i = 0; i < 64; i += 8) {
      VENDRA_SHA256_EIGHT(i);
    }
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

#undef VENDRA_SHA256_EIGHT

}  // namespace VendraClient::Sha256Blocks
