#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "client/result.h"

// The download cache in the data folder: downloads\PRODUCT\BRANCH\VERSION
// holds the version's build.json (which status reads) and, until an install
// of the version is complete, its ".z" downloads, whole or partial, so that
// a killed or failed run is finished without fetching anything twice.
namespace VendraBuild {

inline constexpr char16_t kBuildCopyName[] = u"build.json";

// A version's cache folder, relative to the data folder.
std::u16string VersionCachePath(std::string_view product, std::string_view branch,
                                std::string_view version);

// The data folder's downloads folder, once it has passed the trust rule for
// folders the elevated program writes into.
VendraClient::eVClientResult DownloadsFolder(std::u16string& path, std::u16string& error);

// What an installed folder's record needs of the cache: the build copy of
// its version, and the downloads as well while the install is unfinished.
struct CacheNeed {
  std::string product;
  std::string branch;
  std::string version;
  bool downloads = false;
};

// The needs of the installed products: the records of the folders the
// vendor's uninstall entries name. A folder without a readable record needs
// nothing. Answers 0, or the system error of entries that cannot be listed
// (then nothing is known to be unneeded).
uint32_t InstalledNeeds(std::vector<CacheNeed>& needs);

// One version whose cache lost something.
struct CleanedVersion {
  std::string product;
  std::string branch;
  std::string version;
  bool whole = false;  // nothing needed it: its folder went; else only its downloads
  uint64_t bytes = 0;
};

struct CacheSweep {
  std::vector<CleanedVersion> versions;
  // Everything removed, stray entries beside the version folders included.
  uint64_t freedBytes = 0;
  uint64_t filesRemoved = 0;
  // What could not be removed: the path and the system error.
  std::vector<std::u16string> failures;
};

// Removes below downloads what no need names: the folders of versions no
// need names, the downloads of versions only complete installs need (their
// build copy stays), and whatever else stands there (stray files, partial
// downloads of versions nobody finishes, links). A version an unfinished
// install needs is kept whole. Links are removed as themselves, never
// followed, and nothing outside downloads is reached. With product, only
// that product's folder is looked at.
void SweepDownloads(const std::u16string& downloads, const std::vector<CacheNeed>& needs,
                    std::string_view product, CacheSweep& sweep);

// Once the version's install is complete: everything in its cache folder
// but the build copy goes.
void DropDownloads(const std::u16string& versionFolder);

}  // namespace VendraBuild
