#pragma once

#include <cstdint>
#include <string>

#include "packagemanager/release/release_signature.h"

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

// The build list's default lifetime as the publisher signs it. Whoever
// serves the list can hand out any copy that has not expired, and so point
// a fresh install at the version that copy named live: the lifetime bounds
// how stale that version can be. The publisher signs the list again on a
// schedule (daily, say); a week leaves room for a run that failed.
inline constexpr int64_t kBuildListLifetimeDays = 7;

// Signs a build list as SignBuild a build: the signature names the list (product, the
// name the service is asked for) and its expiry, and covers every branch
// and version the list names.
bool SignBuildList(VendraJSON::VSJObject* buildList, const PublisherKey& key,
                   const std::string& product, int64_t expires, std::u16string& error);

}  // namespace VendraBuild
