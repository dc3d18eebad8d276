#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "install/install_record_name.h"
#include "packagemanager/release/release_floor.h"
#include "platform/files.h"

namespace VendraBuild {

// What the package manager put into an install folder, kept in the folder
// itself so that uninstall and modify know what belongs to the product.
struct InstallRecord {
  std::string product;
  std::string branch;
  std::string version;
  // The product's program, by its name inside the install folder (records
  // written before names were relative hold its path: see ProgramName).
  std::u16string executable;
  // The installed files, relative to the install folder.
  std::vector<std::u16string> files;
  // What the installed build's signature holds the next install to.
  ReleaseFloor release = {};
  // Of a complete record: each file as it was when its content was last
  // known to be the build's (placed or checked), with that content's
  // SHA-256, so that a later install may trust a file whose stamp has not
  // changed instead of reading it again.
  struct Seen {
    VendraPlatform::FileStamp stamp;
    std::string sha256;
  };
  std::map<std::u16string, Seen> seen = {};
  // For each of files, the SHA-256 (lower-case hex) of every content an
  // install put under that name: the build's, and while incomplete the
  // earlier version's as well. A file holding none of them is not the
  // product's any more (someone changed it) and is never removed or
  // replaced unasked. Records written before contents were kept have none.
  std::map<std::u16string, std::set<std::string>> contents = {};
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
using VendraClient::kInstallRecordName;

bool SaveInstallRecord(const std::u16string& installFolder, const InstallRecord& record,
                       std::u16string& error, const InstallState& state = {});
// Removes the copies of the record a killed run left half-written beside it
// (the record itself is replaced in one step, through such a copy).
void RemoveAbandonedRecordCopies(const std::u16string& installFolder);
// The product's program as a name inside folder, with the build's
// separator: a relative name is taken relative to folder (never to the
// working folder), and a path that starts with folder by its spelling (as
// the installer gives it) loses that part. False with error when the name
// would not stay inside folder (the rule for the build's file names).
bool ProgramName(const std::u16string& folder, const std::u16string& executable,
                 std::u16string& name, std::u16string& error);

bool LoadInstallRecord(const std::u16string& installFolder, InstallRecord& record,
                       std::u16string& error, InstallState* state = nullptr);

}  // namespace VendraBuild
