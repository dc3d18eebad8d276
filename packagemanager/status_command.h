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

}  // namespace VendraBuild
