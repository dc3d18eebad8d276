#include "client/md5.h"

#include <cstring>

#include "common/memory/wipe.h"

namespace VendraClient {
namespace {

constexpr uint32_t kSine[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613,
    0xfd469501, 0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193,
    0xa679438e, 0x49b40821, 0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d,
    0x02441453, 0xd8a1e681, 0xe7d3fbc8, 0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed,
    0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a, 0xfffa3942, 0x8771f681, 0x6d9d6122,
    0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70, 0x289b7ec6, 0xeaa127fa,
    0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665, 0xf4292244,
    0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb,
    0xeb86d391};

constexpr int kShift[64] = {7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22,
                            5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20,
                            4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23,
                            6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21};

inline uint32_t RotateLeft(uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }

void Compress(uint32_t hash[4], const uint8_t* block) {
  uint32_t x[16];
  for (int i = 0; i < 16; ++i) {
    const uint8_t* p = block + 4 * i;
    x[i] = uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
  }
  uint32_t a = hash[0], b = hash[1], c = hash[2], d = hash[3];
  for (int i = 0; i < 64; ++i) {
    uint32_t f;
    int g;
    if (i < 16) {
      f = (b & c) | (~b & d);
      g = i;
    } else if (i < 32) {
      f = (d & b) | (~d & c);
      g = (5 * i + 1) % 16;
    } else if (i < 48) {
      f = b ^ c ^ d;
      g = (3 * i + 5) % 16;
    } else {
      f = c ^ (b | ~d);
      g = (7 * i) % 16;
    }
    const uint32_t next = d;
    d = c;
    c = b;
    b = b + RotateLeft(a + f + kSine[i] + x[g], kShift[i]);
    a = next;
  }
  hash[0] += a;
  hash[1] += b;
  hash[2] += c;
  hash[3] += d;
  // The words may hold a password being digested.
  Vendra::WipeBytes(x, sizeof x);
}

}  // namespace

void Md5Start(Md5State& state) {
  state.hash[0] = 0x67452301;
  state.hash[1] = 0xefcdab89;
  state.hash[2] = 0x98badcfe;
  state.hash[3] = 0x10325476;
  state.length = 0;
}

void Md5Add(Md5State& state, const void* data, size_t size) {
  const uint8_t* bytes = static_cast<const uint8_t*>(data);
  size_t fill = state.length % 64;
  state.length += size;
  if (fill != 0) {
    const size_t take = size < 64 - fill ? size : 64 - fill;
    std::memcpy(state.block + fill, bytes, take);
    bytes += take;
    size -= take;
    fill += take;
    if (fill < 64) return;
    Compress(state.hash, state.block);
  }
  for (; size >= 64; bytes += 64, size -= 64) Compress(state.hash, bytes);
  if (size != 0) std::memcpy(state.block, bytes, size);
}

Md5Digest Md5Finish(Md5State& state) {
  const uint64_t bits = state.length * 8;
  const size_t fill = state.length % 64;
  uint8_t padding[72] = {0x80};
  const size_t padSize = (fill < 56 ? 56 : 120) - fill;
  for (int i = 0; i < 8; ++i) padding[padSize + i] = static_cast<uint8_t>(bits >> (8 * i));
  Md5Add(state, padding, padSize + 8);
  Md5Digest digest;
  for (int i = 0; i < 16; ++i) digest[i] = static_cast<uint8_t>(state.hash[i / 4] >> (8 * (i % 4)));
  Vendra::WipeBytes(state.block, sizeof state.block);
  return digest;
}

Md5Digest Md5(std::string_view bytes) {
  Md5State state;
  Md5Start(state);
  Md5Add(state, bytes.data(), bytes.size());
  return Md5Finish(state);
}

std::string Md5DigestText(const Md5Digest& digest) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string text(32, '0');
  for (size_t i = 0; i < digest.size(); ++i) {
    text[2 * i] = kHex[digest[i] >> 4];
    text[2 * i + 1] = kHex[digest[i] & 15];
  }
  return text;
}

std::string Md5Text(std::string_view bytes) { return Md5DigestText(Md5(bytes)); }

}  // namespace VendraClient
