#include <openssl/err.h>
#include <openssl/evp.h>

#include <memory>

#include "packagemanager/ed25519.h"

namespace VendraBuild {
namespace {

struct KeyFree {
  void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct ContextFree {
  void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};

}  // namespace

bool Ed25519Verify(std::string_view publicKey, std::string_view message,
                   std::string_view signature) {
  if (publicKey.size() != kEd25519PublicKeySize || signature.size() != kEd25519SignatureSize)
    return false;
  std::unique_ptr<EVP_PKEY, KeyFree> key(EVP_PKEY_new_raw_public_key(
      EVP_PKEY_ED25519, nullptr, reinterpret_cast<const unsigned char*>(publicKey.data()),
      publicKey.size()));
  std::unique_ptr<EVP_MD_CTX, ContextFree> context(EVP_MD_CTX_new());
  const bool valid =
      key && context &&
      EVP_DigestVerifyInit(context.get(), nullptr, nullptr, nullptr, key.get()) == 1 &&
      EVP_DigestVerify(context.get(), reinterpret_cast<const unsigned char*>(signature.data()),
                       signature.size(), reinterpret_cast<const unsigned char*>(message.data()),
                       message.size()) == 1;
  // libcrypto keeps its errors per thread; a refused signature leaves none behind.
  ERR_clear_error();
  return valid;
}

}  // namespace VendraBuild
