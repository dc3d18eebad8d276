#pragma once

#include <string>
#include <vector>

#include "packagemanager/commands.h"

namespace VendraBuild {

// Tells, for each folder, what is installed there (product, branch,
// version) and whether it is complete: every file of the build kept in the
// data folder present and unchanged. As text, or one JSON object per folder
// with json. Answers 0 when every folder could be looked at (an empty folder
// counts: it holds nothing), 1 otherwise.
int StatusCommand(Clients clients, const std::vector<std::u16string>& folders, bool json);

// The same for every folder the vendor's uninstall entries on this machine
// name, with the entry's key (and name, in JSON). Entries of other
// publishers and entries an uninstall emptied are left out.
int ListCommand(Clients clients, bool json);

}  // namespace VendraBuild
