#pragma once

#include <map>
#include <set>
#include <string>

#include "install/build_file_list.h"
#include "packagemanager/engine/install_record.h"
#include "platform/files.h"

namespace VendraBuild {

// The stamps (size, modification time) of the installed files, by the
// build's names, taken before anything reads them.
using Stamps = std::map<std::u16string, VendraPlatform::FileStamp>;

// The files whose installed copy is not the build's, by name, each with the
// SHA-256 of what stands there when it was read for the check (else empty).
// Every file is read, except, when seen is given (the earlier complete
// record's), a file whose stamp is still the one seen: with the same content
// as the build's it is current; with other content it is known to differ,
// unread. A stamp no older than the record itself is not trusted: a change in
// the same tick of the clock as the placing would keep the time. before gets
// the stamp of every file present.
std::map<std::u16string, std::string> FilesToPlace(
    const VendraClient::BuildFileList& files, const std::u16string& folder,
    const std::map<std::u16string, InstallRecord::Seen>* seen, Stamps& before);

// What the record keeps of a finished install: each file placed by this run
// as it is now, and each file found current (checked or trusted) as long as
// its stamp has not changed since before it was looked at.
std::map<std::u16string, InstallRecord::Seen> SeenAfterInstall(
    const VendraClient::BuildFileList& files, const std::u16string& folder,
    const std::set<std::u16string>& placed, const Stamps& before);

// A digest as records keep it: lower-case hex.
std::string LowerCase(std::string text);

// Whose the file under one of the build's names in the install folder is.
enum class Ownership {
  Absent,   // nothing there
  Ours,     // placed by an install and unchanged since
  Changed,  // named by the record but holding none of the contents placed there
  Foreign,  // not named by the record: never placed by an install
};

// Why a file that is not ours is kept, for the line that says so.
const char* KeptBecause(Ownership ownership);

// Tells, by the folder's record (none: nothing there is ours), whether a
// file is still as an install placed it: its stamp is the one the record saw
// and older than the record (when stamps are trusted: not in a repair), or
// else its content is one the record lists for its name. A record from
// before contents were kept vouches for the files it has no content of.
class FolderOwnership {
 public:
  FolderOwnership(const std::u16string& folder, const InstallRecord* record, bool trustStamps);
  // digest: the file's SHA-256 when the caller read it already, else it is
  // read here when the stamp does not vouch for it.
  Ownership Of(const std::u16string& name, const std::string& digest = "") const;

 private:
  const std::u16string folder_;
  const InstallRecord* record_;
  std::set<std::u16string> listed_;
  bool trustStamps_;
  VendraPlatform::FileStamp recordStamp_;
};

}  // namespace VendraBuild
