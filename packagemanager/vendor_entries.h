#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace VendraBuild {

// One of the vendor's uninstall entries on this machine.
struct VendorEntry {
  std::u16string key;
  std::u16string folder;  // its InstallLocation
  std::u16string name;    // its DisplayName
};

// The uninstall entries whose Publisher is the vendor's and that still name
// a folder (an uninstall empties the entry it removes), sorted by key: the
// folders the vendor's products are installed in. Answers 0, or the system
// error of a list of entries that could not be read (none at all is no
// error).
uint32_t ListVendorEntries(std::vector<VendorEntry>& found);

}  // namespace VendraBuild
