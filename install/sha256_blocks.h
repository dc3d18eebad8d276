#pragma once

#include <cstddef>
#include <cstdint>

// The SHA-256 compression routines: each compresses count consecutive 64-byte
// blocks into hash. Each processor-specific one has its test, which must be
// true before it is called.
namespace VendraClient::Sha256Blocks {

extern const uint32_t kRoundConstants[64];

void Portable(uint32_t hash[8], const uint8_t* blocks, size_t count);
void ShaExtensions(uint32_t hash[8], const uint8_t* blocks, size_t count);
bool CpuHasShaExtensions();
void Avx2(uint32_t hash[8], const uint8_t* blocks, size_t count);
bool CpuHasAvx2();  // AVX2, BMI1 and BMI2, and a system that saves the registers

}  // namespace VendraClient::Sha256Blocks
