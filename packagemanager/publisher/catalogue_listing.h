#pragma once

#include <cstdint>
#include <string>
#include <vector>

// What a service root's catalogue holds, read back from its files.
namespace VendraCatalogue {

struct ListedBuild {
  std::string product, branch, version;
  size_t files = 0;
  uint64_t bytes = 0;
};

// A branch's entry in a build list: catalogue/LIST/builds.json.
struct ListedBranch {
  std::string list, branch, version;
};

struct ListedUtility {
  std::string name, fileName;
  uint64_t bytes = 0;
};

struct Listing {
  std::vector<ListedBuild> builds;
  std::vector<ListedBranch> branches;
  std::vector<ListedUtility> utilities;
};

// Reads the catalogue below root; entries whose files cannot be read are
// left out. False when root holds no catalogue at all.
bool ReadListing(const std::u16string& root, Listing& listing);

// The listing as text lines, or as one JSON object.
std::string ListingText(const Listing& listing);
std::string ListingJson(const Listing& listing);

}  // namespace VendraCatalogue
