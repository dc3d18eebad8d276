#pragma once

#include <string>
#include <vector>

#include "packagemanager/engine/file_placement.h"

namespace VendraBuild {

// Whether what a run still writes fits on the disks it writes to: the files
// to place on the install folder's disk (each new file whole beside the one
// it replaces) and the downloads still to fetch, by their compressed sizes,
// on the download cache's disk; both summed when they are one disk. When
// not, error refuses the install and names the folder whose disk lacks the
// space (the install folder when it is one disk). A disk that cannot be
// asked is let be: a full disk is still noticed, later, by the write that
// fails.
bool FitsOnDisks(const std::vector<FileWork>& work, const std::u16string& folder,
                 const std::u16string& downloads, std::u16string& error);

}  // namespace VendraBuild
