#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "packagemanager/release/release_signature.h"

namespace VendraJSON {
class VSJObject;
}

namespace VendraBuild {

// A utility's manifest (its program's file name, size and SHA-256, and those
// of its compressed download) carries the same signature member as a build,
// with the utility's name as "product" and this as "branch", over its own
// prefix: a signed build can never pass for a manifest, nor the reverse.
inline constexpr char kUtilityBranch[] = "utility";
inline constexpr SignedKind kSignedUtility{kUtilitySignaturePrefix, u"The utility's manifest"};

// What a program that installs and starts the utility name holds its
// manifest to, before anything is downloaded: signed by a pinned key (or a
// key one vouched for) that is not revoked, over exactly this manifest; for
// name (the signature's product and the manifest's own "name"); not expired
// at now; and naming the program's size and SHA-256, which are what tie the
// program's bytes to the signature. False with error naming the check that
// failed, calling the manifest subject ("The package manager's manifest").
bool CheckUtilitySignature(const VendraJSON::VSJObject* manifest, std::string_view name,
                           std::u16string_view subject,
                           const std::vector<std::string>& pinnedKeys, int64_t now,
                           std::u16string& error);

}  // namespace VendraBuild
