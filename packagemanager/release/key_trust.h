#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "packagemanager/release/release_signature.h"

namespace VendraJSON {
class VSJObject;
}

namespace VendraBuild {

// Which publisher keys may sign the build at hand. The pinned keys are
// trusted outright, and no build can withdraw them: only the configuration
// does. A key rotation statement makes its key trusted when a trusted key
// that is not revoked signed it. A revocation withdraws a key, and so every
// key it vouched for; only a pinned key may sign one, because a key that
// merely a statement vouched for could have been leaked with the statement,
// and a leaked key must not be able to withdraw the keys that replace it.
class KeyTrust {
 public:
  // revokedKeys: the keys already known to be revoked (the install record's);
  // subject: the signed object as refusals name it ("The build").
  KeyTrust(const std::vector<std::string>& pinnedKeys, const std::set<std::string>& revokedKeys,
           std::u16string_view subject);

  // Takes the revocations of the build's signature member ("revocations").
  // Any revocation that is malformed, not signed by a pinned key, signed by
  // the key it revokes or not matching its signature refuses the build. A
  // revocation of a pinned key has no effect. Each revoked key's highest
  // "reset_counter" goes to resets.
  SignatureVerdict TakeRevocations(const VendraJSON::VSJObject* signature,
                                   std::map<std::string, int64_t>& resets, std::u16string& error);
  // Walks the rotation statements of the signature member ("key_chain") in
  // order; a statement signed by a revoked key refuses the build.
  SignatureVerdict FollowChain(const VendraJSON::VSJObject* signature, std::u16string& error);
  // The raw public key to check a build signed by keyId with, and the keys
  // that vouched for it up to a pinned key, nearest first. Null (verdict and
  // error set) when the key is unknown or revoked.
  const std::string* SigningKey(const std::string& keyId, std::vector<std::string>& vouchers,
                                SignatureVerdict& verdict, std::u16string& error) const;
  // The revoked keys, from before and from this build.
  const std::set<std::string>& revoked() const { return revoked_; }

 private:
  struct Known {
    std::string publicKey;
    std::string id;
    std::string vouchedBy;  // empty: pinned
  };
  const Known* Find(const std::string& id) const;
  bool IsPinned(const std::string& id) const;

  std::u16string subject_;
  std::vector<Known> keys_;
  std::set<std::string> revoked_;
};

}  // namespace VendraBuild
