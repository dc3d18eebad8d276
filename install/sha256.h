#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// SHA-256 (FIPS 180-4). Files are identified by their size and this digest,
// written as 64 lower-case hexadecimal digits.
namespace VendraClient {

// Which compression routine a digest uses. Best takes the x86 SHA extensions
// when the processor has them and the portable routine otherwise; the other
// two force one routine, so that both can be checked and measured on the same
// machine. ShaExtensions must only be asked for when
// Sha256HasShaExtensions() is true.
enum class Sha256Path { Best, Portable, ShaExtensions };

bool Sha256HasShaExtensions();

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

}  // namespace VendraClient
