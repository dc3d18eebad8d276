#pragma once

// POSIX layer only: a file's folder opened the way the *Inside calls of
// platform/new_file.h reach it.

#include <cstdint>
#include <string>
#include <string_view>

namespace VendraPlatform::Posix {

// Opens the folder of the file at path, walking down from within without
// leaving it through a link (kOutsideFolder otherwise), and gives the file's
// name in that folder. The caller closes folder.
uint32_t OpenFolderOfFile(std::u16string_view within, std::u16string_view path, int& folder,
                          std::string& name);

}  // namespace VendraPlatform::Posix
