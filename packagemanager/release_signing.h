#pragma once

#include <cstdint>
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

// The same for a build list: the signature names the list (product, the
// name the service is asked for) and its expiry, and covers every branch
// and version the list names.
bool SignBuildList(VendraJSON::VSJObject* buildList, const PublisherKey& key,
                   const std::string& product, int64_t expires, std::u16string& error);

}  // namespace VendraBuild
