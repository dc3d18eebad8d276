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
// user this program runs as, and writable by nobody else. A missing folder is
// made with exactly that protection. One that fails the rule is moved aside
// (renamed to "<name>.untrusted-<random>") and made again; when it cannot be
// moved, the answer is 5 and problem names the folder and its owner. Answers
// 0 when the folder may be used.
uint32_t EnsureTrustedFolder(std::u16string_view folder, std::u16string& problem);

}  // namespace VendraPlatform
