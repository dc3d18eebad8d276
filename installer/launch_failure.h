#pragma once

#include <cstdint>
#include <string>

namespace VendraInstaller {

// The detail shown when the shell could not start the package manager
// (answers of 32 or less).
std::u16string LaunchFailureDetail(uint32_t shellAnswer);

}  // namespace VendraInstaller
