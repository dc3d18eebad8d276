#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "client/result.h"
#include "install/build_file_list.h"

namespace VendraBuild {

struct RebuildPlan;

// One file an install downloads, places or both.
struct FileWork {
  const VendraClient::BuildFile* file = nullptr;  // in the build's checked list, which outlives it
  bool download = false;     // its download is not in the cache yet
  bool place = true;         // false: only its download is needed (a signature check)
  std::u16string cached;     // the ".z" file in the download cache, already checked
  std::u16string finalPath;  // in the install folder
  bool executable = false;   // the product's program: placed as one
  // Set when what stands at finalPath is not the product's as an install
  // left it (KeptBecause): it is moved aside, not replaced.
  std::string keptBecause;
  // The SHA-256 of what stands at finalPath as the check found it (read, or
  // vouched for by its stamp); empty when unknown.
  std::string standing;
  // Set: the file is put together from chunks (its earlier version's and
  // fetched ones) instead of expanded from its ".z".
  std::shared_ptr<RebuildPlan> rebuild;
};

// Places the cached file at its final name (PlaceExpanded, inside
// installFolder, checked against the build's size and SHA-256), in the
// engine's words. A download of the wrong content is discarded from the
// cache. A file with a rebuild plan is put together from its chunks the
// same way. A file to keep is first moved aside; where it went goes to aside.
VendraClient::eVClientResult PlaceFile(const FileWork& work, const std::u16string& installFolder,
                                       uint64_t& placedSize, std::u16string& aside,
                                       std::u16string& error);

// Removes what placing the files named (the build's names) may have left
// beside them when a run was killed: their new files not yet renamed.
void RemoveUnplacedFiles(const std::u16string& installFolder,
                         const std::vector<std::u16string>& names);

}  // namespace VendraBuild
