#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// MD5 message digest (RFC 1321). Used where the service expects it: the device
// identity and the sign-in challenge. It is not a security measure of ours.
namespace VendraClient {

using Md5Digest = std::array<uint8_t, 16>;

struct Md5State {
  uint32_t hash[4];
  uint64_t length;  // bytes added so far
  uint8_t block[64];
};

void Md5Start(Md5State& state);
void Md5Add(Md5State& state, const void* data, size_t size);
Md5Digest Md5Finish(Md5State& state);

Md5Digest Md5(std::string_view bytes);
// The digest as 32 lower-case hexadecimal digits.
std::string Md5Text(std::string_view bytes);
std::string Md5DigestText(const Md5Digest& digest);

}  // namespace VendraClient
