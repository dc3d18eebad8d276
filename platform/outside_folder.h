#pragma once

#include <string>
#include <string_view>

namespace VendraPlatform {

// A folder as it reaches a program of ours from outside (the program's own
// folder, a folder on a command line written by the rules of
// command_line.h), taken once: every later step uses the folder it gives.
//
// Windows: the folder as it is. POSIX: the folder as it is too, but one with
// a backslash in it is refused: the path rules (paths.h) read a backslash as
// a separator, so the folder would silently become another one
// ("inst\..\..\elsewhere" two levels up, "p\" q" a file '" q' in "p").
// False with problem naming the folder.
bool FolderFromOutside(std::u16string_view written, std::u16string& folder,
                       std::u16string& problem);

}  // namespace VendraPlatform
