#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "common/memory/ref_ptr.h"

namespace VendraJSON {
class VSJObject;
}

namespace VendraBuild {

class PublisherKey;

// The statement, signed by signer, that revokes the key revokedId and keeps
// resetCounter as the rollback floor of a release that key signed. Null
// with error when it cannot be signed.
Vendra::RefPtr<VendraJSON::VSJObject> SignRevocation(const PublisherKey& signer,
                                                     const std::string& revokedId,
                                                     int64_t resetCounter, std::u16string& error);

// The publisher tool's revocation: signs it with signer and makes carrier
// (the key in carrierPath) carry it in every build it signs from then on.
// Refused, with a text saying what to do instead, when package managers
// would refuse it or the builds carrying it: revokedId is no key id, signer
// has a key chain (only a pinned key may revoke, and pinned keys have
// none), signer would revoke itself, or carrier is the revoked key or one
// it vouched for.
bool RevokeKey(const std::u16string& carrierPath, PublisherKey& carrier,
               const PublisherKey& signer, const std::string& revokedId, int64_t resetCounter,
               std::u16string& error);

// The keys key's revocations name, each with its reset counter.
std::map<std::string, int64_t> RevocationResets(const PublisherKey& key);

}  // namespace VendraBuild
