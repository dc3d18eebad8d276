#pragma once

#include <cstdint>
#include <string_view>

namespace VendraInstaller {

// The sum of the sizes of every file below folder, sub-folders included, as a
// 64-bit count of bytes. Folders that cannot be listed count as empty.
uint64_t FolderSize(std::u16string_view folder);

}  // namespace VendraInstaller
