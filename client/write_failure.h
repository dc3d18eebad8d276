#pragma once

#include <cstdint>
#include <string>

namespace VendraClient {

// The text of a failed write of path with the system's error code: a full
// disk says so and what to do; anything else names the file and the code.
std::u16string WriteFailureText(const std::u16string& path, uint32_t systemError);

}  // namespace VendraClient
