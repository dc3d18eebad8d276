#include "install/sha256_blocks.h"

// The compression function for x86-64 processors with AVX2 and BMI2 but
// without the SHA extensions. Two blocks go through the message schedule
// together, one in each 128-bit half of the 256-bit registers; the rounds are
// scalar, first block then second, with the three-operand rotate of BMI2.
// The schedule of the first block's later words is worked out between its
// rounds, so that the vector units run beside the scalar ones. Only the
// functions here are compiled for these instructions (through the target
// attribute), and they are only called after the processor has said it has
// them.
#if defined(__x86_64__)

#include <cpuid.h>
#include <immintrin.h>

#define VENDRA_SHA256_AVX2 __attribute__((target("avx2,bmi,bmi2")))

namespace VendraClient::Sha256Blocks {

bool CpuHasAvx2() {
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx)) return false;
  const bool ssse3 = (ecx & (1u << 9)) != 0;
  const bool osxsave = (ecx & (1u << 27)) != 0;
  const bool avx = (ecx & (1u << 28)) != 0;
  if (!ssse3 || !osxsave || !avx) return false;
  // The processor may have AVX while the system does not save the upper
  // halves of the registers on a task switch; XCR0 says whether it does.
  unsigned xcrLow = 0, xcrHigh = 0;
  __asm__("xgetbv" : "=a"(xcrLow), "=d"(xcrHigh) : "c"(0));
  if ((xcrLow & 6u) != 6u) return false;
  if (!__get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx)) return false;
  const bool avx2 = (ebx & (1u << 5)) != 0;
  const bool bmi1 = (ebx & (1u << 3)) != 0;
  const bool bmi2 = (ebx & (1u << 8)) != 0;
  return avx2 && bmi1 && bmi2;
}

namespace {

// Eight 32-bit words: four of the first block below, four of the second above.
using Lanes = __m256i;

template <int N>
VENDRA_SHA256_AVX2 inline Lanes Rotr(Lanes x) {
  return _mm256_or_si256(_mm256_srli_epi32(x, N), _mm256_slli_epi32(x, 32 - N));
}

VENDRA_SHA256_AVX2 inline Lanes SmallSigma0(Lanes x) {
  return _mm256_xor_si256(_mm256_xor_si256(Rotr<7>(x), Rotr<18>(x)), _mm256_srli_epi32(x, 3));
}

VENDRA_SHA256_AVX2 inline Lanes SmallSigma1(Lanes x) {
  return _mm256_xor_si256(_mm256_xor_si256(Rotr<17>(x), Rotr<19>(x)), _mm256_srli_epi32(x, 10));
}

// Words t..t+3 of both blocks from the sixteen before them (w0 holds
// t-16..t-13, w3 holds t-4..t-1). The last two need the first two, so sigma1
// goes in two halves; the zero words of each half stay zero through it. Every
// shift here stays within its 128-bit half, so the blocks never mix.
VENDRA_SHA256_AVX2 inline Lanes NextWords(Lanes w0, Lanes w1, Lanes w2, Lanes w3) {
  Lanes next = _mm256_add_epi32(w0, SmallSigma0(_mm256_alignr_epi8(w1, w0, 4)));
  next = _mm256_add_epi32(next, _mm256_alignr_epi8(w3, w2, 4));
  next = _mm256_add_epi32(next, SmallSigma1(_mm256_srli_si256(w3, 8)));
  return _mm256_add_epi32(next, SmallSigma1(_mm256_slli_si256(next, 8)));
}

// Sixteen message bytes at offset of each block, as big-endian words.
VENDRA_SHA256_AVX2 inline Lanes LoadWords(const uint8_t* first, const uint8_t* second,
                                          int offset, Lanes byteSwap) {
  const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(first + offset));
  const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(second + offset));
  return _mm256_shuffle_epi8(_mm256_inserti128_si256(_mm256_castsi128_si256(low), high, 1),
                             byteSwap);
}

// Group g of the schedule plus its round constants: rounds 4g..4g+3 of the
// first block read wk[8g..8g+3], those of the second wk[8g+4..8g+7]. The
// stores are unaligned ones, because not every 64-bit ABI we build for keeps
// the stack aligned for 256-bit values.
VENDRA_SHA256_AVX2 inline void StoreGroup(uint32_t* wk, int g, Lanes words) {
  const Lanes k = _mm256_broadcastsi128_si256(
      _mm_loadu_si128(reinterpret_cast<const __m128i*>(&kRoundConstants[4 * g])));
  _mm256_storeu_si256(reinterpret_cast<Lanes*>(wk + 8 * g), _mm256_add_epi32(words, k));
}

VENDRA_SHA256_AVX2 inline uint32_t Rotr(uint32_t x, int n) { return (x >> n) | (x << (32 - n)); }

// With a non-destructive rotate the three rotations of each sum run side by
// side instead of one after another.
VENDRA_SHA256_AVX2 inline uint32_t BigSigma0(uint32_t x) {
  return Rotr(x, 2) ^ Rotr(x, 13) ^ Rotr(x, 22);
}
VENDRA_SHA256_AVX2 inline uint32_t BigSigma1(uint32_t x) {
  return Rotr(x, 6) ^ Rotr(x, 11) ^ Rotr(x, 25);
}

