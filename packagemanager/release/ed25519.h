#pragma once

#include <string>
#include <string_view>

namespace VendraBuild {

inline constexpr size_t kEd25519PublicKeySize = 32;
inline constexpr size_t kEd25519SignatureSize = 64;

// Whether signature (64 bytes) is publicKey's (32 raw bytes) over message.
// libsodium's check, on every system: besides a wrong signature it refuses a
// second encoding of one (S not below the group order) and public keys of
// small order, so that no one can make a signature that holds for every
// message.
bool Ed25519Verify(std::string_view publicKey, std::string_view message,
                   std::string_view signature);

}  // namespace VendraBuild
