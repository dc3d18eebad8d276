#include "install/sha256_blocks.h"

// The compression function on the x86 SHA extensions. Only this file is
// compiled for them (through the target attribute), and it is only called
// after the processor has said it has them.
#if defined(__x86_64__) || defined(__i386__)

#include <cpuid.h>
#include <immintrin.h>

namespace VendraClient::Sha256Blocks {

bool CpuHasShaExtensions() {
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx)) return false;
  const bool ssse3 = (ecx & (1u << 9)) != 0;
  const bool sse41 = (ecx & (1u << 19)) != 0;
  if (!__get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx)) return false;
  const bool sha = (ebx & (1u << 29)) != 0;
  return ssse3 && sse41 && sha;
}

namespace {

// Four rounds: the message words plus their constants go through two
// two-round steps. state0 holds ABEF and state1 CDGH, the layout the
// instructions work on.
__attribute__((target("sha,sse4.1"))) inline void FourRounds(__m128i& state0, __m128i& state1,
                                                           __m128i words, int round) {
  const __m128i k =
      _mm_loadu_si128(reinterpret_cast<const __m128i*>(&kRoundConstants[round]));
  __m128i wk = _mm_add_epi32(words, k);
  state1 = _mm_sha256rnds2_epu32(state1, state0, wk);
  wk = _mm_shuffle_epi32(wk, 0x0E);
  state0 = _mm_sha256rnds2_epu32(state0, state1, wk);
}

// Words 4g..4g+3 of the schedule from the four groups before them.
__attribute__((target("sha,sse4.1"))) inline __m128i NextWords(__m128i w0, __m128i w1,
                                                             __m128i w2, __m128i w3) {
  const __m128i partial = _mm_add_epi32(_mm_sha256msg1_epu32(w0, w1), _mm_alignr_epi8(w3, w2, 4));
  return _mm_sha256msg2_epu32(partial, w3);
}

}  // namespace

__attribute__((target("sha,sse4.1"))) void ShaExtensions(uint32_t hash[8], const uint8_t* blocks,
                                                         size_t count) {
  const __m128i byteSwap = _mm_set_epi64x(0x0c0d0e0f08090a0bULL, 0x0405060700010203ULL);

  __m128i abcd = _mm_loadu_si128(reinterpret_cast<const __m128i*>(&hash[0]));
  __m128i efgh = _mm_loadu_si128(reinterpret_cast<const __m128i*>(&hash[4]));
  abcd = _mm_shuffle_epi32(abcd, 0xB1);  // CDAB
  efgh = _mm_shuffle_epi32(efgh, 0x1B);  // HGFE
  __m128i state0 = _mm_alignr_epi8(abcd, efgh, 8);     // ABEF
  __m128i state1 = _mm_blend_epi16(efgh, abcd, 0xF0);  // CDGH

  for (; count != 0; --count, blocks += 64) {
    const __m128i saved0 = state0;
    const __m128i saved1 = state1;
    const __m128i* in = reinterpret_cast<const __m128i*>(blocks);
    __m128i w0 = _mm_shuffle_epi8(_mm_loadu_si128(in + 0), byteSwap);
    __m128i w1 = _mm_shuffle_epi8(_mm_loadu_si128(in + 1), byteSwap);
    __m128i w2 = _mm_shuffle_epi8(_mm_loadu_si128(in + 2), byteSwap);
    __m128i w3 = _mm_shuffle_epi8(_mm_loadu_si128(in + 3), byteSwap);
    FourRounds(state0, state1, w0, 0);
    FourRounds(state0, state1, w1, 4);
    FourRounds(state0, state1, w2, 8);
    FourRounds(state0, state1, w3, 12);
    for (int round = 16; round < 64; round += 16) {
      w0 = NextWords(w0, w1, w2, w3);
      FourRounds(state0, state1, w0, round);
      w1 = NextWords(w1, w2, w3, w0);
      FourRounds(state0, state1, w1, round + 4);
      w2 = NextWords(w2, w3, w0, w1);
      FourRounds(state0, state1, w2, round + 8);
      w3 = NextWords(w3, w0, w1, w2);
      FourRounds(state0, state1, w3, round + 12);
    }
    state0 = _mm_add_epi32(state0, saved0);
    state1 = _mm_add_epi32(state1, saved1);
  }

  abcd = _mm_shuffle_epi32(state0, 0x1B);              // FEBA
  efgh = _mm_shuffle_epi32(state1, 0xB1);              // DCHG
  state0 = _mm_blend_epi16(abcd, efgh, 0xF0);          // DCBA
  state1 = _mm_alignr_epi8(efgh, abcd, 8);             // HGFE
  _mm_storeu_si128(reinterpret_cast<__m128i*>(&hash[0]), state0);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(&hash[4]), state1);
}

}  // namespace VendraClient::Sha256Blocks

#else

namespace VendraClient::Sha256Blocks {

bool CpuHasShaExtensions() { return false; }

void ShaExtensions(uint32_t hash[8], const uint8_t* blocks, size_t count) {
  Portable(hash, blocks, count);
}

}  // namespace VendraClient::Sha256Blocks

#endif
