#pragma once

#include <string>
#include <vector>

#include "packagemanager/engine/clients.h"

namespace VendraBuild {

// The exit codes of status beyond the shared ones, so that a script can
// tell a repair from an install.
inline constexpr int kExitIncomplete = 5;
inline constexpr int kExitNothingInstalled = 6;

// Tells, for each folder, what is installed there (product, branch,
// version) and whether it is complete: every file of the build kept in the
// data folder present and unchanged. As text, or one JSON object per folder
// with json. Answers 0 when every folder holds a complete install, else the
// first that applies: 1 a folder could not be looked at, kExitIncomplete
// one holds an install that did not finish or lost files,
// kExitNothingInstalled one holds nothing.
int StatusCommand(Clients clients, const std::vector<std::u16string>& folders, bool json);

// The same for every folder the vendor's uninstall entries on this machine
// name, with the entry's key (and name, in JSON). Entries of other
// publishers and entries an uninstall emptied are left out.
int ListCommand(Clients clients, bool json);

}  // namespace VendraBuild
