#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "common/memory/ref_ptr.h"

namespace VendraJSON {
class VSJObject;
}

namespace VendraBuild {

// The member of a build object that carries the publisher's signature:
//   "release_signature": {
//     "algorithm": "ed25519", "key_id": HEX, "product": P, "branch": B,
//     "version": V, "expires": UNIX_SECONDS, "counter": N,
//     "key_chain": [ROTATION, ...],      (optional)
//     "revocations": [REVOCATION, ...],  (optional)
//     "value": BASE64 }
// The signature covers the canonical text of the whole build object with
// this member's "value" left out, after a fixed prefix that keeps a build
// signature from ever being taken for any other signed statement.
inline constexpr char16_t kReleaseSignatureMember[] = u"release_signature";

// A key rotation statement: {"public_key": BASE64, "signed_by": KEY_ID,
// "value": BASE64}, the signature of the key signed_by names over the
// statement without "value" (with its own prefix).
// A key revocation statement: {"revoked_key": KEY_ID, "signed_by": KEY_ID,
// "reset_counter": N, "value": BASE64}, signed the same way by a pinned key:
// the revoked key, and every key it vouched for, signs nothing any more, and
// a release one of them signed keeps no rollback floor above N.
inline constexpr char kBuildSignaturePrefix[] = "vendra-release-signature-1\n";
inline constexpr char kUtilitySignaturePrefix[] = "vendra-utility-signature-1\n";
inline constexpr char kRotationSignaturePrefix[] = "vendra-key-rotation-1\n";
inline constexpr char kRevocationSignaturePrefix[] = "vendra-key-revocation-1\n";

// A build list ("vclient/builds": {BRANCH: {"version": V}, ...}) carries the
// same member under the same name, claiming "product" (the list's name, as
// the service is asked for it) and "expires" besides who signed it; its
// signature covers every branch and version the list names. No branch is
// called like the member (the publisher tool refuses that name).
inline constexpr char kBuildListSignaturePrefix[] = "vendra-build-list-1\n";

// What carries a release signature: a build object, a utility's manifest or
// a build list, each with the same member. The prefix its signed text starts
// with keeps one kind from ever being taken for another; refusals name the
// object as subject does ("The build"). A release (a build, a utility)
// claims its branch, version and counter besides product and expiry; a
// build list claims product and expiry alone.
struct SignedKind {
  const char* prefix;
  std::u16string_view subject;
  bool claimsRelease = true;
};
inline constexpr SignedKind kSignedBuild{kBuildSignaturePrefix, u"The build"};
inline constexpr SignedKind kSignedBuildList{kBuildListSignaturePrefix, u"The build list",
                                             false};

// What the publisher vouches for, besides the signed object's content.
struct SignedRelease {
  std::string product;
  std::string branch;
  std::string version;
  int64_t expires = 0;  // Unix seconds
  int64_t counter = 0;  // grows with every release of the product
  std::string keyId;
  // Filled by the check: the keys that vouched for keyId through the key
  // chain up to a pinned key, nearest first (empty: keyId is pinned).
  std::vector<std::string> vouchers = {};
  // Every key revoked as far as the check knows: those it was told of and
  // those the build's revocations name (pinned keys never).
  std::set<std::string> revokedKeys = {};
  // For each key the build's revocations name, the rollback floor its
  // publisher keeps for a release that key signed (the highest given).
  std::map<std::string, int64_t> counterResets = {};
};

// The key id: the first 16 bytes of the SHA-256 of the raw public key, in
// lower-case hex.
std::string KeyId(std::string_view publicKey);

// The bytes a signature covers: prefix + canonical text of object with the
// member "value" left out (of object itself for a rotation statement, of
// its signature member for a build, a utility's manifest or a build list).
bool SignedObjectMessage(const VendraJSON::VSJObject* object, const SignedKind& kind,
                         std::string& message, std::u16string& error);
bool RotationSigningMessage(const VendraJSON::VSJObject* statement, std::string& message,
                            std::u16string& error);
bool RevocationSigningMessage(const VendraJSON::VSJObject* statement, std::string& message,
                              std::u16string& error);

enum class SignatureVerdict {
  kValid,
  kUnsigned,      // no signature member
  kMalformed,     // a member missing or of the wrong form
  kUnknownKey,    // signed by a key neither pinned nor reached by rotation
  kBrokenChain,   // a rotation statement not signed by a trusted key
  kBadSignature,  // the content is not what was signed
  kRevokedKey,    // signed by a revoked key, or by one a revoked key vouched for
  kBadRevocation, // a revocation not signed by a pinned key other than the one it revokes
};

// Checks the signature of object (of kind) against the pinned raw public
// keys, the rotation statements and revocations it carries and the key ids
// known to be revoked already. release is filled when the verdict is
// kValid (of a kind that claims no release: all but branch, version and
// counter); error describes every other verdict.
SignatureVerdict VerifySignedObject(const VendraJSON::VSJObject* object, const SignedKind& kind,
                                    const std::vector<std::string>& pinnedKeys,
                                    const std::set<std::string>& revokedKeys,
                                    SignedRelease& release, std::u16string& error);
inline SignatureVerdict VerifyBuildSignature(const VendraJSON::VSJObject* build,
                                             const std::vector<std::string>& pinnedKeys,
                                             const std::set<std::string>& revokedKeys,
                                             SignedRelease& release, std::u16string& error) {
  return VerifySignedObject(build, kSignedBuild, pinnedKeys, revokedKeys, release, error);
}

// A copy of object (sharing the members' values) without key.
Vendra::RefPtr<VendraJSON::VSJObject> ObjectWithout(const VendraJSON::VSJObject* object,
                                                    std::u16string_view key);

}  // namespace VendraBuild
