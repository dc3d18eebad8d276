#pragma once

#include <string>
#include <string_view>

namespace VendraBuild {

inline constexpr size_t kEd25519PublicKeySize = 32;
inline constexpr size_t kEd25519SignatureSize = 64;

// Whether signature (64 bytes) is publicKey's (32 raw bytes) over message.
bool Ed25519Verify(std::string_view publicKey, std::string_view message,
                   std::string_view signature);

}  // namespace VendraBuild
