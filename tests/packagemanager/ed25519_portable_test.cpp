// The built-in Ed25519 check and its SHA-512, held against libcrypto.
#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <openssl/rand.h>

#include <memory>
#include <string>

#include "packagemanager/ed25519.h"
#include "packagemanager/ed25519_portable.h"
#include "packagemanager/sha512.h"

namespace VendraBuild {
namespace {

std::string Random(size_t size) {
  std::string bytes(size, '\0');
  if (size) RAND_bytes(reinterpret_cast<unsigned char*>(bytes.data()), static_cast<int>(size));
  return bytes;
}

std::string FromHex(const std::string& hex) {
  std::string bytes;
  for (size_t i = 0; i + 1 < hex.size(); i += 2)
    bytes.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  return bytes;
}

// A key pair and signatures made by libcrypto.
class Signer {
 public:
  Signer() {
    EVP_PKEY_CTX* context = EVP_PKEY_CTX_new_id(EVP_PKEY_ED25519, nullptr);
    EVP_PKEY_keygen_init(context);
    EVP_PKEY_keygen(context, &key_);
    EVP_PKEY_CTX_free(context);
    size_t size = 32;
    publicKey_.assign(32, '\0');
    EVP_PKEY_get_raw_public_key(key_, reinterpret_cast<unsigned char*>(publicKey_.data()), &size);
  }
  ~Signer() { EVP_PKEY_free(key_); }
  const std::string& publicKey() const { return publicKey_; }
  std::string Sign(const std::string& message) const {
    EVP_MD_CTX* context = EVP_MD_CTX_new();
    std::string signature(64, '\0');
    size_t size = 64;
    EVP_DigestSignInit(context, nullptr, nullptr, nullptr, key_);
    EVP_DigestSign(context, reinterpret_cast<unsigned char*>(signature.data()), &size,
                   reinterpret_cast<const unsigned char*>(message.data()), message.size());
    EVP_MD_CTX_free(context);
    return signature;
  }

 private:
  EVP_PKEY* key_ = nullptr;
  std::string publicKey_;
};

TEST(Sha512Test, AgreesWithLibcryptoAcrossEveryPaddingCase) {
  for (size_t size = 0; size <= 300; ++size) {
    const std::string bytes = Random(size);
    unsigned char expected[64];
    unsigned int length = 0;
    ASSERT_EQ(EVP_Digest(bytes.data(), bytes.size(), expected, &length, EVP_sha512(), nullptr), 1);
    const auto digest = Sha512(bytes);
    EXPECT_EQ(std::string(digest.begin(), digest.end()),
              std::string(reinterpret_cast<char*>(expected), 64))
        << size << " bytes";
  }
}

TEST(PortableEd25519Test, GivesLibcryptosAnswerForGoodAndDamagedSignatures) {
  // The first test vector of RFC 8032 (an empty message).
  const std::string vectorKey =
      FromHex("d75a980182b10ab7d54bfed3c964073a0ee172f3daa62325af021a68f707511a");
  const std::string vectorSignature = FromHex(
      "e5564300c360ac729086e2cc806e828a84877f1eb8e5d974d873e065224901555fb8821590a33bacc61e3970"
      "1cf9b46bd25bf5f0595bbe24655141438e7a100b");
  EXPECT_TRUE(PortableEd25519Verify(vectorKey, "", vectorSignature));
  EXPECT_TRUE(Ed25519Verify(vectorKey, "", vectorSignature));

  for (int round = 0; round < 24; ++round) {
    const Signer signer;
    const std::string message = Random(static_cast<size_t>(round * 23));
    const std::string signature = signer.Sign(message);
    ASSERT_TRUE(Ed25519Verify(signer.publicKey(), message, signature));
    EXPECT_TRUE(PortableEd25519Verify(signer.publicKey(), message, signature)) << round;

    // One bit changed anywhere; S raised by the group order (the same point,
    // not the one encoding); another key; a key that is no point.
    std::string badR = signature, badS = signature, raisedS = signature;
    badR[round % 32] ^= static_cast<char>(1 << (round % 8));
    badS[32 + round % 32] ^= static_cast<char>(1 << (round % 8));
    unsigned carry = 0;
    const unsigned char order[32] = {0xed, 0xd3, 0xf5, 0x5c, 0x1a, 0x63, 0x12, 0x58,
                                     0xd6, 0x9c, 0xf7, 0xa2, 0xde, 0xf9, 0xde, 0x14,
                                     0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x10};
    for (int i = 0; i < 32; ++i) {
      carry += static_cast<unsigned char>(raisedS[32 + i]) + order[i];
      raisedS[32 + i] = static_cast<char>(carry & 0xff);
      carry >>= 8;
    }
    std::string badMessage = message + "x";
    std::string badKey = signer.publicKey();
    badKey[round % 32] ^= 0x04;
    const Signer other;
    const struct {
      std::string key, message, signature;
    } damaged[] = {
        {signer.publicKey(), message, badR},        {signer.publicKey(), message, badS},
        {signer.publicKey(), message, raisedS},     {signer.publicKey(), badMessage, signature},
        {other.publicKey(), message, signature},    {badKey, message, signature},
        {std::string(32, '\xff'), message, signature},
    };
    for (const auto& d : damaged) {
      EXPECT_EQ(PortableEd25519Verify(d.key, d.message, d.signature),
                Ed25519Verify(d.key, d.message, d.signature))
          << round;
      EXPECT_FALSE(PortableEd25519Verify(d.key, d.message, d.signature)) << round;
    }
  }
}

}  // namespace
}  // namespace VendraBuild
