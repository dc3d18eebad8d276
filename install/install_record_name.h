#pragma once

namespace VendraClient {

// The file the package manager keeps in an install folder, naming what it
// installed there: the installer tells by it whether a folder holds an
// install.
inline constexpr char16_t kInstallRecordName[] = u"VendraBuild.install.json";

}  // namespace VendraClient
