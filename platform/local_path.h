#pragma once

#include <cstdint>
#include <string_view>

namespace VendraPlatform {

// Creates the missing folders of a file path: the text before its last
// backslash or slash. True when the folder exists afterwards (answers 0, 80
// or 183 of the folder creation); otherwise error holds the system error
// number, 3 when the path has no separator at all.
bool CreateLocalPath(std::u16string_view filePath, uint32_t& error);

}  // namespace VendraPlatform
