#pragma once

#include <cstddef>
#include <cstdint>

// The two SHA-256 compression routines: each compresses count consecutive
// 64-byte blocks into hash.
namespace VendraClient::Sha256Blocks {

extern const uint32_t kRoundConstants[64];

void Portable(uint32_t hash[8], const uint8_t* blocks, size_t count);
void ShaExtensions(uint32_t hash[8], const uint8_t* blocks, size_t count);
bool CpuHasShaExtensions();

}  // namespace VendraClient::Sha256Blocks
