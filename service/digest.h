#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Digests and random texts the service stand-in needs for its accounts,
// challenges, codes and tokens.
namespace VendraService {

// MD5 of the bytes as 32 lower-case hexadecimal digits.
std::string Md5Hex(std::string_view bytes);

// count random bytes from the system's generator, as lower-case hexadecimal.
std::string RandomHex(size_t count);

// A random number in [0, bound).
uint32_t RandomBelow(uint32_t bound);

std::string ToLowerAscii(std::string_view text);

}  // namespace VendraService
