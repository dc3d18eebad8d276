#include "packagemanager/ed25519_portable.h"

#include <array>
#include <cstdint>
#include <string>

#include "packagemanager/ed25519.h"
#include "packagemanager/sha512.h"

// Field elements modulo p = 2^255 - 19 are sixteen signed 16-bit limbs in
// 64-bit integers (little-endian), so that products of uncarried sums fit.
// Points are in extended coordinates (X, Y, Z, T) on -x^2 + y^2 = 1 + d x^2 y^2.
// Only public values pass through here, so nothing needs constant time.
namespace VendraBuild {
namespace {

using Fe = std::array<int64_t, 16>;
using Point = std::array<Fe, 4>;
using Bytes32 = std::array<uint8_t, 32>;

constexpr Fe kZero{};
constexpr Fe kOne{1};
// d = -121665 / 121666, 2d, sqrt(-1), and the base point's x and y (y = 4/5).
constexpr Fe kD{0x78a3, 0x1359, 0x4dca, 0x75eb, 0xd8ab, 0x4141, 0x0a4d, 0x0070,
                0xe898, 0x7779, 0x4079, 0x8cc7, 0xfe73, 0x2b6f, 0x6cee, 0x5203};
constexpr Fe kD2{0xf159, 0x26b2, 0x9b94, 0xebd6, 0xb156, 0x8283, 0x149a, 0x00e0,
                 0xd130, 0xeef3, 0x80f2, 0x198e, 0xfce7, 0x56df, 0xd9dc, 0x2406};
constexpr Fe kSqrtMinusOne{0xa0b0, 0x4a0e, 0x1b27, 0xc4ee, 0xe478, 0xad2f, 0x1806, 0x2f43,
                           0xd7a7, 0x3dfb, 0x0099, 0x2b4d, 0xdf0b, 0x4fc1, 0x2480, 0x2b83};
constexpr Fe kBaseX{0xd51a, 0x8f25, 0x2d60, 0xc956, 0xa7b2, 0x9525, 0xc760, 0x692c,
                    0xdc5c, 0xfdd6, 0xe231, 0xc0a4, 0x53fe, 0xcd6e, 0x36d3, 0x2169};
constexpr Fe kBaseY{0x6658, 0x6666, 0x6666, 0x6666, 0x6666, 0x6666, 0x6666, 0x6666,
                    0x6666, 0x6666, 0x6666, 0x6666, 0x6666, 0x6666, 0x6666, 0x6666};
// The group order L = 2^252 + 27742317777372353535851937790883648493,
// little-endian bytes.
constexpr Bytes32 kOrder{0xed, 0xd3, 0xf5, 0x5c, 0x1a, 0x63, 0x12, 0x58, 0xd6, 0x9c, 0xf7,
                         0xa2, 0xde, 0xf9, 0xde, 0x14, 0,    0,    0,    0,    0,    0,
                         0,    0,    0,    0,    0,    0,    0,    0,    0,    0x10};

// Moves each limb's excess into the next; what leaves the top limb is worth
// 2^256 = 38 (mod p) and goes back into the lowest.
void Carry(Fe& o) {
  for (int i = 0; i < 16; ++i) {
    const int64_t c = o[i] >> 16;  // floor division, also for negative limbs
    o[i] -= c * 65536;
    if (i < 15) o[i + 1] += c;
    else o[0] += 38 * c;
  }
}

Fe Add(const Fe& a, const Fe& b) {
  Fe o;
  for (int i = 0; i < 16; ++i) o[i] = a[i] + b[i];
  return o;
}

Fe Sub(const Fe& a, const Fe& b) {
  Fe o;
  for (int i = 0; i < 16; ++i) o[i] = a[i] - b[i];
  return o;
}

Fe Mul(const Fe& a, const Fe& b) {
  int64_t t[31] = {};
  for (int i = 0; i < 16; ++i)
    for (int j = 0; j < 16; ++j) t[i + j] += a[i] * b[j];
  for (int i = 0; i < 15; ++i) t[i] += 38 * t[i + 16];
  Fe o;
  for (int i = 0; i < 16; ++i) o[i] = t[i];
  Carry(o);
  Carry(o);
  return o;
}

Fe Square(const Fe& a) { return Mul(a, a); }

// a^(p-2) = 1/a: p - 2 = 2^255 - 21 has every bit set but bits 2 and 4.
Fe Invert(const Fe& a) {
  Fe c = a;
  for (int bit = 253; bit >= 0; --bit) {
    c = Square(c);
    if (bit != 2 && bit != 4) c = Mul(c, a);
  }
  return c;
}

// a^((p-5)/8) = a^(2^252 - 3): every bit set but bit 1.
Fe PowP58(const Fe& a) {
  Fe c = a;
  for (int bit = 250; bit >= 0; --bit) {
    c = Square(c);
    if (bit != 1) c = Mul(c, a);
  }
  return c;
}

// The unique encoding: fully reduced below p, little-endian.
Bytes32 Pack(const Fe& n) {
  Fe t = n;
  Carry(t);
  Carry(t);
  Carry(t);
  for (int pass = 0; pass < 2; ++pass) {
    Fe m;
    m[0] = t[0] - 0xffed;
    for (int i = 1; i < 15; ++i) {
      m[i] = t[i] - 0xffff - ((m[i - 1] >> 16) & 1);
      m[i - 1] &= 0xffff;
    }
    m[15] = t[15] - 0x7fff - ((m[14] >> 16) & 1);
    const bool borrow = (m[15] >> 16) & 1;
    m[14] &= 0xffff;
    if (!borrow) t = m;  // t was at least p: keep t - p
  }
  Bytes32 out;
  for (int i = 0; i < 16; ++i) {
    out[2 * i] = static_cast<uint8_t>(t[i] & 0xff);
    out[2 * i + 1] = static_cast<uint8_t>(t[i] >> 8);
  }
  return out;
}

bool Equal(const Fe& a, const Fe& b) { return Pack(a) == Pack(b); }
int Parity(const Fe& a) { return Pack(a)[0] & 1; }

Fe Unpack(const uint8_t* bytes) {
  Fe o;
  for (int i = 0; i < 16; ++i) o[i] = bytes[2 * i] + (static_cast<int64_t>(bytes[2 * i + 1]) << 8);
  o[15] &= 0x7fff;
  return o;
}

void AddPoint(Point& p, const Point& q) {
  const Fe a = Mul(Sub(p[1], p[0]), Sub(q[1], q[0]));
  const Fe b = Mul(Add(p[0], p[1]), Add(q[0], q[1]));
  const Fe c = Mul(Mul(p[3], q[3]), kD2);
  const Fe d = Mul(p[2], Add(q[2], q[2]));
  const Fe e = Sub(b, a), f = Sub(d, c), g = Add(d, c), h = Add(b, a);
  p = {Mul(e, f), Mul(h, g), Mul(g, f), Mul(e, h)};
}

// scalar * q, scalar little-endian, by double-and-add from the top bit.
Point ScalarMul(const Point& q, const Bytes32& scalar) {
  Point p{kZero, kOne, kOne, kZero};
  for (int bit = 255; bit >= 0; --bit) {
    AddPoint(p, p);
    if ((scalar[bit / 8] >> (bit % 8)) & 1) AddPoint(p, q);
  }
  return p;
}

Bytes32 Encode(const Point& p) {
  const Fe zInverse = Invert(p[2]);
  Bytes32 out = Pack(Mul(p[1], zInverse));
  out[31] ^= static_cast<uint8_t>(Parity(Mul(p[0], zInverse)) << 7);
  return out;
}

// The point -A of an encoded A; false when the bytes encode no point or
// encode y in a form other than the reduced one.
bool DecodeNegated(const uint8_t* bytes, Point& r) {
  const Fe y = Unpack(bytes);
  Bytes32 reduced = Pack(y);
  reduced[31] |= bytes[31] & 0x80;
  for (int i = 0; i < 32; ++i)
    if (reduced[i] != bytes[i]) return false;
  const Fe ySquared = Square(y);
  const Fe num = Sub(ySquared, kOne);       // y^2 - 1
  const Fe den = Add(Mul(ySquared, kD), kOne);  // d y^2 + 1
  // x = num den^3 (num den^7)^((p-5)/8), then fixed up by sqrt(-1).
  const Fe den2 = Square(den), den4 = Square(den2), den6 = Mul(den4, den2);
  Fe x = PowP58(Mul(Mul(den6, num), den));
  x = Mul(Mul(Mul(x, num), den), Mul(den, den));
  if (!Equal(Mul(Square(x), den), num)) x = Mul(x, kSqrtMinusOne);
  if (!Equal(Mul(Square(x), den), num)) return false;
  // The encoding's top bit is x's parity; -A has the other one.
  if (Parity(x) == (bytes[31] >> 7)) x = Sub(kZero, x);
  r = {x, y, kOne, Mul(x, y)};
  return true;
}

// A 512-bit little-endian number modulo L, bit by bit from the top.
Bytes32 ReduceModOrder(const std::array<uint8_t, 64>& wide) {
  uint32_t r[9] = {}, order[9] = {};
  for (int i = 0; i < 32; ++i) order[i / 4] |= static_cast<uint32_t>(kOrder[i]) << (8 * (i % 4));
  for (int bit = 511; bit >= 0; --bit) {
    // r = 2r + bit; r stays below 2L < 2^254, so nothing leaves the top limb.
    for (int i = 8; i > 0; --i) r[i] = r[i] << 1 | r[i - 1] >> 31;
    r[0] = r[0] << 1 | ((wide[bit / 8] >> (bit % 8)) & 1);
    bool atLeastOrder = true;
    for (int i = 8; i >= 0; --i) {
      if (r[i] != order[i]) {
        atLeastOrder = r[i] > order[i];
        break;
      }
    }
    if (!atLeastOrder) continue;
    uint64_t borrow = 0;
    for (int i = 0; i < 9; ++i) {
      const uint64_t difference = static_cast<uint64_t>(r[i]) - order[i] - borrow;
      r[i] = static_cast<uint32_t>(difference);
      borrow = (difference >> 32) & 1;
    }
  }
  Bytes32 out;
  for (int i = 0; i < 32; ++i) out[i] = static_cast<uint8_t>(r[i / 4] >> (8 * (i % 4)));
  return out;
}

bool BelowOrder(const uint8_t* scalar) {
  for (int i = 31; i >= 0; --i)
    if (scalar[i] != kOrder[i]) return scalar[i] < kOrder[i];
  return false;
}

}  // namespace

bool PortableEd25519Verify(std::string_view publicKey, std::string_view message,
                           std::string_view signature) {
  if (publicKey.size() != kEd25519PublicKeySize || signature.size() != kEd25519SignatureSize)
    return false;
  const auto* key = reinterpret_cast<const uint8_t*>(publicKey.data());
  const auto* sig = reinterpret_cast<const uint8_t*>(signature.data());
  Point minusA;
  if (!BelowOrder(sig + 32) || !DecodeNegated(key, minusA)) return false;
  // k = SHA-512(R || A || message) mod L; the signature holds when
  // [S]B - [k]A encodes as R.
  std::string hashed(signature.substr(0, 32));
  hashed.append(publicKey);
  hashed.append(message);
  const Bytes32 k = ReduceModOrder(Sha512(hashed));
  Bytes32 s;
  for (int i = 0; i < 32; ++i) s[i] = sig[32 + i];
  Point check = ScalarMul(minusA, k);
  AddPoint(check, ScalarMul({kBaseX, kBaseY, kOne, Mul(kBaseX, kBaseY)}, s));
  const Bytes32 encoded = Encode(check);
  for (int i = 0; i < 32; ++i)
    if (encoded[i] != sig[i]) return false;
  return true;
}

}  // namespace VendraBuild
