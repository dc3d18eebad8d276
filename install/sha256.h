#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// SHA-256 (FIPS 180-4). Files are identified by their size and this digest,
// written as 64 lower-case hexadecimal digits.
namespace VendraClient {

// Which compression routine a digest uses. Best takes the fastest one the
// processor has: the x86 SHA extensions, then AVX2 with BMI2, then the
// portable routine. The others force one routine, so that each can be checked
// and measured on the same machine; one the processor lacks is replaced by
// Best's choice rather than run.
enum class Sha256Path { Best, Portable, ShaExtensions, Avx2 };

// Whether this processor can run the routine; Best and Portable always can.
bool Sha256PathAvailable(Sha256Path path);
// The routine Best stands for here. With shaExtensions false, the one it
// would stand for if this processor lacked the SHA extensions.
Sha256Path Sha256BestPath(bool shaExtensions = true);
// "portable", "sha-extensions", "avx2" ("best" for Best), for reports.
const char* Sha256PathName(Sha256Path path);

using Sha256BlockFunction = void (*)(uint32_t hash[8], const uint8_t* blocks, size_t count);

struct Sha256State {
  uint8_t block[64];  // message bytes not yet compressed
  uint32_t fill;      // bytes in block, 0 to 63 between calls
  uint32_t bitsLow;   // message length in bits, as two 32-bit halves
  uint32_t bitsHigh;
  uint32_t hash[8];
  Sha256BlockFunction compress;
};

void Sha256Start(Sha256State& state, Sha256Path path = Sha256Path::Best);
void Sha256Add(Sha256State& state, const void* bytes, size_t count);
void Sha256Finish(Sha256State& state, uint8_t digest[32]);
// Finishes the digest and replaces text with its 64 lower-case hex digits.
void Sha256Text(Sha256State& state, std::string& text);
// The 64 lower-case hex digits of the SHA-256 of count bytes (none: the
// empty input's).
std::string Sha256Hex(const void* bytes, size_t count);

}  // namespace VendraClient
