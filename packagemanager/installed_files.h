#pragma once

#include <map>
#include <set>
#include <string>

#include "common/memory/ref_ptr.h"
#include "json/array.h"
#include "packagemanager/install_record.h"
#include "platform/files.h"

namespace VendraBuild {

// The stamps (size, modification time) of the installed files, by the
// build's names, taken before anything reads them.
using Stamps = std::map<std::u16string, VendraPlatform::FileStamp>;

// The entries of files whose installed copy must be read to tell whether it
// is the build's: all of them, except, when seen is given (the earlier
// complete record's), a file whose stamp is still the one seen: with the
// same content as the build's entry it is current; with other content it
// is known to differ and goes to stale (a copy of its entry with
// "local_filename", as the build client lists files to install) unread. A stamp no older than the record
// itself is not trusted: a change in the same tick of the clock as the
// placing would keep the time. before gets the stamp of every file present.
// Null with error when an entry has no place in folder.
Vendra::RefPtr<VendraJSON::VSJArray> EntriesToCheck(const VendraJSON::VSJArray* files,
                                                    const std::u16string& folder,
                                                    const std::map<std::u16string, InstallRecord::Seen>* seen,
                                                    Stamps& before,
                                                    Vendra::RefPtr<VendraJSON::VSJArray>& stale,
                                                    std::u16string& error);

// What the record keeps of a finished install: each file placed by this run
// as it is now, and each file found current (checked or trusted) as long as
// its stamp has not changed since before it was looked at.
std::map<std::u16string, InstallRecord::Seen> SeenAfterInstall(
    const VendraJSON::VSJArray* files, const std::u16string& folder,
    const std::set<std::u16string>& placed, const Stamps& before);

}  // namespace VendraBuild
