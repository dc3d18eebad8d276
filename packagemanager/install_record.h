#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/files.h"

namespace VendraBuild {

// What the package manager put into an install folder, kept in the folder
// itself so that uninstall and modify know what belongs to the product.
struct InstallRecord {
  std::string product;
  std::string branch;
  std::string version;
  // The product's program, as the install command named it.
  std::u16string executable;
  // The installed files, relative to the install folder.
  std::vector<std::u16string> files;
  // The publisher's release counter of the installed build (0: unsigned), so
  // that an older signed build is never installed over a newer one.
  int64_t releaseCounter = 0;
  // Of a complete record: each file as it was when its content was last
  // known to be the build's (placed or checked), with that content's
  // SHA-256, so that a later install may trust a file whose stamp has not
  // changed instead of reading it again.
  struct Seen {
    VendraPlatform::FileStamp stamp;
    std::string sha256;
  };
  std::map<std::u16string, Seen> seen = {};
};

// Whether the record's version is wholly in place. A record is incomplete
// from before the first file of its version changes in the folder until
// every file of it is in place: the next install or repair of the version
// finishes the job. While incomplete, its files are those of both the
// earlier and the new version, so that an uninstall at that moment leaves
// nothing behind.
struct InstallState {
  bool complete = true;
  // While incomplete: the version the folder held before, if any.
  std::string previousVersion;
};

// The record's file name inside the install folder.
inline constexpr char16_t kInstallRecordName[] = u"VendraBuild.install.json";

bool SaveInstallRecord(const std::u16string& installFolder, const InstallRecord& record,
                       std::u16string& error, const InstallState& state = {});
// Removes the copies of the record a killed run left half-written beside it
// (the record itself is replaced in one step, through such a copy).
void RemoveAbandonedRecordCopies(const std::u16string& installFolder);
bool LoadInstallRecord(const std::u16string& installFolder, InstallRecord& record,
                       std::u16string& error, InstallState* state = nullptr);

}  // namespace VendraBuild
