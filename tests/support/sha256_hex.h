#pragma once

#include <cstddef>
#include <string>

namespace VendraTest {

// The SHA-256 of bytes as 64 lower-case hexadecimal digits, as builds list it.
std::string Sha256Hex(const void* data, size_t size);
std::string Sha256Hex(const std::string& bytes);

}  // namespace VendraTest
