#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace VendraPlatform {

// Writes bytes into a new file at path that only its owner may read or write
// (POSIX mode 0600; Windows: an access list naming only the owner). An
// existing file or link at path is never replaced or followed (an error:
// 183 on POSIX, 80 on Windows). A failed write removes the file again. Answers a Windows system
// error number, 0 for success.
uint32_t CreateSecretFile(std::u16string_view path, std::string_view bytes);

}  // namespace VendraPlatform
