#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "packagemanager/release/release_floor.h"
#include "packagemanager/release/release_signature.h"

namespace VendraJSON {
class VSJObject;
}

namespace VendraBuild {

// Whom the package manager trusts for builds: its configuration file,
// VendraBuild.config.json beside the program (or the file the environment
// variable VENDRA_BUILD_CONFIG names, for tests and demonstrations):
//   {"publisher_keys": [BASE64 raw Ed25519 public key, ...],
//    "accept_unsigned_builds": false,
//    "build_lists": {PRODUCT: LIST, ...}}
// build_lists names the build list that says which version of a product is
// live, where it is not the product's own name (the installer's list of
// "tdy" is "TDY-UPLINK").
struct TrustConfig {
  std::vector<std::string> publisherKeys;
  bool acceptUnsigned = false;
  std::map<std::string, std::string> buildLists = {};
};

// The name of product's build list under config.
std::string BuildListOf(const TrustConfig& config, const std::string& product);

inline constexpr char16_t kTrustConfigName[] = u"VendraBuild.config.json";

// A missing file is the empty configuration (no key; unsigned builds
// refused); a file that cannot be read or understood is an error.
bool LoadTrustConfig(TrustConfig& config, std::u16string& error);

// What the install folder holds already, as far as the checks of the next
// build go.
struct InstalledRelease {
  std::string product;
  std::string version;
  ReleaseFloor release = {};
};

// What the user asked for, and what the install folder holds already.
struct ReleaseRequest {
  std::string product;
  std::string branch;
  std::string version;
  std::optional<InstalledRelease> installed = {};  // none: nothing installed there
  bool allowDowngrade = false;
  int64_t now = 0;  // Unix seconds
};

// Decides, before anything is downloaded, whether build may be installed:
// signed by a trusted key that is not revoked, for what was asked, not
// expired, not older than what is installed. A release whose signing key
// (or a key that vouched for it) has been revoked since holds nothing back
// but the reset counter its revocation names. What an accepted build's
// record is to keep goes to admitted (counter 0 and no keys for an unsigned
// build the configuration accepts; the revoked keys in either case). error
// names the check that failed.
bool CheckRelease(const VendraJSON::VSJObject* build, const TrustConfig& config,
                  const ReleaseRequest& request, ReleaseFloor& admitted, std::u16string& error);

// Negative, 0 or positive as version a is lower than, equal to or higher
// than b: dot- or dash-separated parts, numeric parts by value, others by
// their bytes; a version that continues where the other ends is higher.
int CompareVersions(const std::string& a, const std::string& b);

}  // namespace VendraBuild
