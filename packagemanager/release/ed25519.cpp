#include "packagemanager/release/ed25519.h"

#include <sodium.h>

namespace VendraBuild {

bool Ed25519Verify(std::string_view publicKey, std::string_view message,
                   std::string_view signature) {
  if (publicKey.size() != kEd25519PublicKeySize || signature.size() != kEd25519SignatureSize)
    return false;
  // Readies the library once (CPU features); safe to call again and from
  // any thread, and it only fails where no check could be trusted anyway.
  if (sodium_init() < 0) return false;
  return crypto_sign_verify_detached(reinterpret_cast<const unsigned char*>(signature.data()),
                                     reinterpret_cast<const unsigned char*>(message.data()),
                                     message.size(),
                                     reinterpret_cast<const unsigned char*>(publicKey.data())) == 0;
}

}  // namespace VendraBuild
