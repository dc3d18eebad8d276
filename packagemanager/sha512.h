#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace VendraBuild {

// SHA-512 (FIPS 180-4), for the built-in Ed25519 check.
std::array<uint8_t, 64> Sha512(std::string_view bytes);

}  // namespace VendraBuild
