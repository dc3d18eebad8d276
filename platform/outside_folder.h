#pragma once

#include <string>
#include <string_view>

namespace VendraPlatform {

// A folder as it reaches a program of ours from outside (the program's own
// folder, a folder on a command line written by the rules of
// command_line.h), turned once into the path every later step uses.
//
// Windows: its separators made the system's own. POSIX: taken as it is, but
// a backslash in it is refused: the path rules (paths.h) read it as a
// separator, so the folder would silently become another one
// ("inst\..\..\elsewhere" two levels up, "p\" q" a folder "p" with "\" q"
// in it). False with problem naming the folder.
bool FolderFromOutside(std::u16string_view written, std::u16string& folder,
                       std::u16string& problem);

}  // namespace VendraPlatform
