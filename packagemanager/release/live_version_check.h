#pragma once

#include <cstdint>
#include <set>
#include <string>

namespace VendraJSON {
class VSJObject;
}

namespace VendraBuild {

struct TrustConfig;

// What is to be installed, checked against the product's build list.
struct LiveVersionRequest {
  std::string list;  // the build list's name (BuildListOf)
  std::string branch;
  std::string version;
  std::set<std::string> revokedKeys;  // known before this list
  int64_t now = 0;                    // Unix seconds
};

// Whether the publisher's build list lets version of branch install: the
// list signed by a trusted key that is not revoked (an unsigned one only
// where the configuration accepts unsigned builds, and then it decides
// nothing), for this list, not expired, naming a live version of branch
// that version is not lower than. A newer version than the live one passes:
// the publisher may have published it since the list was signed. error
// names the check that failed.
bool CheckLiveVersion(const VendraJSON::VSJObject* buildList, const TrustConfig& config,
                      const LiveVersionRequest& request, std::u16string& error);

}  // namespace VendraBuild
