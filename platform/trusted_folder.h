#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace VendraPlatform {

// The rule for the folders below the shared data folder that an elevated
// program writes into or starts programs from. The data folder itself is open
// to every user, so a sub-folder found there may have been made by anyone: it
// is used only when it is a real folder (not a link), owned by the machine's
// administrators (POSIX: root; Windows: Administrators or SYSTEM) or by the
// user this program runs as without administrator rights, and writable by
// nobody else (Windows: platform/folder_access.h). The data folder above must
// belong to the same owners (and on POSIX be sticky when others may write
// it), or nothing in it is used. A missing folder is made with exactly that
// protection. One that fails the rule is moved aside (renamed to
// "<name>.untrusted-<random>") and made again only by a program that may
// write the machine-wide places (platform/elevation.h); any other program
// leaves it as it is. Answers 0 when the folder may be used, otherwise 5 and
// problem names the folder, what is wrong with it and its owner.
uint32_t EnsureTrustedFolder(std::u16string_view folder, std::u16string& problem);

}  // namespace VendraPlatform
