#include "packagemanager/ed25519.h"

// The Windows build carries no libcrypto: signed builds cannot be checked
// there, and the release check says so instead of accepting them.
namespace VendraBuild {

bool Ed25519Available() { return false; }

bool Ed25519Verify(std::string_view, std::string_view, std::string_view) { return false; }

}  // namespace VendraBuild
