#pragma once

#include <string>
#include <vector>

namespace VendraInstaller {

// The installer takes no options but the request for this text: "--help",
// "-h" or "/?", on every system. Every other argument is ignored.
bool AsksForHelp(const std::vector<std::u16string>& args);

// What the installer does, the environment it reads and how it exits (UTF-8).
extern const char kInstallerHelp[];

}  // namespace VendraInstaller
