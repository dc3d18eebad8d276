#pragma once

// Win32 layer only.
#include <cstdint>
#include <string>

namespace VendraPlatform::Win32 {

// Eight characters for a new file's or folder's name that are not guessable
// from outside: the process id, the time and a per-process counter, mixed.
std::u16string UniqueSuffix(uint32_t attempt);

}  // namespace VendraPlatform::Win32