// Choose(e, f, g) as (e & f) + (~e & g): the two halves have no bit in
// common, so adding them is the same as or-ing, and both go into h
// separately. Majority(a, b, c) is b ^ ((a ^ b) & (b ^ c)), and b ^ c is the
// previous round's a ^ b: bc carries it from round to round.
VENDRA_SHA256_AVX2 inline void Round(uint32_t a, uint32_t b, uint32_t, uint32_t& d, uint32_t e,
                                     uint32_t f, uint32_t g, uint32_t& h, uint32_t wk,
                                     uint32_t& bc) {
  const uint32_t t1 = h + wk + (~e & g) + (e & f) + BigSigma1(e);
  d += t1;
  const uint32_t ab = a ^ b;
  h = t1 + (b ^ (ab & bc)) + BigSigma0(a);
  bc = ab;
}

// Eight rounds starting at round i for the block whose words start at wk
// (wk or wk + 4); the variables rotate back to their places.
#define VENDRA_SHA256_EIGHT(wk, i)                                   \
  Round(a, b, c, d, e, f, g, h, (wk)[2 * (i) + 0], bc);              \
  Round(h, a, b, c, d, e, f, g, (wk)[2 * (i) + 1], bc);              \
  Round(g, h, a, b, c, d, e, f, (wk)[2 * (i) + 2], bc);              \
  Round(f, g, h, a, b, c, d, e, (wk)[2 * (i) + 3], bc);              \
  Round(e, f, g, h, a, b, c, d, (wk)[2 * (i) + 8], bc);              \
  Round(d, e, f, g, h, a, b, c, (wk)[2 * (i) + 9], bc);              \
  Round(c, d, e, f, g, h, a, b, (wk)[2 * (i) + 10], bc);             \
  Round(b, c, d, e, f, g, h, a, (wk)[2 * (i) + 11], bc)

}  // namespace

VENDRA_SHA256_AVX2 void Avx2(uint32_t hash[8], const uint8_t* blocks, size_t count) {
  const Lanes byteSwap = _mm256_set_epi64x(0x0c0d0e0f08090a0bLL, 0x0405060700010203LL,
                                           0x0c0d0e0f08090a0bLL, 0x0405060700010203LL);
  uint32_t wk[128];
  while (count != 0) {
    // A last odd block is scheduled twice over and compressed once.
    const bool pair = count >= 2;
    const uint8_t* second = pair ? blocks + 64 : blocks;
    Lanes w0 = LoadWords(blocks, second, 0, byteSwap);
    Lanes w1 = LoadWords(blocks, second, 16, byteSwap);
    Lanes w2 = LoadWords(blocks, second, 32, byteSwap);
    Lanes w3 = LoadWords(blocks, second, 48, byteSwap);
    StoreGroup(wk, 0, w0);
    StoreGroup(wk, 1, w1);
    StoreGroup(wk, 2, w2);
    StoreGroup(wk, 3, w3);

    uint32_t a = hash[0], b = hash[1], c = hash[2], d = hash[3];
    uint32_t e = hash[4], f = hash[5], g = hash[6], h = hash[7];
    uint32_t bc = b ^ c;
    // Each group of the schedule is stored sixteen rounds before the first
    // block needs it.
    for (int group = 4; group < 16; group += 4) {
      w0 = NextWords(w0, w1, w2, w3);
      StoreGroup(wk, group, w0);
      w1 = NextWords(w1, w2, w3, w0);
      StoreGroup(wk, group + 1, w1);
      VENDRA_SHA256_EIGHT(wk, 4 * (group - 4));
      w2 = NextWords(w2, w3, w0, w1);
      StoreGroup(wk, group + 2, w2);
      w3 = NextWords(w3, w0, w1, w2);
      StoreGroup(wk, group + 3, w3);
      VENDRA_SHA256_EIGHT(wk, 4 * (group - 4) + 8);
    }
    VENDRA_SHA256_EIGHT(wk, 48);
    VENDRA_SHA256_EIGHT(wk, 56);
    hash[0] = a += hash[0];
    hash[1] = b += hash[1];
    hash[2] = c += hash[2];
    hash[3] = d += hash[3];
    hash[4] = e += hash[4];
    hash[5] = f += hash[5];
    hash[6] = g += hash[6];
    hash[7] = h += hash[7];
    if (!pair) break;

    bc = b ^ c;
    const uint32_t* secondWk = wk + 4;
    for (int i = 0; i < 64; i += 8) {
      VENDRA_SHA256_EIGHT(secondWk, i);
    }
    hash[0] += a;
    hash[1] += b;
    hash[2] += c;
    hash[3] += d;
    hash[4] += e;
    hash[5] += f;
    hash[6] += g;
    hash[7] += h;
    blocks += 128;
    count -= 2;
  }
}

#undef VENDRA_SHA256_EIGHT

}  // namespace VendraClient::Sha256Blocks

#else

namespace VendraClient::Sha256Blocks {

bool CpuHasAvx2() { return false; }

void Avx2(uint32_t hash[8], const uint8_t* blocks, size_t count) {
  Portable(hash, blocks, count);
}

}  // namespace VendraClient::Sha256Blocks

#endif
