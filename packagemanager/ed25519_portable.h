#pragma once

#include <string_view>

namespace VendraBuild {

// Ed25519 signature check (RFC 8032, section 5.1.7) in plain C++, for the
// builds without libcrypto. Also refuses a signature whose S is not below the
// group order, as libcrypto does, so both give the same answers.
bool PortableEd25519Verify(std::string_view publicKey, std::string_view message,
                           std::string_view signature);

}  // namespace VendraBuild
