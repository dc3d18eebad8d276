#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

namespace VendraBuild {

// What the publisher's signature of the installed build leaves for the
// checks of the next one.
struct ReleaseFloor {
  // The release counter (0: unsigned), so that an older signed build is
  // never installed over a newer one.
  int64_t counter = 0;
  // The key that signed it, then the keys that vouched for it up to a pinned
  // key (empty: unsigned, or recorded before keys were): once one of them is
  // revoked, the counter and the version no longer hold.
  std::vector<std::string> keys = {};
  // The keys revoked as far as this folder learnt: never trusted again here.
  std::set<std::string> revokedKeys = {};
};

}  // namespace VendraBuild
