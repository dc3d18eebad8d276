#pragma once

#include <string>

#include "packagemanager/release_signature.h"

namespace VendraJSON {
class VSJObject;
}

namespace VendraBuild {

class PublisherKey;

// Adds the signature member to a finished build object: release's product,
// branch, version, expiry and counter, key's id, rotation chain and the
// revocations it carries, and the signature over all of it. Any earlier
// signature member is replaced.
bool SignBuild(VendraJSON::VSJObject* build, const PublisherKey& key,
               const SignedRelease& release, std::u16string& error);

// The same for a utility's manifest: release's product is the utility's
// name; its branch is taken as the fixed one of utilities.
bool SignUtility(VendraJSON::VSJObject* manifest, const PublisherKey& key,
                 const SignedRelease& release, std::u16string& error);

}  // namespace VendraBuild
