#include "packagemanager/ed25519.h"
#include "packagemanager/ed25519_portable.h"

// The Windows build carries no libcrypto: its signatures are checked by the
// built-in implementation.
namespace VendraBuild {

bool Ed25519Verify(std::string_view publicKey, std::string_view message,
                   std::string_view signature) {
  return PortableEd25519Verify(publicKey, message, signature);
}

}  // namespace VendraBuild
