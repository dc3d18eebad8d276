#pragma once

#include <cstdint>
#include <string>
#include <string_view>
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

// True when a and b name the same folder however they are spelt: either
// separator, a trailing separator or not, letter case where the system
// ignores it.
bool SameFolder(std::u16string_view a, std::u16string_view b);

// The vendor's uninstall entry whose install location is folder (the first
// by key); false when there is none or the entries cannot be read.
bool FindVendorEntry(std::u16string_view folder, VendorEntry& found);

}  // namespace VendraBuild
